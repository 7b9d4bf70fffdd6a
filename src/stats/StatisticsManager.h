#pragma once

#include "common/SharedInstance.h"
#include "stats/LegacyHistoryMigration.h"
#include "stats/LoginHistoryFile.h"

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>

#include <optional>

class Clock;
class Preferences;

/// The history of successful sign-ins on this computer and their report to the statistics server.
/// The history is a JSON array of login records in a data file of its own (LoginHistoryFile), pruned
/// to 365 days whenever a record is saved; every query reads it afresh. Several processes (the tray
/// application, the daemon, netlatchctl) save into it at the same time: each save takes the file's
/// lock, reads the list again, appends, prunes and replaces the file, so no sign-in is lost. A
/// history left in the preference store by an earlier version is moved into the file once
/// (LegacyHistoryMigration). The figures are StatisticsData's, over what this reads.
/// Lives on the main thread; the upload runs on the main thread's event loop and touches nothing
/// but the log when it completes.
class StatisticsManager : public QObject, public SharedInstance<StatisticsManager>
{
    Q_OBJECT

public:
    static inline const QString datePattern = QStringLiteral("yyyy-MM-dd");
    static inline const QString timePattern = QStringLiteral("HH:mm:ss");

    /// `apiBaseURL` is the statistics server's base, ending in "/api". The history lives in
    /// `historyFolder` (LoginHistoryFile::defaultFolder() by default).
    StatisticsManager(Preferences &preferences, const Clock &clock, QString apiBaseURL,
                      QObject *parent = nullptr);
    StatisticsManager(Preferences &preferences, const Clock &clock, QString apiBaseURL,
                      const QString &historyFolder, QObject *parent = nullptr);
    ~StatisticsManager() override;

    QString apiBaseURL() const { return m_apiBaseURL; }
    /// The key the history goes by: the name of its data file, and its key in earlier versions'
    /// preference store.
    QString loginRecordsKey() const;
    /// The history's data file.
    QString historyFilePath() const { return m_file.filePath(); }

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
    /// Appends one record to the stored history and drops the records older than 365 days, under the
    /// history's lock. False when the history could not be written (logged, and in historyProblems()).
    bool saveLoginRecord(const QString &username, qint64 timestamp);
    /// The stored history, and any recorded sign-in not written yet; empty when the file is absent or
    /// anything in it is not a JSON array of objects.
    QList<QJsonObject> loadLoginRecords() const;

    /// What this process could not do with the history, in words for the user, once each: an
    /// unreadable history kept in a backup (with its path), a sign-in that could not be written.
    QStringList historyProblems() const { return m_problems; }

    /// `timestamp` (seconds since 1970) in the current time zone, in the date pattern `pattern`.
    static QString formatTimestamp(qint64 timestamp, const QString &pattern);
    /// The moment the figures are taken at: the clock's time.
    QDateTime now() const;

    /// Records whose stored "date" is today's date.
    int getTodayCount() const;
    /// Records from the last 7 calendar days, ending now.
    int getWeekCount() const;
    /// Records from the last calendar month, ending now.
    int getMonthCount() const;
    /// Sign-ins per local day from `days` calendar days ago until now; days without sign-ins have no entry.
    QMap<QString, int> getDateDistribution(int days) const;

Q_SIGNALS:
    /// Nothing is on its way any more: every report has completed and every sign-in is written.
    void settled();

private:
    static QJsonObject makeRecord(const QString &username, qint64 timestamp);
    void saveUnsavedRecords();
    bool appendRecords(const QList<QJsonObject> &records);
    bool keepUnreadable(const QByteArray &bytes, QString *error);
    bool historyNotSaved(const QString &reason);

    const Clock &m_clock;
    const QString m_apiBaseURL;
    const LoginHistoryFile m_file;
    LegacyHistoryMigration m_legacyHistory;
    int m_pendingUploads = 0;
    QList<QJsonObject> m_unsaved; ///< recorded sign-ins waiting for the event loop to write them
    QStringList m_problems;
};
