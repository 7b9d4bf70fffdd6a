#include "LogCapture.h"
#include "MockClock.h"
#include "StatsTestSupport.h"
#include "stats/StatisticsManager.h"

#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace StatsTestSupport;

namespace {
constexpr qint64 retention = 31'536'000;
const QString backupLine = QStringLiteral("⚠️ 联网记录无法读取，原数据已备份到 com.netlatch.loginRecords.unreadable");

QJsonObject recordAt(qint64 timestamp)
{
    return {{"username", "u"}, {"timestamp", timestamp}, {"date", "2000-01-01"}, {"time", "00:00:00"}};
}
} // namespace

/// The stored history: its format, the reading rule, pruning and the count queries.
class TestStatisticsManager : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<Preferences> m_store;
    MockClock m_clock;
    std::unique_ptr<StatisticsManager> m_manager;

    qint64 nowSeconds() const { return m_clock.now().toSecsSinceEpoch(); }

private Q_SLOTS:
    void init()
    {
        setTimeZone("Asia/Shanghai");
        m_manager.reset();
        m_store.reset(); // writes its pending changes: remove the file only afterwards
        QFile::remove(m_dir.filePath("netlatch.conf"));
        m_store = makeStore(m_dir.filePath("netlatch.conf"));
        m_clock.set(instant("Asia/Shanghai", "2025-03-07T08:05:09"));
        // No server address: the upload stops at once and these tests see the store only.
        m_manager = std::make_unique<StatisticsManager>(*m_store, m_clock, QString());
    }

    void firstSignInStoresOneCompactRecord()
    {
        LogCapture log;
        m_clock.set(m_clock.now().addMSecs(900)); // the fraction is cut off, not rounded
        m_manager->recordLogin(QStringLiteral("张三"));

        const QByteArray bytes = *m_store->dataValue(PreferenceKeys::loginRecords);
        QCOMPARE(bytes, QJsonDocument(QJsonArray{QJsonObject{{"username", "张三"},
                                                             {"timestamp", 1741305909},
                                                             {"date", "2025-03-07"},
                                                             {"time", "08:05:09"}}})
                            .toJson(QJsonDocument::Compact));
        QVERIFY(bytes.contains("\"timestamp\":1741305909")); // an integer, not a floating-point text
        QCOMPARE(log.lines(), QStringList{"⚠️ 统计API地址无效"});
        QCOMPARE(m_manager->loginRecordsKey(), QStringLiteral("com.netlatch.loginRecords"));
    }

    void unreadableHistoryReadsAsEmptyAndIsKept_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("object") << QByteArray(R"({"username":"u","timestamp":1741305000})");
        QTest::newRow("one non-object element") << QByteArray(R"([{"timestamp":1741305000,"date":"2025-03-07"},2])");
        QTest::newRow("truncated JSON") << QByteArray(R"([{"timestamp":1741305000,"date":"2025-03-07"})");
    }

    void unreadableHistoryReadsAsEmptyAndIsKept()
    {
        QFETCH(QByteArray, bytes);
        LogCapture log;
        m_store->setData(PreferenceKeys::loginRecords, bytes);
        QVERIFY(m_manager->loadLoginRecords().isEmpty());
        QCOMPARE(m_manager->getTodayCount(), 0);
        QCOMPARE(m_manager->getWeekCount(), 0);

        m_manager->saveLoginRecord("u", nowSeconds());
        QCOMPARE(storedRecords(*m_store).size(), 1);
        QCOMPARE(m_store->dataValue(PreferenceKeys::loginRecordsBackup), bytes);
        QCOMPARE(log.lines(), QStringList{backupLine});

        // Readable again: the next save keeps the backup and says nothing.
        m_manager->saveLoginRecord("u", nowSeconds());
        QCOMPARE(storedRecords(*m_store).size(), 2);
        QCOMPARE(m_store->dataValue(PreferenceKeys::loginRecordsBackup), bytes);
        QCOMPARE(log.lines().size(), 1);
    }

    void newerUnreadableValueReplacesTheBackup()
    {
        m_store->setText(PreferenceKeys::loginRecords, QStringLiteral("[hand edited"));
        m_manager->saveLoginRecord("u", nowSeconds());
        QCOMPARE(m_store->dataValue(PreferenceKeys::loginRecordsBackup), QByteArray("[hand edited"));

        m_store->setData(PreferenceKeys::loginRecords, "{}");
        m_manager->saveLoginRecord("u", nowSeconds());
        QCOMPARE(m_store->dataValue(PreferenceKeys::loginRecordsBackup), QByteArray("{}"));

        LogCapture log; // an empty list or no value at all is nothing to keep
        m_store->setData(PreferenceKeys::loginRecords, "[]");
        m_manager->saveLoginRecord("u", nowSeconds());
        m_store->remove(PreferenceKeys::loginRecords);
        m_manager->saveLoginRecord("u", nowSeconds());
        QVERIFY(log.lines().isEmpty());
        QCOMPARE(m_store->dataValue(PreferenceKeys::loginRecordsBackup), QByteArray("{}"));
    }

    void saveKeepsTheCutOffAndDropsOlderOrUndatedRecords()
    {
        const qint64 cutoff = nowSeconds() - retention;
        QJsonObject withExtraMember = recordAt(cutoff);
        withExtraMember.insert("ssid", "campus");
        QJsonObject undated = recordAt(0);
        undated.remove("timestamp");
        QJsonObject textTimestamp = recordAt(0);
        textTimestamp["timestamp"] = QString::number(nowSeconds());
        QJsonObject fractional = recordAt(0);
        fractional["timestamp"] = double(nowSeconds()) + 0.5;
        storeRecords(*m_store, {withExtraMember, recordAt(cutoff - 1), undated, textTimestamp, fractional,
                                recordAt(nowSeconds())});

        m_manager->saveLoginRecord("new", nowSeconds());

        const QJsonArray kept = storedRecords(*m_store);
        QCOMPARE(kept.size(), 3);
        QCOMPARE(kept.at(0).toObject(), withExtraMember);
        QCOMPARE(kept.at(1).toObject(), recordAt(nowSeconds()));
        QCOMPARE(kept.at(2)["username"].toString(), QStringLiteral("new"));
    }

    void undatedRecordCountsTodayByItsDateOnly()
    {
        storeRecords(*m_store, {QJsonObject{{"username", "u"}, {"date", "2025-03-07"}, {"time", "08:00:00"}}});
        QCOMPARE(m_manager->getTodayCount(), 1);
        QCOMPARE(m_manager->getWeekCount(), 0);
        QCOMPARE(m_manager->getMonthCount(), 0);
        QVERIFY(m_manager->getDateDistribution(30).isEmpty());

        m_manager->saveLoginRecord("u", nowSeconds());
        const QJsonArray kept = storedRecords(*m_store);
        QCOMPARE(kept.size(), 1);
        QCOMPARE(kept.at(0)["timestamp"].toInteger(), nowSeconds());
    }

    void twoSignInsInOneSecondBothCount()
    {
        m_manager->recordLogin("u");
        m_manager->recordLogin("u");
        const QJsonArray kept = storedRecords(*m_store);
        QCOMPARE(kept.size(), 2);
        QCOMPARE(kept.at(0)["timestamp"], kept.at(1)["timestamp"]);
        QCOMPARE(m_manager->getTodayCount(), 2);
        QCOMPARE(m_manager->getWeekCount(), 2);
        QCOMPARE(m_manager->getMonthCount(), 2);
        QCOMPARE(m_manager->getDateDistribution(30), (QMap<QString, int>{{"2025-03-07", 2}}));
    }

    void distributionCoversThirtyDaysAndTheStartOfTheThirtyFirst()
    {
        m_clock.set(instant("Asia/Shanghai", "2025-03-31T15:00:00"));
        QJsonArray records{recordAt(instant("Asia/Shanghai", "2025-03-01T14:59:59").toSecsSinceEpoch())};
        for (int day = 1; day <= 31; ++day) {
            const QString wallClock = QStringLiteral("2025-03-%1T15:00:00").arg(day, 2, 10, QLatin1Char('0'));
            records.append(recordAt(instant("Asia/Shanghai", wallClock).toSecsSinceEpoch()));
        }
        storeRecords(*m_store, records);

        const QMap<QString, int> distribution = m_manager->getDateDistribution(30);
        QCOMPARE(distribution.size(), 31);
        QCOMPARE(distribution.firstKey(), QStringLiteral("2025-03-01"));
        QCOMPARE(distribution.lastKey(), QStringLiteral("2025-03-31"));
        for (const int count : distribution)
            QCOMPARE(count, 1);
    }

    void rollingWindowsUseCalendarArithmetic_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<QString>("now");
        QTest::addColumn<bool>("month");
        QTest::addColumn<QString>("start");
        QTest::newRow("31 March → 28 February") << QByteArray("Asia/Shanghai") << "2025-03-31T12:00:00" << true
                                                << "2025-02-28T12:00:00";
        QTest::newRow("leap year") << QByteArray("Asia/Shanghai") << "2024-03-31T12:00:00" << true
                                   << "2024-02-29T12:00:00";
        QTest::newRow("across the year") << QByteArray("Asia/Shanghai") << "2025-01-31T00:00:00" << true
                                         << "2024-12-31T00:00:00";
        QTest::newRow("31 May → 30 April") << QByteArray("America/New_York") << "2025-05-31T23:30:00" << true
                                           << "2025-04-30T23:30:00";
        QTest::newRow("month across summer time") << QByteArray("Europe/Berlin") << "2025-04-15T12:00:00" << true
                                                  << "2025-03-15T12:00:00";
        // Across the switch to summer time the week is an hour shorter than 7 × 86,400 seconds.
        QTest::newRow("week across summer time") << QByteArray("Europe/Berlin") << "2025-03-31T12:00:00" << false
                                                 << "2025-03-24T12:00:00";
        QTest::newRow("week across the month") << QByteArray("Asia/Shanghai") << "2025-03-03T06:00:00" << false
                                               << "2025-02-24T06:00:00";
    }

    void rollingWindowsUseCalendarArithmetic()
    {
        QFETCH(QByteArray, zone);
        QFETCH(QString, now);
        QFETCH(bool, month);
        QFETCH(QString, start);
        setTimeZone(zone.constData());
        m_clock.set(instant(zone.constData(), now));
        const qint64 first = instant(zone.constData(), start).toSecsSinceEpoch();
        storeRecords(*m_store, {recordAt(first - 1), recordAt(first), recordAt(nowSeconds())});

        QCOMPARE(month ? m_manager->getMonthCount() : m_manager->getWeekCount(), 2);
    }

    void dayTextsFollowTheTimeZone()
    {
        // Stored at 23:59:59: today's sign-in until midnight, yesterday's one second later.
        m_clock.set(instant("Asia/Shanghai", "2025-03-07T23:59:59"));
        m_manager->recordLogin("u");
        QCOMPARE(m_manager->getTodayCount(), 1);
        m_clock.advanceSeconds(1);
        QCOMPARE(m_manager->getTodayCount(), 0);

        // 07:30 in Shanghai is 23:30 the day before in UTC. After the user moves to UTC, today's count
        // follows the stored day text and the per-day map the timestamp.
        m_store->remove(PreferenceKeys::loginRecords);
        m_clock.set(instant("Asia/Shanghai", "2025-03-07T07:30:00"));
        m_manager->recordLogin("u");
        QCOMPARE(storedRecords(*m_store).at(0)["date"].toString(), QStringLiteral("2025-03-07"));
        setTimeZone("UTC");
        m_clock.advanceSeconds(3600);
        QCOMPARE(m_manager->getTodayCount(), 1);
        QCOMPARE(m_manager->getDateDistribution(30), (QMap<QString, int>{{"2025-03-06", 1}}));
        QCOMPARE(StatisticsManager::formatTimestamp(m_clock.now().toSecsSinceEpoch(), "HH:mm:ss"),
                 QStringLiteral("00:30:00"));
    }
};

QTEST_GUILESS_MAIN(TestStatisticsManager)
#include "tst_statisticsmanager.moc"
