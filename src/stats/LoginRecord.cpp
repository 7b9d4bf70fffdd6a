#include "stats/LoginRecord.h"

#include <QJsonValue>

QJsonObject LoginRecord::toJson() const
{
    return {{usernameKey, username}, {timestampKey, timestamp}, {dateKey, date}, {timeKey, time}};
}

std::optional<qint64> LoginRecord::timestampOf(const QJsonObject &record)
{
    const QJsonValue value = record.value(timestampKey);
    // toInteger() falls back to its default for fractions and out-of-range numbers; a value that gives
    // the same answer for two different defaults really is an integer.
    const qint64 integer = value.toInteger(0);
    if (!value.isDouble() || integer != value.toInteger(1))
        return std::nullopt;
    return integer;
}

QString LoginRecord::textOf(const QJsonObject &record, const QString &key)
{
    const QJsonValue value = record.value(key);
    return value.isString() ? value.toString() : QString();
}
