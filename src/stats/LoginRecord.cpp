#include "stats/LoginRecord.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

namespace {

QString textOf(const QJsonObject &record, QLatin1String key)
{
    const QJsonValue value = record.value(key);
    return value.isString() ? value.toString() : QString();
}

std::optional<qint64> timestampOf(const QJsonObject &record)
{
    const QJsonValue value = record.value(QLatin1String("timestamp"));
    // toInteger() falls back to its default for fractions and out-of-range numbers; a value that gives
    // the same answer for two different defaults really is an integer.
    const qint64 integer = value.toInteger(0);
    if (!value.isDouble() || integer != value.toInteger(1))
        return std::nullopt;
    return integer;
}

} // namespace

std::optional<QList<LoginRecord>> LoginRecord::parse(const QByteArray &json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;
    const QJsonArray array = document.array();
    QList<LoginRecord> records;
    records.reserve(array.size());
    for (const QJsonValue &element : array) {
        if (!element.isObject())
            return std::nullopt;
        const QJsonObject object = element.toObject();
        records.append({textOf(object, QLatin1String("username")), timestampOf(object),
                        textOf(object, QLatin1String("date")), textOf(object, QLatin1String("time"))});
    }
    return records;
}
