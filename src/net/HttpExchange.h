#pragma once

#include "net/HttpResponseParser.h"

#include <QByteArray>
#include <QNetworkReply>
#include <QObject>
#include <QTimer>
#include <QUrl>

#include <optional>

class QTcpSocket;

/// One HTTP/1.1 request and its answer on a connection of its own, read as it arrives under hard
/// bounds: the answer's header at most maxHeaderBytes in at most maxHeaderFields fields, its body at
/// most the caller's limit. Whatever a server sends (an endless body at full speed, a huge header, a
/// connection dropped before the answer) memory and work stay bounded, and the request is sent once:
/// no retry, no redirect, no cache, no compression. Lives on the thread that starts it; the answer
/// is taken apart by an HttpResponseParser.
class HttpExchange : public QObject
{
    Q_OBJECT

public:
    using HeaderList = HttpResponseParser::HeaderList;

    /// Bytes of header (status line, fields and any interim answers) accepted before the answer is refused.
    static constexpr qint64 maxHeaderBytes = 64 * 1024;
    /// Header fields accepted before the answer is refused.
    static constexpr int maxHeaderFields = 100;

    struct Response
    {
        /// NoError, or why the exchange ended without a whole answer.
        QNetworkReply::NetworkError error = QNetworkReply::NoError;
        QString errorString;
        /// Absent until a status line arrived.
        std::optional<int> statusCode;
        HeaderList headers;
        /// At most the body limit; empty when `oversized`.
        QByteArray body;
        /// Bytes of body seen; for an oversized body, as much of it as is known.
        qint64 length = 0;
        /// The body passed the limit; the connection was closed there.
        bool oversized = false;
    };

    explicit HttpExchange(QObject *parent = nullptr);
    ~HttpExchange() override;

    /// Sends `method` to `url` (http or https) with `headers` and `body`; Host, Content-Length (when
    /// there is a body or the method is POST) and "Connection: close" are added. A header name or value
    /// holding CR, LF or NUL ends the exchange before anything is sent. A body longer than
    /// `bodyLimit` ends the exchange as oversized; no progress for `idleTimeoutMs` ends it as timed out.
    void start(const QByteArray &method, const QUrl &url, const HeaderList &headers, const QByteArray &body,
               qint64 bodyLimit, int idleTimeoutMs);
    /// Ends the exchange with OperationCanceledError; does nothing once it has ended.
    void abort();

    const QUrl &url() const { return m_url; }
    const Response &response() const { return m_response; }
    /// The value of the answer's first header field `name` (any case); empty when absent.
    QByteArray header(const QByteArray &name) const;

Q_SIGNALS:
    /// Emitted once, on a later turn of the event loop, when the exchange has ended in any way.
    void finished();

private:
    void sendRequest();
    void onReadyRead();
    void onDisconnected();
    void onSocketError();
    void takeParserOutcome();
    void fail(QNetworkReply::NetworkError error, const QString &description);
    void finish();

    QTcpSocket *m_socket = nullptr;
    QTimer m_idleTimer;
    QUrl m_url;
    QByteArray m_request;
    std::optional<HttpResponseParser> m_parser; // from start() on
    bool m_receivedAnything = false;
    bool m_finished = false;
    Response m_response;
};
