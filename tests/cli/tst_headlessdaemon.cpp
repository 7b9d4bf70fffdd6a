// netlatchctl as the system service runs it (netlatch-daemon.service): the environment systemd gives
// it (CREDENTIALS_DIRECTORY, STATE_DIRECTORY, RUNTIME_DIRECTORY, no session bus), a system bus whose
// NetworkManager has a wired device and no Wi-Fi, the portal at the build's address, and the probe
// site at the build's probe URL playing the network.
#include "BuildPortal.h"
#include "Netlatchctl.h"
#include "PrivateDBus.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace Qt::StringLiterals;

class TestHeadlessDaemon : public QObject
{
    Q_OBJECT

    std::unique_ptr<PrivateDBus> m_system;
    QTemporaryDir m_credentials, m_state, m_runtime;
    BuildPortal m_portal{"gateway", "s3cret&pw"};
    LocalHttpServer m_probeSite;
    std::string m_probeAnswer; // where the probe site redirects to; empty: 503
    QProcessEnvironment m_environment;

    void writeCredential(const QString &name, const QByteArray &data, QFile::Permissions permissions)
    {
        QFile file(m_credentials.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(data) == data.size());
        QVERIFY(file.setPermissions(permissions));
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_system = std::make_unique<PrivateDBus>(PrivateDBus::Role::System);
        const QString networkManager = u"org.freedesktop.NetworkManager"_s;
        QVERIFY(m_system->startMock({u"--template"_s, u"networkmanager"_s}, networkManager));
        QVERIFY(m_system->call(networkManager, u"/org/freedesktop"_s, u"AddEthernetDevice"_s, {u"eth0"_s, u"eth0"_s, 100}));
        m_probeSite.server().Get("/", [this](const auto &, auto &res) {
            if (m_probeAnswer.empty())
                res.status = 503;
            else
                res.set_redirect(m_probeAnswer);
        });
        if (!m_portal.start() || !m_probeSite.start(buildPort(BuildConfig::probeURL)))
            QSKIP("the build's loopback portal or probe port is taken");

        m_environment = QProcessEnvironment::systemEnvironment();
        for (const char *variable : {"DBUS_SESSION_BUS_ADDRESS", "DISPLAY", "WAYLAND_DISPLAY", "XDG_RUNTIME_DIR"})
            m_environment.remove(QString::fromLatin1(variable));
        m_environment.insert(u"CREDENTIALS_DIRECTORY"_s, m_credentials.path());
        m_environment.insert(u"STATE_DIRECTORY"_s, m_state.path());
        m_environment.insert(u"RUNTIME_DIRECTORY"_s, m_runtime.path());
        for (const QStringList &arguments : {QStringList{"autologin", "on"}, QStringList{"autologin", "wired", "on"}})
            QCOMPARE(runNetlatchctl(arguments, {}, m_environment).exitCode, 0);
    }

    void init()
    {
        writeCredential(u"netlatch.username"_s, "gateway\n", QFile::ReadOwner | QFile::WriteOwner);
        writeCredential(u"netlatch.password"_s, "s3cret&pw\n", QFile::ReadOwner);
    }

    // On a network without an SSID, only a probe sent to the portal itself (scheme, host and port)
    // lets the campus password go out.
    void signsInAtStartOnlyWhereThePortalAnswers_data()
    {
        QTest::addColumn<QString>("probeAnswer");
        QTest::addColumn<int>("forms");
        const QString portal = QString::fromUtf8(BuildConfig::portalAddress);
        const QString port = QString::number(buildPort(BuildConfig::portalAddress));
        QTest::newRow("redirected to the portal") << "http://" + portal + "/ac_portal/default/pc.html" << 1;
        QTest::newRow("redirected elsewhere") << "http://127.0.0.2:" + port + "/login" << 0;
        QTest::newRow("redirected to the portal's host over https") << "https://" + portal + "/" << 0;
        QTest::newRow("probe fails") << QString() << 0;
    }

    void signsInAtStartOnlyWhereThePortalAnswers()
    {
        QFETCH(QString, probeAnswer);
        QFETCH(int, forms);
        m_probeAnswer = probeAnswer.toStdString();
        m_portal.forms = 0;
        QProcess daemon;
        daemon.setProcessEnvironment(m_environment);
        QString err;
        connect(&daemon, &QProcess::readyReadStandardError, this, [&] { err += daemon.readAllStandardError(); });
        daemon.start(QStringLiteral(NETLATCHCTL_PATH), {"daemon", "--verbose"});
        const QString outcome = forms ? u"✅ 自动联网成功，已发送通知"_s : u"网络检测未被重定向到认证服务器"_s;
        QVERIFY(QTest::qWaitFor([&] { return err.contains(outcome); }, 30000));
        ::kill(pid_t(daemon.processId()), SIGTERM);
        QVERIFY(daemon.waitForFinished(30000));
        QVERIFY2(err.contains(u"启动时检查"_s), qPrintable(err));
        QCOMPARE(m_portal.forms.load(), forms);
        QCOMPARE(err.count(u"banners are unavailable"_s), 1);
        if (forms) // the history is kept in the state folder
            QVERIFY(QFile::exists(m_state.filePath(u"Netlatch/com.netlatch.loginRecords.db"_s)));
    }

    // A credential anyone but its owner may read is not the service's secret: nothing is sent with it.
    void credentialsReadableByOthersAreRefused()
    {
        writeCredential(u"netlatch.password"_s, "s3cret&pw", QFile::ReadOwner | QFile::ReadGroup);
        const int requests = m_portal.requests;
        const ProgramRun login = runNetlatchctl({"login"}, {}, m_environment);
        QCOMPARE(login.exitCode, 1);
        QVERIFY2(login.err.contains(m_credentials.filePath(u"netlatch.password"_s) + " may be read by others"),
                 qPrintable(login.err));
        QCOMPARE(m_portal.requests.load(), requests);
    }
};

QTEST_GUILESS_MAIN(TestHeadlessDaemon)
#include "tst_headlessdaemon.moc"
