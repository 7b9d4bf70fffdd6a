#pragma once

#include <QByteArray>
#include <QObject>
#include <QTimer>
#include <QUrl>

class HttpExchange;

/// One report of a sign-in to the statistics server: posted once as JSON, given up after 5 seconds
/// without progress or 10 in all, its outcome logged. Only the answer's status matters: at most
/// answerLimit bytes of its body are read and the rest is left unread.
class StatisticsUpload : public QObject
{
    Q_OBJECT

public:
    /// Bytes of the answer's body read at most.
    static constexpr qint64 answerLimit = 4096;

    /// Starts posting `json` to `url` at once.
    StatisticsUpload(const QUrl &url, const QByteArray &json, QObject *parent = nullptr);

Q_SIGNALS:
    /// Emitted once, after the outcome was logged.
    void finished();

private:
    void onFinished();

    HttpExchange *m_exchange;
    QTimer m_totalTimer;
    bool m_timedOut = false;
};
