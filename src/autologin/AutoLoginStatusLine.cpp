#include "autologin/AutoLoginStatusLine.h"

#include "autologin/AutoLoginManager.h"
#include "autologin/NetworkStatusCache.h"
#include "common/Clock.h"
#include "common/Log.h"

namespace {
const QString countdownLine = QStringLiteral("⏱️ 下次自动联网检测: %1 | 剩余时间: %2秒");
const QString minutesForm = QStringLiteral("%1分%2");
const QString dueLine = QStringLiteral("⏱️ 自动联网检测时间已到，正在检测...");
const QString listeningLine = QStringLiteral("⏱️ 自动联网监听中 | 当前WiFi: %1 (%2) | 网络状态: %3 | 等待触发事件...");
const QString unknownSSID = QStringLiteral("未知");
const QString schoolWiFi = QStringLiteral("✅ 学校WiFi");
const QString otherWiFi = QStringLiteral("⚠️ 非学校WiFi");
const QString connected = QStringLiteral("✅ 已连接");
const QString notConnected = QStringLiteral("❌ 未连接");
constexpr qint64 secondsPerMinute = 60;
constexpr qint64 millisecondsPerSecond = 1000;

// A pending check `seconds` (whole, already truncated) away: "2", or from a minute on "1分15".
QString remainingTime(qint64 seconds)
{
    if (seconds < secondsPerMinute)
        return QString::number(seconds);
    return minutesForm.arg(seconds / secondsPerMinute).arg(seconds % secondsPerMinute);
}
} // namespace

AutoLoginStatusLine::AutoLoginStatusLine(const AutoLoginManager &engine, NetworkStatusCache &cache,
                                         const Clock &clock, std::chrono::milliseconds tick, QObject *parent)
    : QObject(parent), m_engine(engine), m_cache(cache), m_clock(clock)
{
    m_countdownTimer.setInterval(tick);
    connect(&m_countdownTimer, &QTimer::timeout, this, &AutoLoginStatusLine::updateCountdownStatus);
}

void AutoLoginStatusLine::startCountdownTimer()
{
    m_countdownTimer.start();
    updateCountdownStatus();
}

void AutoLoginStatusLine::stopCountdownTimer()
{
    m_countdownTimer.stop();
}

void AutoLoginStatusLine::setNextCheck(const QDateTime &time, const QString &reason)
{
    m_nextCheckTime = time;
    m_nextCheckReason = reason;
}

void AutoLoginStatusLine::clearNextCheck()
{
    m_nextCheckTime.reset();
    m_nextCheckReason.reset();
}

void AutoLoginStatusLine::updateCountdownStatus()
{
    if (!m_engine.isEnabled())
        return;
    if (m_nextCheckTime && m_nextCheckReason) {
        const qint64 remainingMs = m_clock.now().msecsTo(*m_nextCheckTime);
        if (remainingMs > 0) {
            // One arg() call, so that a '%' in an SSID within the reason stays as it is.
            const qint64 seconds = remainingMs / millisecondsPerSecond;
            Log::write(countdownLine.arg(*m_nextCheckReason, remainingTime(seconds)));
            return;
        }
        clearNextCheck();
        Log::write(dueLine);
        // Listening again: its first line goes out even if it reads as before the countdown.
        m_statusLineLog.reset();
        return;
    }
    m_cache.updateStatusCache();
    // Before the first lookup has answered nothing is known; that answer writes the first line.
    if (m_cache.isKnown())
        writeListeningLine();
}

void AutoLoginStatusLine::networkStatusKnown()
{
    if (m_engine.isEnabled() && m_countdownTimer.isActive() && !m_nextCheckTime)
        writeListeningLine();
}

void AutoLoginStatusLine::writeListeningLine()
{
    const NetworkStatus &status = m_cache.status();
    m_statusLineLog.write(listeningLine.arg(status.ssid.value_or(unknownSSID),
                                            status.campusNetwork ? schoolWiFi : otherWiFi,
                                            status.internetReachable ? connected : notConnected));
}
