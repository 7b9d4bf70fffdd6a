#pragma once

#include "autologin/NetworkProbe.h"
#include "autologin/ReconnectThrottle.h"
#include "common/LogOnChange.h"
#include "common/NotificationCenter.h"
#include "common/SharedInstance.h"

#include <QDateTime>
#include <QMetaObject>
#include <QObject>
#include <QString>
#include <QThreadPool>

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

class BannerCenter;
class Clock;
class HTTPAuthService;
class KeychainHelper;
class Preferences;
class QTimer;
class SignInAttempt;
class SystemEvents;

/// Signs the computer into the campus portal by itself. A few seconds after an event that may have
/// cut the portal session (system or screens woke, session or application became active, a campus
/// Wi-Fi network joined, the internet lost on a campus network) it checks that the computer is on a
/// campus network without internet, and only then signs in with the stored account, telling the user
/// by banners. While switched on it keeps a status line in the system log.
///
/// Lives on the main thread, which it never makes wait: the SSID lookups and connectivity probes,
/// which can block on the system's services for seconds, run on worker threads of the engine's own
/// and hand their answers back. The listening machinery looks the network up at most once per
/// statusCacheLifetime and shares that one answer between the status line, the Wi-Fi switch
/// detector and the reconnect trigger.
class AutoLoginManager : public QObject, public SharedInstance<AutoLoginManager>
{
    Q_OBJECT

public:
    static constexpr double probeTimeout = NetworkProbe::probeTimeout;

    // How long each trigger waits before its check, in seconds.
    static constexpr double systemWakeDelay = 2.0;
    static constexpr double screensWakeDelay = 3.0;
    static constexpr double sessionActiveDelay = 3.0;
    static constexpr double applicationActiveDelay = 3.0;
    static constexpr double schoolWiFiDelay = 3.0;
    /// Period of the Wi-Fi switch detector, in seconds.
    static constexpr double defaultWifiCheckInterval = 5.0;
    /// Period of the status line, in seconds.
    static constexpr double countdownInterval = 1.0;
    /// The status line probes the network at most this often, in seconds.
    static constexpr double statusCacheLifetime = 5.0;

    /// Only one engine may run per user: the name of the InstanceLock every front end takes first.
    static inline const QString instanceLockName = QStringLiteral("netlatch-autologin.lock");

    /// Reads "autoLoginEnabled" and, when it is set, starts listening at once. `durationScale`
    /// multiplies every timer's duration (tests shorten them; the program keeps 1.0); times measured
    /// on `clock` (the status line, the status cache) are not scaled.
    AutoLoginManager(NetworkProbe &probe, SystemEvents &events, KeychainHelper &keychain,
                     HTTPAuthService &authService, BannerCenter &banners, NotificationCenter &center,
                     Preferences &preferences, const Clock &clock, double durationScale = 1.0,
                     QObject *parent = nullptr);
    ~AutoLoginManager() override;

    bool isEnabled() const { return m_isEnabled; }

    /// Switches automatic sign-in on, remembers it, and starts listening.
    void enableAutoLogin();
    /// Switches automatic sign-in off, remembers it, and stops listening. A check already scheduled
    /// still runs.
    void disableAutoLogin();

    /// Registers the event observers and both timers, replacing any earlier ones.
    void startMonitoring();
    /// Removes every observer and timer. Scheduled checks and the status fields stay.
    void stopMonitoring();

    /// Restarts the Wi-Fi switch detector's timer.
    void startWiFiMonitoring();
    /// One tick of the Wi-Fi switch detector: refreshes the shared network state (at most once per
    /// statusCacheLifetime), whose answer detects a switch; joining a campus network schedules a check.
    void checkWiFiChange();

    /// Restarts the once-a-second status line and writes it once at once.
    void startCountdownTimer();
    /// Writes the status line: the countdown to the pending check, or the listening form.
    void updateCountdownStatus();
    /// Starts a refresh of the status line's SSID, campus test and probe result, unless one is under
    /// way or the last is younger than statusCacheLifetime. The answer arrives later on the main
    /// thread; the status line shows it from then on.
    void updateStatusCache();

    /// Decides whether to sign in: on a campus network and without internet. Runs whether or not
    /// automatic sign-in is switched on. Waits for a check still running; its lookups run off the
    /// main thread, and the decision and the sign-in follow when they answer.
    void performAutoLoginCheck();
    /// Signs in with the stored account and reports the start and the outcome as banners.
    void performAutoLogin();

    // The probe's questions, as the engine asks them (blocking: not for the main thread).
    std::optional<QString> getCurrentWiFiSSID();
    bool isConnectedToSchoolWiFi();
    static bool checkNetworkConnection(const QString &urlString, double timeout, const QString &portalAddress);
    void checkLocationPermission();

    /// The status line's cached values, for display.
    std::optional<QString> cachedWiFiSSID() const { return m_cachedWiFiSSID; }
    bool cachedHasNetwork() const { return m_cachedHasNetwork; }

    /// When the pending check is due and why it was scheduled; for display only.
    std::optional<QDateTime> nextCheckTime() const { return m_nextCheckTime; }
    std::optional<QString> nextCheckReason() const { return m_nextCheckReason; }

Q_SIGNALS:
    /// A refresh of the status cache has answered (the cached values may be the same as before).
    void statusCacheUpdated();

private:
    struct Trigger
    {
        QString arrivalLog;
        double delay;
        QString reason;
        QString startLine; // empty: none
        bool reconnect = false;
    };

    struct NetworkState
    {
        std::optional<QString> ssid;
        bool hasNetwork = false;
    };

    struct DueCheck
    {
        QString startLine; // empty: none
        bool reconnect = false;
    };

    void saveSwitch();
    void handleTrigger(const Trigger &trigger);
    /// Runs due checks one after the other, in the order they fell due.
    void enqueueCheck(const DueCheck &check);
    void runNextCheck();
    void checkEnded();
    void runCheck(bool reconnect);
    void continueCheck(const std::optional<QString> &ssid, bool reconnect);
    void finishCheck(bool online, bool reconnect);
    /// False when no sign-in was started (no usable account).
    bool signIn(bool reconnect);

    void writeListeningLine();
    void refreshNetworkState();
    void networkStateRefreshed(const NetworkState &state, const QDateTime &lookedUpAt);
    /// Joining a campus network schedules a check; true when the SSID changed.
    bool detectWiFiSwitch(const std::optional<QString> &current);
    void internetAccessLost();
    void reconnectAfterDrop();
    void reconnectFailed();

    /// Runs `job` on the lookup thread and `then` with its result on the main thread (not at all when
    /// the engine is gone by then).
    template <typename Result>
    void inBackground(std::function<Result()> job, std::function<void(const Result &)> then);
    std::chrono::milliseconds scaled(double seconds) const;
    QTimer *startRepeatingTimer(double seconds, void (AutoLoginManager::*tick)());

    // The engine's state, in the order the system describes it.
    bool m_isEnabled;
    QMetaObject::Connection m_workspaceObserver;
    QMetaObject::Connection m_appObserver;
    QMetaObject::Connection m_screenWakeObserver;
    QMetaObject::Connection m_sessionActiveObserver;
    QMetaObject::Connection m_connectivityObserver;
    NetworkProbe &m_probe; // holds the location manager
    QTimer *m_wifiCheckTimer = nullptr;
    QTimer *m_countdownTimer = nullptr;
    std::optional<QString> m_lastWiFiSSID;
    const double m_wifiCheckInterval = defaultWifiCheckInterval;
    std::optional<QDateTime> m_nextCheckTime;
    std::optional<QString> m_nextCheckReason;
    std::optional<QString> m_cachedWiFiSSID;
    bool m_cachedIsSchoolWiFi = false;
    bool m_cachedHasNetwork = false;
    std::optional<QDateTime> m_lastStatusUpdateTime;

    // Checks wait here while another runs, up to the outcome of its sign-in: their lookups answer
    // later, and two at once would mix their log lines and sign in twice.
    std::deque<DueCheck> m_dueChecks;
    bool m_checkRunning = false;

    // The shared network lookup.
    bool m_refreshPending = false;
    bool m_wifiBaselinePending = false; // the next answer sets lastWiFiSSID without a switch
    LogOnChange m_statusLineLog;
    LogOnChange m_campusLog;

    // Reconnecting after the portal dropped the session.
    ReconnectThrottle m_reconnect;
    NotificationCenter::Token m_anySuccessObserver;

    // The engine's own latest sign-in; the next one replaces it.
    std::unique_ptr<SignInAttempt> m_signIn;

    SystemEvents &m_events;
    KeychainHelper &m_keychain;
    HTTPAuthService &m_authService;
    BannerCenter &m_banners;
    NotificationCenter &m_center;
    Preferences &m_preferences;
    const Clock &m_clock;
    const double m_durationScale;
    QThreadPool m_lookups; // last: destroyed (and waited for) first
};
