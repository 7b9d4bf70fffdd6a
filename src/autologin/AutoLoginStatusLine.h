#pragma once

#include "common/LogOnChange.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <optional>

class AutoLoginManager;
class Clock;
class NetworkStatusCache;

/// The auto-login engine's once-a-second status line in the system log: while a check is pending, the
/// countdown to it; otherwise the network as the status cache last saw it, asking the cache for a
/// fresh look every tick. The system log gets a line only when it differs from the last one.
class AutoLoginStatusLine : public QObject
{
    Q_OBJECT

public:
    /// Period of the status line, in seconds.
    static constexpr double countdownInterval = 1.0;

    /// Writes nothing while `engine` is switched off. `tick` is countdownInterval as the engine's
    /// timers run it; the countdown is measured on `clock`.
    AutoLoginStatusLine(const AutoLoginManager &engine, NetworkStatusCache &cache, const Clock &clock,
                        std::chrono::milliseconds tick, QObject *parent = nullptr);

    /// Restarts the once-a-second timer and writes the line once at once.
    void startCountdownTimer();
    void stopCountdownTimer();
    /// Writes the line: the countdown to the pending check, or the listening form.
    void updateCountdownStatus();

    /// The line counts down to a check due at `time`, scheduled for `reason`.
    void setNextCheck(const QDateTime &time, const QString &reason);
    void clearNextCheck();
    /// The next line reaches the system log even if it reads as the last one did.
    void resetLog() { m_statusLineLog.reset(); }
    /// The status cache's first answer is in: the listening form, when it is due, is written at once.
    void networkStatusKnown();

    /// When the pending check is due and why it was scheduled; for display only.
    std::optional<QDateTime> nextCheckTime() const { return m_nextCheckTime; }
    std::optional<QString> nextCheckReason() const { return m_nextCheckReason; }

private:
    void writeListeningLine();

    const AutoLoginManager &m_engine;
    NetworkStatusCache &m_cache;
    const Clock &m_clock;
    QTimer m_countdownTimer{this};
    std::optional<QDateTime> m_nextCheckTime;
    std::optional<QString> m_nextCheckReason;
    LogOnChange m_statusLineLog;
};
