#include "autologin/NetworkStatusCache.h"

#include "autologin/NetworkStatusQuery.h"
#include "common/Clock.h"

namespace {
constexpr double millisecondsPerSecond = 1000.0;
} // namespace

NetworkStatusCache::NetworkStatusCache(NetworkStatusQuery &query, const Clock &clock)
    : m_query(query), m_clock(clock)
{
}

void NetworkStatusCache::updateStatusCache()
{
    if (m_lastStatusUpdateTime) {
        // A wall clock set back must not freeze the cache until it catches up again.
        const qint64 elapsedMs = m_lastStatusUpdateTime->msecsTo(m_clock.now());
        if (elapsedMs >= 0 && elapsedMs < qRound64(statusCacheLifetime * millisecondsPerSecond))
            return;
    }
    refreshNetworkState();
}

void NetworkStatusCache::refreshNetworkState()
{
    if (m_query.isRefreshing())
        return;
    m_refreshStartedAt = m_clock.now();
    m_query.refresh();
}

void NetworkStatusCache::store(const NetworkStatus &status)
{
    m_status = status;
    m_lastStatusUpdateTime = m_refreshStartedAt;
}

bool NetworkStatusCache::internetAccessLost()
{
    // A loss the lookups have seen already has had its trigger.
    if (!m_lastStatusUpdateTime || !m_status.internetReachable)
        return false;
    m_status.internetReachable = false;
    return true;
}
