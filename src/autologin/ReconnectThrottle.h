#pragma once

#include <QDateTime>

#include <optional>

/// Paces the engine's reconnects after the portal dropped the session: one reconnect check at a
/// time, due at least `interval` seconds after the previous one, and after `maxFailures` failed
/// reconnect sign-ins in a row none at all until resume() (a wake, an unlock, a Wi-Fi switch or a
/// successful sign-in). Plain state on times the engine gives it.
class ReconnectThrottle
{
public:
    /// Seconds from a loss to its reconnect check.
    static constexpr double delay = 3.0;
    /// Reconnect checks are due at least this far apart, in seconds.
    static constexpr double interval = 60.0;
    static constexpr int maxFailures = 3;

    /// Schedules a reconnect check for a loss seen at `now`: the seconds until it is due, or absent
    /// when one is pending already or reconnecting rests.
    std::optional<double> schedule(const QDateTime &now);
    /// The scheduled check has begun; a later loss may schedule the next one.
    void checkStarted() { m_pending = false; }
    /// A reconnect sign-in failed; true when this failure makes reconnecting rest.
    bool failed();
    /// Ends a rest and forgets the failures.
    void resume();
    bool isResting() const { return m_resting; }

private:
    std::optional<QDateTime> m_lastDue;
    bool m_pending = false;
    int m_failures = 0;
    bool m_resting = false;
};
