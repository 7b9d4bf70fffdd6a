#include "autologin/WiFiSwitchDetector.h"

#include "autologin/AutoLoginManager.h"
#include "autologin/NetworkStatusCache.h"
#include "common/Log.h"

namespace {
const QString wifiMonitoringStartedLog = QStringLiteral("✅ WiFi切换检测已启动（每%1秒检查一次）");
const QString wifiSwitchLog = QStringLiteral("🔍 检测到WiFi切换: %1 → %2");
const QString noSSID = QStringLiteral("无");

// A double in its default decimal form, which always shows a fraction ("5.0", "2.5").
QString decimalText(double value)
{
    QString text = QString::number(value, 'g', 15);
    if (!text.contains(QLatin1Char('.')) && !text.contains(QLatin1Char('e')))
        text += QStringLiteral(".0");
    return text;
}
} // namespace

WiFiSwitchDetector::WiFiSwitchDetector(const AutoLoginManager &engine, NetworkStatusCache &cache,
                                       std::chrono::milliseconds tick, QObject *parent)
    : QObject(parent), m_engine(engine), m_cache(cache)
{
    m_wifiCheckTimer.setInterval(tick);
    connect(&m_wifiCheckTimer, &QTimer::timeout, this, &WiFiSwitchDetector::checkWiFiChange);
}

void WiFiSwitchDetector::startWiFiMonitoring()
{
    m_wifiCheckTimer.start();
    Log::write(wifiMonitoringStartedLog.arg(decimalText(defaultWifiCheckInterval)));
    // Compared with the network joined now, which the next answer tells.
    m_wifiBaselinePending = true;
}

void WiFiSwitchDetector::stopWiFiMonitoring()
{
    m_wifiCheckTimer.stop();
}

void WiFiSwitchDetector::checkWiFiChange()
{
    if (!m_engine.isEnabled())
        return;
    m_cache.updateStatusCache();
}

bool WiFiSwitchDetector::detectWiFiSwitch(const std::optional<QString> &current)
{
    if (m_wifiBaselinePending) {
        m_wifiBaselinePending = false;
        m_lastWiFiSSID = current;
        return false;
    }
    if (current == m_lastWiFiSSID)
        return false;
    Log::write(wifiSwitchLog.arg(m_lastWiFiSSID.value_or(noSSID), current.value_or(noSSID)));
    Q_EMIT wifiSwitched(current);
    m_lastWiFiSSID = current;
    return true;
}
