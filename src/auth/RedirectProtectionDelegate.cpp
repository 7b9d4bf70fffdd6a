#include "auth/RedirectProtectionDelegate.h"

#include "common/Log.h"

const QString RedirectProtectionDelegate::loopReason =
    QStringLiteral("检测到重定向循环，可能是VPN导致的。请关闭VPN后重试。");
const QString RedirectProtectionDelegate::tooManyReason =
    QStringLiteral("重定向次数过多（超过%1次），可能是VPN导致的。请关闭VPN后重试。").arg(maxRedirects);
const QString RedirectProtectionDelegate::rewrittenReason =
    QStringLiteral("检测到VPN重定向，内网地址已被改写。请关闭VPN后重试。");
const QString RedirectProtectionDelegate::fallbackReason =
    QStringLiteral("检测到重定向问题，可能是VPN导致的。请关闭VPN后重试。");

namespace {
const QString loopLog = QStringLiteral("⚠️ 检测到重定向循环: ");
const QString tooManyLog = QStringLiteral("⚠️ 重定向次数过多: ");
const QString foreignHostLog = QStringLiteral("⚠️ 检测到URL被重定向到: ");
const QString followLog = QStringLiteral("📍 重定向 #%1 到: %2");
// Hosts that are this machine: a redirect there cannot be a VPN rewriting the portal's address.
const QString localHostName = QStringLiteral("localhost");
const QString localHostAddress = QStringLiteral("127.0.0.1");

// The portal speaks HTTP. Any other scheme (file:, data:, ftp:) would have the client read a local
// file or a text made up by whoever sent the redirect, and take it for the portal's answer.
// A URL that is not whole (no host, a port outside 1-65535, anything QUrl refused) is never
// mended into one: a default port or host would take the request somewhere nobody named.
bool isWebURL(const QUrl &url)
{
    const bool web = url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https");
    return web && url.isValid() && !url.host().isEmpty() && url.port() != 0;
}

// Hosts are compared whole: "10.248.98.2.evil.example" or "127.0.0.10" is not the portal or this machine.
bool isLocalHost(const QString &host)
{
    return host == localHostName || host == localHostAddress;
}

bool sameOrigin(const QUrl &a, const QUrl &b)
{
    const int defaultPort = a.scheme() == QLatin1String("https") ? 443 : 80;
    return a.scheme() == b.scheme() && a.host() == b.host() && a.port(defaultPort) == b.port(defaultPort);
}
} // namespace

RedirectProtectionDelegate::RedirectProtectionDelegate(QString portalHost)
    : m_portalHost(std::move(portalHost))
{
}

bool RedirectProtectionDelegate::willPerformRedirection(const QUrl &target, const std::optional<QUrl> &postedTo)
{
    ++m_redirectCount;
    const QString targetText = target.isEmpty() ? QString() : target.toString();

    // The loop test comes first: a repeated target is a loop even while the count is low.
    if (m_visitedURLs.contains(targetText)) {
        Log::write(loopLog + targetText);
        return refuse(loopReason);
    }
    if (m_redirectCount > maxRedirects) {
        Log::write(tooManyLog + QString::number(m_redirectCount));
        return refuse(tooManyReason);
    }
    if (!isWebURL(target)) {
        Log::write(foreignHostLog + targetText);
        return refuse(rewrittenReason);
    }
    const QString host = target.host();
    if (!host.isEmpty() && host != m_portalHost) {
        Log::write(foreignHostLog + host);
        if (!isLocalHost(host))
            return refuse(rewrittenReason);
    }
    // The form carries the password: it is posted again only to where it was posted.
    if (postedTo && !sameOrigin(*postedTo, target)) {
        if (host == m_portalHost)
            Log::write(foreignHostLog + target.authority());
        return refuse(rewrittenReason);
    }
    m_visitedURLs.insert(targetText);
    Log::write(followLog.arg(QString::number(m_redirectCount), targetText));
    return true;
}

QString RedirectProtectionDelegate::blockReason() const
{
    return m_redirectError.value_or(fallbackReason);
}

bool RedirectProtectionDelegate::refuse(const QString &reason)
{
    m_shouldBlock = true;
    m_redirectError = reason;
    return false;
}
