#pragma once

#include <QString>

/// The connectivity probe behind AutoLoginManager::checkNetworkConnection. Its HEAD requests run on
/// a worker thread of their own (with its own network access and event loop) while the caller
/// waits on a bounded future, so the caller's thread never spins an event loop.
class ConnectivityProbe
{
public:
    /// How the probe was answered.
    enum class Answer {
        Reachable,      ///< 2xx, after any redirects
        Unreachable,    ///< an error, a time-out, another status, or a redirect that cannot be followed
        PortalRedirect, ///< redirected to the portal's own address (scheme, host and port exactly)
    };

    /// The probe itself, as isReachable describes it. Only an answer that sends the probe to the
    /// portal itself is PortalRedirect: the portal vouching that this network is the campus network.
    static Answer probe(const QString &urlString, double timeout, const QString &portalAddress);

    /// True when `urlString` answers a HEAD request with 2xx within `timeout` seconds. Redirects are
    /// followed, except one to the portal (`portalAddress`'s host and port exactly): a campus
    /// network that has not been signed in sends every request to its sign-in page, which answers
    /// 200, so that answer says nothing about the internet. Returns no later than timeout + 0.3 s
    /// and cancels a request still pending then. Safe from any thread, several calls at once.
    static bool isReachable(const QString &urlString, double timeout, const QString &portalAddress);
};
