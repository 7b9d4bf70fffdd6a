#pragma once

#include <QByteArray>
#include <QList>
#include <QNetworkReply>
#include <QObject>
#include <QPair>
#include <QTimer>
#include <QUrl>

#include <optional>

class QTcpSocket;

/// One HTTP/1.1 request and its answer on a connection of its own, read as it arrives under hard
/// bounds: the answer's header at most maxHeaderBytes in at most maxHeaderFields fields, its body at
/// most the caller's limit. Whatever a server sends (an endless body at full speed, a huge header, a
/// connection dropped before the answer) memory and work stay bounded, and the request is sent once:
/// no retry, no redirect, no cache, no compression. Lives on the thread that starts it.
class HttpExchange : public QObject
{
    Q_OBJECT

public:
    using HeaderList = QList<QPair<QByteArray, QByteArray>>;

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
    /// there is a body or the method is POST) and "Connection: close" are added. A body longer than
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
    enum class Phase { Head, Body, ChunkSize, ChunkData, ChunkEnd, Trailer };
    enum class Framing { Length, Chunked, UntilClose };

    void sendRequest();
    void onReadyRead();
    void onDisconnected();
    void onSocketError();
    bool step();
    bool readHead();
    bool readBodyBytes();
    bool readChunkSize();
    bool readChunkEnd();
    bool readTrailer();
    bool takeLine(QByteArray &line);
    void appendBody(QByteArrayView bytes);
    void fail(QNetworkReply::NetworkError error, const QString &description);
    void finish();

    QTcpSocket *m_socket = nullptr;
    QTimer m_idleTimer;
    QUrl m_url;
    QByteArray m_method;
    QByteArray m_request;
    qint64 m_bodyLimit = 0;

    QByteArray m_buffer; // received, not yet taken apart; bounded by the header limit plus one read
    qsizetype m_scanFrom = 0;
    qint64 m_headerBytes = 0;
    int m_headerFields = 0;
    Phase m_phase = Phase::Head;
    Framing m_framing = Framing::UntilClose;
    qint64 m_remaining = 0; // of the body (Length) or of the current chunk
    bool m_receivedAnything = false;
    bool m_finished = false;
    Response m_response;
};
