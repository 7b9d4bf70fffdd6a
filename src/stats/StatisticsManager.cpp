#include "stats/StatisticsManager.h"

#include "common/Clock.h"
#include "common/Log.h"
#include "stats/StatisticsUpload.h"
#include "store/Preferences.h"

#include <QJsonDocument>
#include <QUrl>

#include <QJsonObject>

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
const QString historyUnreadableLine = QStringLiteral("⚠️ 联网记录无法读取: ");
const QString historyNotMovedLine = QStringLiteral("⚠️ 联网记录无法移出设置文件: ");
const QString historyBackedUpProblem =
    QStringLiteral("the stored sign-in history could not be read; it was kept in %1");
const QString historyNotSavedProblem = QStringLiteral("this sign-in could not be added to the history: %1");
const QString historyUnreadableProblem = QStringLiteral("the stored sign-in history could not be read: %1");

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
    : StatisticsManager(preferences, clock, std::move(apiBaseURL), LoginHistoryDatabase::defaultFolder(), parent)
{
}

StatisticsManager::StatisticsManager(Preferences &preferences, const Clock &clock, QString apiBaseURL,
                                     const QString &historyFolder, QObject *parent)
    : QObject(parent), m_clock(clock), m_apiBaseURL(std::move(apiBaseURL)),
      m_database(historyFolder, QString::fromLatin1(PreferenceKeys::loginRecords.name)),
      m_legacyHistory(
          preferences, m_database, [this](const QString &path) { keptAside(path); },
          [this](const QString &reason) {
              Log::write(historyUnreadableLine + reason);
              m_problems.append(historyUnreadableProblem.arg(reason));
          })
{
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

LoginRecord StatisticsManager::makeRecord(const QString &username, qint64 timestamp)
{
    return {username, timestamp, formatTimestamp(timestamp, datePattern), formatTimestamp(timestamp, timePattern)};
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

LoginHistoryDatabase *StatisticsManager::openHistory(QString *error)
{
    if (m_database.isOpen())
        return &m_database;
    QString kept;
    if (!m_database.open(error, &kept))
        return nullptr;
    if (!kept.isEmpty())
        keptAside(kept);
    QString notMoved;
    if (!m_legacyHistory.move(&notMoved))
        Log::write(historyNotMovedLine + notMoved);
    return &m_database;
}

LoginHistoryDatabase *StatisticsManager::history()
{
    saveUnsavedRecords();
    return openHistory(nullptr);
}

bool StatisticsManager::appendRecords(const QList<LoginRecord> &records)
{
    QString error;
    LoginHistoryDatabase *database = openHistory(&error);
    if (!database)
        return historyNotSaved(error);
    // Records without a timestamp count as made in 1970: pruned with those older than 365 days.
    const qint64 cutoff = m_clock.now().toSecsSinceEpoch() - retentionSeconds;
    const auto insertAndPrune = [&](QString *error) {
        for (const LoginRecord &record : records) {
            if (!database->insert(record, error))
                return false;
        }
        return database->prune(cutoff, error);
    };
    if (database->write(insertAndPrune, &error))
        return true;
    // A database damaged since it was opened: kept aside, so that one bad page cannot silently cost a
    // year of sign-ins, and the sign-in goes into a new one.
    QString kept;
    if (!database->isDamaged() || !database->replaceDamaged(&error, &kept))
        return historyNotSaved(error);
    keptAside(kept);
    return database->write(insertAndPrune, &error) || historyNotSaved(error);
}

void StatisticsManager::keptAside(const QString &backupPath)
{
    Log::write(historyBackedUpLine.arg(backupPath));
    m_problems.append(historyBackedUpProblem.arg(backupPath));
}

bool StatisticsManager::historyNotSaved(const QString &reason)
{
    Log::write(historyNotSavedLine + reason);
    m_problems.append(historyNotSavedProblem.arg(reason));
    return false;
}

QList<LoginRecord> StatisticsManager::loadLoginRecords()
{
    LoginHistoryDatabase *database = history();
    QList<LoginRecord> records = database ? database->newest(-1) : QList<LoginRecord>();
    std::reverse(records.begin(), records.end());
    return records;
}

QString StatisticsManager::formatTimestamp(qint64 timestamp, const QString &pattern)
{
    return QDateTime::fromSecsSinceEpoch(timestamp, Qt::LocalTime).toString(pattern);
}

QDateTime StatisticsManager::now() const
{
    return m_clock.now();
}
