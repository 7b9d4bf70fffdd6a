#pragma once

#include "autologin/NetworkStatus.h"

#include <QDateTime>

#include <optional>

class Clock;
class NetworkStatusQuery;

/// The network status the auto-login engine last looked up, shared by its status line, its Wi-Fi
/// switch detector and its reconnect trigger: each of them asks for it every tick, and the query is
/// asked again at most once per statusCacheLifetime.
class NetworkStatusCache
{
public:
    /// The status is looked up at most this often, in seconds (measured on the clock).
    static constexpr double statusCacheLifetime = 5.0;

    NetworkStatusCache(NetworkStatusQuery &query, const Clock &clock);

    /// Starts a refresh, unless one is under way or the cached status is younger than
    /// statusCacheLifetime. The answer comes later, by the query's refreshed signal.
    void updateStatusCache();
    /// Starts a refresh unless one is under way.
    void refreshNetworkState();
    /// Keeps a refresh's answer, as old as that refresh.
    void store(const NetworkStatus &status);

    /// False until the first refresh has answered; the status reads as nothing known till then.
    bool isKnown() const { return m_lastStatusUpdateTime.has_value(); }
    const NetworkStatus &status() const { return m_status; }

    /// The system reports the internet lost, possibly before the next lookup sees it. True when the
    /// cached status had the internet reachable: it reads unreachable from now on.
    bool internetAccessLost();

private:
    NetworkStatusQuery &m_query;
    const Clock &m_clock;
    NetworkStatus m_status;
    std::optional<QDateTime> m_lastStatusUpdateTime;
    QDateTime m_refreshStartedAt;
};
