#include "stats/StatisticsManager.h"

#include "common/Clock.h"
#include "common/FileLock.h"
#include "common/Log.h"
#include "stats/LoginRecord.h"
#include "stats/StatisticsData.h"
#include "stats/StatisticsUpload.h"
#include "store/Preferences.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QUrl>

#include <algorithm>
#include <utility>

namespace {

const QString uploadPath = QStringLiteral("/record-login.php");
const QString bodyUsernameKey = QStringLiteral("username");
const QString bodyLoginTimeKey = QStringLiteral("login_time");
const QString bodyLoginDateKey = QStringLiteral("login_date");

const QString invalidAddressLine = QStringLiteral("⚠️ 统计API地址无效");
const QString historyBackedUpLine =
    QStringLiteral("⚠️ 联网记录无法读取，原数据已备份到 %1");
const QString historyNotSavedLine = QStringLiteral("⚠️ 联网记录无法保存: ");
const QString historyBackedUpProblem =
    QStringLiteral("the stored sign-in history could not be read; it was kept in %1");
const QString historyNotSavedProblem = QStringLiteral("this sign-in could not be added to the history: %1");

// Records older than 365 days of 86,400 seconds are dropped when a record is saved.
constexpr qint64 retentionSeconds = 365LL * 86'400;

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
    : QObject(parent), m_clock(clock), m_apiBaseURL(std::move(apiBaseURL)),
      m_file(historyFolder, QString::fromLatin1(PreferenceKeys::loginRecords.name)),
      m_legacyHistory(preferences, m_file, [this](const QByteArray &bytes, QString *error) {
          return keepUnreadable(bytes, error);
      })
{
    m_legacyHistory.moveAtStart();
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
    const FileLock lock(m_file.lockFilePath(), LoginHistoryFile::lockPatience);
    if (!lock.isLocked())
        return historyNotSaved(lock.errorString());
    QString error;
    if (!m_legacyHistory.move(&error))
        return historyNotSaved(error);
    const std::optional<QByteArray> bytes = m_file.read(&error);
    if (!bytes)
        return historyNotSaved(error); // there, but not readable: never replace what could not be kept

    const qint64 cutoff = m_clock.now().toSecsSinceEpoch() - retentionSeconds;
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
    QList<QJsonObject> records = m_legacyHistory.records();
    records += LoginRecord::listFromJson(m_file.read().value_or(QByteArray())).value_or(QList<QJsonObject>());
    return records + m_unsaved;
}

QString StatisticsManager::formatTimestamp(qint64 timestamp, const QString &pattern)
{
    return QDateTime::fromSecsSinceEpoch(timestamp, Qt::LocalTime).toString(pattern);
}

QDateTime StatisticsManager::now() const
{
    return m_clock.now();
}

int StatisticsManager::getTodayCount() const
{
    return StatisticsData::count(loadLoginRecords(), StatisticsPeriod::today, now());
}

int StatisticsManager::getWeekCount() const
{
    return StatisticsData::count(loadLoginRecords(), StatisticsPeriod::week, now());
}

int StatisticsManager::getMonthCount() const
{
    return StatisticsData::count(loadLoginRecords(), StatisticsPeriod::month, now());
}

QMap<QString, int> StatisticsManager::getDateDistribution(int days) const
{
    return StatisticsData::countPerDay(loadLoginRecords(), days, now());
}
