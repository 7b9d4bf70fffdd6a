#include "autologin/ReconnectThrottle.h"

#include <QtMath>

#include <algorithm>

namespace {
constexpr double millisecondsPerSecond = 1000.0;
}

std::optional<double> ReconnectThrottle::schedule(const QDateTime &now)
{
    if (m_pending || m_resting)
        return std::nullopt;
    double seconds = delay;
    if (m_lastDue) {
        const QDateTime earliest = m_lastDue->addMSecs(qRound64(interval * millisecondsPerSecond));
        seconds = std::max(seconds, now.msecsTo(earliest) / millisecondsPerSecond);
    }
    m_lastDue = now.addMSecs(qRound64(seconds * millisecondsPerSecond));
    m_pending = true;
    return seconds;
}

bool ReconnectThrottle::failed()
{
    if (m_resting || ++m_failures < maxFailures)
        return false;
    m_resting = true;
    return true;
}

void ReconnectThrottle::resume()
{
    m_failures = 0;
    m_resting = false;
}
