#pragma once

#include "store/Preferences.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTimeZone>

#include <ctime>
#include <memory>

// Helpers shared by the stats tests.
namespace StatsTestSupport {

/// Switches the process's local time zone, as the user changing it would.
inline void setTimeZone(const char *zone)
{
    qputenv("TZ", zone);
    tzset();
}

/// The instant of a wall-clock time in `zone` ("yyyy-MM-ddTHH:mm:ss"), held in UTC so that it stays
/// the same instant across time-zone changes.
inline QDateTime instant(const char *zone, const QString &wallClock)
{
    const QDateTime local = QDateTime::fromString(wallClock, Qt::ISODate);
    return QDateTime(local.date(), local.time(), QTimeZone(zone)).toUTC();
}

/// A preference store in its own file.
inline std::unique_ptr<Preferences> makeStore(const QString &fileName)
{
    return std::make_unique<Preferences>(std::make_unique<QSettings>(fileName, QSettings::IniFormat));
}

inline QJsonArray storedRecords(const Preferences &store)
{
    return QJsonDocument::fromJson(store.dataValue(PreferenceKeys::loginRecords).value_or(QByteArray())).array();
}

inline void storeRecords(Preferences &store, const QJsonArray &records)
{
    store.setData(PreferenceKeys::loginRecords, QJsonDocument(records).toJson(QJsonDocument::Compact));
}

} // namespace StatsTestSupport
