#pragma once

// Shared by the statistics benchmarks: a year of stored sign-ins and a median timer.

#include "common/Clock.h"
#include "stats/LoginHistoryDatabase.h"
#include "stats/StatisticsData.h"
#include "stats/StatisticsManager.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QList>

#include <algorithm>
#include <functional>

namespace BenchHistory {

/// Stores `count` sign-ins spread evenly over the last 364 days, oldest first, in the history's
/// database in `folder`.
inline void seed(const QString &folder, int count, qint64 now)
{
    constexpr qint64 span = 364LL * 86'400;
    LoginHistoryDatabase database(folder, QStringLiteral("com.netlatch.loginRecords"));
    QString error, keptAside;
    const bool stored = database.open(&error, &keptAside) && database.write(
        [&](QString *error) {
            for (int i = 0; i < count; ++i) {
                const qint64 timestamp = now - span + span * i / count;
                if (!database.insert({QStringLiteral("student2024"), timestamp,
                                      StatisticsManager::formatTimestamp(timestamp, StatisticsManager::datePattern),
                                      StatisticsManager::formatTimestamp(timestamp, StatisticsManager::timePattern)},
                                     error))
                    return false;
            }
            return true;
        },
        &error);
    if (!stored)
        qFatal("cannot seed the history: %s", qPrintable(error));
}

/// Turns the event loop until `done` is set (an answer of the history's thread has come).
inline void waitFor(const bool &done)
{
    while (!done)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

/// The figures, as the pane and `netlatchctl stats` ask for them; their total count.
inline int loadStatistics(StatisticsManager &manager)
{
    int total = 0;
    bool answered = false;
    manager.loadStatistics(nullptr, [&](const StatisticsData &data) {
        total = data.totalCount;
        answered = true;
    });
    waitFor(answered);
    return total;
}

/// Saves one sign-in at the clock's time and waits until it is written.
inline void saveLoginRecord(StatisticsManager &manager, const Clock &clock)
{
    manager.saveLoginRecord(QStringLiteral("student2024"), clock.now().toSecsSinceEpoch());
    while (manager.isBusy())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

/// Median milliseconds of `runs` calls of `work`, each after an untimed `prepare`.
inline double medianMs(int runs, const std::function<void()> &prepare, const std::function<void()> &work)
{
    QList<double> times;
    for (int i = 0; i < runs; ++i) {
        prepare();
        QElapsedTimer timer;
        timer.start();
        work();
        times.append(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times.at(times.size() / 2);
}

inline double medianMs(int runs, const std::function<void()> &work)
{
    return medianMs(
        runs, [] {}, work);
}

} // namespace BenchHistory
