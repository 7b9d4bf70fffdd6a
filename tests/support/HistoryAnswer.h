#pragma once

#include "stats/StatisticsManager.h"

#include <QTest>

#include <optional>

/// What `manager` answers to `ask` (loadStatistics, loadLoginRecords), waited for on the event loop
/// as long as QTRY_ waits; an empty value when no answer came.
template <typename T>
T historyAnswer(StatisticsManager &manager,
                void (StatisticsManager::*ask)(const QObject *, std::function<void(const T &)>))
{
    QObject receiver; // an answer that comes later finds it gone
    std::optional<T> answer;
    (manager.*ask)(&receiver, [&answer](const T &value) { answer = value; });
    return QTest::qWaitFor([&answer] { return answer.has_value(); }) ? *answer : T();
}
