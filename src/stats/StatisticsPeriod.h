#pragma once

#include <QString>

#include <array>
#include <optional>

/// The periods of the statistics pane's selector, in the selector's order.
enum class StatisticsPeriod { today, week, month, all };

namespace StatisticsPeriods {

inline constexpr std::array all{StatisticsPeriod::today, StatisticsPeriod::week, StatisticsPeriod::month,
                                StatisticsPeriod::all};

/// The period's text, shown as its segment's title.
QString rawValue(StatisticsPeriod period);
/// The period whose text is `rawValue`; absent for any other text.
std::optional<StatisticsPeriod> fromRawValue(const QString &rawValue);

} // namespace StatisticsPeriods
