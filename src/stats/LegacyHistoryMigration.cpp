#include "stats/LegacyHistoryMigration.h"

#include "common/Log.h"
#include "stats/LoginHistoryDatabase.h"
#include "stats/LoginRecord.h"
#include "store/Preferences.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString historyMovedLine = QStringLiteral("✅ 联网记录已移到 %1");
const QString historyNotPutAwayLine = QStringLiteral("⚠️ 联网记录无法移出设置文件: ");
const QString movedSuffix = QStringLiteral(".migrated");
const QString notRegularError = QStringLiteral("%1: not a regular file");

// The bytes of a value as earlier versions stored it: data as it is, text as UTF-8, and a hand-edited
// line that the settings file reads as a list of texts (its commas) joined back together.
QByteArray storedBytes(const QVariant &value)
{
    if (value.typeId() == QMetaType::QByteArray)
        return value.toByteArray();
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(',')).toUtf8();
    return value.toString().toUtf8();
}

QString systemError(const QString &path)
{
    return path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

LegacyHistoryMigration::LegacyHistoryMigration(Preferences &preferences, LoginHistoryDatabase &database,
                                               KeptAside keptAside, Unreadable unreadable)
    : m_preferences(preferences), m_database(database), m_keptAside(std::move(keptAside)),
      m_unreadable(std::move(unreadable))
{
}

bool LegacyHistoryMigration::isPending() const
{
    struct stat info
    {
    };
    return m_preferences.contains(PreferenceKeys::loginRecords) ||
           m_preferences.contains(PreferenceKeys::loginRecordsBackup) ||
           ::lstat(QFile::encodeName(m_database.legacyFilePath()).constData(), &info) == 0 ||
           !staleCopies().isEmpty();
}

QStringList LegacyHistoryMigration::staleCopies() const
{
    // QSaveFile's temporary copies ("….json.XXXXXX"), and the lock and note files of earlier versions.
    const QString file = QFileInfo(m_database.legacyFilePath()).fileName();
    QStringList stale;
    for (const QString &name :
         QDir(m_database.folder())
             .entryList({file + QStringLiteral(".??????"), file + QStringLiteral(".lock"),
                         file + QStringLiteral(".oldest")},
                        QDir::Files | QDir::Hidden | QDir::System)) {
        stale << QDir(m_database.folder()).filePath(name);
    }
    return stale;
}

bool LegacyHistoryMigration::move(QString *error)
{
    if (!isPending())
        return true;
    m_settingsMoved = m_fileMoved = false;
    // Under the database's write lock: one process moves, the others find it done.
    const bool stored = m_database.write(
        [this](QString *error) {
            for (const QString &path : staleCopies())
                QFile::remove(path);
            return moveSettings(error) && moveFile(error);
        },
        error);
    if (!stored)
        return false;
    if (m_settingsMoved) {
        m_preferences.remove(PreferenceKeys::loginRecords);
        m_preferences.remove(PreferenceKeys::loginRecordsBackup);
        m_preferences.sync();
    }
    const QString legacyPath = m_database.legacyFilePath();
    if (m_fileMoved && ::rename(QFile::encodeName(legacyPath).constData(),
                                QFile::encodeName(legacyPath + movedSuffix).constData()) != 0) {
        Log::write(historyNotPutAwayLine + systemError(legacyPath)); // moved in: the next start tries again
    }
    if (m_settingsMoved || m_fileMoved)
        Log::write(historyMovedLine.arg(m_database.filePath()));
    return true;
}

bool LegacyHistoryMigration::moveSettings(QString *error)
{
    const PreferenceKey &legacy = PreferenceKeys::loginRecords, &legacyBackup = PreferenceKeys::loginRecordsBackup;
    m_preferences.sync(); // another process may have moved it in the meantime
    if (!m_preferences.contains(legacy) && !m_preferences.contains(legacyBackup))
        return true;
    const QVariant stored = m_preferences.storedValue(legacy);
    const QByteArray value = storedBytes(stored);
    // A value that is not data was edited by hand: keep it as it was, even when it reads as a list.
    if (stored.isValid() && stored.typeId() != QMetaType::QByteArray && !keep(value, error))
        return false;
    if (!moveRecords("settings", value, error))
        return false;
    const QByteArray oldBackup = storedBytes(m_preferences.storedValue(legacyBackup));
    if (!oldBackup.isEmpty() && !keep(oldBackup, error))
        return false;
    m_settingsMoved = true;
    return true;
}

bool LegacyHistoryMigration::moveFile(QString *error)
{
    const QString path = m_database.legacyFilePath();
    // Non-blocking, so that a FIFO put there cannot hold the open up; then only a regular file is read.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return true;
        const QString reason = systemError(path);
        if (!QFileInfo(path).isFile()) {
            m_unreadable(reason);
            return true;
        }
        const QString kept = m_database.keepAside(path, error);
        if (!kept.isEmpty())
            m_keptAside(kept);
        return !kept.isEmpty();
    }
    struct stat info
    {
    };
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        m_unreadable(notRegularError.arg(path));
        return true;
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        *error = path + QStringLiteral(": ") + file.errorString();
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() == QFileDevice::NoError && LoginRecord::parse(bytes)) {
        if (!moveRecords("file", bytes, error))
            return false;
    } else if (!bytes.trimmed().isEmpty() || file.error() != QFileDevice::NoError) {
        const QString kept = m_database.keepAside(path, error);
        if (kept.isEmpty())
            return false;
        m_keptAside(kept);
        return true;
    }
    m_fileMoved = true;
    return true;
}

bool LegacyHistoryMigration::moveRecords(const QByteArray &source, const QByteArray &bytes, QString *error)
{
    const std::optional<QList<LoginRecord>> records = LoginRecord::parse(bytes);
    if (!records)
        return bytes.trimmed().isEmpty() || keep(bytes, error);
    const QByteArray digest = QCryptographicHash::hash(QByteArray(source + '\n' + bytes), QCryptographicHash::Sha256);
    const std::optional<bool> moved = m_database.wasMovedIn(digest, error);
    if (!moved)
        return false;
    if (*moved)
        return true;
    for (const LoginRecord &record : *records) {
        if (!m_database.insert(record, error))
            return false;
    }
    return m_database.noteMovedIn(digest, error);
}

bool LegacyHistoryMigration::keep(const QByteArray &bytes, QString *error)
{
    bool isNew = false;
    const QString path = m_database.keepBytes(bytes, &isNew, error);
    if (isNew)
        m_keptAside(path);
    return !path.isEmpty();
}
