#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

/// One successful sign-in as it is stored: a row of the history's database, and an element of the
/// JSON array that earlier versions kept (in a file, or under "com.netlatch.loginRecords" in the
/// settings). "date" and "time" are the local day and wall-clock time at the moment of the sign-in and
/// are never recomputed. Records moved in from earlier versions may come from a hand edit: a member
/// that is missing or of another type is absent here (a null text, no timestamp).
struct LoginRecord
{
    QString username;
    std::optional<qint64> timestamp; ///< whole seconds since 1970-01-01 00:00:00 UTC
    QString date;                    ///< "yyyy-MM-dd"
    QString time;                    ///< "HH:mm:ss"

    /// The records of an earlier version's JSON text, oldest first: absent unless it is a JSON array
    /// whose every element is an object. Extra members are ignored; a timestamp counts only when it is
    /// a JSON integer.
    static std::optional<QList<LoginRecord>> parse(const QByteArray &json);

    friend bool operator==(const LoginRecord &, const LoginRecord &) = default;
};
