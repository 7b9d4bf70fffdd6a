#include "stats/StatisticsManager.h"

#include "common/Clock.h"
#include "common/FileLock.h"
#include "common/Log.h"
#include "stats/LoginRecord.h"
#include "stats/StatisticsUpload.h"
#include "store/Preferences.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QUrl>

#include <algorithm>
#include <chrono>
#include <utility>

using namespace std::chrono_literals;

namespace {

const QString uploadPath = QStringLiteral("/record-login.php");
const QString bodyUsernameKey = QStringLiteral("username");
const QString bodyLoginTimeKey = QStringLiteral("login_time");
const QString bodyLoginDateKey = QStringLiteral("login_date");

const QString invalidAddressLine = QStringLiteral("⚠️ 统计API地址无效");
const QString historyBackedUpLine =
    QStringLiteral("⚠️ 联网记录无法读取，原数据已备份到 %1");
const QString historyNotSavedLine = QStringLiteral("⚠️ 联网记录无法保存: ");
const QString historyNotMovedLine = QStringLiteral("⚠️ 联网记录无法移出设置文件: ");
const QString historyMovedLine = QStringLiteral("✅ 联网记录已移到 %1");
const QString historyBackedUpProblem =
    QStringLiteral("the stored sign-in history could not be read; it was kept in %1");
const QString historyNotSavedProblem = QStringLiteral("this sign-in could not be added to the history: %1");

// Records older than 365 days of 86,400 seconds are dropped when a record is saved.
constexpr qint64 retentionSeconds = 365LL * 86'400;
constexpr int weekDays = 7;
// A save waits this long for another process's save to finish before it gives up.
constexpr auto lockPatience = 10s;

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

// Whether every record of `part` is in `whole` (as often as it is in `part`).
bool containsAll(const QList<QJsonObject> &whole, const QList<QJsonObject> &part)
{
    QHash<QByteArray, int> counts;
    for (const QJsonObject &record : whole)
        ++counts[QJsonDocument(record).toJson(QJsonDocument::Compact)];
    for (const QJsonObject &record : part) {
        if (--counts[QJsonDocument(record).toJson(QJsonDocument::Compact)] < 0)
            return false;
    }
    return true;
}

bool isUploadURL(const QUrl &url)
{
    return url.isValid() &&
           (url.scheme() == QLatin1String("https") || url.scheme() == QLatin1String("http")) &&
           !url.host().isEmpty();
}

} // namespace

StatisticsManager::StatisticsManager(Preferences &preferences, const Clock &clock, QString apiBaseURL,
                                     QObject *parent)
    : StatisticsManager(preferences, clock, std::move(apiBaseURL), LoginHistoryFile::defaultFolder(), parent)
{
}

StatisticsManager::StatisticsManager(Preferences &preferences, const Clock &clock, QString apiBaseURL,
                                     const QString &historyFolder, QObject *parent)
    : QObject(parent), m_preferences(preferences), m_clock(clock), m_apiBaseURL(std::move(apiBaseURL)),
      m_file(historyFolder, QString::fromLatin1(PreferenceKeys::loginRecords.name))
{
    if (!m_preferences.contains(PreferenceKeys::loginRecords) &&
        !m_preferences.contains(PreferenceKeys::loginRecordsBackup))
        return;
    QString error;
    const FileLock lock(m_file.lockFilePath(), lockPatience);
    if (!lock.isLocked() || !moveLegacyHistory(&error))
        Log::write(historyNotMovedLine + (lock.isLocked() ? error : lock.errorString()));
}

StatisticsManager::~StatisticsManager()
{
    if (!m_unsaved.isEmpty())
        appendRecords(std::exchange(m_unsaved, {}));
}

QString StatisticsManager::loginRecordsKey() const
{
    return QString::fromLatin1(PreferenceKeys::loginRecords.name);
}

QJsonObject StatisticsManager::makeRecord(const QString &username, qint64 timestamp)
{
    return LoginRecord{username, timestamp, formatTimestamp(timestamp, datePattern),
                       formatTimestamp(timestamp, timePattern)}
        .toJson();
}

void StatisticsManager::recordLogin(const QString &username)
{
    const qint64 timestamp = m_clock.now().toSecsSinceEpoch();
    sendLoginRecord(username, timestamp);
    // The upload's request goes out from the event loop: queued behind it, the write of the history
    // does not hold it up.
    m_unsaved.append(makeRecord(username, timestamp));
    if (m_unsaved.size() == 1)
        QMetaObject::invokeMethod(this, &StatisticsManager::saveUnsavedRecords, Qt::QueuedConnection);
}

void StatisticsManager::saveUnsavedRecords()
{
    if (m_unsaved.isEmpty())
        return;
    appendRecords(std::exchange(m_unsaved, {}));
    if (!isBusy())
        Q_EMIT settled();
}

void StatisticsManager::sendLoginRecord(const QString &username, qint64 timestamp)
{
    const QUrl url(m_apiBaseURL + uploadPath, QUrl::StrictMode);
    if (!isUploadURL(url)) {
        Log::write(invalidAddressLine);
        return;
    }
    // Only these three members leave the computer: no password, machine name or network name.
    const QJsonObject body{{bodyUsernameKey, username},
                           {bodyLoginTimeKey, timestamp},
                           {bodyLoginDateKey, formatTimestamp(timestamp, datePattern)}};

    auto *upload = new StatisticsUpload(url, QJsonDocument(body).toJson(QJsonDocument::Compact), this);
    ++m_pendingUploads;
    connect(upload, &StatisticsUpload::finished, this, [this, upload] {
        upload->deleteLater();
        --m_pendingUploads;
        if (!isBusy())
            Q_EMIT settled();
    });
}

bool StatisticsManager::saveLoginRecord(const QString &username, qint64 timestamp)
{
    saveUnsavedRecords(); // records keep the order in which they were made
    return appendRecords({makeRecord(username, timestamp)});
}

bool StatisticsManager::appendRecords(const QList<QJsonObject> &records)
{
    // Lock, read again, append, prune, write: another process may have saved since this one last read.
    const FileLock lock(m_file.lockFilePath(), lockPatience);
    if (!lock.isLocked())
        return historyNotSaved(lock.errorString());
    QString error;
    if (!moveLegacyHistory(&error))
        return historyNotSaved(error);
    const std::optional<QByteArray> bytes = m_file.read(&error);
    if (!bytes)
        return historyNotSaved(error); // there, but not readable: never replace what could not be kept

    const qint64 cutoff = now().toSecsSinceEpoch() - retentionSeconds;
    qint64 oldest = LoginHistoryFile::noEntries;
    for (const QJsonObject &record : records)
        oldest = std::min(oldest, LoginRecord::timestampOf(record).value_or(0));
    // The usual case: the file is as this program last wrote it and nothing in it is due for pruning.
    // The new records go in before the closing bracket; a year of records is copied, not parsed.
    const std::optional<qint64> storedOldest = m_file.noteOfOldest();
    const qsizetype close = bytes->lastIndexOf(']');
    if (storedOldest && std::min(*storedOldest, oldest) >= cutoff && close > 0) {
        QByteArray added;
        for (const QJsonObject &record : records)
            added += ',' + QJsonDocument(record).toJson(QJsonDocument::Compact);
        const bool empty = bytes->left(close).trimmed() == "[";
        if (!m_file.write(bytes->left(close) + added.mid(empty ? 1 : 0) + ']', &error,
                          std::min(*storedOldest, oldest)))
            return historyNotSaved(error);
        return true;
    }

    const std::optional<QList<QJsonObject>> stored = LoginRecord::listFromJson(*bytes);
    // Unreadable history reads as empty and is about to be replaced: keep its bytes so that one bad
    // byte cannot silently destroy a year of sign-ins.
    if (!stored && !bytes->trimmed().isEmpty() && !keepUnreadable(*bytes, &error))
        return historyNotSaved(error);
    QJsonArray kept;
    oldest = LoginHistoryFile::noEntries;
    for (const QList<QJsonObject> &list : {stored.value_or(QList<QJsonObject>()), records}) {
        for (const QJsonObject &record : list) {
            // A record without an integer timestamp counts as made in 1970.
            const qint64 timestamp = LoginRecord::timestampOf(record).value_or(0);
            if (timestamp >= cutoff) {
                kept.append(record);
                oldest = std::min(oldest, timestamp);
            }
        }
    }
    if (!m_file.write(QJsonDocument(kept).toJson(QJsonDocument::Compact), &error, oldest))
        return historyNotSaved(error);
    return true;
}

bool StatisticsManager::moveLegacyHistory(QString *error)
{
    const PreferenceKey &legacy = PreferenceKeys::loginRecords,
                        &legacyBackup = PreferenceKeys::loginRecordsBackup;
    const auto present = [&] {
        return m_preferences.contains(legacy) || m_preferences.contains(legacyBackup);
    };
    if (!present())
        return true;
    m_preferences.sync(); // another process may have moved it in the meantime
    if (!present())
        return true;
    const QVariant stored = m_preferences.storedValue(legacy);
    const QByteArray value = storedBytes(stored);
    // A value that is not data was edited by hand: keep it as it was, even when it reads as a list.
    if (stored.isValid() && stored.typeId() != QMetaType::QByteArray && !keepUnreadable(value, error))
        return false;
    if (const std::optional<QList<QJsonObject>> records = LoginRecord::listFromJson(value)) {
        const std::optional<QByteArray> bytes = m_file.read(error);
        if (!bytes)
            return false;
        const std::optional<QList<QJsonObject>> inFile = LoginRecord::listFromJson(*bytes);
        if (!inFile && !bytes->trimmed().isEmpty() && !keepUnreadable(*bytes, error))
            return false;
        // Already in the file when an earlier move was cut off before it could clear the settings.
        const QList<QJsonObject> kept = inFile.value_or(QList<QJsonObject>());
        const QList<QJsonObject> moved = containsAll(kept, *records) ? kept : *records + kept;
        QJsonArray array;
        for (const QJsonObject &record : moved)
            array.append(record);
        if (!m_file.write(QJsonDocument(array).toJson(QJsonDocument::Compact), error))
            return false;
    } else if (stored.typeId() == QMetaType::QByteArray && !value.trimmed().isEmpty() &&
               !keepUnreadable(value, error)) {
        return false;
    }
    const QByteArray oldBackup = storedBytes(m_preferences.storedValue(legacyBackup));
    if (!oldBackup.isEmpty() && !keepUnreadable(oldBackup, error))
        return false;
    m_preferences.remove(legacy);
    m_preferences.remove(legacyBackup);
    m_preferences.sync();
    Log::write(historyMovedLine.arg(m_file.filePath()));
    return true;
}

QList<QJsonObject> StatisticsManager::legacyRecords() const
{
    if (!m_preferences.contains(PreferenceKeys::loginRecords))
        return {};
    return LoginRecord::listFromJson(storedBytes(m_preferences.storedValue(PreferenceKeys::loginRecords)))
        .value_or(QList<QJsonObject>());
}

bool StatisticsManager::keepUnreadable(const QByteArray &bytes, QString *error)
{
    bool isNew = false;
    const QString path = m_file.keepUnreadable(bytes, &isNew, error);
    if (path.isEmpty())
        return false;
    if (isNew) {
        Log::write(historyBackedUpLine.arg(path));
        m_problems.append(historyBackedUpProblem.arg(path));
    }
    return true;
}

bool StatisticsManager::historyNotSaved(const QString &reason)
{
    Log::write(historyNotSavedLine + reason);
    m_problems.append(historyNotSavedProblem.arg(reason));
    return false;
}

QList<QJsonObject> StatisticsManager::loadLoginRecords() const
{
    // A history that could not be moved out of the preference store yet (the data folder is not
    // writable) is still shown.
    QList<QJsonObject> records = legacyRecords();
    records += LoginRecord::listFromJson(m_file.read().value_or(QByteArray())).value_or(QList<QJsonObject>());
    return records + m_unsaved;
}

QString StatisticsManager::formatTimestamp(qint64 timestamp, const QString &pattern)
{
    return QDateTime::fromSecsSinceEpoch(timestamp, Qt::LocalTime).toString(pattern);
}

QDateTime StatisticsManager::now() const
{
    // Calendar arithmetic happens in the time zone that is current at the moment of the query.
    return m_clock.now().toLocalTime();
}

int StatisticsManager::getTodayCount() const
{
    return todayCount(loadLoginRecords());
}

int StatisticsManager::getWeekCount() const
{
    return weekCount(loadLoginRecords());
}

int StatisticsManager::getMonthCount() const
{
    return monthCount(loadLoginRecords());
}

QMap<QString, int> StatisticsManager::getDateDistribution(int days) const
{
    return dateDistribution(loadLoginRecords(), days);
}

int StatisticsManager::todayCount(const QList<QJsonObject> &records) const
{
    const QString today = formatTimestamp(now().toSecsSinceEpoch(), datePattern);
    int count = 0;
    for (const QJsonObject &record : records) {
        const QJsonValue date = record.value(LoginRecord::dateKey);
        count += date.isString() && date.toString() == today ? 1 : 0;
    }
    return count;
}

int StatisticsManager::weekCount(const QList<QJsonObject> &records) const
{
    return countSince(records, firstSecondFrom(now().addDays(-weekDays)));
}

int StatisticsManager::monthCount(const QList<QJsonObject> &records) const
{
    return countSince(records, firstSecondFrom(now().addMonths(-1)));
}

qint64 StatisticsManager::firstSecondFrom(const QDateTime &start) const
{
    const qint64 msecs = (start.isValid() ? start : now()).toMSecsSinceEpoch();
    return msecs / 1000 + (msecs % 1000 > 0 ? 1 : 0);
}

int StatisticsManager::countSince(const QList<QJsonObject> &records, qint64 first)
{
    int count = 0;
    for (const QJsonObject &record : records) {
        const std::optional<qint64> timestamp = LoginRecord::timestampOf(record);
        count += timestamp && *timestamp >= first ? 1 : 0;
    }
    return count;
}

QMap<QString, int> StatisticsManager::dateDistribution(const QList<QJsonObject> &records, int days) const
{
    const qint64 first = firstSecondFrom(now().addDays(-days));
    QMap<QString, int> distribution;
    // Records come mostly in time order: one local day's bounds serve all of its records, so a day is
    // formatted once, not once per record.
    qint64 dayStart = 1, dayEnd = 0;
    QString day;
    for (const QJsonObject &record : records) {
        const std::optional<qint64> timestamp = LoginRecord::timestampOf(record);
        if (!timestamp || *timestamp < first)
            continue;
        if (*timestamp < dayStart || *timestamp >= dayEnd) {
            const QDate date = QDateTime::fromSecsSinceEpoch(*timestamp, Qt::LocalTime).date();
            // The first instant of a day that starts in a gap (summer time at midnight) is the gap's end.
            const QDateTime start(date, QTime(0, 0), Qt::LocalTime),
                end(date.addDays(1), QTime(0, 0), Qt::LocalTime);
            dayStart = start.isValid() ? start.toSecsSinceEpoch() : *timestamp;
            dayEnd = end.isValid() ? end.toSecsSinceEpoch() : *timestamp + 1;
            day = formatTimestamp(*timestamp, datePattern);
        }
        ++distribution[day];
    }
    return distribution;
}
