#pragma once

// Shared by the statistics benchmarks: a year of stored sign-ins and a median timer.

#include "stats/StatisticsManager.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>

#include <algorithm>
#include <functional>

namespace BenchHistory {

/// `count` sign-ins spread evenly over the last 364 days, oldest first, as the store keeps them.
inline QByteArray history(int count, qint64 now)
{
    constexpr qint64 span = 364LL * 86'400;
    QJsonArray records;
    for (int i = 0; i < count; ++i) {
        const qint64 timestamp = now - span + span * i / count;
        records.append(QJsonObject{{"username", "student2024"},
                                   {"timestamp", timestamp},
                                   {"date", StatisticsManager::formatTimestamp(timestamp, "yyyy-MM-dd")},
                                   {"time", StatisticsManager::formatTimestamp(timestamp, "HH:mm:ss")}});
    }
    return QJsonDocument(records).toJson(QJsonDocument::Compact);
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
