#include "gui/settings/StatisticsView.h"

#include "gui/settings/DateDistributionChart.h"
#include "gui/settings/HistoryRecordRow.h"
#include "gui/settings/StatisticsCard.h"
#include "gui/settings/StatisticsRow.h"
#include "gui/widgets/Card.h"
#include "gui/widgets/SegmentedControl.h"
#include "gui/widgets/Theme.h"
#include "stats/StatisticsManager.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <utility>

namespace {
const QString paneTitle = QStringLiteral("使用统计");
const QString periodTitle = QStringLiteral("时间周期");
const QString totalCardTitle = QStringLiteral("联网次数");
const QString detailHeading = QStringLiteral("详细信息");
const QString todayLabel = QStringLiteral("今日");
const QString weekLabel = QStringLiteral("本周");
const QString monthLabel = QStringLiteral("本月");
const QString totalLabel = QStringLiteral("总计");
const QString timesSuffix = QStringLiteral(" 次");
const QString trendHeading = QStringLiteral("最近30天趋势");
const QString recentHeading = QStringLiteral("最近记录");

QString times(int count)
{
    return QString::number(count) + timesSuffix;
}

QStringList periodTitles()
{
    QStringList titles;
    for (const StatisticsPeriod period : StatisticsPeriods::all)
        titles.append(StatisticsPeriods::rawValue(period));
    return titles;
}
} // namespace

StatisticsView::StatisticsView(StatisticsManager &manager, QWidget *parent)
    : ScrollingPane(paneTitle, parent), m_manager(manager),
      m_periodSelector(new SegmentedControl(periodTitles())),
      m_totalCard(new StatisticsCard(totalCardTitle, QStringLiteral("network"), Theme::accent(palette()))),
      m_todayRow(new StatisticsRow(todayLabel)), m_weekRow(new StatisticsRow(weekLabel)),
      m_monthRow(new StatisticsRow(monthLabel)), m_totalRow(new StatisticsRow(totalLabel)),
      m_chart(new DateDistributionChart), m_recentBox(new Card)
{
    auto *selectorRow = new QHBoxLayout;
    selectorRow->setSpacing(12);
    selectorRow->addWidget(new QLabel(periodTitle));
    m_periodSelector->setObjectName(QStringLiteral("periodSelector"));
    selectorRow->addWidget(m_periodSelector, 1);
    column()->addLayout(selectorRow);
    connect(m_periodSelector, &SegmentedControl::currentIndexChanged, this, [this](int index) {
        m_selectedPeriod = StatisticsPeriods::all.at(index);
        loadStatistics();
    });

    m_totalCard->setObjectName(QStringLiteral("totalCard"));
    column()->addWidget(m_totalCard);

    auto *detailBox = new Card;
    detailBox->contentLayout()->setSpacing(12);
    const std::pair<StatisticsRow *, const char *> rows[] = {
        {m_todayRow, "todayRow"}, {m_weekRow, "weekRow"}, {m_monthRow, "monthRow"}, {m_totalRow, "totalRow"}};
    for (const auto &[row, name] : rows) {
        row->setObjectName(QLatin1String(name));
        detailBox->contentLayout()->addWidget(row);
    }
    column()->addWidget(createSection(detailHeading, detailBox, QStringLiteral("detailSection")));

    m_chart->setObjectName(QStringLiteral("dateChart"));
    m_trendSection = createSection(trendHeading, m_chart, QStringLiteral("trendSection"));
    column()->addWidget(m_trendSection);

    m_recentSection = createSection(recentHeading, m_recentBox, QStringLiteral("recentSection"));
    column()->addWidget(m_recentSection);
    m_trendSection->hide();
    m_recentSection->hide();
}

void StatisticsView::setSelectedPeriod(StatisticsPeriod period)
{
    m_periodSelector->setCurrentIndex(int(period)); // reloads through the selector's signal
}

void StatisticsView::showEvent(QShowEvent *event)
{
    ScrollingPane::showEvent(event);
    loadStatistics();
}

void StatisticsView::loadStatistics()
{
    // Both longer periods cover the same 30 days; the shorter ones have no trend to show.
    m_trendSection->setVisible(m_selectedPeriod == StatisticsPeriod::month ||
                               m_selectedPeriod == StatisticsPeriod::all);
    m_manager.loadStatistics(this, [this](const StatisticsData &statistics) { showStatistics(statistics); });
}

void StatisticsView::showStatistics(const StatisticsData &statistics)
{
    if (m_shown && statistics == m_statistics) {
        Q_EMIT statisticsShown(); // nothing changed since the last appearance: the widgets show it already
        return;
    }
    m_shown = true;
    m_statistics = statistics;
    m_totalCard->setValue(QString::number(m_statistics.totalCount));
    m_todayRow->setValue(times(m_statistics.todayCount));
    m_weekRow->setValue(times(m_statistics.weekCount));
    m_monthRow->setValue(times(m_statistics.monthCount));
    m_totalRow->setValue(times(m_statistics.totalCount));
    m_chart->setData(m_statistics.dateDistribution);
    showRecentRecords();
    Q_EMIT statisticsShown();
}

QWidget *StatisticsView::createSection(const QString &heading, QWidget *box, const QString &objectName)
{
    auto *section = new QWidget;
    section->setObjectName(objectName);
    auto *layout = new QVBoxLayout(section);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(16);
    auto *headline = new QLabel(heading, section);
    Theme::style(headline, Theme::Text::headline);
    layout->addWidget(headline);
    layout->addWidget(box);
    return section;
}

void StatisticsView::showRecentRecords()
{
    QVBoxLayout *list = m_recentBox->contentLayout();
    while (QLayoutItem *item = list->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    list->setSpacing(8);
    for (const HistoryRecord &record : m_statistics.recentRecords)
        list->addWidget(new HistoryRecordRow(record, m_recentBox));
    m_recentSection->setVisible(!m_statistics.recentRecords.isEmpty());
}
