#pragma once

#include "autologin/NetworkProbe.h"
#include "common/NotificationCenter.h"
#include "common/SharedInstance.h"

#include <QDateTime>
#include <QMetaObject>
#include <QObject>
#include <QString>

#include <chrono>
#include <optional>

class BannerCenter;
class Clock;
class HTTPAuthService;
class KeychainHelper;
class Preferences;
class QTimer;
class SystemEvents;

/// Signs the computer into the campus portal by itself. A few seconds after an event that may have
/// cut the portal session (system or screens woke, session or application became active, a campus
/// Wi-Fi network joined) it checks that the computer is on a campus network without internet, and
/// only then signs in with the stored account, telling the user by banners. While switched on it
/// keeps a status line in the system log. Main thread only.
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
    /// One tick of the Wi-Fi switch detector: joining a campus network schedules a check.
    void checkWiFiChange();

    /// Restarts the once-a-second status line and writes it once at once.
    void startCountdownTimer();
    /// Writes the status line: the countdown to the pending check, or the listening form.
    void updateCountdownStatus();
    /// Refreshes the status line's SSID, campus test and probe result, at most once per
    /// statusCacheLifetime.
    void updateStatusCache();

    /// Decides whether to sign in: on a campus network and without internet. Runs whether or not
    /// automatic sign-in is switched on.
    void performAutoLoginCheck();
    /// Signs in with the stored account and reports the start and the outcome as banners.
    void performAutoLogin();

    // The probe's questions, as the engine asks them.
    std::optional<QString> getCurrentWiFiSSID();
    bool isConnectedToSchoolWiFi();
    static bool checkNetworkConnection(const QString &urlString, double timeout, const QString &portalAddress);
    void checkLocationPermission();

    /// When the pending check is due and why it was scheduled; for display only.
    std::optional<QDateTime> nextCheckTime() const { return m_nextCheckTime; }
    std::optional<QString> nextCheckReason() const { return m_nextCheckReason; }

private:
    struct Trigger
    {
        QString arrivalLog;
        double delay;
        QString reason;
        QString startLine; // empty: none
    };

    void saveSwitch();
    void handleTrigger(const Trigger &trigger);
    void withdrawOutcomeObservers();
    std::chrono::milliseconds scaled(double seconds) const;
    QTimer *startRepeatingTimer(double seconds, void (AutoLoginManager::*tick)());

    // The engine's state, in the order the system describes it.
    bool m_isEnabled;
    QMetaObject::Connection m_workspaceObserver;
    QMetaObject::Connection m_appObserver;
    QMetaObject::Connection m_screenWakeObserver;
    QMetaObject::Connection m_sessionActiveObserver;
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

    // The one-shot observers of the engine's own sign-in outcome.
    std::optional<NotificationCenter::Token> m_successObserver;
    std::optional<NotificationCenter::Token> m_failureObserver;

    SystemEvents &m_events;
    KeychainHelper &m_keychain;
    HTTPAuthService &m_authService;
    BannerCenter &m_banners;
    NotificationCenter &m_center;
    Preferences &m_preferences;
    const Clock &m_clock;
    const double m_durationScale;
};
