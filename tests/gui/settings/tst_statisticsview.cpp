// The statistics pane over a scratch history: the figures, the chart and the recent list it shows.
#include "TestAppContext.h"

#include "gui/settings/DateDistributionChart.h"
#include "gui/settings/HistoryRecordRow.h"
#include "gui/settings/StatisticsCard.h"
#include "gui/settings/StatisticsRow.h"
#include "gui/settings/StatisticsView.h"
#include "stats/LoginHistoryDatabase.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

namespace {
const QDateTime now(QDate(2026, 3, 20), QTime(12, 0));

QJsonObject record(int daysAgo, int secondsEarlier = 0)
{
    const qint64 timestamp = now.addDays(-daysAgo).toSecsSinceEpoch() - secondsEarlier;
    return {{"username", "demo"},
            {"timestamp", timestamp},
            {"date", StatisticsManager::formatTimestamp(timestamp, StatisticsManager::datePattern)},
            {"time", StatisticsManager::formatTimestamp(timestamp, StatisticsManager::timePattern)}};
}
} // namespace

class TestStatisticsView : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestAppContext> m_t;
    std::unique_ptr<StatisticsView> m_view;

    void store(const QJsonArray &records)
    {
        m_t->preferences.setData(PreferenceKeys::loginRecords, QJsonDocument(records).toJson());
    }
    QString shownTotal() const { return m_view->findChild<StatisticsCard *>("totalCard")->value(); }

private Q_SLOTS:
    void init()
    {
        m_t = std::make_unique<TestAppContext>();
        m_t->clock.set(now);
        m_view = std::make_unique<StatisticsView>(*m_t->statistics);
    }
    void cleanup() { m_view.reset(), m_t.reset(); }

    void figures_data()
    {
        QTest::addColumn<QJsonArray>("records"); // oldest appended first
        QTest::addColumn<StatisticsPeriod>("period");
        QTest::addColumn<QString>("month");       // the month row; the total is the records' count
        QTest::addColumn<QStringList>("barDays"); // "MM/dd", top to bottom; empty: no trend shown
        QTest::addColumn<bool>("fullBar");        // some shown bar spans the whole width
        QTest::addColumn<QStringList>("recentTimes");

        using enum StatisticsPeriod;
        QTest::newRow("no records") << QJsonArray() << month << "0 次" << QStringList() << false
                                    << QStringList();
        QJsonArray twentyFive;
        QStringList lastTen;
        for (int i = 25; i > 0; --i) {
            twentyFive.append(record(0, i * 60));
            if (i <= 10)
                lastTen.prepend(twentyFive.last().toObject().value("time").toString());
        }
        QTest::newRow("25 records: the last ten appended, newest first")
            << twentyFive << today << "25 次" << QStringList{"03/20"} << true << lastTen;
        QJsonArray fourteenDays;
        for (int day = 13; day >= 0; --day) {
            for (int n = 0; n < (day == 12 ? 5 : 1 + day % 2); ++n)
                fourteenDays.append(record(day, n));
        }
        QTest::newRow("14 days: ten shown, scaled by an older busier day")
            << fourteenDays << all << QString::number(fourteenDays.size()) + " 次"
            << QStringList{"03/20", "03/19", "03/18", "03/17", "03/16",
                           "03/15", "03/14", "03/13", "03/12", "03/11"}
            << false << QStringList{};
        QTest::newRow("older than 30 days: in the total only")
            << QJsonArray{record(40)} << month << "0 次" << QStringList() << false
            << QStringList{record(40).value("time").toString()};
        QTest::newRow("record without date and time")
            << QJsonArray{QJsonObject{{"username", "demo"}, {"timestamp", now.toSecsSinceEpoch()}}} << week
            << "1 次" << QStringList{"03/20"} << true << QStringList{""};
    }

    void figures()
    {
        QFETCH(QJsonArray, records);
        QFETCH(StatisticsPeriod, period);
        QFETCH(QString, month);
        QFETCH(QStringList, barDays);
        QFETCH(bool, fullBar);
        QFETCH(QStringList, recentTimes);

        store(records);
        m_view->setSelectedPeriod(period);
        m_view->show();
        QTRY_COMPARE(m_view->findChild<StatisticsRow *>("totalRow")->value(),
                 QString::number(records.size()) + " 次");
        QCOMPARE(shownTotal(), QString::number(records.size()));
        QCOMPARE(m_view->findChild<StatisticsRow *>("monthRow")->value(), month);
        QStringList days;
        bool anyFull = false;
        for (const auto &bar : m_view->findChild<DateDistributionChart *>("dateChart")->bars()) {
            days.append(DateDistributionChart::formatDateLabel(bar.day));
            anyFull = anyFull || bar.fraction == 1.0;
        }
        QCOMPARE(days, barDays);
        QCOMPARE(anyFull, fullBar);
        QCOMPARE(m_view->findChild<QWidget *>("trendSection")->isVisible(),
                 period != StatisticsPeriod::today && period != StatisticsPeriod::week);
        QStringList times;
        for (const HistoryRecord &recent : m_view->statistics().recentRecords)
            times.append(recent.time);
        if (!recentTimes.isEmpty() || records.isEmpty())
            QCOMPARE(times, recentTimes);
        QCOMPARE(m_view->findChildren<HistoryRecordRow *>().size(), times.size());
        QCOMPARE(m_view->findChild<QWidget *>("recentSection")->isVisible(), !times.isEmpty());
        // A day that does not parse is shown as stored.
        QCOMPARE(DateDistributionChart::formatDateLabel(QStringLiteral("2025-13-40")),
                 QStringLiteral("2025-13-40"));
    }

    void reloadsOnAppearanceAndPeriodChange()
    {
        m_view->show();
        QTRY_COMPARE(shownTotal(), QStringLiteral("0"));
        m_t->statistics->saveLoginRecord("demo", now.toSecsSinceEpoch());
        QTRY_VERIFY(!m_t->statistics->isBusy());
        QCOMPARE(shownTotal(), QStringLiteral("0")); // the pane does not watch the store
        m_view->setSelectedPeriod(StatisticsPeriod::all);
        QTRY_COMPARE(shownTotal(), QStringLiteral("1"));
        QCOMPARE(m_view->findChild<DateDistributionChart *>()->bars().size(), 1);
        m_t->statistics->saveLoginRecord("demo", now.toSecsSinceEpoch());
        m_view->hide();
        m_view->show();
        QTRY_COMPARE(shownTotal(), QStringLiteral("2"));
        QCOMPARE(m_view->findChildren<HistoryRecordRow *>().size(), 2);
    }

    // Another program's write transaction on the history holds up neither the record of a sign-in nor
    // the pane: the event loop keeps turning, and both are done once the transaction ends.
    void historyLockedByAnotherProgram()
    {
        m_view->show();
        QTRY_COMPARE(m_view->findChild<StatisticsRow *>("totalRow")->value(), QStringLiteral("0 次"));
        LoginHistoryDatabase other(m_t->directory.filePath("history"), "com.netlatch.loginRecords");
        QString error, keptAside;
        QVERIFY(other.open(&error, &keptAside));
        bool turned = false;
        QVERIFY(other.write(
            [&](QString *) {
                m_t->statistics->recordLogin("demo");
                m_view->setSelectedPeriod(StatisticsPeriod::all);
                QTimer::singleShot(0, [&turned] { turned = true; });
                return QTest::qWaitFor([&turned] { return turned; }) && m_t->statistics->isBusy();
            },
            &error));
        QTRY_COMPARE(shownTotal(), QStringLiteral("1"));
    }
};

QTEST_MAIN(TestStatisticsView)
#include "tst_statisticsview.moc"
