#include "stats/StatisticsPeriod.h"

namespace StatisticsPeriods {

QString rawValue(StatisticsPeriod period)
{
    switch (period) {
    case StatisticsPeriod::today: return QStringLiteral("今日");
    case StatisticsPeriod::week: return QStringLiteral("本周");
    case StatisticsPeriod::month: return QStringLiteral("本月");
    case StatisticsPeriod::all: return QStringLiteral("全部");
    }
    Q_UNREACHABLE();
}

std::optional<StatisticsPeriod> fromRawValue(const QString &text)
{
    for (const StatisticsPeriod period : all) {
        if (rawValue(period) == text)
            return period;
    }
    return std::nullopt;
}

} // namespace StatisticsPeriods
