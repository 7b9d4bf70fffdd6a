#pragma once

#include <QSet>
#include <QString>
#include <QUrl>

#include <optional>

/// The redirect policy of one portal request. Redirect loops, long chains and redirects away from the
/// portal are what a VPN client capturing the portal traffic looks like, so each of them is refused
/// and the reason is kept for the sign-in to show.
class RedirectProtectionDelegate
{
public:
    /// The most redirects one request follows.
    static constexpr qint64 maxRedirects = 5;

    static const QString loopReason;
    static const QString tooManyReason;
    static const QString rewrittenReason;
    /// Shown when a redirect was refused but no reason was kept.
    static const QString fallbackReason;

    /// `portalHost` is the host part of the portal's address.
    explicit RedirectProtectionDelegate(QString portalHost);

    /// Decides one redirect of the request towards `target`: true to follow it, false to refuse it.
    /// `postedTo`, when given, is the URL the redirect answers and whose body the redirect would send
    /// again: the body never goes to another scheme, host or port. A target that is not a whole
    /// http(s) URL (an invalid one, one without a host or with port 0) is refused.
    bool willPerformRedirection(const QUrl &target, const std::optional<QUrl> &postedTo = std::nullopt);

    qint64 redirectCount() const { return m_redirectCount; }
    const QSet<QString> &visitedURLs() const { return m_visitedURLs; }
    bool shouldBlock() const { return m_shouldBlock; }
    const std::optional<QString> &redirectError() const { return m_redirectError; }
    /// The reason to show for a refused redirect: `redirectError`, or the fallback text.
    QString blockReason() const;

private:
    bool refuse(const QString &reason);

    QString m_portalHost;
    qint64 m_redirectCount = 0;
    QSet<QString> m_visitedURLs;
    bool m_shouldBlock = false;
    std::optional<QString> m_redirectError;
};
