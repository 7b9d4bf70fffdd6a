#pragma once

#include "stats/HistoryRecord.h"
#include "stats/StatisticsPeriod.h"

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QString>

class StatisticsManager;

/// The figures of the statistics pane, shared by the pane and `netlatchctl stats`, and how each is
/// taken from the stored records at a given moment. Calendar arithmetic and day texts follow the
/// time zone that is current when a figure is taken.
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
    /// Every figure of `records`, in the order they were stored, at the moment `now`.
    static StatisticsData fromRecords(const QList<QJsonObject> &records, const QDateTime &now);

    /// Records of `period` at the moment `now`. Today: those whose stored "date" is now's day. Week
    /// and month: those whose timestamp is an integer within the last 7 calendar days or the last
    /// calendar month. All: every record.
    static int count(const QList<QJsonObject> &records, StatisticsPeriod period, const QDateTime &now);
    /// Sign-ins per local day from `days` calendar days before `now` until now; days without sign-ins
    /// have no entry.
    static QMap<QString, int> countPerDay(const QList<QJsonObject> &records, int days, const QDateTime &now);
};
