#include "stats/StatisticsData.h"

#include "stats/LoginRecord.h"
#include "stats/StatisticsManager.h"

#include <algorithm>

StatisticsData StatisticsData::load(const StatisticsManager &manager)
{
    // One read of the history for every figure.
    const QList<QJsonObject> records = manager.loadLoginRecords();
    StatisticsData data;
    data.todayCount = manager.todayCount(records);
    data.weekCount = manager.weekCount(records);
    data.monthCount = manager.monthCount(records);
    data.totalCount = int(records.size());
    data.dateDistribution = manager.dateDistribution(records, distributionDays);

    const qsizetype shown = std::min<qsizetype>(records.size(), recentLimit);
    for (qsizetype i = 0; i < shown; ++i) {
        const QJsonObject &record = records.at(records.size() - 1 - i);
        data.recentRecords.append({QString::number(i), LoginRecord::textOf(record, LoginRecord::dateKey),
                                   LoginRecord::textOf(record, LoginRecord::timeKey)});
    }
    return data;
}
