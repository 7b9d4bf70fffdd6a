#include "stats/LoginHistoryDatabase.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

#include <sqlite3.h>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace {

const QString folderName = QStringLiteral("Netlatch");
const QString databaseSuffix = QStringLiteral(".db");
const QString legacySuffix = QStringLiteral(".json");
const QString backupInfix = QStringLiteral(".unreadable.");
const QString folderError = QStringLiteral("无法创建文件夹 %1");
const QString notRegularError = QStringLiteral("%1: not a regular file");

// Version 1: the records in the order they were stored (the row id), indexed by timestamp and by
// day for the figures, and the digests of the earlier
// versions' histories that were moved in, so that a move cut off before its source was put away is
// not done twice.
const char *const schema = R"(
CREATE TABLE IF NOT EXISTS records(id INTEGER PRIMARY KEY, username TEXT, timestamp INTEGER, date TEXT,
                                   time TEXT);
CREATE INDEX IF NOT EXISTS records_by_timestamp ON records(timestamp);
CREATE INDEX IF NOT EXISTS records_by_date ON records(date);
CREATE TABLE IF NOT EXISTS moved_in(digest BLOB PRIMARY KEY);
PRAGMA user_version = 1;
)";

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

/// One prepared statement, finalised when it goes.
class Statement
{
public:
    Statement(sqlite3 *db, const char *sql) { sqlite3_prepare_v2(db, sql, -1, &m_statement, nullptr); }
    ~Statement() { sqlite3_finalize(m_statement); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    bool isValid() const { return m_statement != nullptr; }
    void bind(int index, qint64 value) { sqlite3_bind_int64(m_statement, index, value); }
    void bind(int index, const QByteArray &bytes)
    {
        sqlite3_bind_blob(m_statement, index, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
    }
    void bind(int index, const QString &text)
    {
        if (text.isNull()) {
            sqlite3_bind_null(m_statement, index);
            return;
        }
        const QByteArray utf8 = text.toUtf8();
        sqlite3_bind_text(m_statement, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    }
    void bind(int index, std::optional<qint64> value)
    {
        if (value)
            bind(index, *value);
        else
            sqlite3_bind_null(m_statement, index);
    }
    /// Steps once: true while a row is there.
    bool step() { return isValid() && sqlite3_step(m_statement) == SQLITE_ROW; }
    /// Runs it to the end; false on failure.
    bool run() { return isValid() && sqlite3_step(m_statement) == SQLITE_DONE; }
    qint64 integer(int column) const { return sqlite3_column_int64(m_statement, column); }
    bool isNull(int column) const { return sqlite3_column_type(m_statement, column) == SQLITE_NULL; }
    QString text(int column) const
    {
        if (isNull(column))
            return {};
        const auto *utf8 = reinterpret_cast<const char *>(sqlite3_column_text(m_statement, column));
        return QString::fromUtf8(utf8, sqlite3_column_bytes(m_statement, column));
    }

private:
    sqlite3_stmt *m_statement = nullptr;
};

} // namespace

LoginHistoryDatabase::LoginHistoryDatabase(QString folder, const QString &baseName)
    : m_folder(std::move(folder)), m_filePath(QDir(m_folder).filePath(baseName + databaseSuffix)),
      m_legacyPath(QDir(m_folder).filePath(baseName + legacySuffix)), m_backupPrefix(baseName + backupInfix)
{
}

LoginHistoryDatabase::~LoginHistoryDatabase()
{
    close();
}

QString LoginHistoryDatabase::defaultFolder()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)).filePath(folderName);
}

void LoginHistoryDatabase::close()
{
    sqlite3_close_v2(m_db);
    m_db = nullptr;
}

bool LoginHistoryDatabase::failed(QString *error)
{
    const int code = m_db ? sqlite3_errcode(m_db) : SQLITE_CANTOPEN;
    m_damaged = code == SQLITE_NOTADB || code == SQLITE_CORRUPT;
    QString reason = QString::fromUtf8(m_db ? sqlite3_errmsg(m_db) : sqlite3_errstr(code));
    // SQLite's words say what it was doing; the system's say why it failed ("No space left on device").
    if (const int system = m_db ? sqlite3_system_errno(m_db) : 0)
        reason += QStringLiteral(" (%1)").arg(QString::fromLocal8Bit(std::strerror(system)));
    setError(error, m_filePath + QStringLiteral(": ") + reason);
    return false;
}

bool LoginHistoryDatabase::exec(const char *sql, QString *error)
{
    return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK || failed(error);
}

bool LoginHistoryDatabase::open(QString *error, QString *keptAside)
{
    close();
    m_damaged = false;
    if (!QDir().mkpath(m_folder)) {
        setError(error, folderError.arg(m_folder));
        return false;
    }
    // A FIFO or a device there would block the open or the reads: never opened.
    struct stat info
    {
    };
    if (::stat(QFile::encodeName(m_filePath).constData(), &info) == 0 && !S_ISREG(info.st_mode)) {
        setError(error, notRegularError.arg(m_filePath));
        return false;
    }
    if (sqlite3_open_v2(QFile::encodeName(m_filePath).constData(), &m_db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
        failed(error);
        close();
        return false;
    }
    sqlite3_busy_timeout(m_db, busyPatienceMs);
    const bool ready = exec("PRAGMA journal_mode = WAL", error) && [this] {
        Statement version(m_db, "PRAGMA user_version");
        return version.step() && version.integer(0) == 1;
    }();
    if (!ready && !m_damaged && !write([this](QString *error) { return exec(schema, error); }, error)) {
        if (m_damaged && keptAside)
            return replaceDamaged(error, keptAside);
        close();
        return false;
    }
    if (m_damaged)
        return keptAside ? replaceDamaged(error, keptAside) : (close(), false);
    return true;
}

bool LoginHistoryDatabase::replaceDamaged(QString *error, QString *keptAside)
{
    close();
    const QString kept = keepAside(m_filePath, error);
    if (kept.isEmpty())
        return false;
    // The write-ahead log belongs to the damaged database: it goes with it, and its index is rebuilt.
    QFile::rename(m_filePath + QStringLiteral("-wal"), kept + QStringLiteral("-wal"));
    QFile::remove(m_filePath + QStringLiteral("-shm"));
    *keptAside = kept;
    return open(error, nullptr);
}

bool LoginHistoryDatabase::write(const std::function<bool(QString *error)> &work, QString *error)
{
    if (!m_db) {
        setError(error, m_filePath);
        return false;
    }
    if (!exec("BEGIN IMMEDIATE", error))
        return false;
    if (work(error) && exec("COMMIT", error))
        return true;
    if (!sqlite3_get_autocommit(m_db))
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    return false;
}

bool LoginHistoryDatabase::insert(const LoginRecord &record, QString *error)
{
    Statement insert(m_db, "INSERT INTO records(username, timestamp, date, time) VALUES (?, ?, ?, ?)");
    insert.bind(1, record.username);
    insert.bind(2, record.timestamp);
    insert.bind(3, record.date);
    insert.bind(4, record.time);
    return insert.run() || failed(error);
}

bool LoginHistoryDatabase::prune(qint64 cutoff, QString *error)
{
    Statement prune(m_db, "DELETE FROM records WHERE timestamp IS NULL OR timestamp < ?");
    prune.bind(1, cutoff);
    return prune.run() || failed(error);
}

std::optional<bool> LoginHistoryDatabase::wasMovedIn(const QByteArray &digest, QString *error)
{
    Statement find(m_db, "SELECT count(*) FROM moved_in WHERE digest = ?");
    find.bind(1, digest);
    if (!find.step()) {
        failed(error);
        return std::nullopt;
    }
    return find.integer(0) > 0;
}

bool LoginHistoryDatabase::noteMovedIn(const QByteArray &digest, QString *error)
{
    Statement note(m_db, "INSERT OR IGNORE INTO moved_in(digest) VALUES (?)");
    note.bind(1, digest);
    return note.run() || failed(error);
}

std::optional<std::array<int, 4>> LoginHistoryDatabase::counts(const QString &today, qint64 weekStart,
                                                               qint64 monthStart)
{
    if (!m_db)
        return std::nullopt;
    // Each count from an index alone.
    Statement counts(m_db, "SELECT (SELECT count(*) FROM records), "
                           "(SELECT count(*) FROM records WHERE date = ?1), "
                           "(SELECT count(*) FROM records WHERE timestamp >= ?2), "
                           "(SELECT count(*) FROM records WHERE timestamp >= ?3)");
    counts.bind(1, today);
    counts.bind(2, weekStart);
    counts.bind(3, monthStart);
    if (!counts.step()) {
        failed(nullptr);
        return std::nullopt;
    }
    return std::array<int, 4>{int(counts.integer(0)), int(counts.integer(1)), int(counts.integer(2)),
                              int(counts.integer(3))};
}

QList<qint64> LoginHistoryDatabase::timestampsSince(qint64 first)
{
    QList<qint64> timestamps;
    if (!m_db)
        return timestamps;
    Statement select(m_db, "SELECT timestamp FROM records WHERE timestamp >= ? ORDER BY timestamp");
    select.bind(1, first);
    while (select.step())
        timestamps.append(select.integer(0));
    return timestamps;
}

QList<LoginRecord> LoginHistoryDatabase::newest(int limit)
{
    QList<LoginRecord> records;
    if (!m_db)
        return records;
    Statement select(m_db, "SELECT username, timestamp, date, time FROM records ORDER BY id DESC LIMIT ?");
    select.bind(1, qint64(limit));
    while (select.step()) {
        records.append({select.text(0), select.isNull(1) ? std::nullopt : std::optional(select.integer(1)),
                        select.text(2), select.text(3)});
    }
    return records;
}

QString LoginHistoryDatabase::nextBackupPath(int *last) const
{
    const QDir folder(m_folder);
    int highest = 0;
    for (const QString &name : folder.entryList({m_backupPrefix + QLatin1Char('*')}, QDir::Files | QDir::System)) {
        bool numbered = false;
        const int number = name.mid(m_backupPrefix.size()).toInt(&numbered);
        if (numbered)
            highest = std::max(highest, number);
    }
    if (last)
        *last = highest;
    return folder.filePath(m_backupPrefix + QString::number(highest + 1));
}

QString LoginHistoryDatabase::keepAside(const QString &path, QString *error) const
{
    const QString backup = nextBackupPath();
    if (::rename(QFile::encodeName(path).constData(), QFile::encodeName(backup).constData()) != 0) {
        setError(error, path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno)));
        return {};
    }
    return backup;
}

QString LoginHistoryDatabase::keepBytes(const QByteArray &bytes, bool *isNew, QString *error) const
{
    *isNew = false;
    if (!QDir().mkpath(m_folder)) {
        setError(error, folderError.arg(m_folder));
        return {};
    }
    int last = 0;
    const QString next = nextBackupPath(&last);
    for (int number = 1; number <= last; ++number) {
        QFile backup(QDir(m_folder).filePath(m_backupPrefix + QString::number(number)));
        if (backup.size() == bytes.size() && backup.open(QIODevice::ReadOnly) && backup.readAll() == bytes)
            return backup.fileName();
    }
    QSaveFile backup(next);
    if (!backup.open(QIODevice::WriteOnly) || backup.write(bytes) != bytes.size() || !backup.commit()) {
        setError(error, backup.fileName() + QStringLiteral(": ") + backup.errorString());
        return {};
    }
    *isNew = true;
    return backup.fileName();
}
