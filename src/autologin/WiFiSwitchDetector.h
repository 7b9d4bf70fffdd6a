#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <optional>

class AutoLoginManager;
class NetworkStatusCache;

/// Tells when the computer joins another Wi-Fi network. Every few seconds, while `engine` is switched
/// on, it asks the engine's status cache for a fresh look; the engine hands each answer's SSID to
/// detectWiFiSwitch, which compares it with the one before. The first answer after the detector
/// starts is the baseline, never a switch.
class WiFiSwitchDetector : public QObject
{
    Q_OBJECT

public:
    /// Period of the detector, in seconds.
    static constexpr double defaultWifiCheckInterval = 5.0;

    /// `tick` is defaultWifiCheckInterval as the engine's timers run it.
    WiFiSwitchDetector(const AutoLoginManager &engine, NetworkStatusCache &cache,
                       std::chrono::milliseconds tick, QObject *parent = nullptr);

    /// Restarts the timer; the next answer is the baseline.
    void startWiFiMonitoring();
    void stopWiFiMonitoring();
    /// One tick: refreshes the shared status cache (at most once per its lifetime).
    void checkWiFiChange();
    /// Logs a switch and emits wifiSwitched; true when the SSID differs from the last one.
    bool detectWiFiSwitch(const std::optional<QString> &current);

Q_SIGNALS:
    /// The computer has left its Wi-Fi network for `ssid` (absent: none, or unreadable).
    void wifiSwitched(const std::optional<QString> &ssid);

private:
    const AutoLoginManager &m_engine;
    NetworkStatusCache &m_cache;
    QTimer m_wifiCheckTimer{this};
    std::optional<QString> m_lastWiFiSSID;
    bool m_wifiBaselinePending = false; // the next answer sets lastWiFiSSID without a switch
};
