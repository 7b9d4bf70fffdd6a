#include "FakeBannerCenter.h"
#include "FakeLocationAuthorization.h"
#include "FakeSecretStore.h"
#include "FakeSystemEvents.h"
#include "FakeWifiClient.h"
#include "LocalHttpServer.h"
#include "LogCapture.h"
#include "MockClock.h"
#include "auth/HTTPAuthService.h"
#include "common/Log.h"
#include "autologin/AutoLoginManager.h"
#include "store/KeychainHelper.h"
#include "store/Preferences.h"

#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTemporaryFile>
#include <QTimer>

#include <unistd.h>

#include <httplib.h>

using namespace Qt::StringLiterals;
using Banner = FakeBannerCenter::Banner;

namespace {
const QString checkBegin = u"🔍 ========== 开始自动联网检测 =========="_s;
const QString endOnline = u"🔍 ========== 自动联网检测结束（已有网络） =========="_s;
const Banner startBanner{u"自动联网"_s, u"检测到需要联网，正在自动登录..."_s};
const QDateTime start(QDate(2026, 3, 2), QTime(8, 0), Qt::UTC);

const QString nameItem = KeychainHelper::usernameAccount, passwordItem = KeychainHelper::passwordAccount;
} // namespace

class TestAutoLoginManager : public QObject
{
    Q_OBJECT

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
    std::atomic<int> m_probeStatus, m_probeRequests, m_loginPosts;
    std::atomic<bool> m_portalAccepts;
    std::optional<NetworkProbe> m_probe;
    std::optional<HTTPAuthService> m_auth;

    std::unique_ptr<AutoLoginManager> makeEngine(double durationScale = 1.0)
    {
        return std::make_unique<AutoLoginManager>(*m_probe, m_events, m_keychain, *m_auth, m_banners, m_center,
                                                  m_preferences, m_clock, durationScale);
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

    // Listening: one observer per event, the Wi-Fi (5 s) and status line (1 s) timers, scaled by 0.01.
    void expectListening(const AutoLoginManager &engine, bool listening)
    {
        QCOMPARE(m_events.isStarted(), listening);
        for (const char *signal : {SIGNAL(systemDidWake()), SIGNAL(screensDidWake()), SIGNAL(sessionDidBecomeActive()),
                                   SIGNAL(applicationDidBecomeActive())})
            QCOMPARE(m_events.observerCount(signal), listening ? 1 : 0);
        QList<int> intervals;
        for (const QTimer *timer : engine.findChildren<QTimer *>())
            if (timer->isActive())
                intervals << timer->interval();
        std::sort(intervals.begin(), intervals.end());
        QCOMPARE(intervals, (listening ? QList<int>{10, 50} : QList<int>()));
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_campus.server().Get("/", [this](const auto &, auto &res) { ++m_probeRequests, res.status = m_probeStatus; });
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
        m_probeStatus = 503;
        m_probeRequests = m_loginPosts = 0;
        m_portalAccepts = true;
        m_secrets.put(KeychainHelper::service, {{nameItem, "20231234"}, {passwordItem, "secret"}});
        m_secrets.reads = 0;
        m_banners.banners.clear();
        m_clock.set(start);
        joinWiFi("larkmead_staff");
    }

    // A second switch-on replaces the observers and timers instead of adding to them; switching off
    // removes them all; both are remembered. While on, only joining a campus network is a Wi-Fi trigger:
    // not staying, leaving or joining another network. An engine made while switched on listens at once.
    void switchingOnAndOff()
    {
        auto engine = makeEngine(0.01);
        expectListening(*engine, false);
        LogCapture log;
        QSignalSpy refreshed(engine.get(), &AutoLoginManager::statusCacheUpdated);
        engine->enableAutoLogin();
        engine->enableAutoLogin();
        QVERIFY(m_preferences.boolValue(PreferenceKeys::autoLoginEnabled));
        expectListening(*engine, true);
        QTRY_VERIFY(refreshed.size() > 0); // the network joined when listening began
        std::optional<QString> reason;
        std::optional<QDateTime> due;
        for (const char *ssid : {"larkmead_staff", "larkmead_student", "", "cafe"}) {
            joinWiFi(ssid);
            QVERIFY(tick(*engine, m_clock));
            if (!reason && engine->statusLine().nextCheckReason()) // before its check runs and clears them
                reason = engine->statusLine().nextCheckReason(), due = engine->statusLine().nextCheckTime();
        }
        engine->disableAutoLogin();
        QVERIFY(!m_preferences.boolValue(PreferenceKeys::autoLoginEnabled));
        expectListening(*engine, false);
        QCOMPARE(log.lines().filter(u"检测到"_s),
                 (QStringList{u"🔍 检测到WiFi切换: larkmead_staff → larkmead_student"_s,
                              u"✅ 检测到切换到学校WiFi: larkmead_student，等待几秒后检查是否需要自动联网..."_s,
                              u"🔍 检测到WiFi切换: larkmead_student → 无"_s, u"🔍 检测到WiFi切换: 无 → cafe"_s}));
        QCOMPARE(reason, u"切换到学校WiFi: larkmead_student"_s);
        QCOMPARE(due, start.addSecs(2 * 5 + 3)); // joined at the second tick, due 3 s later
        engine.reset();
        m_preferences.setBool(PreferenceKeys::autoLoginEnabled, true);
        expectListening(*makeEngine(0.01), true);
    }

    // Each trigger runs its own check after its delay (2 s after a wake, 3 s after the others), even
    // when switched off meanwhile: the wake's check signs in, so the later ones find the internet and
    // stop without reading the account.
    void eachTriggerRunsItsOwnCheck()
    {
        auto engine = makeEngine(0.01); // switched on afterwards: no start-up check
        QSignalSpy signIn(&*m_auth, &HTTPAuthService::isAuthenticatingChanged);
        engine->enableAutoLogin();
        LogCapture log;
        for (const char *signal : {"screensDidWake", "sessionDidBecomeActive", "applicationDidBecomeActive", "systemDidWake"})
            QVERIFY(QMetaObject::invokeMethod(&m_events, signal));
        QCOMPARE(engine->statusLine().nextCheckReason(), u"系统唤醒"_s);
        QCOMPARE(engine->statusLine().nextCheckTime(), start.addSecs(2));
        engine->disableAutoLogin();
        // The sign-in has started and ended (its outcome is posted by then), and every check has run.
        QTRY_VERIFY_WITH_TIMEOUT(signIn.size() == 2 && log.countStartingWith(endOnline) == 3, 20000);
        QCOMPARE(log.countStartingWith(checkBegin), 4);
        QCOMPARE(m_loginPosts.load(), 1);
        QCOMPARE(m_secrets.reads, 1); // the account, once
        QCOMPARE(m_banners.banners, (QList<Banner>{startBanner, {u"✅ 自动联网成功"_s, u"校园网已自动连接，现在可以正常上网了"_s}}));
        // Left: only the engine's lasting observer of any successful sign-in.
        QCOMPARE(m_center.observerCount(Notifications::LoginSuccess) + m_center.observerCount(Notifications::LoginFailed), 1);
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
        QTRY_VERIFY(log.lines().last().startsWith(u"🔍 ========== 自动联网检测结束"_s));
        QCOMPARE(log.lines().mid(log.lines().size() - 3),
                 (QStringList{u"⚠️ 当前WiFi不是学校网络: larkmead_staff_5G"_s, u"⚠️ 未连接到学校WiFi，跳过自动联网"_s,
                              u"🔍 ========== 自动联网检测结束（未连接学校WiFi） =========="_s}));
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
        // Left: only the engine's lasting observer of any successful sign-in.
        QCOMPARE(m_center.observerCount(Notifications::LoginSuccess) + m_center.observerCount(Notifications::LoginFailed), 1);
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
        QTest::newRow("internet lost on campus") << u"up down"_s << QList<int>{3} << 0;
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
        QFETCH(QList<int>, delays);
        QFETCH(int, pauseBanners);
        m_preferences.setBool(PreferenceKeys::autoReconnect, true);
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
        for (const QString &step : steps.split(u' ')) {
            if (step == u"up" || step == u"down") {
                m_probeStatus = step == u"up" ? 204 : 503;
                QVERIFY(tick(*engine, m_clock));
            } else if (step == u"cafe") {
                joinWiFi("cafe");
                QVERIFY(tick(*engine, m_clock));
            } else if (step == u"nm") {
                Q_EMIT m_events.internetAccessLost();
            } else if (step == u"noreconnect") {
                m_preferences.setBool(PreferenceKeys::autoReconnect, false);
            } else if (step == u"refuse") {
                m_portalAccepts = false;
            } else if (step == u"wake") {
                Q_EMIT m_events.systemDidWake();
            } else {
                m_clock.advanceSeconds(60);
            }
            QTRY_VERIFY2_WITH_TIMEOUT(settled(), qPrintable(step), 20000);
        }
        QList<int> seen;
        const QStringList lines = log.lines();
        static const QRegularExpression countdown(u"^⏱️ 下次自动联网检测: 网络连接断开 \\| 剩余时间: (\\d+)秒$"_s);
        for (qsizetype i = 0; i + 1 < lines.size(); ++i)
            if (lines[i] == u"📶 检测到网络连接断开，检查是否需要自动联网...")
                seen << countdown.match(lines[i + 1]).captured(1).toInt();
        QCOMPARE(seen, delays);
        QCOMPARE(m_banners.banners.count(Banner{u"断线自动重连已暂停"_s,
                                                u"连续3次自动重新登录失败。下次唤醒、解锁、切换WiFi或手动登录成功后将恢复自动重连"_s}),
                 pauseBanners);
    }

    // A minute of listening (a status line a second, a lookup every 5 s): the system log gets only
    // what changed, the stderr copy every line.
    void quietJournal_data()
    {
        QTest::addColumn<int>("internetAt"); // the second the internet comes back; -1: never
        QTest::addColumn<QStringList>("written");
        QTest::newRow("nothing changes") << -1 << QStringList();
        QTest::newRow("the internet comes back")
            << 30 << QStringList{u"⏱️ 自动联网监听中 | 当前WiFi: larkmead_staff (✅ 学校WiFi) | 网络状态: ✅ 已连接 | 等待触发事件..."_s};
    }

    void quietJournal()
    {
        QFETCH(int, internetAt);
        QFETCH(QStringList, written);
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
            if (second == internetAt)
                m_probeStatus = 204;
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
        QCOMPARE(log.lines(), written);
        QFile copied(copy.fileName()); // the descriptor's offset is at the end, shared with stderr
        QVERIFY(copied.open(QIODevice::ReadOnly));
        const QString everything = QString::fromUtf8(copied.readAll());
        QCOMPARE(everything.count(u"⏱️ 自动联网监听中"_s), 60);
        QCOMPARE(everything.count(u"✅ 通过CoreWLAN获取到SSID: larkmead_staff"_s), 12);
    }
};

QTEST_GUILESS_MAIN(TestAutoLoginManager)
#include "tst_autologinmanager.moc"
