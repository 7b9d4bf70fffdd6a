#include "autologin/AutoLoginManager.h"

#include "auth/HTTPAuthService.h"
#include "auth/SignInAttempt.h"
#include "autologin/SystemEvents.h"
#include "common/Clock.h"
#include "common/Log.h"
#include "desktop/StatusBarNotifications.h"
#include "store/KeychainHelper.h"
#include "store/Preferences.h"

#include <QTimer>


namespace {

// Switching and listening
const QString enabledLog = QStringLiteral("✅ 自动联网已启用");
const QString disabledLog = QStringLiteral("✅ 自动联网已禁用");
const QString monitoringStartedLog = QStringLiteral("✅ 自动联网监听已启动");
const QString monitoringStoppedLog = QStringLiteral("✅ 自动联网监听已停止");

// Triggers
const QString systemWakeLog = QStringLiteral("🔄 系统已唤醒，检查是否需要自动联网...");
const QString screensWakeLog = QStringLiteral("🔄 检测到屏幕唤醒（从睡眠唤醒），检查是否需要自动联网...");
const QString sessionActiveLog = QStringLiteral("🔄 检测到会话激活（Mac解锁），检查是否需要自动联网...");
const QString applicationActiveLog = QStringLiteral("🔄 应用已激活（可能是Mac解锁），检查是否需要自动联网...");
const QString schoolWiFiLog = QStringLiteral("✅ 检测到切换到学校WiFi: %1，等待几秒后检查是否需要自动联网...");
const QString systemWakeReason = QStringLiteral("系统唤醒");
const QString screensWakeReason = QStringLiteral("屏幕唤醒");
const QString sessionActiveReason = QStringLiteral("Mac解锁（会话激活）");
const QString applicationActiveReason = QStringLiteral("Mac解锁/应用激活");
const QString schoolWiFiReason = QStringLiteral("切换到学校WiFi: ");
const QString startupLog = QStringLiteral("🔄 自动联网已启动，检查是否需要自动联网...");
const QString startupReason = QStringLiteral("启动时检查");
const QString screensWakeStartLine = QStringLiteral("🔍 开始执行自动联网检测（屏幕唤醒触发）...");
const QString unlockStartLine = QStringLiteral("🔍 开始执行自动联网检测（Mac解锁触发）...");

// The check
const QString checkBeginLog = QStringLiteral("🔍 ========== 开始自动联网检测 ==========");
const QString currentSSIDLog = QStringLiteral("🔍 当前WiFi SSID: ");
const QString ssidUnreadable = QStringLiteral("无法获取");
const QString notSchoolWiFiLog = QStringLiteral("⚠️ 未连接到学校WiFi，跳过自动联网");
const QString endNotSchoolWiFiLog = QStringLiteral("🔍 ========== 自动联网检测结束（未连接学校WiFi） ==========");
const QString schoolWiFiConnectedLog = QStringLiteral("✅ 已连接到学校WiFi: ");
const QString ssidUnknown = QStringLiteral("未知");
const QString checkingNetworkLog = QStringLiteral("🔍 正在检查网络连接状态...");
const QString networkStateLog = QStringLiteral("🔍 网络连接状态: ");
const QString stateConnected = QStringLiteral("已连接");
const QString stateNotConnected = QStringLiteral("未连接");
const QString alreadyOnlineLog = QStringLiteral("✅ 已有网络连接，无需自动联网");
const QString endOnlineLog = QStringLiteral("🔍 ========== 自动联网检测结束（已有网络） ==========");
const QString notVouchedLog =
    QStringLiteral("⚠️ 无法获取WiFi SSID，且网络检测未被重定向到认证服务器，无法确认是校园网，跳过自动联网");
const QString signInStartLog = QStringLiteral("🚀 开始自动联网...");
const QString endSignInLog = QStringLiteral("🔍 ========== 自动联网检测结束（开始登录） ==========");

// The sign-in and its banners
const QString noCredentialsLog = QStringLiteral("⚠️ 未找到保存的凭据，无法自动联网");
const QString failureTitle = QStringLiteral("自动联网失败");
const QString noCredentialsBody = QStringLiteral("未找到保存的凭据，请先设置用户名和密码");
const QString startTitle = QStringLiteral("自动联网");
const QString startBody = QStringLiteral("检测到需要联网，正在自动登录...");
const QString successTitle = QStringLiteral("✅ 自动联网成功");
const QString successBody = QStringLiteral("校园网已自动连接，现在可以正常上网了");
const QString successLog = QStringLiteral("✅ 自动联网成功，已发送通知");
const QString defaultFailureBody = QStringLiteral("登录失败");

// Reconnecting after a dropped session
const QString reconnectLog = QStringLiteral("📶 检测到网络连接断开，检查是否需要自动联网...");
const QString reconnectReason = QStringLiteral("网络连接断开");
const QString reconnectSuspendedLog =
    QStringLiteral("⚠️ 断线自动重连连续%1次失败，暂停重连，直到下次唤醒、解锁、切换WiFi或登录成功");
const QString reconnectSuspendedTitle = QStringLiteral("断线自动重连已暂停");
const QString reconnectSuspendedBody =
    QStringLiteral("连续%1次自动重新登录失败。下次唤醒、解锁、切换WiFi或手动登录成功后将恢复自动重连");

constexpr double millisecondsPerSecond = 1000.0;

} // namespace

AutoLoginManager::AutoLoginManager(NetworkProbe &probe, SystemEvents &events, KeychainHelper &keychain,
                                   HTTPAuthService &authService, BannerCenter &banners, NotificationCenter &center,
                                   Preferences &preferences, const Clock &clock, double durationScale,
                                   QObject *parent)
    : QObject(parent)
    , m_isEnabled(preferences.boolValue(PreferenceKeys::autoLoginEnabled))
    , m_probe(probe)
    , m_events(events)
    , m_keychain(keychain)
    , m_authService(authService)
    , m_banners(banners)
    , m_center(center)
    , m_preferences(preferences)
    , m_clock(clock)
    , m_durationScale(durationScale)
    , m_statusCache(m_networkStatus, clock)
    , m_statusLine(*this, m_statusCache, clock, scaled(AutoLoginStatusLine::countdownInterval), this)
    , m_wifiSwitch(*this, m_statusCache, scaled(WiFiSwitchDetector::defaultWifiCheckInterval), this)
    , m_networkStatus(probe, NetworkStatusQuery::CampusLog::OnChange)
{
    connect(&m_networkStatus, &NetworkStatusQuery::refreshed, this, &AutoLoginManager::networkStateRefreshed);
    connect(&m_wifiSwitch, &WiFiSwitchDetector::wifiSwitched, this, &AutoLoginManager::wifiSwitched);
    // Whoever signs in successfully (the menu, the settings window, the engine) ends a reconnect pause.
    m_anySuccessObserver =
        m_center.addObserver(Notifications::LoginSuccess, [this](const QVariantMap &) { m_reconnect.resume(); });
    if (m_isEnabled) {
        startMonitoring();
        // A machine that starts (or a daemon started) on a signed-out campus network has no wake to wait for.
        handleTrigger({startupLog, startupDelay, startupReason, {}});
    }
}

AutoLoginManager::~AutoLoginManager()
{
    // The centre outlives the engine; its observers must not call into a destroyed engine.
    m_center.removeObserver(m_anySuccessObserver);
}

void AutoLoginManager::enableAutoLogin()
{
    m_isEnabled = true;
    m_preferences.setBool(PreferenceKeys::autoLoginEnabled, true);
    saveSwitch();
    startMonitoring();
    Log::write(enabledLog);
}

void AutoLoginManager::disableAutoLogin()
{
    m_isEnabled = false;
    m_preferences.setBool(PreferenceKeys::autoLoginEnabled, false);
    saveSwitch();
    stopMonitoring();
    Log::write(disabledLog);
}

void AutoLoginManager::saveSwitch()
{
    // Saved at once: another process of the user (a running daemon) follows the switch, and a save
    // left pending here could later overwrite a newer switch made there.
    m_preferences.sync();
}

void AutoLoginManager::startMonitoring()
{
    stopMonitoring();
    m_workspaceObserver = connect(&m_events, &SystemEvents::systemDidWake, this, [this] {
        handleTrigger({systemWakeLog, systemWakeDelay, systemWakeReason, {}});
    });
    m_appObserver = connect(&m_events, &SystemEvents::applicationDidBecomeActive, this, [this] {
        handleTrigger({applicationActiveLog, applicationActiveDelay, applicationActiveReason, unlockStartLine});
    });
    m_screenWakeObserver = connect(&m_events, &SystemEvents::screensDidWake, this, [this] {
        handleTrigger({screensWakeLog, screensWakeDelay, screensWakeReason, screensWakeStartLine});
    });
    m_sessionActiveObserver = connect(&m_events, &SystemEvents::sessionDidBecomeActive, this, [this] {
        handleTrigger({sessionActiveLog, sessionActiveDelay, sessionActiveReason, unlockStartLine});
    });
    m_connectivityObserver =
        connect(&m_events, &SystemEvents::internetAccessLost, this, &AutoLoginManager::internetAccessLost);
    m_events.start();
    m_wifiSwitch.startWiFiMonitoring();
    m_statusCache.refreshNetworkState();
    m_statusLine.resetLog();
    m_statusLine.startCountdownTimer();
    Log::write(monitoringStartedLog);
}

void AutoLoginManager::stopMonitoring()
{
    for (QMetaObject::Connection *observer : {&m_workspaceObserver, &m_appObserver, &m_screenWakeObserver,
                                              &m_sessionActiveObserver, &m_connectivityObserver}) {
        if (*observer)
            disconnect(*observer);
        *observer = {};
    }
    m_events.stop();
    m_wifiSwitch.stopWiFiMonitoring();
    m_statusLine.stopCountdownTimer();
    Log::write(monitoringStoppedLog);
}

void AutoLoginManager::handleTrigger(const Trigger &trigger)
{
    if (!m_isEnabled)
        return;
    // A wake, an unlock or a campus network joined gives reconnecting a fresh start.
    if (!trigger.reconnect)
        m_reconnect.resume();
    Log::write(trigger.arrivalLog);
    m_statusLine.setNextCheck(m_clock.now().addMSecs(qRound64(trigger.delay * millisecondsPerSecond)),
                              trigger.reason);
    m_statusLine.startCountdownTimer();
    // Every trigger runs its own check: none is merged with, or cancelled by, another.
    QTimer::singleShot(scaled(trigger.delay), this, [this, check = DueCheck{trigger.startLine, trigger.reconnect}] {
        if (check.reconnect)
            m_reconnect.checkStarted();
        enqueueCheck(check);
    });
}

void AutoLoginManager::enqueueCheck(const DueCheck &check)
{
    m_dueChecks.push_back(check);
    if (!m_checkRunning)
        runNextCheck();
}

void AutoLoginManager::runNextCheck()
{
    if (m_dueChecks.empty())
        return;
    const DueCheck check = m_dueChecks.front();
    m_dueChecks.pop_front();
    if (!check.startLine.isEmpty())
        Log::write(check.startLine);
    runCheck(check.reconnect);
}

void AutoLoginManager::checkEnded()
{
    m_checkRunning = false;
    runNextCheck();
}

void AutoLoginManager::networkStateRefreshed(const NetworkStatus &status)
{
    const bool firstAnswer = !m_statusCache.isKnown();
    const bool hadNetwork = !firstAnswer && m_statusCache.status().internetReachable;
    m_statusCache.store(status);
    Q_EMIT statusCacheUpdated();
    if (firstAnswer)
        m_statusLine.networkStatusKnown();
    if (!m_isEnabled || m_wifiSwitch.detectWiFiSwitch(status.ssid))
        return;
    // Only the change counts, never the state: an account the portal refuses cannot loop.
    if (hadNetwork && !status.internetReachable)
        reconnectAfterDrop();
}

void AutoLoginManager::wifiSwitched(const std::optional<QString> &ssid)
{
    m_reconnect.resume();
    if (ssid && NetworkProbe::isSchoolSSID(*ssid))
        handleTrigger({schoolWiFiLog.arg(*ssid), schoolWiFiDelay, schoolWiFiReason + *ssid, {}});
}

void AutoLoginManager::internetAccessLost()
{
    // Reported by the system's own check.
    if (m_statusCache.internetAccessLost())
        reconnectAfterDrop();
}

void AutoLoginManager::reconnectAfterDrop()
{
    if (!m_isEnabled || !m_statusCache.status().campusNetwork || !m_preferences.autoReconnect())
        return;
    if (const std::optional<double> delay = m_reconnect.schedule(m_clock.now()))
        handleTrigger({reconnectLog, *delay, reconnectReason, {}, true});
}

void AutoLoginManager::reconnectFailed()
{
    if (!m_reconnect.failed())
        return;
    Log::write(reconnectSuspendedLog.arg(ReconnectThrottle::maxFailures));
    StatusBarNotifications::showNotification(m_banners, reconnectSuspendedTitle,
                                       reconnectSuspendedBody.arg(ReconnectThrottle::maxFailures));
}

void AutoLoginManager::performAutoLoginCheck()
{
    enqueueCheck({});
}

void AutoLoginManager::runCheck(bool reconnect)
{
    m_checkRunning = true;
    Log::write(checkBeginLog);
    m_statusLine.clearNextCheck();
    m_statusLine.stopCountdownTimer();
    m_networkStatus.lookUpSSID(
        [this, reconnect](const std::optional<QString> &ssid) { continueCheck(ssid, reconnect); });
}

void AutoLoginManager::continueCheck(const std::optional<QString> &ssid, bool reconnect)
{
    Log::write(currentSSIDLog + ssid.value_or(ssidUnreadable));
    if (!m_probe.isSchoolWiFi(ssid)) {
        Log::write(notSchoolWiFiLog);
        Log::write(endNotSchoolWiFiLog);
        checkEnded();
        return;
    }
    Log::write(schoolWiFiConnectedLog + ssid.value_or(ssidUnknown));
    Log::write(checkingNetworkLog);
    const bool ssidReadable = ssid.has_value();
    m_networkStatus.probeInternet([this, ssidReadable, reconnect](ConnectivityProbe::Answer answer) {
        finishCheck(answer, ssidReadable, reconnect);
    });
}

void AutoLoginManager::finishCheck(ConnectivityProbe::Answer answer, bool ssidReadable, bool reconnect)
{
    const bool online = answer == ConnectivityProbe::Answer::Reachable;
    Log::write(networkStateLog + (online ? stateConnected : stateNotConnected));
    if (online) {
        Log::write(alreadyOnlineLog);
        Log::write(endOnlineLog);
        checkEnded();
        return;
    }
    // Without an SSID (a wired network) only the portal itself vouches for the network: a home network
    // that has lost its internet must never receive the campus password.
    if (!ssidReadable && answer != ConnectivityProbe::Answer::PortalRedirect) {
        Log::write(notVouchedLog);
        Log::write(endNotSchoolWiFiLog);
        checkEnded();
        return;
    }
    Log::write(signInStartLog);
    Log::write(endSignInLog);
    // The next check waits for this sign-in's outcome: run meanwhile, it would find no internet yet
    // and sign in a second time.
    signIn(reconnect);
}

void AutoLoginManager::performAutoLogin()
{
    signIn(false);
}

void AutoLoginManager::signIn(bool reconnect)
{
    // The account is read off the main thread; the sign-in goes on from its answer.
    m_keychain.loadCredentials(this, [this, reconnect](const KeychainHelper::Read &read) {
        signIn(read.credentials, reconnect);
    });
}

void AutoLoginManager::signIn(const Credentials &credentials, bool reconnect)
{
    if (!credentials.isUsable()) {
        Log::write(noCredentialsLog);
        StatusBarNotifications::showNotification(m_banners, failureTitle, noCredentialsBody);
        if (reconnect)
            reconnectFailed();
        if (m_checkRunning)
            checkEnded();
        return;
    }
    StatusBarNotifications::showNotification(m_banners, startTitle, startBody);

    const auto reportOutcome = [this, reconnect](const SignInAttempt::Outcome &outcome) {
        if (outcome.succeeded) {
            StatusBarNotifications::showNotification(m_banners, successTitle, successBody);
            Log::write(successLog);
        } else {
            StatusBarNotifications::showNotification(m_banners, failureTitle,
                                                     outcome.message.value_or(defaultFailureBody));
            if (reconnect)
                reconnectFailed();
        }
        // A check that signed in ends with the sign-in's outcome.
        if (m_checkRunning)
            checkEnded();
    };
    // One sign-in at a time: a new one replaces an attempt still waiting for its outcome, so that a later
    // sign-in made elsewhere (the menu or the settings window) never reaches it and shows a wrong banner.
    m_signIn = std::make_unique<SignInAttempt>(m_authService, m_center);
    m_signIn->start(*credentials.username, *credentials.password, reportOutcome);
}

std::optional<QString> AutoLoginManager::getCurrentWiFiSSID()
{
    return m_probe.getCurrentWiFiSSID();
}

bool AutoLoginManager::isConnectedToSchoolWiFi()
{
    return m_probe.isConnectedToSchoolWiFi();
}

bool AutoLoginManager::checkNetworkConnection(const QString &urlString, double timeout, const QString &portalAddress)
{
    return NetworkProbe::checkNetworkConnection(urlString, timeout, portalAddress);
}

void AutoLoginManager::checkLocationPermission()
{
    m_probe.checkLocationPermission();
}

std::chrono::milliseconds AutoLoginManager::scaled(double seconds) const
{
    return std::chrono::milliseconds(qRound64(seconds * millisecondsPerSecond * m_durationScale));
}
