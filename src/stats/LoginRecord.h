#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

/// One successful sign-in as it is stored: an element of the JSON array under
/// "com.netlatch.loginRecords". "date" and "time" are the local day and wall-clock time at the moment
/// of the sign-in and are never recomputed. Stored records come from any earlier version or a hand
/// edit, so readers accept missing members, extra members and members of another type.
struct LoginRecord
{
    static inline const QString usernameKey = QStringLiteral("username");
    static inline const QString timestampKey = QStringLiteral("timestamp");
    static inline const QString dateKey = QStringLiteral("date");
    static inline const QString timeKey = QStringLiteral("time");

    QString username;
    qint64 timestamp = 0; ///< whole seconds since 1970-01-01 00:00:00 UTC
    QString date;         ///< "yyyy-MM-dd"
    QString time;         ///< "HH:mm:ss"

    QJsonObject toJson() const;

    /// The stored list in `json`: absent unless it is a JSON array whose every element is an object.
    static std::optional<QList<QJsonObject>> listFromJson(const QByteArray &json);

    /// The stored record's "timestamp" when it is a JSON integer; absent otherwise.
    static std::optional<qint64> timestampOf(const QJsonObject &record);
    /// The stored record's member `key` when it is a string; empty text otherwise.
    static QString textOf(const QJsonObject &record, const QString &key);
};
