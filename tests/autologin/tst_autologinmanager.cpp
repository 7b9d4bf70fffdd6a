#include "FakeBannerCenter.h"
#include "FakeLocationAuthorization.h"
#include "FakeSecretStore.h"
#include "FakeSystemEvents.h"
#include "FakeWifiClient.h"
#include "LocalHttpServer.h"
#include "LogCapture.h"
#include "MockClock.h"
#include "PrivateDBus.h"
#include "auth/HTTPAuthService.h"
#include "common/Log.h"
#include "autologin/AutoLoginManager.h"
#include "platform/linux/LinuxSystemEvents.h"
#include "platform/linux/LinuxWifiClient.h"
#include "store/KeychainHelper.h"
#include "store/Preferences.h"

#include <QHash>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTemporaryFile>
#include <QTimer>

#include <csignal>
#include <functional>

#include <unistd.h>

#include <httplib.h>

using namespace Qt::StringLiterals;
using Banner = FakeBannerCenter::Banner;

namespace {
const Banner startBanner{u"自动联网"_s, u"检测到需要联网，正在自动登录..."_s};
const QDateTime start(QDate(2026, 3, 2), QTime(8, 0), Qt::UTC);

const QString nameItem = KeychainHelper::usernameAccount, passwordItem = KeychainHelper::passwordAccount;
const QString NetworkManager = u"org.freedesktop.NetworkManager"_s;
} // namespace

/// The engine over fakes of the system's events, Wi-Fi and secret store, with the probe site and the
/// portal on one loopback server; at the end on a private system bus with python-dbusmock's
/// NetworkManager, whose connectivity reports start a reconnect and whose hang holds up nothing.
class TestAutoLoginManager : public QObject
{
    Q_OBJECT

    std::unique_ptr<PrivateDBus> m_system; // first: the process must not reach the real system bus
    QProcess *m_networkManager = nullptr;
    int m_signalsSeen = 0; // NetworkManager's PropertiesChanged signals
    QTemporaryDir m_dir;
    Preferences m_preferences{std::make_unique<QSettings>(m_dir.filePath(u"prefs.ini"_s), QSettings::IniFormat)};
    FakeWifiClient m_wifi;
    FakeLocationAuthorization m_location{LocationAuthorization::AuthorizedAlways};
    FakeSystemEvents m_events;
    FakeSecretStore m_secrets;
    KeychainHelper m_keychain{m_secrets};
    FakeBannerCenter m_banners;
    NotificationCenter m_center;
    MockClock m_clock{start};
    // The probe target ("/") and the portal on one loopback server. A sign-in the portal accepts makes
    // the probe target answer as the internet would.
    LocalHttpServer m_campus;
    std::atomic<int> m_probeStatus, m_loginPosts;
    std::atomic<bool> m_portalAccepts;
    std::optional<NetworkProbe> m_probe;
    std::optional<HTTPAuthService> m_auth;

    std::unique_ptr<AutoLoginManager> makeEngine(NetworkProbe &probe, SystemEvents &events, double durationScale)
    {
        return std::make_unique<AutoLoginManager>(probe, events, m_keychain, *m_auth, m_banners, m_center,
                                                  m_preferences, m_clock, durationScale);
    }
    std::unique_ptr<AutoLoginManager> makeEngine(double durationScale = 1.0)
    {
        return makeEngine(*m_probe, m_events, durationScale);
    }

    // An empty SSID reads as none at all.
    void joinWiFi(const QByteArray &ssid) { m_wifi.interfaceList = {FakeWifiClient::station(u"wlan0"_s, ssid)}; }

    // One tick of the Wi-Fi detector after the status cache's lifetime; its lookup answers off the
    // main thread and is waited for.
    static bool tick(AutoLoginManager &engine, MockClock &clock)
    {
        QSignalSpy refreshed(&engine, &AutoLoginManager::statusCacheUpdated);
        clock.advanceSeconds(5);
        engine.wifiSwitchDetector().checkWiFiChange();
        return refreshed.wait(20000) || refreshed.size() > 0;
    }

    // Left after a sign-in's outcome: only the engine's lasting observer of any successful sign-in.
    int signInObservers() const
    {
        return m_center.observerCount(Notifications::LoginSuccess) + m_center.observerCount(Notifications::LoginFailed);
    }

    // Listening: one observer per event, and two timers running (the Wi-Fi detector's and the status line's).
    void expectListening(const AutoLoginManager &engine, bool listening)
    {
        QCOMPARE(m_events.isStarted(), listening);
        for (const char *signal : {SIGNAL(systemDidWake()), SIGNAL(screensDidWake()), SIGNAL(sessionDidBecomeActive()),
                                   SIGNAL(applicationDidBecomeActive())})
            QCOMPARE(m_events.observerCount(signal), listening ? 1 : 0);
        const QList<QTimer *> timers = engine.findChildren<QTimer *>();
        QCOMPARE(std::ranges::count_if(timers, &QTimer::isActive), listening ? 2 : 0);
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
        m_campus.server().Get("/", [this](const auto &, auto &res) { res.status = m_probeStatus; });
        m_campus.server().Get("/ac_portal/default/pc.html", [](const auto &, auto &) {});
        m_campus.server().Post("/ac_portal/login.php", [this](const auto &, auto &res) {
            ++m_loginPosts, m_probeStatus = m_portalAccepts ? 204 : 503;
            res.set_content(m_portalAccepts ? "{'success':true,'msg':'ok'}" : "{'success':false,'msg':'密码错误'}", "text/html");
        });
        QVERIFY(m_campus.start());
        m_probe.emplace(m_wifi, m_location, m_preferences, m_campus.url(), m_campus.address());
        m_auth.emplace(m_campus.address(), m_center, HTTPAuthService::RecordSuccess());
    }

    void init()
    {
        m_preferences.setBool(PreferenceKeys::autoLoginEnabled, false);
        m_preferences.setBool(PreferenceKeys::autoReconnect, true);
        m_probeStatus = 503;
        m_loginPosts = 0;
        m_portalAccepts = true;
        m_secrets.put(KeychainHelper::service, {{nameItem, "20231234"}, {passwordItem, "secret"}});
        m_secrets.reads = 0;
        m_banners.banners.clear();
        m_clock.set(start);
        joinWiFi("larkmead_staff");
    }

    // A second switch-on replaces the observers and timers instead of adding to them; switching off
    // removes them all.
    void switchingOnAndOff()
    {
        auto engine = makeEngine(0.01);
        expectListening(*engine, false);
        engine->enableAutoLogin();
        engine->enableAutoLogin();
        expectListening(*engine, true);
        engine->disableAutoLogin();
        expectListening(*engine, false);
    }

    // Each trigger, the reason the status line gives and its delay in seconds. Only joining a campus
    // network is a Wi-Fi trigger: not staying, leaving or joining another network.
    void eachTriggerRunsItsOwnCheck_data()
    {
        QTest::addColumn<QStringList>("triggers"); // SystemEvents signals, or "wifi:<SSID>" for a network joined
        QTest::addColumn<QString>("reason"); // empty: no trigger, no check
        QTest::addColumn<int>("delay");
        QTest::newRow("system wake") << QStringList{"systemDidWake"} << u"系统唤醒"_s << 2;
        QTest::newRow("screens wake") << QStringList{"screensDidWake"} << u"屏幕唤醒"_s << 3;
        QTest::newRow("campus network joined") << QStringList{"wifi:larkmead_student"}
                                               << u"切换到学校WiFi: larkmead_student"_s << 3;
        QTest::newRow("campus network kept, left, another joined")
            << QStringList{"wifi:larkmead_staff", "wifi:", "wifi:cafe"} << QString() << 0;
        // The wake's check signs in, so the later ones find the internet and stop without reading the account.
        QTest::newRow("four at once") << QStringList{"screensDidWake", "sessionDidBecomeActive",
                                                     "applicationDidBecomeActive", "systemDidWake"}
                                      << u"系统唤醒"_s << 2;
    }

    // Every trigger runs its own check after its delay, even when switched off meanwhile.
    void eachTriggerRunsItsOwnCheck()
    {
        QFETCH(QStringList, triggers);
        QFETCH(QString, reason);
        QFETCH(int, delay);
        auto engine = makeEngine(0.01); // switched on afterwards: no start-up check
        QSignalSpy signIn(&*m_auth, &HTTPAuthService::isAuthenticatingChanged);
        engine->enableAutoLogin();
        QTRY_VERIFY(engine->statusCache().isKnown()); // the network joined when listening began
        LogCapture log;
        for (const QString &trigger : triggers) {
            if (trigger.startsWith(u"wifi:")) {
                joinWiFi(trigger.mid(5).toUtf8());
                QVERIFY(tick(*engine, m_clock));
            } else {
                QVERIFY(QMetaObject::invokeMethod(&m_events, qPrintable(trigger)));
            }
        }
        // Read before the check runs and clears them.
        QCOMPARE(engine->statusLine().nextCheckReason().value_or(QString()), reason);
        if (!reason.isEmpty())
            QCOMPARE(engine->statusLine().nextCheckTime(), m_clock.now().addSecs(delay));
        engine->disableAutoLogin();
        const qsizetype checks = reason.isEmpty() ? 0 : triggers.size();
        const auto checksBegun = [&log] { return log.countStartingWith(u"🔍 ========== 开始自动联网检测"_s); };
        if (checks == 0) {
            QTest::qWait(200); // every delay, scaled, many times over
            QCOMPARE(checksBegun(), 0);
            return;
        }
        // The sign-in has started and ended (its outcome is posted by then), and every check has run.
        QTRY_VERIFY_WITH_TIMEOUT(
            signIn.size() == 2 && log.countStartingWith(u"🔍 ========== 自动联网检测结束（已有网络）"_s) == checks - 1, 20000);
        QCOMPARE(checksBegun(), checks);
        QCOMPARE(m_loginPosts.load(), 1);
        QCOMPARE(m_secrets.reads, 1); // the account, once
        QCOMPARE(m_banners.banners, (QList<Banner>{startBanner, {u"✅ 自动联网成功"_s, u"校园网已自动连接，现在可以正常上网了"_s}}));
        QCOMPARE(signInObservers(), 1);
    }

    // Off campus a check stops before it reads the account; on campus an incomplete account is reported
    // and nothing is sent. The first outcome of a sign-in withdraws both observers: a failure without a
    // message reads "登录失败", and the success that arrives later (as one from another sign-in path
    // would) shows nothing. A failure with a message shows the portal's.
    void signingIn()
    {
        auto engine = makeEngine();
        QSignalSpy signIn(&*m_auth, &HTTPAuthService::isAuthenticatingChanged);
        LogCapture log;
        joinWiFi("larkmead_staff_5G");
        engine->performAutoLoginCheck();
        QTRY_COMPARE(log.lines().last(), u"🔍 ========== 自动联网检测结束（未连接学校WiFi） =========="_s);
        QCOMPARE(m_secrets.reads, 0); // a check that ends early never reads the store
        joinWiFi("larkmead_staff");
        m_secrets.put(KeychainHelper::service, {{nameItem, "20231234"}, {passwordItem, ""}});
        engine->performAutoLoginCheck();
        QTRY_COMPARE(log.lines().last(), u"⚠️ 未找到保存的凭据，无法自动联网"_s);
        QCOMPARE(m_banners.banners, (QList<Banner>{{u"自动联网失败"_s, u"未找到保存的凭据，请先设置用户名和密码"_s}}));
        QCoreApplication::processEvents(); // a sign-in publishes its start on the next turn
        QCOMPARE(signIn.count(), 0);

        m_secrets.put(KeychainHelper::service, {{nameItem, "20231234"}, {passwordItem, "secret"}});
        engine->performAutoLogin();
        QTRY_COMPARE(m_center.observerCount(Notifications::LoginFailed), 1); // the account is read: it signs in
        m_center.post(Notifications::LoginFailed);
        QCOMPARE(m_banners.banners.last(), (Banner{u"自动联网失败"_s, u"登录失败"_s}));
        QCOMPARE(signInObservers(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(signIn.size(), 2, 20000); // started and ended: its success has been posted
        QCOMPARE(m_banners.banners.size(), 3);
        m_portalAccepts = false;
        engine->performAutoLogin();
        QTRY_COMPARE_WITH_TIMEOUT(m_banners.banners.size(), 5, 20000);
        QCOMPARE(m_banners.banners.last(), (Banner{u"自动联网失败"_s, u"密码错误"_s}));
    }

    // Steps: "up"/"down" the probe answers 204/503 at the next tick, "nm" NetworkManager reports a
    // portal, "cafe" joins another network, "noreconnect" switches reconnecting off, "refuse" the
    // portal refuses the account, "wake" a system wake, "+60" the clock moves a minute. Each step
    // waits until every check it caused has ended and its sign-in has answered.
    void reconnect_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QList<int>>("delays"); // seconds until each reconnect check, as counted down
        QTest::addColumn<int>("pauseBanners");
        QTest::newRow("still no internet") << u"down down"_s << QList<int>() << 0;
        QTest::newRow("off campus") << u"cafe up down"_s << QList<int>() << 0;
        QTest::newRow("reconnecting switched off") << u"noreconnect up down"_s << QList<int>() << 0;
        QTest::newRow("NetworkManager first") << u"up nm down"_s << QList<int>{3} << 0;
        QTest::newRow("a minute apart at least") << u"up down up down +60 up down"_s << QList<int>{3, 53, 43} << 0;
        QTest::newRow("three failures pause it until a wake")
            << u"refuse up down +60 up down +60 up down +60 up down wake up down"_s << QList<int>{3, 3, 3, 3} << 1;
    }

    void reconnect()
    {
        QFETCH(QString, steps);
        QFETCH(int, pauseBanners);
        auto engine = makeEngine(0.001);
        engine->enableAutoLogin();
        LogCapture log;
        const auto count = [&log](const QRegularExpression &pattern) { return log.lines().filter(pattern).size(); };
        const auto settled = [&] {
            const auto outcomes = std::count_if(m_banners.banners.cbegin(), m_banners.banners.cend(), [](const Banner &b) {
                return b.title == u"✅ 自动联网成功" || b.title == u"自动联网失败";
            });
            const int triggers = count(QRegularExpression(u"^(🔄|📶|✅ 检测到切换)"_s));
            return triggers == count(QRegularExpression(u"开始自动联网检测 ="_s)) &&
                   triggers == count(QRegularExpression(u"自动联网检测结束"_s)) &&
                   m_banners.banners.count(startBanner) == outcomes;
        };
        QTRY_VERIFY(engine->statusCache().status().ssid.has_value());
        const QHash<QString, std::function<void()>> changes{
            {u"up"_s, [&] { m_probeStatus = 204; }},
            {u"down"_s, [&] { m_probeStatus = 503; }},
            {u"cafe"_s, [&] { joinWiFi("cafe"); }},
            {u"nm"_s, [&] { Q_EMIT m_events.internetAccessLost(); }},
            {u"noreconnect"_s, [&] { m_preferences.setBool(PreferenceKeys::autoReconnect, false); }},
            {u"refuse"_s, [&] { m_portalAccepts = false; }},
            {u"wake"_s, [&] { Q_EMIT m_events.systemDidWake(); }},
            {u"+60"_s, [&] { m_clock.advanceSeconds(60); }},
        };
        for (const QString &step : steps.split(u' ')) {
            changes.value(step)();
            if (step == u"up" || step == u"down" || step == u"cafe") // seen at the next tick
                QVERIFY(tick(*engine, m_clock));
            QTRY_VERIFY2_WITH_TIMEOUT(settled(), qPrintable(step), 20000);
        }
        QList<int> seen;
        const QStringList lines = log.lines();
        static const QRegularExpression countdown(u"^⏱️ 下次自动联网检测: 网络连接断开 \\| 剩余时间: (\\d+)秒$"_s);
        for (qsizetype i = 0; i + 1 < lines.size(); ++i)
            if (lines[i] == u"📶 检测到网络连接断开，检查是否需要自动联网...")
                seen << countdown.match(lines[i + 1]).captured(1).toInt();
        QTEST(seen, "delays");
        QCOMPARE(m_banners.banners.count(Banner{u"断线自动重连已暂停"_s,
                                                u"连续3次自动重新登录失败。下次唤醒、解锁、切换WiFi或手动登录成功后将恢复自动重连"_s}),
                 pauseBanners);
    }

    // A minute of listening (a status line a second, a lookup every 5 s) in which the internet comes
    // back after half a minute: the system log gets only that change, the stderr copy every line.
    void quietJournal()
    {
        auto engine = makeEngine(100); // the test drives the ticks itself
        engine->enableAutoLogin();
        QTRY_VERIFY(engine->statusCache().status().ssid.has_value());
        engine->statusLine().updateCountdownStatus();
        QTemporaryFile copy;
        QVERIFY(copy.open());
        const int savedStderr = ::dup(STDERR_FILENO);
        ::dup2(copy.handle(), STDERR_FILENO);
        Log::setStderrCopy(true);
        LogCapture log;
        QSignalSpy refreshed(engine.get(), &AutoLoginManager::statusCacheUpdated);
        for (int second = 1; second <= 60; ++second) {
            if (second == 30) {
                QVERIFY(log.lines().isEmpty()); // nothing has changed so far
                m_probeStatus = 204;
            }
            m_clock.advanceSeconds(1);
            if (second % 5 == 0) {
                engine->wifiSwitchDetector().checkWiFiChange();
                QTRY_COMPARE(refreshed.size(), second / 5);
            }
            engine->statusLine().updateCountdownStatus();
        }
        Log::setStderrCopy(false);
        ::dup2(savedStderr, STDERR_FILENO);
        ::close(savedStderr);
        QCOMPARE(log.lines(), QStringList{u"⏱️ 自动联网监听中 | 当前WiFi: larkmead_staff (✅ 学校WiFi) | 网络状态: ✅ 已连接 | 等待触发事件..."_s});
        QFile copied(copy.fileName()); // the descriptor's offset is at the end, shared with stderr
        QVERIFY(copied.open(QIODevice::ReadOnly));
        const QString everything = QString::fromUtf8(copied.readAll());
        QCOMPARE(everything.count(u"⏱️ 自动联网监听中"_s), 60);
        QCOMPARE(everything.count(u"✅ 通过CoreWLAN获取到SSID: larkmead_staff"_s), 12);
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
        m_probeStatus = 204;
        LinuxSystemEvents events(QDBusConnection::systemBus(), QDBusConnection::systemBus());
        LogCapture log;
        auto engine = makeEngine(*m_probe, events, 0.01);
        engine->enableAutoLogin();
        QTRY_VERIFY(engine->statusCache().status().internetReachable);

        m_signalsSeen = 0;
        for (const uint value : values)
            QVERIFY(m_system->call(NetworkManager, managerObject, u"SetConnectivity"_s, {value}));
        QTRY_COMPARE(m_signalsSeen, 2 * values.size()); // each change both ways, the standard and NetworkManager's own
        QCoreApplication::sendPostedEvents();
        QCOMPARE(log.lines().count(u"📶 检测到网络连接断开，检查是否需要自动联网..."_s), reconnects);
        if (reconnects)
            QCOMPARE(engine->statusLine().nextCheckReason(), u"网络连接断开"_s);
    }

    // Last, as it stops NetworkManager. Names held, no answers: every lookup waits out its D-Bus
    // time-outs on the engine's lookup thread while the main thread's timers (the status line among
    // them) keep running.
    void hungNetworkManager()
    {
        LinuxWifiClient wifi(QDBusConnection::systemBus());
        NetworkProbe probe(wifi, m_location, m_preferences, m_campus.url(), m_campus.address());
        LinuxSystemEvents events(QDBusConnection::systemBus(), QDBusConnection::systemBus());
        QVERIFY(::kill(pid_t(m_networkManager->processId()), SIGSTOP) == 0);
        auto resume = qScopeGuard([this] { ::kill(pid_t(m_networkManager->processId()), SIGCONT); });

        auto engine = makeEngine(probe, events, 0.01);
        engine->enableAutoLogin();
        int ticksDuringLookups = 0; // while the first lookup has not answered
        QTimer mainThread;
        connect(&mainThread, &QTimer::timeout, this, [&] { ticksDuringLookups += !engine->statusCache().isKnown(); });
        mainThread.start(10);
        QTRY_VERIFY_WITH_TIMEOUT(ticksDuringLookups >= 10, 30000);
    }
};

QTEST_GUILESS_MAIN(TestAutoLoginManager)
#include "tst_autologinmanager.moc"
