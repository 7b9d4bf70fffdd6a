#include "stats/LoginHistoryFile.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

#include <sys/stat.h>

namespace {
const QString folderName = QStringLiteral("Netlatch");
const QString fileSuffix = QStringLiteral(".json");
const QString backupInfix = QStringLiteral(".unreadable.");
const QString noteSuffix = QStringLiteral(".oldest");
const QString folderError = QStringLiteral("无法创建文件夹 %1");

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}
} // namespace

LoginHistoryFile::LoginHistoryFile(QString folder, const QString &baseName)
    : m_folder(std::move(folder)), m_filePath(QDir(m_folder).filePath(baseName + fileSuffix)),
      m_backupPrefix(baseName + backupInfix), m_notePath(m_filePath + noteSuffix)
{
}

QString LoginHistoryFile::defaultFolder()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)).filePath(folderName);
}

std::optional<QByteArray> LoginHistoryFile::read(QString *error) const
{
    QFile file(m_filePath);
    if (!file.open(QIODevice::ReadOnly)) {
        if (file.error() == QFileDevice::OpenError && !QFile::exists(m_filePath))
            return QByteArray();
        setError(error, file.fileName() + QStringLiteral(": ") + file.errorString());
        return std::nullopt;
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        setError(error, file.fileName() + QStringLiteral(": ") + file.errorString());
        return std::nullopt;
    }
    return bytes;
}

bool LoginHistoryFile::makeFolder(QString *error) const
{
    if (QDir().mkpath(m_folder))
        return true;
    setError(error, folderError.arg(m_folder));
    return false;
}

bool LoginHistoryFile::write(const QByteArray &bytes, QString *error, std::optional<qint64> oldest) const
{
    if (!makeFolder(error))
        return false;
    // QSaveFile writes a temporary file, flushes it to disk and renames it over the old one on commit.
    QSaveFile file(m_filePath);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        setError(error, m_filePath + QStringLiteral(": ") + file.errorString());
        return false;
    }
    // The note needs no flush of its own: after a crash it no longer matches the file (or does not
    // parse), and the next append reads the records instead.
    QFile note(m_notePath);
    if (!oldest || !note.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        note.write(fingerprint() + ' ' + QByteArray::number(*oldest)) < 0) {
        QFile::remove(m_notePath);
    }
    return true;
}

std::optional<qint64> LoginHistoryFile::noteOfOldest() const
{
    QFile note(m_notePath);
    if (!note.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray text = note.readAll();
    const qsizetype split = text.lastIndexOf(' ');
    bool isNumber = false;
    const qint64 oldest = text.mid(split + 1).toLongLong(&isNumber);
    if (split < 0 || !isNumber || text.left(split) != fingerprint())
        return std::nullopt;
    return oldest;
}

QByteArray LoginHistoryFile::fingerprint() const
{
    struct stat info
    {
    };
    if (::stat(QFile::encodeName(m_filePath).constData(), &info) != 0)
        return QByteArrayLiteral("absent");
    // Size and modification time to the nanosecond, as version control tools tell a changed file.
    // Not the inode: a copy restored with its times kept is the same history.
    return QByteArray::number(qint64(info.st_size)) + ' ' + QByteArray::number(qint64(info.st_mtim.tv_sec)) +
           '.' + QByteArray::number(qint64(info.st_mtim.tv_nsec));
}

QString LoginHistoryFile::keepUnreadable(const QByteArray &bytes, bool *isNew, QString *error) const
{
    *isNew = false;
    if (!makeFolder(error))
        return {};
    const QDir folder(m_folder);
    int last = 0;
    for (const QString &name : folder.entryList({m_backupPrefix + QLatin1Char('*')}, QDir::Files)) {
        bool numbered = false;
        const int number = name.mid(m_backupPrefix.size()).toInt(&numbered);
        if (!numbered)
            continue;
        last = std::max(last, number);
        QFile backup(folder.filePath(name));
        if (backup.size() == bytes.size() && backup.open(QIODevice::ReadOnly) && backup.readAll() == bytes)
            return backup.fileName();
    }
    QSaveFile backup(folder.filePath(m_backupPrefix + QString::number(last + 1)));
    if (!backup.open(QIODevice::WriteOnly) || backup.write(bytes) != bytes.size() || !backup.commit()) {
        setError(error, backup.fileName() + QStringLiteral(": ") + backup.errorString());
        return {};
    }
    *isNew = true;
    return backup.fileName();
}
