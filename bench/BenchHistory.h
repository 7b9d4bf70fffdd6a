#pragma once

// Shared by the statistics benchmarks: a year of stored sign-ins and a median timer.

#include "stats/LoginHistoryDatabase.h"
#include "stats/StatisticsManager.h"

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
