#include "stats/StatisticsManager.h"

#include "common/Clock.h"
#include "common/Log.h"
#include "stats/LoginRecord.h"
#include "stats/StatisticsUpload.h"
#include "store/Preferences.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QUrl>

namespace {

const QString uploadPath = QStringLiteral("/record-login.php");
const QString bodyUsernameKey = QStringLiteral("username");
const QString bodyLoginTimeKey = QStringLiteral("login_time");
const QString bodyLoginDateKey = QStringLiteral("login_date");

const QString invalidAddressLine = QStringLiteral("⚠️ 统计API地址无效");
const QString historyBackedUpLine = QStringLiteral("⚠️ 联网记录无法读取，原数据已备份到 %1");

// Records older than 365 days of 86,400 seconds are dropped when a record is saved.
constexpr qint64 retentionSeconds = 365LL * 86'400;
constexpr int weekDays = 7;

bool isUploadURL(const QUrl &url)
{
    return url.isValid() && (url.scheme() == QLatin1String("https") || url.scheme() == QLatin1String("http"))
        && !url.host().isEmpty();
}

} // namespace

StatisticsManager::StatisticsManager(Preferences &preferences, const Clock &clock, QString apiBaseURL,
                                     QObject *parent)
    : QObject(parent)
    , m_preferences(preferences)
    , m_clock(clock)
    , m_apiBaseURL(std::move(apiBaseURL))
{
}

QString StatisticsManager::loginRecordsKey() const
{
    return QString::fromLatin1(PreferenceKeys::loginRecords.name);
}

void StatisticsManager::recordLogin(const QString &username)
{
    const qint64 timestamp = m_clock.now().toSecsSinceEpoch();
    sendLoginRecord(username, timestamp);
    saveLoginRecord(username, timestamp);
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
        if (--m_pendingUploads == 0)
            Q_EMIT uploadsSettled();
    });
}

void StatisticsManager::saveLoginRecord(const QString &username, qint64 timestamp)
{
    const StoredList stored = readStoredList();
    QList<QJsonObject> records = stored.records.value_or(QList<QJsonObject>());
    records.append(LoginRecord{username, timestamp, formatTimestamp(timestamp, datePattern),
                               formatTimestamp(timestamp, timePattern)}
                       .toJson());

    const qint64 cutoff = now().toSecsSinceEpoch() - retentionSeconds;
    QJsonArray kept;
    for (const QJsonObject &record : std::as_const(records)) {
        if (LoginRecord::timestampOf(record).value_or(0) >= cutoff)
            kept.append(record);
    }

    // Unreadable history reads as empty and is about to be replaced: keep its bytes so that one bad
    // byte cannot silently destroy a year of sign-ins.
    if (!stored.records && !stored.bytes.isEmpty())
        keepUnreadableHistory(stored.bytes);
    m_preferences.setData(PreferenceKeys::loginRecords, QJsonDocument(kept).toJson(QJsonDocument::Compact));
}

void StatisticsManager::keepUnreadableHistory(const QByteArray &bytes)
{
    m_preferences.setData(PreferenceKeys::loginRecordsBackup, bytes);
    Log::write(historyBackedUpLine.arg(QString::fromLatin1(PreferenceKeys::loginRecordsBackup.name)));
}

StatisticsManager::StoredList StatisticsManager::readStoredList() const
{
    StoredList stored;
    const std::optional<QByteArray> data = m_preferences.dataValue(PreferenceKeys::loginRecords);
    if (!data) {
        // A value of another type (a hand-edited file) reads as empty too, but its text is still kept.
        stored.bytes = m_preferences.textValue(PreferenceKeys::loginRecords).value_or(QString()).toUtf8();
        return stored;
    }
    stored.bytes = *data;

    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(*data, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return stored;
    const QJsonArray array = document.array();
    QList<QJsonObject> records;
    records.reserve(array.size());
    for (const QJsonValue &element : array) {
        if (!element.isObject())
            return stored;
        records.append(element.toObject());
    }
    stored.records = std::move(records);
    return stored;
}

QList<QJsonObject> StatisticsManager::loadLoginRecords() const
{
    return readStoredList().records.value_or(QList<QJsonObject>());
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
    const QString today = formatTimestamp(now().toSecsSinceEpoch(), datePattern);
    int count = 0;
    for (const QJsonObject &record : loadLoginRecords()) {
        const QJsonValue date = record.value(LoginRecord::dateKey);
        count += date.isString() && date.toString() == today ? 1 : 0;
    }
    return count;
}

int StatisticsManager::getWeekCount() const
{
    return countSince(now().addDays(-weekDays));
}

int StatisticsManager::getMonthCount() const
{
    return countSince(now().addMonths(-1));
}

qint64 StatisticsManager::firstSecondFrom(const QDateTime &start) const
{
    const qint64 msecs = (start.isValid() ? start : now()).toMSecsSinceEpoch();
    return msecs / 1000 + (msecs % 1000 > 0 ? 1 : 0);
}

int StatisticsManager::countSince(const QDateTime &start) const
{
    const qint64 first = firstSecondFrom(start);
    int count = 0;
    for (const QJsonObject &record : loadLoginRecords()) {
        const std::optional<qint64> timestamp = LoginRecord::timestampOf(record);
        count += timestamp && *timestamp >= first ? 1 : 0;
    }
    return count;
}

QMap<QString, int> StatisticsManager::getDateDistribution(int days) const
{
    const qint64 first = firstSecondFrom(now().addDays(-days));
    QMap<QString, int> distribution;
    for (const QJsonObject &record : loadLoginRecords()) {
        const std::optional<qint64> timestamp = LoginRecord::timestampOf(record);
        if (timestamp && *timestamp >= first)
            ++distribution[formatTimestamp(*timestamp, datePattern)];
    }
    return distribution;
}
