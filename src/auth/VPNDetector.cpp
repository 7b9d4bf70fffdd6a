#include "auth/VPNDetector.h"

#include "common/Log.h"

namespace VPNDetector {

const QString unexpectedPageMessage =
    QStringLiteral("检测到VPN重定向，返回了非预期的页面。请关闭VPN后重试。");
const QString unexpectedHTMLMessage =
    QStringLiteral("检测到VPN重定向，返回了非预期的HTML页面。请关闭VPN后重试。");

namespace {
const QString doctypeMarker = QStringLiteral("<!doctype html");
const QString htmlMarker = QStringLiteral("<html");
const QString portalPageMarker = QStringLiteral("ac_portal");
const QString loginPageMarker = QStringLiteral("login");
const QString successField = QStringLiteral("success");
const QString msgField = QStringLiteral("msg");

const QString htmlPageLog = QStringLiteral("⚠️ 检测到HTML响应，可能是VPN重定向");
const QString htmlAnswerLog = QStringLiteral("⚠️ 检测到HTML响应而非JSON，可能是VPN重定向");
const QString pageFailureLog = QStringLiteral("❌ 获取登录页面失败: %1 (错误码: %2)");
const QString loginFailureLog = QStringLiteral("❌ 登录请求失败: %1 (错误码: %2)");

const QString timedOutMessage = QStringLiteral("连接超时，可能是VPN导致的，请关闭VPN后重试");
const QString cannotConnectMessage = QStringLiteral("无法连接到服务器，请检查网络连接或关闭VPN");
const QString insecurePageMessage = QStringLiteral("ATS错误：请确保在Xcode项目设置的Info标签页中添加了NSAppTr"
                                                   "ansportSecurity > NSAllowsArbitraryLoads = YES");
const QString pageOtherMessage = QStringLiteral("网络连接失败");
const QString loginOtherPrefix = QStringLiteral("网络错误: ");
} // namespace

bool isHTML(const QString &text)
{
    const QString lower = text.toLower();
    return lower.contains(doctypeMarker) || lower.contains(htmlMarker);
}

bool isExpectedPage(const QString &leadingText)
{
    if (!isHTML(leadingText))
        return true;
    // The portal's own page is HTML too, so this line appears on every ordinary sign-in.
    Log::write(htmlPageLog);
    return leadingText.contains(portalPageMarker) || leadingText.contains(loginPageMarker);
}

std::optional<QString> loginResponseProblem(const QString &text)
{
    if (!isHTML(text))
        return std::nullopt;
    Log::write(htmlAnswerLog);
    if (text.contains(successField) || text.contains(msgField))
        return std::nullopt;
    return unexpectedHTMLMessage;
}

QString transportErrorMessage(Step step, const TransportError &error)
{
    const QString &logLine = step == Step::PageFetch ? pageFailureLog : loginFailureLog;
    Log::write(logLine.arg(error.description, QString::number(error.code)));

    switch (error.kind) {
    case TransportError::Kind::TimedOut:
        return timedOutMessage;
    case TransportError::Kind::CannotConnect:
        return cannotConnectMessage;
    case TransportError::Kind::InsecureConnectionRefused:
        return step == Step::PageFetch ? insecurePageMessage : loginOtherPrefix + error.description;
    case TransportError::Kind::Other:
        break;
    }
    return step == Step::PageFetch ? pageOtherMessage : loginOtherPrefix + error.description;
}

} // namespace VPNDetector
