#include "stats/StatisticsManager.h"

#include "common/Clock.h"
#include "common/Log.h"
#include "stats/StatisticsData.h"
#include "stats/StatisticsUpload.h"
#include "store/Preferences.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutexLocker>
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
const QString historyUnreadableLine = QStringLiteral("⚠️ 联网记录无法读取: ");
const QString historyNotMovedLine = QStringLiteral("⚠️ 联网记录无法移出设置文件: ");
const QString historyBackedUpProblem =
    QStringLiteral("the stored sign-in history could not be read; it was kept in %1");
const QString historyNotSavedProblem = QStringLiteral("this sign-in could not be added to the history: %1");
const QString historyUnreadableProblem = QStringLiteral("the stored sign-in history could not be read: %1");
const QString unwrittenAtExitReason =
    QStringLiteral("%1 sign-in(s) not written: the history stayed busy for %2 s before the program exited");

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
              addProblem(historyUnreadableProblem.arg(reason));
          })
{
    // The program's instance is never destroyed: what it recorded is written before the process ends.
    if (QCoreApplication *application = QCoreApplication::instance())
        connect(application, &QCoreApplication::aboutToQuit, this, [this] { finishWrites(); });
}

StatisticsManager::~StatisticsManager()
{
    finishWrites();
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
        --m_pendingUploads;
        if (!isBusy())
            Q_EMIT settled();
    });
}

void StatisticsManager::saveLoginRecord(const QString &username, qint64 timestamp)
{
    // Records without a timestamp count as made in 1970: pruned with those older than 365 days.
    const qint64 cutoff = m_clock.now().toSecsSinceEpoch() - retentionSeconds;
    ++m_unwritten;
    m_worker.run<bool>(
        [this, record = makeRecord(username, timestamp), cutoff] { return appendRecord(record, cutoff); },
        nullptr,
        [this](bool) {
            if (--m_unwritten == 0)
                Q_EMIT recordsWritten();
            if (!isBusy())
                Q_EMIT settled();
        });
}

void StatisticsManager::loadLoginRecords(const QObject *receiver,
                                         std::function<void(const QList<LoginRecord> &)> done)
{
    m_worker.run<QList<LoginRecord>>(
        [this] {
            LoginHistoryDatabase *database = openHistory(nullptr);
            QList<LoginRecord> records = database ? database->newest(-1) : QList<LoginRecord>();
            std::reverse(records.begin(), records.end());
            return records;
        },
        receiver, std::move(done));
}

void StatisticsManager::loadStatistics(const QObject *receiver, std::function<void(const StatisticsData &)> done)
{
    m_worker.run<StatisticsData>([this, now = m_clock.now()] { return StatisticsData::load(openHistory(nullptr), now); },
                                 receiver, std::move(done));
}

void StatisticsManager::finishWrites(std::chrono::milliseconds patience)
{
    if (m_unwritten == 0 || m_worker.finish(patience))
        return;
    historyNotSaved(unwrittenAtExitReason.arg(m_unwritten).arg(std::chrono::duration<double>(patience).count()));
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

bool StatisticsManager::appendRecord(const LoginRecord &record, qint64 cutoff)
{
    QString error;
    LoginHistoryDatabase *database = openHistory(&error);
    if (!database)
        return historyNotSaved(error);
    const auto insertAndPrune = [&](QString *error) {
        return database->insert(record, error) && database->prune(cutoff, error);
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
    addProblem(historyBackedUpProblem.arg(backupPath));
}

bool StatisticsManager::historyNotSaved(const QString &reason)
{
    Log::write(historyNotSavedLine + reason);
    addProblem(historyNotSavedProblem.arg(reason));
    return false;
}

void StatisticsManager::addProblem(const QString &problem)
{
    const QMutexLocker lock(&m_problemsMutex);
    m_problems.append(problem);
}

QStringList StatisticsManager::historyProblems() const
{
    const QMutexLocker lock(&m_problemsMutex);
    return m_problems;
}

QString StatisticsManager::formatTimestamp(qint64 timestamp, const QString &pattern)
{
    return QDateTime::fromSecsSinceEpoch(timestamp, Qt::LocalTime).toString(pattern);
}
