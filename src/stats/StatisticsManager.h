#pragma once

#include "common/SharedInstance.h"

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
/// The history is a JSON array of login records in the preference store, pruned to 365 days whenever
/// a record is saved; every query reads it afresh. Lives on the main thread; the upload runs on the
/// main thread's event loop and touches nothing but the log when it completes.
class StatisticsManager : public QObject, public SharedInstance<StatisticsManager>
{
    Q_OBJECT

public:
    static inline const QString datePattern = QStringLiteral("yyyy-MM-dd");
    static inline const QString timePattern = QStringLiteral("HH:mm:ss");

    /// `apiBaseURL` is the statistics server's base, ending in "/api".
    StatisticsManager(Preferences &preferences, const Clock &clock, QString apiBaseURL, QObject *parent = nullptr);

    QString apiBaseURL() const { return m_apiBaseURL; }
    /// The preference key of the stored history.
    QString loginRecordsKey() const;

    /// Records one successful sign-in of `username`: starts the upload and saves the record. Returns at
    /// once and never fails; upload problems reach the log only.
    void recordLogin(const QString &username);
    /// Starts the report of one sign-in to the statistics server (fire and forget).
    void sendLoginRecord(const QString &username, qint64 timestamp);

    /// Whether a report is still on its way; a short-lived process waits for uploadsSettled() first.
    bool hasPendingUploads() const { return m_pendingUploads > 0; }
    /// Appends one record to the stored history and drops the records older than 365 days.
    void saveLoginRecord(const QString &username, qint64 timestamp);
    /// The stored history; empty when it is absent or anything in it is not a JSON array of objects.
    QList<QJsonObject> loadLoginRecords() const;

    /// `timestamp` (seconds since 1970) in the current time zone, in the date pattern `pattern`.
    static QString formatTimestamp(qint64 timestamp, const QString &pattern);

    /// Records whose stored "date" is today's date.
    int getTodayCount() const;
    /// Records from the last 7 calendar days, ending now.
    int getWeekCount() const;
    /// Records from the last calendar month, ending now.
    int getMonthCount() const;
    /// Sign-ins per local day from `days` calendar days ago until now; days without sign-ins have no entry.
    QMap<QString, int> getDateDistribution(int days) const;

Q_SIGNALS:
    /// The last report on its way has completed, whatever its result.
    void uploadsSettled();

private:
    struct StoredList
    {
        std::optional<QList<QJsonObject>> records; ///< absent when the stored value does not read as a list
        QByteArray bytes;                          ///< what is stored, for keeping unreadable data
    };

    StoredList readStoredList() const;
    void keepUnreadableHistory(const QByteArray &bytes);
    QDateTime now() const;
    /// The first whole second at or after `start`; from now when the calendar could not produce `start`.
    qint64 firstSecondFrom(const QDateTime &start) const;
    /// Records whose timestamp is an integer at or after `start`.
    int countSince(const QDateTime &start) const;

    Preferences &m_preferences;
    const Clock &m_clock;
    const QString m_apiBaseURL;
    int m_pendingUploads = 0;
};
