#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>
#include <limits>
#include <optional>

/// The sign-in history's own data file under the user's data folder ($XDG_DATA_HOME/Netlatch): the
/// JSON array of login records, named after the history's key. A write goes to a temporary file that
/// is flushed to disk and then renamed over the old one, so a reader, a crash or a killed process
/// sees the old history or the new one, whole. Processes that change it take the lock file beside
/// it first (see lockFilePath()); readers need no lock. Unreadable contents are kept in numbered
/// backups beside the file.
class LoginHistoryFile
{
public:
    /// `folder` holds the file, its lock and its backups; created on the first write.
    explicit LoginHistoryFile(QString folder, const QString &baseName);

    /// $XDG_DATA_HOME/Netlatch: the history is data, not configuration.
    static QString defaultFolder();

    QString filePath() const { return m_filePath; }
    QString lockFilePath() const { return m_filePath + QStringLiteral(".lock"); }
    /// How long a change waits for the lock while another process changes the file, before it gives up.
    static constexpr std::chrono::seconds lockPatience{10};

    /// What the file holds: empty when there is no file; absent, with `error` set, when a file is
    /// there but cannot be read (it must then not be replaced).
    std::optional<QByteArray> read(QString *error = nullptr) const;
    /// Replaces the file with `bytes`. False, with `error` set, when nothing was replaced. `oldest` is
    /// the oldest timestamp in `bytes`, when the caller knows it (noEntries for an empty list).
    bool write(const QByteArray &bytes, QString *error = nullptr, std::optional<qint64> oldest = {}) const;
    /// The `oldest` noted by the last write, provided the file is still exactly what that write left
    /// (neither edited nor replaced since); absent otherwise. Lets an append skip reading a year of
    /// records when nothing in them can be due for pruning.
    std::optional<qint64> noteOfOldest() const;
    static constexpr qint64 noEntries = std::numeric_limits<qint64>::max();
    /// Keeps `bytes` in the next numbered backup ("….unreadable.1", ".2", …) unless a backup already
    /// holds exactly them. The backup's path (new or old), or empty with `error` set when none could
    /// be made. `isNew` tells whether this call made it.
    QString keepUnreadable(const QByteArray &bytes, bool *isNew, QString *error = nullptr) const;

private:
    bool makeFolder(QString *error) const;
    /// The file's version: size and modification time, as text.
    QByteArray fingerprint() const;

    QString m_folder;
    QString m_filePath;
    QString m_backupPrefix;
    QString m_notePath;
};
