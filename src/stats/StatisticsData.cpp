#include "stats/StatisticsData.h"

#include "stats/LoginRecord.h"
#include "stats/StatisticsManager.h"

#include <algorithm>

StatisticsData StatisticsData::load(const StatisticsManager &manager)
{
    StatisticsData data;
    data.todayCount = manager.getTodayCount();
    data.weekCount = manager.getWeekCount();
    data.monthCount = manager.getMonthCount();
    data.totalCount = int(manager.loadLoginRecords().size());
    data.dateDistribution = manager.getDateDistribution(distributionDays);

    // The list is read again, as every figure is: the store keeps no cached copy.
    const QList<QJsonObject> records = manager.loadLoginRecords();
    const qsizetype shown = std::min<qsizetype>(records.size(), recentLimit);
    for (qsizetype i = 0; i < shown; ++i) {
        const QJsonObject &record = records.at(records.size() - 1 - i);
        data.recentRecords.append({QString::number(i), LoginRecord::textOf(record, LoginRecord::dateKey),
                                   LoginRecord::textOf(record, LoginRecord::timeKey)});
    }
    return data;
}
