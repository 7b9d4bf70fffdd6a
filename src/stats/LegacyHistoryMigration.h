#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <functional>

class LoginHistoryFile;
class Preferences;

/// The one-time move of a sign-in history that an earlier version kept in the preference store (its
/// list of records, and one backup of an unreadable list) into the history's data file. Nothing is
/// lost and nothing doubled: records already in the file (a move cut off before it could clear the
/// settings) are not added again, and a value that is not a list of records, or was edited by hand,
/// is kept in a backup beside the file. Only then are both values removed from the settings.
class LegacyHistoryMigration
{
public:
    /// Keeps bytes that cannot be read in a backup beside the history; false, with `error` set, when
    /// no backup could be made.
    using KeepUnreadable = std::function<bool(const QByteArray &bytes, QString *error)>;

    LegacyHistoryMigration(Preferences &preferences, const LoginHistoryFile &file,
                           KeepUnreadable keepUnreadable);

    /// At start-up: moves the history under the history's lock when the settings still hold it. A
    /// failure is logged, and the next save tries again.
    void moveAtStart();
    /// Moves the history when the settings still hold it; the caller holds the history's lock. False,
    /// with `error` set, when it stays in the settings.
    bool move(QString *error);
    /// The records while they are still in the settings (the move has not succeeded yet).
    QList<QJsonObject> records() const;

private:
    bool isPending() const;

    Preferences &m_preferences;
    const LoginHistoryFile &m_file;
    const KeepUnreadable m_keepUnreadable;
};
