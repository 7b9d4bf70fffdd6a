#include "MockClock.h"
#include "StatsTestSupport.h"
#include "stats/StatisticsData.h"
#include "stats/StatisticsManager.h"
#include "stats/StatisticsPeriod.h"

#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace StatsTestSupport;

/// The figures of the statistics pane, read through the store.
class TestStatisticsData : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<Preferences> m_store;
    MockClock m_clock{instant("Asia/Shanghai", "2025-03-07T12:00:00")};
    std::unique_ptr<StatisticsManager> m_manager;

    qint64 daysAgo(int days) const { return m_clock.now().toSecsSinceEpoch() - days * 86'400LL; }

private Q_SLOTS:
    void init()
    {
        setTimeZone("Asia/Shanghai");
        m_manager.reset();
        m_store.reset();
        QFile::remove(m_dir.filePath("netlatch.conf"));
        m_store = makeStore(m_dir.filePath("netlatch.conf"));
        m_manager = std::make_unique<StatisticsManager>(*m_store, m_clock, QString());
    }

    void emptyOrUnreadableStoreGivesAllZeros_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("no value") << QByteArray();
        QTest::newRow("unreadable") << QByteArray(R"([{"timestamp":1741320000,"date":"2025-03-07"},null])");
    }

    void emptyOrUnreadableStoreGivesAllZeros()
    {
        QFETCH(QByteArray, bytes);
        if (!bytes.isEmpty())
            m_store->setData(PreferenceKeys::loginRecords, bytes);
        const StatisticsData data = StatisticsData::load(*m_manager);
        QCOMPARE(data.todayCount + data.weekCount + data.monthCount + data.totalCount, 0);
        QVERIFY(data.dateDistribution.isEmpty());
        QVERIFY(data.recentRecords.isEmpty());
    }

    void figuresOfAMixedHistory()
    {
        QJsonArray records;
        for (int i = 0; i < 23; ++i) {
            records.append(QJsonObject{{"username", "u"},
                                       {"timestamp", daysAgo(i)},
                                       {"date", QStringLiteral("d%1").arg(i)},
                                       {"time", QStringLiteral("t%1").arg(i)}});
        }
        records.append(QJsonObject{{"username", "u"}, {"timestamp", daysAgo(100)}}); // no date or time
        records.append(QJsonObject{{"date", "2025-03-07"}, {"time", 42}});          // no timestamp
        storeRecords(*m_store, records);

        const StatisticsData data = StatisticsData::load(*m_manager);
        QCOMPARE(data.totalCount, 25); // every record, whatever its content
        QCOMPARE(data.todayCount, 1);  // by the stored day text only
        QCOMPARE(data.weekCount, 8);   // 0 to 7 days ago
        QCOMPARE(data.monthCount, 23); // February has 28 days: all of 0 to 22 days ago
        QCOMPARE(data.dateDistribution.size(), 23);
        QCOMPARE(data.dateDistribution.value("2025-03-07"), 1);
        QCOMPARE(data.dateDistribution.firstKey(), QStringLiteral("2025-02-13"));

        QCOMPARE(data.recentRecords.size(), StatisticsData::recentLimit);
        QCOMPARE(data.recentRecords.at(0), (HistoryRecord{"0", "2025-03-07", ""}));
        QCOMPARE(data.recentRecords.at(1), (HistoryRecord{"1", "", ""}));
        QCOMPARE(data.recentRecords.at(2), (HistoryRecord{"2", "d22", "t22"}));
        QCOMPARE(data.recentRecords.at(9), (HistoryRecord{"9", "d15", "t15"}));
    }

    void periodsInSelectorOrder()
    {
        QStringList texts;
        for (const StatisticsPeriod period : StatisticsPeriods::all) {
            texts.append(StatisticsPeriods::rawValue(period));
            QCOMPARE(StatisticsPeriods::fromRawValue(texts.last()), period);
        }
        QCOMPARE(texts, (QStringList{"今日", "本周", "本月", "全部"}));
        QVERIFY(!StatisticsPeriods::fromRawValue("本年"));
        QVERIFY(!StatisticsPeriods::fromRawValue(QString()));
    }
};

QTEST_GUILESS_MAIN(TestStatisticsData)
#include "tst_statisticsdata.moc"
