#include "BuildPortal.h"
#include "Netlatchctl.h"
#include "stats/LoginHistoryDatabase.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <httplib.h>

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

namespace {
const QString signedIn = QStringLiteral("✓ 登录成功！");
const QStringList loginArguments{"login", "--username", "张三", "--password-stdin"};
constexpr qint64 day = 86'400;
} // namespace

/// The sign-in history as netlatchctl processes share it: sign-ins at the same time, a history that
/// cannot be written or read, a write cut off by SIGKILL, against a portal at the build's portal
/// address (127.0.0.1:18080 in the loopback presets).
class TestLoginHistory : public QObject
{
    Q_OBJECT

    LocalHttpServer m_portal;
    // The portal holds its answers until this many sign-ins wait for one, so that they all go on to
    // save at the same moment.
    std::mutex m_mutex;
    std::condition_variable m_arrived;
    int m_waiting = 0;
    int m_holdUntil = 0;
    std::unique_ptr<QTemporaryDir> m_home;
    QProcessEnvironment m_environment;

    QString dataFolder() const { return m_home->filePath("data/Netlatch"); }
    QString legacyFile() const { return dataFolder() + "/com.netlatch.loginRecords.json"; }
    QString database() const { return dataFolder() + "/com.netlatch.loginRecords.db"; }

    // A history of `recent` sign-ins within the last year after `expired` ones older than a year, as
    // an earlier version left it: the first sign-in moves it into the database.
    void seedHistory(int expired, int recent)
    {
        const qint64 now = QDateTime::currentSecsSinceEpoch();
        QJsonArray records;
        for (int i = 0; i < expired + recent; ++i) {
            const qint64 timestamp = i < expired ? now - 400 * day + i : now - 300 * day + i;
            records.append(QJsonObject{{"username", "seeded"}, {"timestamp", timestamp}});
        }
        QDir().mkpath(dataFolder());
        QFile file(legacyFile());
        const QByteArray bytes = QJsonDocument(records).toJson(QJsonDocument::Compact);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    }
    // The stored records; absent when the database cannot be read.
    std::optional<QList<LoginRecord>> storedRecords() const
    {
        LoginHistoryDatabase history(dataFolder(), "com.netlatch.loginRecords");
        QString error, keptAside;
        if (!history.open(&error, &keptAside) || !keptAside.isEmpty())
            return std::nullopt;
        return history.newest(-1);
    }
    std::unique_ptr<QProcess> startLogin()
    {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(m_environment);
        process->start(QStringLiteral(NETLATCHCTL_PATH), loginArguments);
        process->write("demo-password\n");
        process->waitForBytesWritten(); // the password reaches each process before the next one starts
        process->closeWriteChannel();
        return process;
    }
    ProgramRun login() { return runNetlatchctl(loginArguments, "demo-password\n", m_environment); }

private Q_SLOTS:
    void initTestCase()
    {
        m_portal.server().new_task_queue = [] { return new httplib::ThreadPool(32); };
        m_portal.server().Post("/ac_portal/login.php", [this](const httplib::Request &,
                                                              httplib::Response &res) {
            std::unique_lock lock(m_mutex);
            ++m_waiting;
            m_arrived.notify_all();
            // A hang guard only: every sign-in of the test arrives long before.
            m_arrived.wait_for(lock, std::chrono::seconds(30), [this] { return m_waiting >= m_holdUntil; });
            res.set_content("{'success':true,'msg':'认证成功'}", "text/html");
        });
        const int port = buildPort(BuildConfig::portalAddress);
        // The server shares a port it is given with any other listener, which would then answer half
        // of the sign-ins: make sure nobody else is there.
        QTcpSocket probe;
        probe.connectToHost(QStringLiteral("127.0.0.1"), quint16(port));
        if (probe.waitForConnected(1000) || !m_portal.start(port))
            QSKIP("the build's portal port is taken by another program; the portal cannot be simulated");
    }

    void init()
    {
        m_home = std::make_unique<QTemporaryDir>();
        m_environment = QProcessEnvironment::systemEnvironment();
        m_environment.insert("XDG_CONFIG_HOME", m_home->filePath("config"));
        m_environment.insert("XDG_DATA_HOME", m_home->filePath("data"));
    }

    void simultaneousSignInsKeepEveryRecord_data()
    {
        QTest::addColumn<int>("signIns");
        QTest::addColumn<int>("expired"); // stored records due for pruning, so the first save prunes
        QTest::addColumn<int>("recent");
        QTest::newRow("twenty at once") << 20 << 0 << 0;
        QTest::newRow("while another prunes") << 6 << 20'000 << 20'000;
    }

    void simultaneousSignInsKeepEveryRecord()
    {
        QFETCH(int, signIns);
        QFETCH(int, expired);
        QFETCH(int, recent);
        if (expired + recent > 0)
            seedHistory(expired, recent);
        {
            const std::lock_guard lock(m_mutex);
            m_waiting = 0;
            m_holdUntil = signIns;
        }
        const auto release = qScopeGuard([this] {
            const std::lock_guard lock(m_mutex);
            m_holdUntil = 0;
        });
        std::vector<std::unique_ptr<QProcess>> processes;
        for (int i = 0; i < signIns; ++i)
            processes.push_back(startLogin());
        for (const auto &process : processes) {
            QVERIFY(process->waitForFinished(60000)); // a hang guard only
            const QString out = QString::fromUtf8(process->readAllStandardOutput());
            QVERIFY2(process->exitCode() == 0 && out.contains(signedIn), qPrintable(out));
            QCOMPARE(process->readAllStandardError(), QByteArray());
        }
        // Every sign-in is kept, every expired record pruned.
        const QList<LoginRecord> records = storedRecords().value_or(QList<LoginRecord>());
        QCOMPARE(records.size(), recent + signIns);
        const qint64 cutoff = QDateTime::currentSecsSinceEpoch() - 365 * day;
        QVERIFY(std::all_of(records.cbegin(), records.cend(), [&](auto &r) { return r.timestamp >= cutoff; }));
        QCOMPARE(std::count_if(records.cbegin(), records.cend(), [](auto &r) { return r.username == "张三"; }), signIns);
    }

    // The sign-in itself succeeded, so the exit status stays 0; stderr says once what became of the
    // history, and the sign-ins are counted from then on.
    void historyTroubleIsToldOnStderr()
    {
        QDir().mkpath(dataFolder());
        QFile damaged(database());
        QVERIFY(damaged.open(QIODevice::WriteOnly) && damaged.write(QByteArray(4096, 'x')) == 4096);
        damaged.close();
        const QString warning = "netlatchctl: warning: the stored sign-in history could not be read; it was "
                                "kept in " + dataFolder() + "/com.netlatch.loginRecords.unreadable.1\n";
        for (const QString &expected : {warning, QString()}) {
            const ProgramRun run = login();
            QVERIFY(run.exitCode == 0 && run.out.contains(signedIn));
            QCOMPARE(run.err, expected);
        }
        const ProgramRun stats = runNetlatchctl({"stats", "--json"}, {}, m_environment);
        QCOMPARE(QJsonDocument::fromJson(stats.out.toUtf8())["totalCount"].toInt(), 2);
    }

    // Whoever reads the success line may stop netlatchctl at once: the sign-in is in the history by then.
    void killedAtTheSuccessLineLosesNothing()
    {
        m_holdUntil = 0;
        for (int signIns = 1; signIns <= 3; ++signIns) {
            const std::unique_ptr<QProcess> process = startLogin();
            QByteArray out;
            while (!out.contains(signedIn.toUtf8()) && process->waitForReadyRead(20000))
                out += process->readAllStandardOutput();
            process->kill();
            process->waitForFinished();
            QCOMPARE(storedRecords().value_or(QList<LoginRecord>()).size(), signIns);
        }
    }

    // A sign-in killed at each step of its write leaves the history with or without it, whole and
    // readable. strace delivers the SIGKILL as the step's system call begins.
    void aKilledWriteLosesNothing_data()
    {
        QTest::addColumn<QString>("step");
        QTest::newRow("writing") << "pwrite64";
        QTest::newRow("syncing") << "fdatasync,fsync";
    }

    void aKilledWriteLosesNothing()
    {
        QFETCH(QString, step);
        const QString strace = QStandardPaths::findExecutable("strace");
        if (strace.isEmpty())
            QSKIP("strace is not installed: the kill cannot be placed at a step");
        constexpr int stored = 2'000;
        seedHistory(0, stored);
        QCOMPARE(login().exitCode, 0); // moves the seeded history in
        // Only calls on the history's own files count.
        const ProgramRun run = runProgram(
            strace,
            QStringList{"-f", "-qq", "-o", "/dev/null", "-P", database(), "-P", database() + "-wal", "-e", "trace=" + step,
             "-e", "inject=" + step + ":signal=KILL:when=1", NETLATCHCTL_PATH} + loginArguments,
            "demo-password\n", m_environment);
        const std::optional<QList<LoginRecord>> records = storedRecords();
        QVERIFY2(records, qPrintable("the history cannot be read; netlatchctl said: " + run.out + run.err));
        QVERIFY2(records->size() == stored + 1 || records->size() == stored + 2,
                 qPrintable(QString::number(records->size())));
        QCOMPARE(login().exitCode, 0); // and the next sign-in is stored
        QCOMPARE(storedRecords().value_or(QList<LoginRecord>()).size(), records->size() + 1);
    }
};

QTEST_GUILESS_MAIN(TestLoginHistory)
#include "tst_loginhistory.moc"
