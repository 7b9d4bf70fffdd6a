#include "FakeBannerCenter.h"
#include "FakeLocationAuthorization.h"
#include "FakeSecretStore.h"
#include "FakeWifiClient.h"
#include "LocalHttpServer.h"
#include "LogCapture.h"
#include "MockClock.h"
#include "PrivateDBus.h"
#include "auth/HTTPAuthService.h"
#include "autologin/AutoLoginManager.h"
#include "platform/linux/LinuxSystemEvents.h"
#include "platform/linux/LinuxWifiClient.h"
#include "store/KeychainHelper.h"
#include "store/Preferences.h"

#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QScopeGuard>
#include <QTimer>

#include <csignal>

#include <httplib.h>

using namespace Qt::StringLiterals;

namespace {
const QString NetworkManager = u"org.freedesktop.NetworkManager"_s;
const QString reconnectLine = u"📶 检测到网络连接断开，检查是否需要自动联网..."_s;
} // namespace

/// The engine on a private system bus with python-dbusmock's NetworkManager: its connectivity
/// reports start a reconnect, and a NetworkManager that holds its name but never answers holds up
/// nothing on the main thread.
class TestAutoLoginOnBus : public QObject
{
    Q_OBJECT

    std::unique_ptr<PrivateDBus> m_system;
    QProcess *m_networkManager = nullptr;
    QTemporaryDir m_dir;
    Preferences m_preferences{std::make_unique<QSettings>(m_dir.filePath(u"prefs.ini"_s), QSettings::IniFormat)};
    FakeLocationAuthorization m_location{LocationAuthorization::AuthorizedAlways};
    FakeSecretStore m_secrets;
    KeychainHelper m_keychain{m_secrets};
    FakeBannerCenter m_banners;
    NotificationCenter m_center;
    MockClock m_clock{QDateTime(QDate(2026, 3, 2), QTime(8, 0), Qt::UTC)};
    LocalHttpServer m_internet; // the probe site, always reachable
    int m_signalsSeen = 0;

    std::unique_ptr<AutoLoginManager> makeEngine(NetworkProbe &probe, SystemEvents &events, HTTPAuthService &auth)
    {
        m_preferences.setBool(PreferenceKeys::autoLoginEnabled, true);
        return std::make_unique<AutoLoginManager>(probe, events, m_keychain, auth, m_banners, m_center, m_preferences,
                                                  m_clock, 0.01);
    }

public Q_SLOTS:
    void signalSeen() { ++m_signalsSeen; }

private Q_SLOTS:
    void initTestCase()
    {
        m_system = std::make_unique<PrivateDBus>(PrivateDBus::Role::System);
        m_networkManager = m_system->startMock({u"--template"_s, u"networkmanager"_s}, NetworkManager);
        QVERIFY(m_networkManager);
        QDBusConnection::systemBus().connect(NetworkManager, {}, {}, u"PropertiesChanged"_s, this, SLOT(signalSeen()));
        m_internet.server().Get("/", [](const auto &, auto &res) { res.status = 204; });
        QVERIFY(m_internet.start());
    }

    // NetworkManager's Connectivity: 1 none, 2 portal, 3 limited, 4 full. Only a change into portal
    // or limited, seen while the engine's own probe found the internet, is a lost connection.
    void connectivityReports_data()
    {
        QTest::addColumn<QList<uint>>("values");
        QTest::addColumn<int>("reconnects");
        QTest::newRow("portal") << QList<uint>{2} << 1;
        QTest::newRow("limited") << QList<uint>{3} << 1;
        QTest::newRow("portal, then limited") << QList<uint>{2, 3} << 1;
        QTest::newRow("no network") << QList<uint>{1} << 0;
        QTest::newRow("full") << QList<uint>{4} << 0;
    }

    void connectivityReports()
    {
        QFETCH(QList<uint>, values);
        QFETCH(int, reconnects);
        const QString managerObject = u"/org/freedesktop"_s;
        QVERIFY(m_system->call(NetworkManager, managerObject, u"SetConnectivity"_s, {4u}));
        FakeWifiClient wifi;
        wifi.interfaceList = {FakeWifiClient::station(u"wlan0"_s, "larkmead_staff")};
        NetworkProbe probe(wifi, m_location, m_preferences, m_internet.url(), u"127.0.0.2:9"_s);
        LinuxSystemEvents events(QDBusConnection::systemBus(), QDBusConnection::systemBus());
        HTTPAuthService auth(u"127.0.0.2:9"_s, m_center, HTTPAuthService::RecordSuccess());
        LogCapture log;
        auto engine = makeEngine(probe, events, auth);
        QTRY_VERIFY(engine->statusCache().status().internetReachable);

        m_signalsSeen = 0;
        for (const uint value : values)
            QVERIFY(m_system->call(NetworkManager, managerObject, u"SetConnectivity"_s, {value}));
        QTRY_COMPARE(m_signalsSeen, 2 * values.size()); // each change both ways, the standard and NetworkManager's own
        QCoreApplication::sendPostedEvents();
        QCOMPARE(log.lines().count(reconnectLine), reconnects);
        if (reconnects)
            QCOMPARE(engine->statusLine().nextCheckReason(), u"网络连接断开"_s);
    }

    // Names held, no answers: every lookup waits out its D-Bus time-outs on the engine's lookup
    // thread while the main thread's timers (the status line among them) keep running.
    void hungNetworkManager()
    {
        LinuxWifiClient wifi(QDBusConnection::systemBus());
        NetworkProbe probe(wifi, m_location, m_preferences, m_internet.url(), u"127.0.0.2:9"_s);
        LinuxSystemEvents events(QDBusConnection::systemBus(), QDBusConnection::systemBus());
        HTTPAuthService auth(u"127.0.0.2:9"_s, m_center, HTTPAuthService::RecordSuccess());
        QVERIFY(::kill(pid_t(m_networkManager->processId()), SIGSTOP) == 0);
        auto resume = qScopeGuard([this] { ::kill(pid_t(m_networkManager->processId()), SIGCONT); });

        auto engine = makeEngine(probe, events, auth);
        int ticksDuringLookups = 0; // while the first lookup has not answered
        QTimer mainThread;
        connect(&mainThread, &QTimer::timeout, this, [&] { ticksDuringLookups += !engine->statusCache().isKnown(); });
        mainThread.start(10);
        QTRY_VERIFY_WITH_TIMEOUT(ticksDuringLookups >= 10, 30000);
    }
};

QTEST_GUILESS_MAIN(TestAutoLoginOnBus)
#include "tst_autologinonbus.moc"
