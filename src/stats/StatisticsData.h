#pragma once

#include "stats/HistoryRecord.h"
#include "stats/StatisticsPeriod.h"

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>

class LoginHistoryDatabase;

/// The figures of the statistics pane, shared by the pane and `netlatchctl stats`. Today: the records
/// whose stored "date" is today. Week and month: those whose timestamp falls within the last 7 calendar
/// days or the last calendar month. Per day: over the last 30 calendar days, by the local day of each
/// timestamp. Calendar arithmetic and day texts follow the time zone that is current when a figure is
/// taken.
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

    /// Every figure, taken afresh from `history` at the time `now`. A history that cannot be opened
    /// (null) or read gives all zeros.
    static StatisticsData load(LoginHistoryDatabase *history, const QDateTime &now);

    friend bool operator==(const StatisticsData &, const StatisticsData &) = default;
};
