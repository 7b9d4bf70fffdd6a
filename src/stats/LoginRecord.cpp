#include "stats/LoginRecord.h"

#include <QJsonArray>
#include <QJsonDocument>
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

std::optional<QList<QJsonObject>> LoginRecord::listFromJson(const QByteArray &json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;
    const QJsonArray array = document.array();
    QList<QJsonObject> records;
    records.reserve(array.size());
    for (const QJsonValue &element : array) {
        if (!element.isObject())
            return std::nullopt;
        records.append(element.toObject());
    }
    return records;
}
