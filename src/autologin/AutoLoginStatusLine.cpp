#include "autologin/AutoLoginStatusLine.h"

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
} // namespace

QString AutoLoginStatusLine::remainingTime(qint64 seconds)
{
    if (seconds < secondsPerMinute)
        return QString::number(seconds);
    return minutesForm.arg(seconds / secondsPerMinute).arg(seconds % secondsPerMinute);
}

QString AutoLoginStatusLine::countdown(const QString &reason, qint64 seconds)
{
    // One arg() call, so that a '%' in an SSID within the reason stays as it is.
    return countdownLine.arg(reason, remainingTime(seconds));
}

QString AutoLoginStatusLine::due()
{
    return dueLine;
}

QString AutoLoginStatusLine::listening(const std::optional<QString> &ssid, bool isSchoolWiFi, bool hasNetwork)
{
    return listeningLine.arg(ssid.value_or(unknownSSID), isSchoolWiFi ? schoolWiFi : otherWiFi,
                             hasNetwork ? connected : notConnected);
}
