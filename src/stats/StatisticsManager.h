#pragma once

#include "common/SharedInstance.h"
#include "stats/LegacyHistoryMigration.h"
#include "stats/LoginHistoryDatabase.h"
#include "stats/LoginRecord.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

class Clock;
class Preferences;

/// The history of successful sign-ins on this computer and their report to the statistics server.
/// The history is an SQLite database of login records (LoginHistoryDatabase), opened on first use and
/// pruned to 365 days whenever a record is saved; every query reads it afresh. Several processes (the
/// tray application, the daemon, netlatchctl) save into it at the same time: each save is one
/// transaction (insert and prune), so no sign-in is lost. A history that an earlier version kept is
/// moved in when the database is first opened (LegacyHistoryMigration). The figures are
/// StatisticsData's, taken by queries.
/// Lives on the main thread; the upload runs on the main thread's event loop and touches nothing
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

    /// Records one successful sign-in of `username`: starts the upload, then saves the record from the
    /// event loop once the upload's request is under way (every query sees the record at once).
    /// Returns at once and never fails; problems reach the log and historyProblems().
    void recordLogin(const QString &username);
    /// Starts the report of one sign-in to the statistics server (fire and forget).
    void sendLoginRecord(const QString &username, qint64 timestamp);

    /// Whether a report is still on its way.
    bool hasPendingUploads() const { return m_pendingUploads > 0; }
    /// Whether a report is on its way or a recorded sign-in is not written yet; a short-lived process
    /// waits for settled() before it exits.
    bool isBusy() const { return hasPendingUploads() || !m_unsaved.isEmpty(); }
    /// Appends one record to the stored history and drops the records older than 365 days, in one
    /// transaction. False when the history could not be written (logged, and in historyProblems()).
    bool saveLoginRecord(const QString &username, qint64 timestamp);
    /// The stored history, oldest first, with every recorded sign-in written first; empty when it
    /// cannot be read.
    QList<LoginRecord> loadLoginRecords();
    /// The history's database for a query, every recorded sign-in written into it; null when it
    /// cannot be opened.
    LoginHistoryDatabase *history();

    /// What this process could not do with the history, in words for the user, once each: an
    /// unreadable history kept in a backup (with its path), a sign-in that could not be written.
    QStringList historyProblems() const { return m_problems; }

    /// `timestamp` (seconds since 1970) in the current time zone, in the date pattern `pattern`.
    static QString formatTimestamp(qint64 timestamp, const QString &pattern);
    /// The moment the figures are taken at: the clock's time.
    QDateTime now() const;

Q_SIGNALS:
    /// Nothing is on its way any more: every report has completed and every sign-in is written.
    void settled();

private:
    static LoginRecord makeRecord(const QString &username, qint64 timestamp);
    void saveUnsavedRecords();
    bool appendRecords(const QList<LoginRecord> &records);
    /// The database, opened (and earlier versions' history moved in) on first use; null with `error`.
    LoginHistoryDatabase *openHistory(QString *error);
    void keptAside(const QString &backupPath);
    bool historyNotSaved(const QString &reason);

    const Clock &m_clock;
    const QString m_apiBaseURL;
    LoginHistoryDatabase m_database;
    LegacyHistoryMigration m_legacyHistory;
    int m_pendingUploads = 0;
    QList<LoginRecord> m_unsaved; ///< recorded sign-ins waiting for the event loop to write them
    QStringList m_problems;
};
