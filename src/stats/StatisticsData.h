#pragma once

#include "stats/HistoryRecord.h"

#include <QList>
#include <QMap>
#include <QString>

class StatisticsManager;

/// The figures of the statistics pane, shared by the pane and `netlatchctl stats`.
struct StatisticsData
{
    /// Days covered by the per-day counts.
    static constexpr int distributionDays = 30;
    /// Most recent sign-ins listed.
    static constexpr int recentLimit = 10;

    int todayCount = 0;
    int weekCount = 0;
    int monthCount = 0;
    int totalCount = 0;                  ///< every stored record, whatever its content
    QMap<QString, int> dateDistribution; ///< "yyyy-MM-dd" → sign-ins over the last 30 days
    QList<HistoryRecord> recentRecords;  ///< at most 10, the most recently stored first

    /// Every figure from one fresh read of the manager's history. Unreadable stored data gives all zeros.
    static StatisticsData load(const StatisticsManager &manager);
};
