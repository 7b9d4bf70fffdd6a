#include "stats/StatisticsData.h"

#include "stats/LoginRecord.h"
#include "stats/StatisticsManager.h"

#include <algorithm>
#include <optional>

namespace {

constexpr int weekDays = 7;

/// The first whole second at or after `start`; from `now` when the calendar could not produce `start`.
qint64 firstSecondFrom(const QDateTime &start, const QDateTime &now)
{
    const qint64 msecs = (start.isValid() ? start : now).toMSecsSinceEpoch();
    return msecs / 1000 + (msecs % 1000 > 0 ? 1 : 0);
}

/// Records whose stored "date" is the text `day`.
int countOn(const QList<QJsonObject> &records, const QString &day)
{
    int count = 0;
    for (const QJsonObject &record : records) {
        const QJsonValue date = record.value(LoginRecord::dateKey);
        count += date.isString() && date.toString() == day ? 1 : 0;
    }
    return count;
}

/// Records whose timestamp is an integer at or after `first`.
int countSince(const QList<QJsonObject> &records, qint64 first)
{
    int count = 0;
    for (const QJsonObject &record : records) {
        const std::optional<qint64> timestamp = LoginRecord::timestampOf(record);
        count += timestamp && *timestamp >= first ? 1 : 0;
    }
    return count;
}

} // namespace

StatisticsData StatisticsData::load(const StatisticsManager &manager)
{
    // One read of the history for every figure.
    return fromRecords(manager.loadLoginRecords(), manager.now());
}

StatisticsData StatisticsData::fromRecords(const QList<QJsonObject> &records, const QDateTime &now)
{
    StatisticsData data;
    data.todayCount = count(records, StatisticsPeriod::today, now);
    data.weekCount = count(records, StatisticsPeriod::week, now);
    data.monthCount = count(records, StatisticsPeriod::month, now);
    data.totalCount = count(records, StatisticsPeriod::all, now);
    data.dateDistribution = countPerDay(records, distributionDays, now);

    const qsizetype shown = std::min<qsizetype>(records.size(), recentLimit);
    for (qsizetype i = 0; i < shown; ++i) {
        const QJsonObject &record = records.at(records.size() - 1 - i);
        data.recentRecords.append({QString::number(i), LoginRecord::textOf(record, LoginRecord::dateKey),
                                   LoginRecord::textOf(record, LoginRecord::timeKey)});
    }
    return data;
}

int StatisticsData::count(const QList<QJsonObject> &records, StatisticsPeriod period, const QDateTime &now)
{
    // Calendar arithmetic happens in the time zone that is current at the moment of the query.
    const QDateTime local = now.toLocalTime();
    switch (period) {
    case StatisticsPeriod::today:
        return countOn(records, StatisticsManager::formatTimestamp(local.toSecsSinceEpoch(),
                                                                   StatisticsManager::datePattern));
    case StatisticsPeriod::week:
        return countSince(records, firstSecondFrom(local.addDays(-weekDays), local));
    case StatisticsPeriod::month:
        return countSince(records, firstSecondFrom(local.addMonths(-1), local));
    case StatisticsPeriod::all:
        return int(records.size());
    }
    Q_UNREACHABLE();
}

QMap<QString, int> StatisticsData::countPerDay(const QList<QJsonObject> &records, int days,
                                               const QDateTime &now)
{
    const QDateTime local = now.toLocalTime();
    const qint64 first = firstSecondFrom(local.addDays(-days), local);
    QMap<QString, int> distribution;
    // Records come mostly in time order: one local day's bounds serve all of its records, so a day is
    // formatted once, not once per record.
    qint64 dayStart = 1, dayEnd = 0;
    QString day;
    for (const QJsonObject &record : records) {
        const std::optional<qint64> timestamp = LoginRecord::timestampOf(record);
        if (!timestamp || *timestamp < first)
            continue;
        if (*timestamp < dayStart || *timestamp >= dayEnd) {
            const QDate date = QDateTime::fromSecsSinceEpoch(*timestamp, Qt::LocalTime).date();
            // The first instant of a day that starts in a gap (summer time at midnight) is the gap's end.
            const QDateTime start(date, QTime(0, 0), Qt::LocalTime),
                end(date.addDays(1), QTime(0, 0), Qt::LocalTime);
            dayStart = start.isValid() ? start.toSecsSinceEpoch() : *timestamp;
            dayEnd = end.isValid() ? end.toSecsSinceEpoch() : *timestamp + 1;
            day = StatisticsManager::formatTimestamp(*timestamp, StatisticsManager::datePattern);
        }
        ++distribution[day];
    }
    return distribution;
}
