#pragma once

#include "autologin/AutoLoginStatusLine.h"
#include "autologin/NetworkProbe.h"
#include "autologin/NetworkStatusCache.h"
#include "autologin/NetworkStatusQuery.h"
#include "autologin/ReconnectThrottle.h"
#include "autologin/WiFiSwitchDetector.h"
#include "common/NotificationCenter.h"
#include "common/SharedInstance.h"

#include <QMetaObject>
#include <QObject>
#include <QString>

#include <chrono>
#include <deque>
#include <memory>
#include <optional>

class BannerCenter;
class Clock;
class HTTPAuthService;
class KeychainHelper;
struct Credentials;
class Preferences;
class SignInAttempt;
class SystemEvents;

/// Signs the computer into the campus portal by itself. A few seconds after it starts and after each
/// event that may have cut the portal session (system or screens woke, session or application became
/// active, a campus Wi-Fi network joined, the internet lost on a campus network) it checks that the
/// computer is on a campus network without internet (on a network without an SSID: that the portal
/// itself answers the probe), and only then signs in with the stored account, telling the user
/// by banners. While switched on it keeps a status line in the system log.
///
/// Lives on the main thread, which it never makes wait: the SSID lookups and connectivity probes,
/// which can block on the system's services for seconds, run on the worker threads of its network
/// status query and hand their answers back. The listening machinery looks the network up at most
/// once per statusCacheLifetime and shares that one answer (the status cache) between the status
/// line, the Wi-Fi switch detector and the reconnect trigger.
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
    static constexpr double startupDelay = systemWakeDelay;

    /// Only one engine may run per user: the name of the InstanceLock every front end takes first.
    static inline const QString instanceLockName = QStringLiteral("netlatch-autologin.lock");

    /// Reads "autoLoginEnabled" and, when it is set, starts listening at once and schedules a first
    /// check after startupDelay. `durationScale`
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

    /// The listening machinery's parts: the network as last looked up, the status line (with the
    /// pending check's due time and reason) and the Wi-Fi switch detector.
    const NetworkStatusCache &statusCache() const { return m_statusCache; }
    AutoLoginStatusLine &statusLine() { return m_statusLine; }
    WiFiSwitchDetector &wifiSwitchDetector() { return m_wifiSwitch; }

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
    void finishCheck(ConnectivityProbe::Answer answer, bool ssidReadable, bool reconnect);
    /// Reads the account, then signs in with it; a running check ends with the outcome.
    void signIn(bool reconnect);
    void signIn(const Credentials &credentials, bool reconnect);

    /// A refresh of the status cache has answered: the cache keeps it, then the status line, the
    /// Wi-Fi switch detector and the reconnect trigger take it in turn.
    void networkStateRefreshed(const NetworkStatus &status);
    /// Joining a campus network schedules a check.
    void wifiSwitched(const std::optional<QString> &ssid);
    void internetAccessLost();
    void reconnectAfterDrop();
    void reconnectFailed();

    std::chrono::milliseconds scaled(double seconds) const;

    // The engine's state, in the order the system describes it.
    bool m_isEnabled;
    QMetaObject::Connection m_workspaceObserver;
    QMetaObject::Connection m_appObserver;
    QMetaObject::Connection m_screenWakeObserver;
    QMetaObject::Connection m_sessionActiveObserver;
    QMetaObject::Connection m_connectivityObserver;
    NetworkProbe &m_probe; // holds the location manager

    // Checks wait here while another runs, up to the outcome of its sign-in: their lookups answer
    // later, and two at once would mix their log lines and sign in twice.
    std::deque<DueCheck> m_dueChecks;
    bool m_checkRunning = false;

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

    // The listening machinery, over the network status query it shares with the check.
    NetworkStatusCache m_statusCache;
    AutoLoginStatusLine m_statusLine;
    WiFiSwitchDetector m_wifiSwitch;
    NetworkStatusQuery m_networkStatus; // last: destroyed (and its lookups waited for) first
};
