#pragma once

#include "stats/LoginRecord.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>
#include <functional>
#include <optional>

struct sqlite3;

/// The sign-in history's SQLite database under the user's data folder ($XDG_DATA_HOME/Netlatch), one
/// row per sign-in in the order they were stored. Several processes (the tray application, the daemon,
/// netlatchctl) open it at once: it runs in WAL mode, so readers never wait, and a writer waits for
/// another writer's transaction up to busyPatience. Files that cannot be read are kept beside it in
/// numbered backups ("….unreadable.1", ".2", …).
class LoginHistoryDatabase
{
public:
    /// `folder` holds the database and its backups; created when the database is opened.
    LoginHistoryDatabase(QString folder, const QString &baseName);
    ~LoginHistoryDatabase();
    LoginHistoryDatabase(const LoginHistoryDatabase &) = delete;
    LoginHistoryDatabase &operator=(const LoginHistoryDatabase &) = delete;

    /// $XDG_DATA_HOME/Netlatch: the history is data, not configuration.
    static QString defaultFolder();
    /// How long a write waits for another process's transaction (a first start moving a long earlier
    /// history in holds one for seconds on a slow machine) before the record is reported lost.
    static constexpr int busyPatienceMs = 30'000;

    QString folder() const { return m_folder; }
    QString filePath() const { return m_filePath; }
    /// Where earlier versions kept the history as a JSON array.
    QString legacyFilePath() const { return m_legacyPath; }

    /// Opens the database, creating it when absent. One that is not a database, or is damaged, is kept
    /// aside (its path in `keptAside`) and a new one started. False, with `error` set, when there is
    /// none to use (a folder that cannot be made, a path that is not a regular file, …).
    bool open(QString *error, QString *keptAside);
    bool isOpen() const { return m_db != nullptr; }
    /// Whether the last failure means the database's contents cannot be read.
    bool isDamaged() const { return m_damaged; }
    /// Closes the damaged database, keeps it aside and opens a new one, as open().
    bool replaceDamaged(QString *error, QString *keptAside);

    /// Runs `work` in one write transaction: all of it is stored, or nothing. False, with `error` set,
    /// when it failed or `work` returned false.
    bool write(const std::function<bool(QString *error)> &work, QString *error);
    bool insert(const LoginRecord &record, QString *error);
    /// Drops the records older than `cutoff`, and those without a timestamp.
    bool prune(qint64 cutoff, QString *error);
    /// Whether earlier versions' history with this digest was moved in already; absent on failure.
    std::optional<bool> wasMovedIn(const QByteArray &digest, QString *error);
    bool noteMovedIn(const QByteArray &digest, QString *error);

    /// The records in all, those of the stored day `today`, and those at or after `weekStart` and
    /// `monthStart`; absent when the database cannot be read.
    std::optional<std::array<int, 4>> counts(const QString &today, qint64 weekStart, qint64 monthStart);
    /// The timestamps at or after `first`, earliest first.
    QList<qint64> timestampsSince(qint64 first);
    /// The `limit` most recently stored records (every record for a negative limit), newest first.
    QList<LoginRecord> newest(int limit);

    /// Renames `path` to the next numbered backup; its new path, or empty with `error` set.
    QString keepAside(const QString &path, QString *error) const;
    /// Keeps `bytes` in the next numbered backup unless one already holds exactly them. The backup's
    /// path (new or old), or empty with `error` set. `isNew` tells whether this call made it.
    QString keepBytes(const QByteArray &bytes, bool *isNew, QString *error) const;

private:
    bool exec(const char *sql, QString *error);
    bool failed(QString *error);
    QString nextBackupPath(int *last = nullptr) const;
    void close();

    const QString m_folder;
    const QString m_filePath;
    const QString m_legacyPath;
    const QString m_backupPrefix;
    sqlite3 *m_db = nullptr;
    bool m_damaged = false;
};
