#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {
constexpr int waitMs = 30000;
constexpr int alreadyRunning = 75;
constexpr int switchedOff = 78;

// netlatchctl with a runtime folder of the test's own (where the engine's lock lives) and no
// system bus, so that the daemon sees no Wi-Fi and no sleep events of this machine.
class Netlatchctl
{
public:
    explicit Netlatchctl(const QString &runtimeDirectory)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDirectory);
        environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent"));
        m_process.setProcessEnvironment(environment);
        QObject::connect(&m_process, &QProcess::readyReadStandardError,
                         [this] { m_err += QString::fromUtf8(m_process.readAllStandardError()); });
    }

    void start(const QStringList &arguments) { m_process.start(QStringLiteral(NETLATCHCTL_PATH), arguments); }

    /// Runs to the end; the exit code.
    int run(const QStringList &arguments)
    {
        start(arguments);
        return finish();
    }
    int finish()
    {
        m_process.waitForFinished(waitMs);
        m_out += QString::fromUtf8(m_process.readAllStandardOutput());
        m_err += QString::fromUtf8(m_process.readAllStandardError());
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }
    bool waitForError(const QString &text)
    {
        return QTest::qWaitFor([&] { return m_err.contains(text); }, waitMs);
    }
    void terminate() { ::kill(pid(), SIGTERM); }
    qint64 pid() const { return m_process.processId(); }
    const QString &out() const { return m_out; }
    const QString &err() const { return m_err; }

private:
    QProcess m_process;
    QString m_out;
    QString m_err;
};

} // namespace

class TestDaemonCommand : public QObject
{
    Q_OBJECT

    QTemporaryDir m_runtime;

    int autologin(const QString &action, QString *out = nullptr)
    {
        Netlatchctl ctl(m_runtime.path());
        const int status = ctl.run({QStringLiteral("autologin"), action});
        if (out)
            *out = ctl.out();
        return status;
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_runtime.isValid());
        QCOMPARE(autologin(QStringLiteral("off")), 0);
    }

    void autologinSwitchesAndShowsTheSetting()
    {
        QString out;
        QCOMPARE(autologin(QStringLiteral("status"), &out), 0);
        QVERIFY(out.startsWith(QStringLiteral("Automatic sign-in: off\nAuto-login engine: not running\n")));
        QCOMPARE(autologin(QStringLiteral("on"), &out), 0);
        QVERIFY(out.startsWith(QStringLiteral("Automatic sign-in: on\n")));
        QVERIFY(out.contains(QStringLiteral("systemctl --user start netlatch.service")));
        QCOMPARE(autologin(QStringLiteral("status"), &out), 0);
        QVERIFY(out.startsWith(QStringLiteral("Automatic sign-in: on\n")));
        QCOMPARE(autologin(QStringLiteral("maybe")), 2);
    }

    void daemonRefusesToStartWhenSwitchedOff()
    {
        Netlatchctl daemon(m_runtime.path());
        QCOMPARE(daemon.run({QStringLiteral("daemon")}), switchedOff);
        QVERIFY(daemon.err().contains(QStringLiteral("automatic sign-in is switched off")));
        QVERIFY(daemon.err().contains(QStringLiteral("netlatchctl autologin on")));
    }

    // One engine per user: a second daemon names the first instead of running. The first follows
    // the stored switch while it runs and ends cleanly on SIGTERM.
    void onlyOneDaemonRunsAndItEndsOnSigterm()
    {
        QCOMPARE(autologin(QStringLiteral("on")), 0);
        Netlatchctl first(m_runtime.path());
        first.start({QStringLiteral("daemon"), QStringLiteral("--verbose")});
        QVERIFY2(first.waitForError(QStringLiteral("✅ 自动联网监听已启动")), qPrintable(first.err()));

        Netlatchctl second(m_runtime.path());
        QCOMPARE(second.run({QStringLiteral("daemon")}), alreadyRunning);
        QVERIFY2(second.err().contains(QStringLiteral("already running for this user (PID %1)").arg(first.pid())),
                 qPrintable(second.err()));
        QVERIFY(!second.err().contains(QStringLiteral("自动联网监听已启动")));

        QString out;
        QCOMPARE(autologin(QStringLiteral("off"), &out), 0);
        QVERIFY(out.contains(QStringLiteral("Auto-login engine: running (PID %1)").arg(first.pid())));
        QVERIFY2(first.waitForError(QStringLiteral("✅ 自动联网已禁用")), qPrintable(first.err()));
        QCOMPARE(autologin(QStringLiteral("on")), 0);
        QVERIFY2(first.waitForError(QStringLiteral("✅ 自动联网已启用")), qPrintable(first.err()));

        first.terminate();
        QCOMPARE(first.finish(), 0);
        QVERIFY(first.err().trimmed().endsWith(QStringLiteral("✅ 自动联网监听已停止")));
        QString status;
        QCOMPARE(autologin(QStringLiteral("status"), &status), 0);
        QVERIFY(status.contains(QStringLiteral("Auto-login engine: not running")));
    }
};

QTEST_GUILESS_MAIN(TestDaemonCommand)
#include "tst_daemoncommand.moc"
