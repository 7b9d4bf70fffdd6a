#include "FakeBannerCenter.h"
#include "FakeLocationAuthorization.h"
#include "FakeSecretStore.h"
#include "FakeSystemEvents.h"
#include "FakeWifiClient.h"
#include "LocalHttpServer.h"
#include "LogCapture.h"
#include "MockClock.h"
#include "auth/HTTPAuthService.h"
#include "autologin/AutoLoginManager.h"
#include "common/NotificationCenter.h"
#include "store/KeychainHelper.h"
#include "store/Preferences.h"

#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <httplib.h>

#include <atomic>

using Banner = FakeBannerCenter::Banner;

namespace {
const QString checkBegin = QStringLiteral("🔍 ========== 开始自动联网检测 ==========");
const QString endNotSchool = QStringLiteral("🔍 ========== 自动联网检测结束（未连接学校WiFi） ==========");
const QString endOnline = QStringLiteral("🔍 ========== 自动联网检测结束（已有网络） ==========");
const QString endSignIn = QStringLiteral("🔍 ========== 自动联网检测结束（开始登录） ==========");
const Banner startBanner{QStringLiteral("自动联网"), QStringLiteral("检测到需要联网，正在自动登录...")};
const Banner successBanner{QStringLiteral("✅ 自动联网成功"), QStringLiteral("校园网已自动连接，现在可以正常上网了")};
const Banner noAccountBanner{QStringLiteral("自动联网失败"), QStringLiteral("未找到保存的凭据，请先设置用户名和密码")};
const QDateTime start = QDateTime(QDate(2026, 3, 2), QTime(8, 0), Qt::UTC);
constexpr int probeOffline = 503;
constexpr int probeOnline = 204;

// Counts the account lookups, to prove that a check that ends early never reads the store.
class CountingSecretStore final : public FakeSecretStore
{
public:
    std::optional<QByteArray> findItem(const QString &service, const QString &account) override
    {
        ++finds;
        return FakeSecretStore::findItem(service, account);
    }
    int finds = 0;
};

// The probe target and the portal, both on loopback. A sign-in accepted by the portal makes the
// probe target answer as the internet would.
struct Network
{
    LocalHttpServer probe;
    LocalHttpServer portal;
    std::atomic<int> probeStatus{probeOffline};
    std::atomic<int> probeRequests{0};
    std::atomic<int> loginPosts{0};
    std::atomic<bool> portalAccepts{true};

    Network()
    {
        probe.server().Get("/", [this](const httplib::Request &, httplib::Response &res) {
            ++probeRequests;
            res.status = probeStatus;
        });
        portal.server().Get("/ac_portal/default/pc.html", [](const httplib::Request &, httplib::Response &res) {
            res.set_content("<html></html>", "text/html");
        });
        portal.server().Post("/ac_portal/login.php", [this](const httplib::Request &, httplib::Response &res) {
            ++loginPosts;
            if (portalAccepts) {
                probeStatus = probeOnline;
                res.set_content("{'success':true,'msg':'ok'}", "text/html");
            } else {
                res.set_content("{'success':false,'msg':'密码错误'}", "text/html");
            }
        });
    }
    bool start() { return probe.start() && portal.start(); }
};

} // namespace

class TestAutoLoginManager : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<Preferences> m_preferences;
    FakeWifiClient m_wifi;
    FakeLocationAuthorization m_location{LocationAuthorization::AuthorizedAlways};
    FakeSystemEvents m_events;
    CountingSecretStore m_secrets;
    KeychainHelper m_keychain{m_secrets};
    FakeBannerCenter m_banners;
    std::unique_ptr<NotificationCenter> m_center;
    MockClock m_clock{start};
    std::unique_ptr<Network> m_network;
    std::unique_ptr<NetworkProbe> m_probe;
    std::unique_ptr<HTTPAuthService> m_auth;

    std::unique_ptr<AutoLoginManager> makeEngine(double durationScale)
    {
        return std::make_unique<AutoLoginManager>(*m_probe, m_events, m_keychain, *m_auth, m_banners, *m_center,
                                                  *m_preferences, m_clock, durationScale);
    }

    void joinWiFi(const QByteArray &ssid)
    {
        m_wifi.interfaceList = {FakeWifiClient::station(QStringLiteral("wlan0"), ssid)};
    }

    void leaveWiFi() { m_wifi.interfaceList.clear(); }

    static QList<QTimer *> activeTimers(const AutoLoginManager &engine)
    {
        QList<QTimer *> timers = engine.findChildren<QTimer *>();
        timers.removeIf([](QTimer *timer) { return !timer->isActive(); });
        return timers;
    }

    int observerCount(const char *signal) const { return m_events.observerCount(signal); }

private Q_SLOTS:
    void init()
    {
        m_preferences = std::make_unique<Preferences>(
            std::make_unique<QSettings>(m_dir.filePath(QStringLiteral("prefs.ini")), QSettings::IniFormat));
        m_preferences->setBool(PreferenceKeys::autoLoginEnabled, false);
        m_network = std::make_unique<Network>();
        QVERIFY(m_network->start());
        m_probe = std::make_unique<NetworkProbe>(m_wifi, m_location, *m_preferences, m_network->probe.url(),
                                                 m_network->portal.address());
        m_center = std::make_unique<NotificationCenter>();
        m_auth = std::make_unique<HTTPAuthService>(m_network->portal.address(), *m_center,
                                                   HTTPAuthService::RecordSuccess());
        QVERIFY(m_keychain.saveCredentials(QStringLiteral("20231234"), QStringLiteral("secret")));
        m_secrets.finds = 0;
        m_banners.banners.clear();
        m_clock.set(start);
        joinWiFi("larkmead_staff");
    }

    void cleanup()
    {
        m_auth.reset();
        m_probe.reset();
        m_network.reset();
    }

    void listensAtConstructionOnlyWhenSwitchedOn()
    {
        auto off = makeEngine(1.0);
        QVERIFY(!off->isEnabled());
        QVERIFY(!m_events.isStarted());
        QCOMPARE(observerCount(SIGNAL(systemDidWake())), 0);
        QCOMPARE(activeTimers(*off).size(), 0);
        off.reset();

        m_preferences->setBool(PreferenceKeys::autoLoginEnabled, true);
        auto on = makeEngine(1.0);
        QVERIFY(on->isEnabled());
        QVERIFY(m_events.isStarted());
        for (const char *signal : {SIGNAL(systemDidWake()), SIGNAL(screensDidWake()), SIGNAL(sessionDidBecomeActive()),
                                   SIGNAL(applicationDidBecomeActive())})
            QCOMPARE(observerCount(signal), 1);
        QCOMPARE(activeTimers(*on).size(), 2);
    }

    // A second switch-on replaces the observers and timers instead of adding to them; switching
    // off removes them all. Both are remembered.
    void switchingOnTwiceKeepsOneOfEach()
    {
        auto engine = makeEngine(0.01);
        LogCapture log;
        engine->enableAutoLogin();
        engine->enableAutoLogin();
        QVERIFY(m_preferences->boolValue(PreferenceKeys::autoLoginEnabled));
        for (const char *signal : {SIGNAL(systemDidWake()), SIGNAL(screensDidWake()), SIGNAL(sessionDidBecomeActive()),
                                   SIGNAL(applicationDidBecomeActive())})
            QCOMPARE(observerCount(signal), 1);
        QList<int> intervals;
        for (QTimer *timer : activeTimers(*engine))
            intervals << timer->interval();
        std::sort(intervals.begin(), intervals.end());
        QCOMPARE(intervals, (QList<int>{10, 50}));
        QVERIFY(log.contains(QStringLiteral("✅ WiFi切换检测已启动（每5.0秒检查一次）")));
        QCOMPARE(log.countStartingWith(QStringLiteral("✅ 自动联网已启用")), 2);

        engine->disableAutoLogin();
        QVERIFY(!m_preferences->boolValue(PreferenceKeys::autoLoginEnabled));
        QVERIFY(!m_events.isStarted());
        QCOMPARE(observerCount(SIGNAL(systemDidWake())), 0);
        QCOMPARE(activeTimers(*engine).size(), 0);
        QCOMPARE(log.lines().mid(log.lines().size() - 2),
                 (QStringList{QStringLiteral("✅ 自动联网监听已停止"), QStringLiteral("✅ 自动联网已禁用")}));
    }

    void eachTriggerSchedulesItsOwnCheck_data()
    {
        QTest::addColumn<int>("event");
        QTest::addColumn<QString>("arrival");
        QTest::addColumn<double>("delay");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("startLine");
        const QString unlockStart = QStringLiteral("🔍 开始执行自动联网检测（Mac解锁触发）...");
        QTest::newRow("system woke") << 0 << QStringLiteral("🔄 系统已唤醒，检查是否需要自动联网...") << 2.0
                                     << QStringLiteral("系统唤醒") << QString();
        QTest::newRow("screens woke") << 1 << QStringLiteral("🔄 检测到屏幕唤醒（从睡眠唤醒），检查是否需要自动联网...")
                                      << 3.0 << QStringLiteral("屏幕唤醒")
                                      << QStringLiteral("🔍 开始执行自动联网检测（屏幕唤醒触发）...");
        QTest::newRow("session active") << 2 << QStringLiteral("🔄 检测到会话激活（Mac解锁），检查是否需要自动联网...")
                                        << 3.0 << QStringLiteral("Mac解锁（会话激活）") << unlockStart;
        QTest::newRow("application active") << 3 << QStringLiteral("🔄 应用已激活（可能是Mac解锁），检查是否需要自动联网...")
                                            << 3.0 << QStringLiteral("Mac解锁/应用激活") << unlockStart;
    }

    // A trigger announces itself, shows its reason and due time in the status line, and its check
    // runs after the delay; switching off meanwhile does not cancel it.
    void eachTriggerSchedulesItsOwnCheck()
    {
        QFETCH(int, event);
        QFETCH(QString, arrival);
        QFETCH(double, delay);
        QFETCH(QString, reason);
        QFETCH(QString, startLine);
        joinWiFi("cafe");
        auto engine = makeEngine(0.01);
        engine->enableAutoLogin();
        LogCapture log;
        const std::array<void (FakeSystemEvents::*)(), 4> raise{&FakeSystemEvents::wakeSystem, &FakeSystemEvents::wakeScreens,
                                                                &FakeSystemEvents::activateSession,
                                                                &FakeSystemEvents::activateApplication};
        (m_events.*raise[event])();
        QCOMPARE(log.lines().value(0), arrival);
        QCOMPARE(engine->nextCheckReason(), reason);
        QCOMPARE(engine->nextCheckTime(), start.addMSecs(qRound64(delay * 1000)));
        QCOMPARE(log.lines().value(1), QStringLiteral("⏱️ 下次自动联网检测: %1 | 剩余时间: %2秒").arg(reason).arg(delay));

        engine->disableAutoLogin();
        QTRY_VERIFY(log.contains(endNotSchool));
        const QStringList lines = log.lines();
        const qsizetype begin = lines.indexOf(checkBegin);
        QVERIFY(begin > 0);
        if (!startLine.isEmpty())
            QCOMPARE(lines.value(begin - 1), startLine);
        QCOMPARE(engine->nextCheckReason(), std::nullopt);
        QCOMPARE(m_secrets.finds, 0);
    }

    // Waking raises two events; each runs its check. The first signs in, so the second finds the
    // internet and stops there.
    void aWakeRunsTwoChecksAndOnlyTheFirstSignsIn()
    {
        auto engine = makeEngine(0.5);
        engine->enableAutoLogin();
        LogCapture log;
        m_events.wakeSystem();
        m_events.wakeScreens();
        QCOMPARE(engine->nextCheckReason(), QStringLiteral("屏幕唤醒"));

        QTRY_VERIFY_WITH_TIMEOUT(log.contains(endOnline), 20000);
        QCOMPARE(m_network->loginPosts.load(), 1);
        QCOMPARE(log.countStartingWith(checkBegin), 2);
        QCOMPARE(log.countStartingWith(endSignIn), 1);
        const QStringList lines = log.lines();
        QVERIFY(lines.indexOf(endSignIn) < lines.indexOf(QStringLiteral("🔍 开始执行自动联网检测（屏幕唤醒触发）...")));
        QVERIFY(lines.contains(QStringLiteral("✅ 已连接到学校WiFi: larkmead_staff")));
        QVERIFY(lines.contains(QStringLiteral("🔍 网络连接状态: 未连接")));
        QVERIFY(lines.contains(QStringLiteral("✅ 已有网络连接，无需自动联网")));
        QVERIFY(lines.contains(QStringLiteral("✅ 自动联网成功，已发送通知")));
        QCOMPARE(m_banners.banners, (QList<Banner>{startBanner, successBanner}));
        QCOMPARE(m_center->observerCount(Notifications::LoginSuccess), 0);
        QCOMPARE(m_center->observerCount(Notifications::LoginFailed), 0);
    }

    // Only joining a campus network is a trigger; staying, leaving and other networks are not.
    void wifiSwitchDetector()
    {
        joinWiFi("larkmead_student");
        auto engine = makeEngine(1.0);
        engine->enableAutoLogin();
        LogCapture log;
        engine->checkWiFiChange();
        QVERIFY(!log.text().contains(QStringLiteral("检测到WiFi切换")));
        QCOMPARE(engine->nextCheckReason(), std::nullopt);

        joinWiFi("larkmead_staff");
        engine->checkWiFiChange();
        QVERIFY(log.contains(QStringLiteral("🔍 检测到WiFi切换: larkmead_student → larkmead_staff")));
        QVERIFY(log.contains(QStringLiteral("✅ 检测到切换到学校WiFi: larkmead_staff，等待几秒后检查是否需要自动联网...")));
        QCOMPARE(engine->nextCheckReason(), QStringLiteral("切换到学校WiFi: larkmead_staff"));
        QCOMPARE(engine->nextCheckTime(), start.addSecs(3));

        m_clock.advanceSeconds(1);
        leaveWiFi();
        engine->checkWiFiChange();
        QVERIFY(log.contains(QStringLiteral("🔍 检测到WiFi切换: larkmead_staff → 无")));
        joinWiFi("cafe");
        engine->checkWiFiChange();
        QVERIFY(log.contains(QStringLiteral("🔍 检测到WiFi切换: 无 → cafe")));
        QCOMPARE(log.countStartingWith(QStringLiteral("✅ 检测到切换到学校WiFi")), 1);
        QCOMPARE(engine->nextCheckTime(), start.addSecs(3));

        engine->disableAutoLogin();
        joinWiFi("larkmead_faculty");
        engine->checkWiFiChange();
        QCOMPARE(log.countStartingWith(QStringLiteral("🔍 检测到WiFi切换")), 3);
    }

    void checkEndsEarlyWithoutReadingTheAccount_data()
    {
        QTest::addColumn<QByteArray>("ssid");
        QTest::addColumn<int>("probeStatus");
        QTest::addColumn<QString>("end");
        QTest::newRow("other network") << QByteArray("larkmead_staff_5G") << probeOffline << endNotSchool;
        QTest::newRow("internet reachable") << QByteArray("larkmead_staff") << probeOnline << endOnline;
    }

    void checkEndsEarlyWithoutReadingTheAccount()
    {
        QFETCH(QByteArray, ssid);
        QFETCH(int, probeStatus);
        QFETCH(QString, end);
        joinWiFi(ssid);
        m_network->probeStatus = probeStatus;
        auto engine = makeEngine(1.0);
        LogCapture log;
        engine->performAutoLoginCheck();
        QCOMPARE(log.lines().first(), checkBegin);
        QCOMPARE(log.lines().last(), end);
        QVERIFY(log.contains(QStringLiteral("🔍 当前WiFi SSID: ") + QString::fromUtf8(ssid)));
        QCOMPARE(m_secrets.finds, 0);
        QCOMPARE(m_network->loginPosts.load(), 0);
        QVERIFY(m_banners.banners.isEmpty());
    }

    void unreadableSSIDIsLoggedAsSuch()
    {
        leaveWiFi();
        auto engine = makeEngine(1.0);
        LogCapture log;
        engine->performAutoLoginCheck();
        QVERIFY(log.contains(QStringLiteral("🔍 当前WiFi SSID: 无法获取")));
        QCOMPARE(log.lines().mid(log.lines().size() - 2),
                 (QStringList{QStringLiteral("⚠️ 未连接到学校WiFi，跳过自动联网"), endNotSchool}));
    }

    void anIncompleteAccountSendsNothing_data()
    {
        QTest::addColumn<QString>("username");
        QTest::addColumn<QString>("password");
        QTest::newRow("empty password") << QStringLiteral("20231234") << QString();
        QTest::newRow("empty name") << QString() << QStringLiteral("secret");
    }

    void anIncompleteAccountSendsNothing()
    {
        QFETCH(QString, username);
        QFETCH(QString, password);
        QVERIFY(m_keychain.saveCredentials(username, password));
        auto engine = makeEngine(1.0);
        QSignalSpy signInStarts(m_auth.get(), &HTTPAuthService::isAuthenticatingChanged);
        LogCapture log;
        engine->performAutoLoginCheck();
        QCOMPARE(log.lines().last(), QStringLiteral("⚠️ 未找到保存的凭据，无法自动联网"));
        QCOMPARE(m_banners.banners, QList<Banner>{noAccountBanner});
        QCoreApplication::processEvents(); // a sign-in publishes its start on the next turn
        QCOMPARE(signInStarts.count(), 0);
        QCOMPARE(m_center->observerCount(Notifications::LoginFailed), 0);
    }

    void aFailedSignInShowsThePortalsMessage()
    {
        m_network->portalAccepts = false;
        auto engine = makeEngine(1.0);
        QString message;
        m_center->addObserver(Notifications::LoginFailed, [&](const QVariantMap &info) {
            message = info.value(Notifications::MessageKey).toString();
        });
        engine->performAutoLogin();
        QTRY_COMPARE_WITH_TIMEOUT(m_banners.banners.size(), 2, 20000);
        QVERIFY(!message.isEmpty());
        QCOMPARE(m_banners.banners.last(), (Banner{QStringLiteral("自动联网失败"), message}));
    }

    // The first outcome withdraws both observers: a failure without a message reads "登录失败", and
    // the success that arrives later (as one from another sign-in path would) shows nothing.
    void outcomeObserversAreOneShot()
    {
        auto engine = makeEngine(1.0);
        engine->performAutoLogin();
        QCOMPARE(m_banners.banners, QList<Banner>{startBanner});
        m_center->post(Notifications::LoginFailed);
        QCOMPARE(m_banners.banners.last(), (Banner{QStringLiteral("自动联网失败"), QStringLiteral("登录失败")}));
        QCOMPARE(m_center->observerCount(Notifications::LoginSuccess), 0);
        QCOMPARE(m_center->observerCount(Notifications::LoginFailed), 0);

        bool succeeded = false;
        m_center->addObserver(Notifications::LoginSuccess, [&](const QVariantMap &) { succeeded = true; });
        QTRY_VERIFY_WITH_TIMEOUT(succeeded, 20000);
        QCOMPARE(m_banners.banners.size(), 2);
    }

    void statusLineCountsDownInWholeSeconds()
    {
        auto engine = makeEngine(1.0);
        engine->enableAutoLogin();
        LogCapture log;
        m_events.wakeScreens();
        const auto statusAt = [&](qint64 msecsAfterStart) {
            m_clock.set(start.addMSecs(msecsAfterStart));
            engine->updateCountdownStatus();
            return log.lines().last();
        };
        const QString countdown = QStringLiteral("⏱️ 下次自动联网检测: 屏幕唤醒 | 剩余时间: %1秒");
        QCOMPARE(statusAt(600), countdown.arg(2));
        QCOMPARE(statusAt(2500), countdown.arg(0));
        QCOMPARE(statusAt(-72000), countdown.arg(QStringLiteral("1分15")));
        QCOMPARE(statusAt(-57000), countdown.arg(QStringLiteral("1分0")));
        QCOMPARE(statusAt(3000), QStringLiteral("⏱️ 自动联网检测时间已到，正在检测..."));
        QCOMPARE(engine->nextCheckReason(), std::nullopt);
        QCOMPARE(statusAt(3000), QStringLiteral("⏱️ 自动联网监听中 | 当前WiFi: larkmead_staff (✅ 学校WiFi) | "
                                                "网络状态: ❌ 未连接 | 等待触发事件..."));
    }

    // The listening line and the Wi-Fi tick probe the network at most once per 5 s of the clock;
    // a clock set back refreshes at once rather than waiting for it to catch up.
    void statusCacheIsRefreshedAtMostEveryFiveSeconds()
    {
        m_preferences->setBool(PreferenceKeys::autoLoginEnabled, true);
        auto engine = makeEngine(1.0);
        QCOMPARE(m_network->probeRequests.load(), 1);
        m_network->probeStatus = probeOnline;
        LogCapture log;
        m_clock.set(start.addMSecs(4999));
        engine->checkWiFiChange();
        engine->updateCountdownStatus();
        QCOMPARE(m_network->probeRequests.load(), 1);
        QVERIFY(log.lines().last().contains(QStringLiteral("❌ 未连接")));

        m_clock.set(start.addSecs(5));
        engine->updateCountdownStatus();
        QCOMPARE(m_network->probeRequests.load(), 2);
        QVERIFY(log.lines().last().contains(QStringLiteral("✅ 已连接")));

        m_clock.set(start.addSecs(-60));
        engine->updateStatusCache();
        QCOMPARE(m_network->probeRequests.load(), 3);
    }
};

QTEST_GUILESS_MAIN(TestAutoLoginManager)
#include "tst_autologinmanager.moc"
