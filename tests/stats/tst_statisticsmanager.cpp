#include "LocalHttpServer.h"
#include "LogCapture.h"
#include "MockClock.h"
#include "Netlatchctl.h"
#include "stats/StatisticsManager.h"
#include "store/Preferences.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QScopeGuard>
#include <QSslConfiguration>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <httplib.h>

#include <ctime>
#include <numeric>
#include <thread>

namespace {
const QString uploadFailed = QStringLiteral("⚠️ 发送统计失败: ");
const QString backupLine = QStringLiteral("⚠️ 联网记录无法读取，原数据已备份到 %1");

// Switches the process's local time zone, as the user changing it would.
void setTimeZone(const char *zone)
{
    qputenv("TZ", zone);
    tzset();
}

// The instant of a wall-clock time ("yyyy-MM-ddTHH:mm[:ss]") in `zone`.
QDateTime instant(const char *zone, const QString &wallClock)
{
    const QDateTime local = QDateTime::fromString(wallClock, Qt::ISODate);
    return QDateTime(local.date(), local.time(), QTimeZone(zone)).toUTC();
}

QJsonObject recordAt(qint64 timestamp)
{
    return {{"username", "u"}, {"timestamp", timestamp}, {"date", "2000-01-01"}, {"time", "00:00:00"}};
}
} // namespace

/// The sign-in history: its stored form, pruning, the counts and figures read from it, `netlatchctl
/// stats`, and the report of each sign-in to the statistics server (against real local servers).
class TestStatisticsManager : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir; // netlatchctl finds the store with XDG_CONFIG_HOME and XDG_DATA_HOME set to it
    const QString m_historyFolder = m_dir.filePath("data/Netlatch");
    const QString m_historyFile = m_historyFolder + "/com.netlatch.loginRecords.json";
    MockClock m_clock;
    std::unique_ptr<Preferences> m_store;
    std::unique_ptr<StatisticsManager> m_manager;

    // A fresh store and the clock stopped at 00:30 in Shanghai, still the day before in UTC, so that a
    // day taken in the wrong zone shows. No server address: the upload stops at once.
    void reset(const QString &apiBaseURL = {})
    {
        setTimeZone("Asia/Shanghai");
        m_clock.set(instant("Asia/Shanghai", "2025-03-07T00:30"));
        m_manager.reset();
        m_store.reset(); // writes its pending changes: remove the file only afterwards
        QFile::remove(m_dir.filePath("Netlatch/netlatch.conf"));
        QDir(m_historyFolder).removeRecursively();
        m_store = openStore();
        m_manager = std::make_unique<StatisticsManager>(*m_store, m_clock, apiBaseURL, m_historyFolder);
    }
    std::unique_ptr<Preferences> openStore() const
    {
        return std::make_unique<Preferences>(
            std::make_unique<QSettings>(m_dir.filePath("Netlatch/netlatch.conf"), QSettings::IniFormat));
    }
    qint64 now() const { return m_clock.now().toSecsSinceEpoch(); }
    QByteArray historyBytes() const
    {
        QFile file(m_historyFile);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QJsonArray records() const { return QJsonDocument::fromJson(historyBytes()).array(); }
    void setHistory(const QByteArray &bytes)
    {
        QDir().mkpath(m_historyFolder);
        QFile file(m_historyFile);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    }
    void setRecords(const QJsonArray &records)
    {
        setHistory(QJsonDocument(records).toJson(QJsonDocument::Compact));
    }
    // The backups beside the history, oldest first, with what each holds.
    QList<QPair<QString, QByteArray>> backupFiles() const
    {
        QList<QPair<QString, QByteArray>> found;
        for (const QFileInfo &info :
             QDir(m_historyFolder).entryInfoList({"*.unreadable.*"}, QDir::Files, QDir::Name)) {
            QFile file(info.filePath());
            found.append({info.fileName(), file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray()});
        }
        return found;
    }
    QList<int> counts() const
    {
        return {m_manager->getTodayCount(), m_manager->getWeekCount(), m_manager->getMonthCount()};
    }

    // Records a sign-in reported to `apiBaseURL`; the log once the upload has ended.
    QString recordLoginReportedTo(const QString &apiBaseURL)
    {
        reset(apiBaseURL);
        LogCapture log;
        m_manager->recordLogin(QStringLiteral("张三"));
        if (m_manager->loadLoginRecords().size() != 1)
            return "the sign-in was not in the history at once, whatever becomes of the upload";
        // A hang guard only: the upload gives up by itself after 10 seconds.
        if (!QTest::qWaitFor([this] { return !m_manager->isBusy(); }, 30000))
            return "the upload never ended";
        if (records().size() != 1)
            return "the sign-in was not written";
        m_manager.reset(); // closes its connection, which the local server would wait for
        return log.text();
    }

private Q_SLOTS:
    void init() { reset(); }

    void signInsAreStoredAsCompactRecords()
    {
        LogCapture log;
        m_clock.set(m_clock.now().addMSecs(900)); // the fraction is cut off, not rounded
        m_manager->recordLogin(QStringLiteral("张三"));
        QCOMPARE(counts(), (QList<int>{1, 1, 1})); // seen before it is written
        QTRY_VERIFY(!m_manager->isBusy());
        const QByteArray record =
            R"({"date":"2025-03-07","time":"00:30:00","timestamp":1741278600,"username":"张三"})";
        QCOMPARE(historyBytes(), '[' + record + ']');
        QCOMPARE(log.lines(), QStringList{"⚠️ 统计API地址无效"});

        m_manager->recordLogin(QStringLiteral("张三")); // in the same second: both count
        m_manager.reset();                              // a manager that goes away writes what it holds
        QCOMPARE(historyBytes(), '[' + record + ',' + record + ']');
        QVERIFY(!m_store->contains(PreferenceKeys::loginRecords)); // the settings stay free of it
        m_manager = std::make_unique<StatisticsManager>(*m_store, m_clock, QString(), m_historyFolder);
        QCOMPARE(counts(), (QList<int>{2, 2, 2}));
    }

    void unreadableHistoryReadsAsEmptyAndEveryVersionIsKept_data()
    {
        QTest::addColumn<QByteArrayList>("corruptions"); // written over the history one after another
        QTest::addColumn<QStringList>("backups");        // the numbered backups left in the end
        const QByteArray record = R"({"timestamp":1741278600,"date":"2025-03-07"})";
        const QByteArray object = record, nonObject = '[' + record + ",2]", truncated = '[' + record;
        QTest::newRow("object") << QByteArrayList{object} << QStringList{"1"};
        QTest::newRow("one non-object element") << QByteArrayList{nonObject} << QStringList{"1"};
        QTest::newRow("two corruptions: two backups")
            << QByteArrayList{truncated, "\xff\xfe binary"} << QStringList{"1", "2"};
        QTest::newRow("the same twice: one backup")
            << QByteArrayList{truncated, truncated} << QStringList{"1"};
        QTest::newRow("empty list: nothing to keep") << QByteArrayList{"[]", "  "} << QStringList{};
    }

    void unreadableHistoryReadsAsEmptyAndEveryVersionIsKept()
    {
        QFETCH(QByteArrayList, corruptions);
        QFETCH(QStringList, backups);
        LogCapture log;
        QStringList expectedLog;
        for (const QByteArray &bytes : corruptions) {
            setHistory(bytes);
            QVERIFY(m_manager->loadLoginRecords().isEmpty());
            QCOMPARE(counts(), (QList<int>{0, 0, 0}));
            const int before = int(backupFiles().size());
            // The save replaces the value and keeps it; the next one finds a list and says nothing.
            QVERIFY(m_manager->saveLoginRecord("u", now()));
            QVERIFY(m_manager->saveLoginRecord("u", now()));
            QCOMPARE(records().size(), 2);
            if (backupFiles().size() > before)
                expectedLog << backupLine.arg(m_historyFolder + "/" + backupFiles().constLast().first);
        }
        QStringList names;
        for (const auto &[name, bytes] : backupFiles()) {
            names << name.section('.', -1);
            QCOMPARE(bytes, corruptions.at(names.size() - 1));
        }
        QCOMPARE(names, backups);
        QCOMPARE(log.lines(), expectedLog);
        QCOMPARE(m_manager->historyProblems().size(), backups.size()); // netlatchctl tells each once
    }

    // Earlier versions kept the history (and one backup) in the settings file, where a hand edit could
    // turn it into a list of texts. Every value is moved out once, nothing is lost and nothing doubled.
    void valuesInTheSettingsAreMovedOutOnce_data()
    {
        QTest::addColumn<QVariant>("history");
        QTest::addColumn<QVariant>("oldBackup");
        QTest::addColumn<int>("moved");              // records in the file afterwards
        QTest::addColumn<QByteArrayList>("backups"); // what the numbered backups hold
        const QByteArray two = R"([{"timestamp":1741278000,"date":"2025-03-07"},{"timestamp":1741278500}])";
        QTest::newRow("a history") << QVariant(two) << QVariant() << 2 << QByteArrayList{};
        QTest::newRow("and its old backup")
            << QVariant(two) << QVariant(QByteArray("[broken")) << 2 << QByteArrayList{"[broken"};
        // Its commas split it: joined again it reads, and the hand-edited value is kept as well.
        QTest::newRow("read as a list of texts")
            << QVariant(QStringList{"[{\"timestamp\":1}", "{\"timestamp\":2}]"}) << QVariant() << 2
            << QByteArrayList{R"([{"timestamp":1},{"timestamp":2}])"};
        QTest::newRow("read as a number") << QVariant(42) << QVariant() << 0 << QByteArrayList{"42"};
    }

    void valuesInTheSettingsAreMovedOutOnce()
    {
        QFETCH(QVariant, history);
        QFETCH(QVariant, oldBackup);
        QFETCH(int, moved);
        QFETCH(QByteArrayList, backups);
        const QString settingsFile = m_dir.filePath("Netlatch/netlatch.conf");
        m_manager.reset();
        m_store.reset();
        {
            QSettings settings(settingsFile, QSettings::IniFormat);
            settings.setValue("com.netlatch.loginRecords", history);
            if (oldBackup.isValid())
                settings.setValue("com.netlatch.loginRecords.unreadable", oldBackup);
        }
        // Twice: as if the first run had been cut off after writing the file, before clearing the settings.
        for (int run = 0; run < 2; ++run) {
            const QByteArray settingsBytes = [&] {
                QFile file(settingsFile);
                return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
            }();
            m_store = openStore();
            m_manager = std::make_unique<StatisticsManager>(*m_store, m_clock, QString(), m_historyFolder);
            QCOMPARE(m_manager->loadLoginRecords().size(), moved);
            QCOMPARE(records().size(), moved);
            QVERIFY(!m_store->contains(PreferenceKeys::loginRecords));
            QVERIFY(!m_store->contains(PreferenceKeys::loginRecordsBackup));
            QByteArrayList kept;
            for (const auto &backup : backupFiles())
                kept << backup.second;
            QCOMPARE(kept, backups);
            m_manager.reset();
            m_store.reset();
            QFile file(settingsFile);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(settingsBytes) == settingsBytes.size());
        }
        m_store = openStore();
        m_manager = std::make_unique<StatisticsManager>(*m_store, m_clock, QString(), m_historyFolder);
    }

    void savePrunesToTheCutOffAndDropsUndatedRecords()
    {
        const qint64 cutoff = now() - 31'536'000;
        QJsonObject withExtraMember = recordAt(cutoff), textTimestamp = recordAt(now());
        withExtraMember.insert("ssid", "campus");
        textTimestamp["timestamp"] = QString::number(now());
        const QJsonObject undated{{"username", "u"}, {"date", "2025-03-07"}, {"time", "00:10:00"}};
        setRecords({withExtraMember, recordAt(cutoff - 1), undated, textTimestamp, recordAt(now())});
        // Today goes by the stored day text, every other period by a timestamp that is a number.
        QCOMPARE(counts(), (QList<int>{1, 1, 1}));
        QCOMPARE(m_manager->getDateDistribution(30), (QMap<QString, int>{{"2025-03-07", 1}}));

        m_manager->saveLoginRecord("new", now());
        const QJsonArray kept = records();
        QCOMPARE(kept.size(), 3);
        QCOMPARE(kept.at(0).toObject(), withExtraMember);
        QCOMPARE(kept.at(1).toObject(), recordAt(now()));
        QCOMPARE(kept.at(2)["username"].toString(), QStringLiteral("new"));
    }

    // An append skips reading the stored records only while the file is as this program last wrote
    // it and nothing in it is due for pruning.
    void appendsPruneWhatFallsDueAndNoticeHandEdits_data()
    {
        QTest::addColumn<bool>("editByHand");
        QTest::newRow("a year and a second after a save") << false;
        QTest::newRow("edited by hand since the last save") << true;
    }

    void appendsPruneWhatFallsDueAndNoticeHandEdits()
    {
        QFETCH(bool, editByHand);
        QVERIFY(m_manager->saveLoginRecord("first", now()));
        QVERIFY(m_manager->saveLoginRecord("second", now()));
        if (editByHand) {
            QJsonArray edited = records();
            edited.prepend(recordAt(now() - 400 * 86'400LL));
            setRecords(edited);
        } else {
            m_clock.advanceSeconds(31'536'001 - 1);
            QVERIFY(m_manager->saveLoginRecord("third",
                                               now())); // "first" and "second" are exactly at the cut-off
            m_clock.advanceSeconds(1);
        }
        QVERIFY(m_manager->saveLoginRecord("last", now()));
        QStringList names;
        for (const QJsonValue &record : records())
            names << record["username"].toString();
        QCOMPARE(names,
                 editByHand ? QStringList({"first", "second", "last"}) : QStringList({"third", "last"}));
    }

    void windowsUseCalendarArithmetic_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<QString>("at");
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("start");
        const QByteArray shanghai("Asia/Shanghai"), berlin("Europe/Berlin"), newYork("America/New_York");
        const QString month("month"), week("week"), perDay("per day");
        QTest::newRow("31 March") << shanghai << "2025-03-31T12:00" << month << "2025-02-28T12:00";
        QTest::newRow("leap year") << shanghai << "2024-03-31T12:00" << month << "2024-02-29T12:00";
        QTest::newRow("31 May") << newYork << "2025-05-31T23:30" << month << "2025-04-30T23:30";
        // Across the switch to summer time the week is an hour shorter than 7 × 86,400 seconds.
        QTest::newRow("week, summer time") << berlin << "2025-03-31T12:00" << week << "2025-03-24T12:00";
        // Thirty whole days and the part of the thirty-first that is still to come.
        QTest::newRow("per day") << shanghai << "2025-03-31T15:00" << perDay << "2025-03-01T15:00";
    }

    void windowsUseCalendarArithmetic()
    {
        QFETCH(QByteArray, zone);
        QFETCH(QString, at);
        QFETCH(QString, window);
        QFETCH(QString, start);
        setTimeZone(zone.constData());
        m_clock.set(instant(zone.constData(), at));
        const qint64 first = instant(zone.constData(), start).toSecsSinceEpoch();
        setRecords({recordAt(first - 1), recordAt(first), recordAt(now())});
        const QMap<QString, int> days = m_manager->getDateDistribution(30);
        QCOMPARE(window == "week"    ? m_manager->getWeekCount()
                 : window == "month" ? m_manager->getMonthCount()
                                     : std::accumulate(days.cbegin(), days.cend(), 0),
                 2);
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
        QTRY_VERIFY(!m_manager->isBusy());
        setRecords({});
        m_clock.set(instant("Asia/Shanghai", "2025-03-07T07:30"));
        m_manager->recordLogin("u");
        setTimeZone("UTC");
        m_clock.advanceSeconds(3600);
        QCOMPARE(m_manager->getTodayCount(), 1);
        QCOMPARE(m_manager->getDateDistribution(30), (QMap<QString, int>{{"2025-03-06", 1}}));
    }

    // In Santiago summer time began at midnight on 8 September 2024: that day began at 01:00.
    void perDayCountsSplitAtLocalMidnight()
    {
        const char *zone = "America/Santiago";
        setTimeZone(zone);
        m_clock.set(instant(zone, "2024-09-09T12:00"));
        QJsonArray history;
        for (const char *at : {"2024-09-07T23:59:59", "2024-09-08T01:00", "2024-09-08T23:59:59",
                               "2024-09-09T00:00", "2024-09-07T12:00"}) // the last one out of order
            history.append(recordAt(instant(zone, at).toSecsSinceEpoch()));
        setRecords(history);
        QCOMPARE(m_manager->getDateDistribution(30),
                 (QMap<QString, int>{{"2024-09-07", 2}, {"2024-09-08", 2}, {"2024-09-09", 1}}));
    }

    void statsCommandPrintsTheFiguresOfTheStore()
    {
        // netlatchctl reads the real clock: the records are placed relative to now, in UTC.
        setTimeZone("UTC");
        m_clock.set(QDateTime::currentDateTimeUtc());
        for (const int daysAgo : {40, 20, 3, 0})
            m_manager->saveLoginRecord("u", now() - daysAgo * 86'400LL);
        // Written by hand, newest: no timestamp, no date and a time that is no text.
        QJsonArray history = records(), recent, perDay;
        for (int i = 0; i < 7; ++i) {
            history.append(QJsonObject{{"username", "u"}, {"time", 42}});
            recent.append(QJsonObject{{"id", QString::number(i)}, {"date", ""}, {"time", ""}});
        }
        for (const int i : {3, 2, 1}) { // 0, 3 and 20 days ago: the ten newest, and the days of the last 30
            const QJsonValue date = history.at(i)["date"];
            recent.append(QJsonObject{
                {"id", QString::number(recent.size())}, {"date", date}, {"time", history.at(i)["time"]}});
            perDay.append(QJsonObject{{"date", date}, {"count", 1}});
        }
        setRecords(history);
        qputenv("XDG_CONFIG_HOME", m_dir.path().toUtf8());
        qputenv("XDG_DATA_HOME", m_dir.filePath("data").toUtf8());

        const ProgramRun run = runNetlatchctl({"stats", "--json"});
        QCOMPARE(run.exitCode, 0);
        QJsonObject figures = QJsonDocument::fromJson(run.out.toUtf8()).object();
        QCOMPARE(figures.take("dateDistribution").toArray(), perDay);
        QCOMPARE(figures.take("recentRecords").toArray(), recent);
        QCOMPARE(figures,
                 (QJsonObject{{"totalCount", 11}, {"todayCount", 1}, {"weekCount", 2}, {"monthCount", 3}}));
    }

    // Stored text is shown, never obeyed: a terminal escape or a right-to-left override (which would
    // turn "12:00:00" around) is printed escaped.
    void statsCommandEscapesStoredText()
    {
        setRecords({QJsonObject{{"username", "u"}, {"date", "2025-03-07\x1b[2J"}, {"time", "\u202E00:00:21\\"}}});
        m_store->sync();
        qputenv("XDG_CONFIG_HOME", m_dir.path().toUtf8());
        const ProgramRun run = runNetlatchctl({"stats"});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.out.contains(QStringLiteral("  2025-03-07\\u{001B}[2J\\u{202E}00:00:21\\\\\n")), qPrintable(run.out));
    }

    void uploadIsLoggedByItsStatus_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("line");
        QTest::newRow("200") << 200 << QStringLiteral("✅ 联网统计已发送");
        QTest::newRow("201") << 201 << QStringLiteral("⚠️ 统计服务器返回错误: 201");
        QTest::newRow("500") << 500 << QStringLiteral("⚠️ 统计服务器返回错误: 500");
    }

    void uploadIsLoggedByItsStatus()
    {
        QFETCH(int, status);
        QFETCH(QString, line);
        QMutex mutex;
        QByteArrayList received; // the content type and body of each request
        LocalHttpServer server;
        server.server().Post(
            "/api/record-login.php", [&](const httplib::Request &request, httplib::Response &response) {
                const QMutexLocker lock(&mutex);
                received << QByteArray::fromStdString(request.get_header_value("Content-Type"))
                         << QByteArray::fromStdString(request.body);
                response.status = status;
            });
        QVERIFY(server.start());

        QCOMPARE(recordLoginReportedTo(server.url("/api")), line);
        // Three members only, in compact JSON, the time an integer and the day the local one: no
        // password, machine or network name leaves the computer.
        const QMutexLocker lock(&mutex);
        QCOMPARE(received,
                 (QByteArrayList{"application/json", R"({"login_date":"2025-03-07",)"
                                                     R"("login_time":1741278600,"username":"张三"})"}));
    }

    // Were the certificate not verified, the server's 404 would be logged instead of a failure.
    void unreachableOrUntrustedServerIsAFailure()
    {
        QString address;
        {
            LocalHttpServer closed; // a loopback port that nobody listens on once it is gone
            QVERIFY(closed.start());
            address = closed.url("/api");
        }
        QString log = recordLoginReportedTo(address);
        QVERIFY2(log.startsWith(uploadFailed) && !log.contains('\n'), qPrintable(log));

        const QString certificate = m_dir.filePath("cert.pem"), key = m_dir.filePath("key.pem");
        const ProgramRun openssl = runProgram(
            "openssl", {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                        "-days", "2", "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1",
                        "-keyout", key, "-out", certificate});
        QVERIFY2(openssl.exitCode == 0, qPrintable(openssl.err));
        httplib::SSLServer untrusted(certificate.toStdString().c_str(), key.toStdString().c_str());
        const int port = untrusted.bind_to_any_port("127.0.0.1");
        QVERIFY(untrusted.is_valid() && port > 0);
        std::thread thread([&] { untrusted.listen_after_bind(); });
        const auto stop = qScopeGuard([&] {
            while (!untrusted.is_running()) // stop() takes effect only once the loop runs
                std::this_thread::yield();
            untrusted.stop();
            thread.join();
        });
        log = recordLoginReportedTo(QStringLiteral("https://127.0.0.1:%1/api").arg(port));
        QVERIFY2(log.startsWith(uploadFailed) && !log.contains('\n'), qPrintable(log));

        // Trusted, the same server is reached and answers.
        QSslConfiguration trusting = QSslConfiguration::defaultConfiguration();
        QVERIFY(trusting.addCaCertificates(certificate));
        QSslConfiguration::setDefaultConfiguration(trusting);
        QCOMPARE(recordLoginReportedTo(QStringLiteral("https://127.0.0.1:%1/api").arg(port)),
                 QStringLiteral("⚠️ 统计服务器返回错误: 404"));
    }
};

QTEST_GUILESS_MAIN(TestStatisticsManager)
#include "tst_statisticsmanager.moc"
