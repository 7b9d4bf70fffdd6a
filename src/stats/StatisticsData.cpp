#include "stats/StatisticsData.h"

#include "stats/LoginHistoryDatabase.h"
#include "stats/StatisticsManager.h"

namespace {

constexpr int weekDays = 7;

/// The first whole second at or after `start`; from `now` when the calendar could not produce `start`.
qint64 firstSecondFrom(const QDateTime &start, const QDateTime &now)
{
    const qint64 msecs = (start.isValid() ? start : now).toMSecsSinceEpoch();
    return msecs / 1000 + (msecs % 1000 > 0 ? 1 : 0);
}

/// Sign-ins per local day of `timestamps`, earliest first.
QMap<QString, int> countPerDay(const QList<qint64> &timestamps)
{
    QMap<QString, int> distribution;
    // One local day's bounds serve all of its records, so a day is formatted once, not once per record.
    qint64 dayStart = 1, dayEnd = 0;
    QMap<QString, int>::iterator day;
    for (const qint64 timestamp : timestamps) {
        if (timestamp < dayStart || timestamp >= dayEnd) {
            const QDate date = QDateTime::fromSecsSinceEpoch(timestamp, Qt::LocalTime).date();
            // The first instant of a day that starts in a gap (summer time at midnight) is the gap's end.
            const QDateTime start(date, QTime(0, 0), Qt::LocalTime),
                end(date.addDays(1), QTime(0, 0), Qt::LocalTime);
            dayStart = start.isValid() ? start.toSecsSinceEpoch() : timestamp;
            dayEnd = end.isValid() ? end.toSecsSinceEpoch() : timestamp + 1;
            const QString text = StatisticsManager::formatTimestamp(timestamp, StatisticsManager::datePattern);
            day = distribution.find(text);
            if (day == distribution.end())
                day = distribution.insert(text, 0);
        }
        ++*day;
    }
    return distribution;
}

} // namespace

StatisticsData StatisticsData::load(LoginHistoryDatabase *history, const QDateTime &now)
{
    StatisticsData data;
    if (!history)
        return data;
    // Calendar arithmetic happens in the time zone that is current at the moment of the query.
    const QDateTime local = now.toLocalTime();
    const std::optional<std::array<int, 4>> counts = history->counts(
        StatisticsManager::formatTimestamp(local.toSecsSinceEpoch(), StatisticsManager::datePattern),
        firstSecondFrom(local.addDays(-weekDays), local), firstSecondFrom(local.addMonths(-1), local));
    if (!counts)
        return data; // unreadable stored data gives all zeros
    const auto [total, today, week, month] = *counts;
    data.totalCount = total;
    data.todayCount = today;
    data.weekCount = week;
    data.monthCount = month;
    data.dateDistribution =
        countPerDay(history->timestampsSince(firstSecondFrom(local.addDays(-distributionDays), local)));
    int position = 0;
    for (const LoginRecord &record : history->newest(recentLimit))
        data.recentRecords.append({QString::number(position++), record.date, record.time});
    return data;
}
