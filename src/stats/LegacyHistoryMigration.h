#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

class LoginHistoryDatabase;
class Preferences;

/// The one-time move of the sign-in history that earlier versions kept into the history's database:
/// first the list (and one backup of an unreadable list) in the preference store, then the JSON file
/// beside the database, which is kept as "….json.migrated". Everything moves in one transaction; the
/// digest of each source moved is noted in it, so a move cut off before its source was put away is not
/// done twice. A value that is not a list of records, or was edited by hand, is kept in a numbered
/// backup; a file that is not a regular file is never opened. Stale temporary copies of the file left
/// by a killed write of an earlier version are removed.
class LegacyHistoryMigration
{
public:
    /// Told of each new backup of something that could not be read (its path), and of a file that
    /// could not be read and was left where it is (the reason).
    using KeptAside = std::function<void(const QString &backupPath)>;
    using Unreadable = std::function<void(const QString &reason)>;

    LegacyHistoryMigration(Preferences &preferences, LoginHistoryDatabase &database, KeptAside keptAside,
                           Unreadable unreadable);

    /// Moves whatever is still to move; the database is open. False, with `error` set, when it stays
    /// where it was (the next start tries again).
    bool move(QString *error);

private:
    bool isPending() const;
    bool moveSettings(QString *error);
    bool moveFile(QString *error);
    bool moveRecords(const QByteArray &source, const QByteArray &bytes, QString *error);
    bool keep(const QByteArray &bytes, QString *error);
    QStringList staleCopies() const;

    Preferences &m_preferences;
    LoginHistoryDatabase &m_database;
    const KeptAside m_keptAside;
    const Unreadable m_unreadable;
    // What the transaction moved, put away once it is stored.
    bool m_settingsMoved = false;
    bool m_fileMoved = false;
};
