#pragma once

#include "gui/widgets/ScrollingPane.h"
#include "stats/StatisticsData.h"
#include "stats/StatisticsPeriod.h"

class Card;
class DateDistributionChart;
class SegmentedControl;
class StatisticsCard;
class StatisticsManager;
class StatisticsRow;

/// The "使用统计" pane: the number of sign-ins in total and per period, the last 30 days as a bar
/// chart (for "本月" and "全部") and the ten most recent sign-ins. It only reads the history, afresh
/// each time it appears or the period changes; the figures come from the history's thread, and until
/// they do the pane shows the ones it had.
class StatisticsView : public ScrollingPane
{
    Q_OBJECT

public:
    explicit StatisticsView(StatisticsManager &manager, QWidget *parent = nullptr);

    /// Asks for every figure once; they are shown when they come (statisticsShown()).
    void loadStatistics();

    const StatisticsData &statistics() const { return m_statistics; }
    StatisticsPeriod selectedPeriod() const { return m_selectedPeriod; }
    /// Selects the period as a click on its segment does, and reloads when it changed.
    void setSelectedPeriod(StatisticsPeriod period);

Q_SIGNALS:
    /// The figures last asked for are on screen (changed or not).
    void statisticsShown();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void showStatistics(const StatisticsData &statistics);
    QWidget *createSection(const QString &heading, QWidget *box, const QString &objectName);
    void showRecentRecords();

    StatisticsManager &m_manager;
    StatisticsData m_statistics;
    bool m_shown = false; ///< whether the widgets show m_statistics
    StatisticsPeriod m_selectedPeriod = StatisticsPeriod::today;

    SegmentedControl *m_periodSelector;
    StatisticsCard *m_totalCard;
    StatisticsRow *m_todayRow;
    StatisticsRow *m_weekRow;
    StatisticsRow *m_monthRow;
    StatisticsRow *m_totalRow;
    DateDistributionChart *m_chart;
    QWidget *m_trendSection;
    Card *m_recentBox;
    QWidget *m_recentSection;
};
