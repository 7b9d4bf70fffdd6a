#include "HistoryAnswer.h"
#include "LocalHttpServer.h"
#include "LogCapture.h"
#include "MockClock.h"
#include "Netlatchctl.h"
#include "stats/StatisticsData.h"
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
#include <sys/stat.h>
#include <thread>

namespace {
const QString uploadFailed = QStringLiteral("⚠️ 发送统计失败: ");

// Switches the process's local time zone, as the user changing it would.
void setTimeZone(const QByteArray &zone)
{
    qputenv("TZ", zone);
    tzset();
}

// The instant of a wall-clock time ("yyyy-MM-ddTHH:mm[:ss]") in `zone`.
QDateTime instant(const QByteArray &zone, const QString &wallClock)
{
    const QDateTime local = QDateTime::fromString(wallClock, Qt::ISODate);
    return QDateTime(local.date(), local.time(), QTimeZone(zone)).toUTC();
}

QJsonObject recordAt(qint64 timestamp, const QString &username = "u")
{
    return {{"username", username}, {"timestamp", timestamp}, {"date", "2000-01-01"}, {"time", "00:00:00"}};
}

// The figures as one line: "today 1, week 1, month 2; 2025-03-31: 1".
QString describe(const StatisticsData &data)
{
    QStringList days;
    for (auto day = data.dateDistribution.cbegin(); day != data.dateDistribution.cend(); ++day)
        days << day.key() + ": " + QString::number(day.value());
    const QString counts = QStringLiteral("today %1, week %2, month %3; ");
    return counts.arg(data.todayCount).arg(data.weekCount).arg(data.monthCount) + days.join(", ");
}
} // namespace

/// The sign-in history: its database, the move of earlier versions' history into it, pruning, the
/// figures read from it, `netlatchctl stats`, and the report of each sign-in to the statistics server
/// (against real local servers).
class TestStatisticsManager : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir; // netlatchctl finds the store with XDG_CONFIG_HOME and XDG_DATA_HOME set to it
    const QString m_settingsFile = m_dir.filePath("Netlatch/netlatch.conf");
    const QString m_historyFolder = m_dir.filePath("data/Netlatch");
    const QString m_database = m_historyFolder + "/com.netlatch.loginRecords.db";
    const QString m_legacyFile = m_historyFolder + "/com.netlatch.loginRecords.json";
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
        QFile::remove(m_settingsFile);
        QDir(m_historyFolder).removeRecursively();
        reopen(apiBaseURL);
    }
    // Another process starting: the same files, nothing opened yet.
    void reopen(const QString &apiBaseURL = {})
    {
        m_manager.reset();
        m_store.reset();
        m_store = std::make_unique<Preferences>(std::make_unique<QSettings>(m_settingsFile, QSettings::IniFormat));
        m_manager = std::make_unique<StatisticsManager>(*m_store, m_clock, apiBaseURL, m_historyFolder);
    }
    qint64 now() const { return m_clock.now().toSecsSinceEpoch(); }
    static void writeFile(const QString &path, const QByteArray &bytes)
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    }
    static QByteArray readFile(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // A history as an earlier version left it in its JSON file, moved in when the history is next opened.
    void setRecords(const QJsonArray &records)
    {
        reopen();
        QFile::remove(m_database);
        writeFile(m_legacyFile, QJsonDocument(records).toJson(QJsonDocument::Compact));
    }
    // What the backups beside the history hold, oldest first.
    QByteArrayList backups() const
    {
        QByteArrayList found;
        for (const QFileInfo &info : QDir(m_historyFolder).entryInfoList({"*.unreadable.?"}, QDir::Files, QDir::Name))
            found << readFile(info.filePath());
        return found;
    }
    StatisticsData figures() { return historyAnswer(*m_manager, &StatisticsManager::loadStatistics); }
    QList<LoginRecord> records() { return historyAnswer(*m_manager, &StatisticsManager::loadLoginRecords); }
    QStringList storedNames()
    {
        QStringList names;
        for (const LoginRecord &record : records())
            names << record.username;
        return names;
    }

    // Records a sign-in reported to `apiBaseURL`; the log once the upload has ended.
    QString recordLoginReportedTo(const QString &apiBaseURL)
    {
        reset(apiBaseURL);
        LogCapture log;
        m_manager->recordLogin(QStringLiteral("张三"));
        // A hang guard only: the upload gives up by itself after 10 seconds.
        if (!QTest::qWaitFor([this] { return !m_manager->isBusy(); }, 30000))
            return "the upload never ended";
        if (storedNames() != QStringList{"张三"})
            return "the sign-in was not written";
        m_manager.reset(); // closes its connection, which the local server would wait for
        return log.text();
    }

private Q_SLOTS:
    void init() { reset(); }

    void signInsAreStoredAndCountedAtOnce()
    {
        m_clock.set(m_clock.now().addMSecs(900)); // the fraction is cut off, not rounded
        m_manager->recordLogin(QStringLiteral("张三"));
        QCOMPARE(figures().todayCount, 1); // seen before it is written
        QTRY_VERIFY(!m_manager->isBusy());
        const LoginRecord record{"张三", 1741278600, "2025-03-07", "00:30:00"};
        QCOMPARE(records(), QList<LoginRecord>{record});

        m_manager->recordLogin(QStringLiteral("张三")); // in the same second: both count
        reopen();                                       // a manager that goes away writes what it holds
        QCOMPARE(records(), (QList<LoginRecord>{record, record}));
        QVERIFY(!m_store->contains(PreferenceKeys::loginRecords)); // the settings stay free of it
    }

    // What cannot be read is kept aside (when it is a regular file) and a new history started; nothing
    // ever blocks on a FIFO put in the history's place.
    void unreadableHistoryIsKeptAsideAndANewOneStarted_data()
    {
        QTest::addColumn<QString>("path");      // what is put in the history's place
        QTest::addColumn<QByteArray>("bytes");  // its contents; "fifo" for a FIFO
        QTest::addColumn<bool>("saves");        // whether the next sign-in is stored
        QTest::addColumn<bool>("keptAside");
        const QString db = "com.netlatch.loginRecords.db", json = "com.netlatch.loginRecords.json";
        QTest::newRow("database: no database") << db << QByteArray(2048, 'x') << true << true;
        QTest::newRow("database: a FIFO") << db << QByteArray("fifo") << false << false;
        QTest::newRow("old file: truncated") << json << QByteArray("[{\"timestamp\":1") << true << true;
        QTest::newRow("old file: non-object element") << json << QByteArray("[{},2]") << true << true;
        QTest::newRow("old file: a FIFO") << json << QByteArray("fifo") << true << false;
    }

    void unreadableHistoryIsKeptAsideAndANewOneStarted()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, saves);
        QFETCH(bool, keptAside);
        const QString target = m_historyFolder + "/" + path;
        QDir().mkpath(m_historyFolder);
        if (bytes == "fifo")
            QCOMPARE(mkfifo(QFile::encodeName(target).constData(), 0600), 0);
        else
            writeFile(target, bytes);
        QCOMPARE(figures().totalCount, 0);
        m_manager->saveLoginRecord("u", now());
        QCOMPARE(figures().totalCount, saves ? 1 : 0);
        QCOMPARE(backups(), keptAside ? QByteArrayList{bytes} : QByteArrayList{});
        QCOMPARE(m_manager->historyProblems().size(), 1); // netlatchctl tells it once
    }

    // Earlier versions kept the history in the settings file (where a hand edit could turn it into a
    // list of texts), and then in a JSON file. Each is moved in once: nothing lost, nothing doubled.
    void earlierHistoriesAreMovedInOnce_data()
    {
        QTest::addColumn<QVariant>("settings");
        QTest::addColumn<QVariant>("settingsBackup");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("moved");              // records in the database afterwards
        QTest::addColumn<QByteArrayList>("backups"); // what the numbered backups hold
        const QByteArray two = R"([{"timestamp":1741278000,"date":"2025-03-07"},{"timestamp":1741278500}])";
        QTest::newRow("settings, their backup and file")
            << QVariant(two) << QVariant(QByteArray("[broken")) << two << 4 << QByteArrayList{"[broken"};
        // Its commas split it: joined again it reads, and the hand-edited value is kept as well.
        QTest::newRow("read as a list of texts")
            << QVariant(QStringList{"[{\"timestamp\":1}", "{\"timestamp\":2}]"}) << QVariant() << QByteArray() << 2
            << QByteArrayList{R"([{"timestamp":1},{"timestamp":2}])"};
        QTest::newRow("read as a number") << QVariant(42) << QVariant() << QByteArray() << 0 << QByteArrayList{"42"};
    }

    void earlierHistoriesAreMovedInOnce()
    {
        QFETCH(QVariant, settings);
        QFETCH(QVariant, settingsBackup);
        QFETCH(QByteArray, file);
        m_manager.reset();
        m_store.reset();
        {
            QSettings store(m_settingsFile, QSettings::IniFormat);
            if (settings.isValid())
                store.setValue("com.netlatch.loginRecords", settings);
            if (settingsBackup.isValid())
                store.setValue("com.netlatch.loginRecords.unreadable", settingsBackup);
        }
        const QByteArray settingsBytes = readFile(m_settingsFile);
        if (!file.isEmpty())
            writeFile(m_legacyFile, file);
        const QString staleCopy = m_legacyFile + ".Ab12Cd"; // an earlier version's write cut off by a kill
        writeFile(staleCopy, "[");
        // Twice: as if the first move had been cut off after its commit, before its sources were put away.
        for (int run = 0; run < 2; ++run) {
            reopen();
            QTEST(figures().totalCount, "moved");
            QVERIFY(!m_store->contains(PreferenceKeys::loginRecords));
            QVERIFY(!m_store->contains(PreferenceKeys::loginRecordsBackup));
            QVERIFY(!QFile::exists(m_legacyFile) && !QFile::exists(staleCopy));
            QCOMPARE(readFile(m_legacyFile + ".migrated"), file);
            QTEST(backups(), "backups");
            m_manager.reset();
            m_store.reset();
            writeFile(m_settingsFile, settingsBytes);
            if (!file.isEmpty())
                QVERIFY(QFile::copy(m_legacyFile + ".migrated", m_legacyFile));
        }
    }

    void savePrunesToTheCutOffAndDropsUndatedRecords()
    {
        const qint64 cutoff = now() - 31'536'000;
        QJsonObject textTimestamp = recordAt(now());
        textTimestamp["timestamp"] = QString::number(now());
        const QJsonObject undated{{"username", "undated"}, {"date", "2025-03-07"}, {"time", "00:10:00"}};
        setRecords({recordAt(cutoff, "cut-off"), recordAt(cutoff - 1), undated, textTimestamp, recordAt(now(), "now")});
        // Today goes by the stored day text, every other period by a timestamp that is a number.
        QCOMPARE(describe(figures()), "today 1, week 1, month 1; 2025-03-07: 1");
        m_manager->saveLoginRecord("new", now());
        QCOMPARE(storedNames(), (QStringList{"cut-off", "now", "new"}));
        m_clock.advanceSeconds(1); // "cut-off" falls due at the next save
        m_manager->saveLoginRecord("last", now());
        QCOMPARE(storedNames(), (QStringList{"now", "new", "last"}));
    }

    // The week and the month reach back by the calendar, the per-day map thirty days and the part of
    // the thirty-first still to come, each sign-in counted on its local day.
    void figuresFollowTheCalendar_data()
    {
        QTest::addColumn<QByteArray>("zone");   // where the sign-ins happen
        QTest::addColumn<QString>("signIns");   // their wall-clock times there
        QTest::addColumn<QByteArray>("readIn"); // where the figures are read
        QTest::addColumn<QString>("at");        // and when, on the wall clock there
        QTest::addColumn<QString>("figures");
        const QByteArray shanghai("Asia/Shanghai"), berlin("Europe/Berlin"), santiago("America/Santiago");
        QTest::newRow("month from 31 March")
            << shanghai << "2025-02-28T11:59:59 2025-02-28T12:00 2025-03-31T12:00" << shanghai
            << "2025-03-31T12:00"
            << "today 1, week 1, month 2; 2025-03-31: 1";
        // Across the switch to summer time the week is an hour shorter than 7 × 86,400 seconds.
        QTest::newRow("week across summer time")
            << berlin << "2025-03-24T11:59:59 2025-03-24T12:00 2025-03-31T12:00" << berlin << "2025-03-31T12:00"
            << "today 1, week 2, month 3; 2025-03-24: 2, 2025-03-31: 1";
        QTest::newRow("per day")
            << shanghai << "2025-03-01T14:59:59 2025-03-01T15:00 2025-03-31T15:00" << shanghai << "2025-03-31T15:00"
            << "today 1, week 1, month 3; 2025-03-01: 1, 2025-03-31: 1";
        // 07:30 in Shanghai is 23:30 the day before in UTC. After the user moves to UTC, today's count
        // follows the stored day text and the per-day map the timestamp.
        QTest::newRow("moved to UTC") << shanghai << "2025-03-07T07:30" << QByteArray("UTC") << "2025-03-07T00:30"
                                      << "today 1, week 1, month 1; 2025-03-06: 1";
        // In Santiago summer time began at midnight on 8 September 2024: that day began at 01:00. The
        // last sign-in is out of order.
        QTest::newRow("short day in Santiago")
            << santiago << "2024-09-07T23:59:59 2024-09-08T01:00 2024-09-08T23:59:59 2024-09-09T00:00 2024-09-07T12:00"
            << santiago << "2024-09-09T12:00"
            << "today 1, week 5, month 5; 2024-09-07: 2, 2024-09-08: 2, 2024-09-09: 1";
    }

    void figuresFollowTheCalendar()
    {
        QFETCH(QByteArray, zone);
        QFETCH(QString, signIns);
        QFETCH(QByteArray, readIn);
        QFETCH(QString, at);
        setTimeZone(zone);
        m_clock.set(instant(readIn, at));
        for (const QString &signIn : signIns.split(' '))
            m_manager->saveLoginRecord("u", instant(zone, signIn).toSecsSinceEpoch());
        setTimeZone(readIn);
        QTEST(describe(figures()), "figures");
    }

    // `netlatchctl stats` shows stored text and never obeys it: a terminal escape or a right-to-left
    // override (which would turn "12:00:00" around) in what an earlier version stored is printed escaped.
    void statsCommandPrintsStoredTextEscaped()
    {
        // Written by hand: no timestamp, and hostile text.
        setRecords({QJsonObject{{"username", "u"}, {"date", "2025-03-07\x1b[2J"}, {"time", "\u202E00:00:21\\"}}});
        qputenv("XDG_CONFIG_HOME", m_dir.path().toUtf8());
        qputenv("XDG_DATA_HOME", m_dir.filePath("data").toUtf8());
        const ProgramRun text = runNetlatchctl({"stats"});
        QCOMPARE(text.exitCode, 0);
        QVERIFY2(text.out.contains(QStringLiteral("  2025-03-07\\u{001B}[2J\\u{202E}00:00:21\\\\\n")),
                 qPrintable(text.out));
    }

    // Three members only, in compact JSON, the time an integer and the day the local one: no password,
    // machine or network name leaves the computer.
    void uploadSendsOnlyTheSignIn()
    {
        QMutex mutex;
        QByteArrayList received; // the content type and body of each request
        LocalHttpServer server;
        server.server().Post(
            "/api/record-login.php", [&](const httplib::Request &request, httplib::Response &) {
                const QMutexLocker lock(&mutex);
                received << QByteArray::fromStdString(request.get_header_value("Content-Type"))
                         << QByteArray::fromStdString(request.body);
            });
        QVERIFY(server.start());
        QCOMPARE(recordLoginReportedTo(server.url("/api")), QStringLiteral("✅ 联网统计已发送"));
        const QMutexLocker lock(&mutex);
        QCOMPARE(received,
                 (QByteArrayList{"application/json", R"({"login_date":"2025-03-07",)"
                                                     R"("login_time":1741278600,"username":"张三"})"}));
    }

    // Were the certificate not verified, the server's 404 would be logged instead of a failure.
    void untrustedServerIsAFailure()
    {
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
        const QString log = recordLoginReportedTo(QStringLiteral("https://127.0.0.1:%1/api").arg(port));
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
