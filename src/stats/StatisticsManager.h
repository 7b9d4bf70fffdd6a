#pragma once

#include "common/SharedInstance.h"
#include "stats/HistoryWorker.h"
#include "stats/LegacyHistoryMigration.h"
#include "stats/LoginHistoryDatabase.h"
#include "stats/LoginRecord.h"

#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>

#include <chrono>
#include <functional>

class Clock;
class Preferences;
struct StatisticsData;

/// The history of successful sign-ins on this computer and their report to the statistics server.
/// The history is an SQLite database of login records (LoginHistoryDatabase), opened on first use and
/// pruned to 365 days whenever a record is saved; every query reads it afresh. Several processes (the
/// tray application, the daemon, netlatchctl) save into it at the same time: each save is one
/// transaction (insert and prune), so no sign-in is lost. A history that an earlier version kept is
/// moved in when the database is first opened (LegacyHistoryMigration). The figures are
/// StatisticsData's, taken by queries.
/// Lives on the main thread. Every use of the database (its opening and the move, each save, each
/// query) runs on the history's own thread (HistoryWorker), one at a time in the order asked, and
/// answers on the main thread's event loop: a write that waits for another process's transaction
/// never holds the main thread. The upload runs on the main thread's event loop and touches nothing
/// but the log when it completes.
class StatisticsManager : public QObject, public SharedInstance<StatisticsManager>
{
    Q_OBJECT

public:
    static inline const QString datePattern = QStringLiteral("yyyy-MM-dd");
    static inline const QString timePattern = QStringLiteral("HH:mm:ss");

    /// `apiBaseURL` is the statistics server's base, ending in "/api". The history lives in
    /// `historyFolder` (LoginHistoryDatabase::defaultFolder() by default).
    StatisticsManager(Preferences &preferences, const Clock &clock, QString apiBaseURL,
                      QObject *parent = nullptr);
    StatisticsManager(Preferences &preferences, const Clock &clock, QString apiBaseURL,
                      const QString &historyFolder, QObject *parent = nullptr);
    ~StatisticsManager() override;

    QString apiBaseURL() const { return m_apiBaseURL; }
    /// The key the history goes by: the name of its database, and its key in earlier versions'
    /// preference store.
    QString loginRecordsKey() const;

    /// How long a process that is about to exit waits for the sign-ins it recorded to be written.
    static constexpr std::chrono::milliseconds quitPatience{LoginHistoryDatabase::busyPatienceMs};

    /// Records one successful sign-in of `username`: starts the upload and saves the record
    /// (saveLoginRecord). Returns at once and never fails; problems reach the log and historyProblems().
    void recordLogin(const QString &username);
    /// Starts the report of one sign-in to the statistics server (fire and forget).
    void sendLoginRecord(const QString &username, qint64 timestamp);

    /// Whether a report is still on its way.
    bool hasPendingUploads() const { return m_pendingUploads > 0; }
    /// Whether a report is on its way or a recorded sign-in is not written yet; a short-lived process
    /// waits for settled() before it exits.
    bool isBusy() const { return hasPendingUploads() || hasUnwrittenRecords(); }
    /// Whether a recorded sign-in is not written yet (recordsWritten() tells when all are).
    bool hasUnwrittenRecords() const { return m_unwritten > 0; }
    /// Appends one record to the stored history and drops the records older than 365 days, in one
    /// transaction, after everything asked before. Returns at once; a history that could not be
    /// written is logged and in historyProblems().
    void saveLoginRecord(const QString &username, qint64 timestamp);
    /// Answers `done` with the stored history, oldest first, every sign-in recorded before the call
    /// in it; empty when it cannot be read. No answer once `receiver` (when given) is gone.
    void loadLoginRecords(const QObject *receiver, std::function<void(const QList<LoginRecord> &)> done);
    /// Answers `done` with every figure (StatisticsData::load) at the clock's time of the call, every
    /// sign-in recorded before the call counted. No answer once `receiver` (when given) is gone.
    void loadStatistics(const QObject *receiver, std::function<void(const StatisticsData &)> done);
    /// Waits up to `patience` for every sign-in recorded so far to be written; the ones it gives up on
    /// are logged. For a process that is about to exit.
    void finishWrites(std::chrono::milliseconds patience = quitPatience);

    /// What this process could not do with the history, in words for the user, once each: an
    /// unreadable history kept in a backup (with its path), a sign-in that could not be written.
    QStringList historyProblems() const;

    /// `timestamp` (seconds since 1970) in the current time zone, in the date pattern `pattern`.
    static QString formatTimestamp(qint64 timestamp, const QString &pattern);

Q_SIGNALS:
    /// Every recorded sign-in has been written (or given up on, which is logged).
    void recordsWritten();
    /// Nothing is on its way any more: every report has completed and every sign-in is written.
    void settled();

private:
    static LoginRecord makeRecord(const QString &username, qint64 timestamp);
    // On the history's thread.
    bool appendRecord(const LoginRecord &record, qint64 cutoff);
    /// The database, opened (and earlier versions' history moved in) on first use; null with `error`.
    LoginHistoryDatabase *openHistory(QString *error);
    void keptAside(const QString &backupPath);
    bool historyNotSaved(const QString &reason);
    void addProblem(const QString &problem);

    const Clock &m_clock;
    const QString m_apiBaseURL;
    LoginHistoryDatabase m_database;
    LegacyHistoryMigration m_legacyHistory;
    int m_pendingUploads = 0;
    int m_unwritten = 0; ///< saves asked for whose answer has not come yet
    mutable QMutex m_problemsMutex; ///< the history's thread adds problems, the main thread reads them
    QStringList m_problems;
    HistoryWorker m_worker; ///< last: its thread ends before the database goes
};
