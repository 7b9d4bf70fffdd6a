#include "net/HttpExchange.h"

#include <QSslSocket>
#include <QTcpSocket>

namespace {

// The socket holds at most this much that has not been read; the rest waits in the kernel, so a
// server sending faster than the answer is taken apart fills no memory of ours.
constexpr qint64 socketBufferSize = 64 * 1024;

const QByteArray crlf = "\r\n";

const QString timedOutError = QStringLiteral("Operation timed out");
const QString cancelledError = QStringLiteral("Operation canceled");
const QString noTlsError = QStringLiteral("TLS is not available");
const QString unsafeHeaderError =
    QStringLiteral("The request's header field \"%1\" holds a line break or NUL");

QNetworkReply::NetworkError networkError(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return QNetworkReply::ConnectionRefusedError;
    case QAbstractSocket::RemoteHostClosedError:
        return QNetworkReply::RemoteHostClosedError;
    case QAbstractSocket::HostNotFoundError:
        return QNetworkReply::HostNotFoundError;
    case QAbstractSocket::SocketTimeoutError:
        return QNetworkReply::TimeoutError;
    case QAbstractSocket::SslHandshakeFailedError:
        return QNetworkReply::SslHandshakeFailedError;
    default:
        return QNetworkReply::UnknownNetworkError;
    }
}

QByteArray requestTarget(const QUrl &url)
{
    QByteArray target = url.path(QUrl::FullyEncoded).toLatin1();
    if (target.isEmpty())
        target = "/";
    if (url.hasQuery())
        target += '?' + url.query(QUrl::FullyEncoded).toLatin1();
    return target;
}

// A CR, LF or NUL in a field would end it early and let the rest pose as fields (or a request) of its own.
bool isSafeFieldText(const QByteArray &text)
{
    return !text.contains('\r') && !text.contains('\n') && !text.contains('\0');
}

QByteArray hostField(const QUrl &url)
{
    QByteArray host = url.host(QUrl::FullyEncoded).toLatin1();
    if (host.contains(':'))
        host = '[' + host + ']';
    if (url.port() != -1)
        host += ':' + QByteArray::number(url.port());
    return host;
}

} // namespace

HttpExchange::HttpExchange(QObject *parent) : QObject(parent)
{
    m_idleTimer.setSingleShot(true);
    connect(&m_idleTimer, &QTimer::timeout, this, [this] { fail(QNetworkReply::TimeoutError, timedOutError); });
}

HttpExchange::~HttpExchange() = default;

void HttpExchange::start(const QByteArray &method, const QUrl &url, const HeaderList &headers,
                         const QByteArray &body, qint64 bodyLimit, int idleTimeoutMs)
{
    m_url = url;
    m_parser.emplace(HttpResponseParser::Limits{maxHeaderBytes, maxHeaderFields, bodyLimit},
                     method == "HEAD");
    m_request = method + ' ' + requestTarget(url) + " HTTP/1.1\r\nHost: " + hostField(url) + crlf;
    for (const auto &[name, value] : headers) {
        if (!isSafeFieldText(name) || !isSafeFieldText(value)) {
            m_request.clear();
            fail(QNetworkReply::ProtocolInvalidOperationError,
                 unsafeHeaderError.arg(QString::fromLatin1(name.toPercentEncoding())));
            return;
        }
        m_request += name + ": " + value + crlf;
    }
    if (!body.isEmpty() || method == "POST")
        m_request += "Content-Length: " + QByteArray::number(body.size()) + crlf;
    m_request += "Connection: close\r\n\r\n" + body;

    const bool tls = url.scheme() == QLatin1String("https");
    if (tls && !QSslSocket::supportsSsl()) {
        fail(QNetworkReply::UnknownNetworkError, noTlsError);
        return;
    }
    m_socket = tls ? new QSslSocket(this) : new QTcpSocket(this);
    m_socket->setReadBufferSize(socketBufferSize);
    connect(m_socket, &QIODevice::readyRead, this, &HttpExchange::onReadyRead);
    connect(m_socket, &QIODevice::bytesWritten, this, [this] {
        if (!m_finished && m_idleTimer.interval() > 0)
            m_idleTimer.start();
    });
    connect(m_socket, &QAbstractSocket::disconnected, this, &HttpExchange::onDisconnected);
    connect(m_socket, &QAbstractSocket::errorOccurred, this, &HttpExchange::onSocketError);
    if (idleTimeoutMs > 0) {
        m_idleTimer.setInterval(idleTimeoutMs);
        m_idleTimer.start();
    }
    const quint16 port = quint16(url.port(tls ? 443 : 80));
    if (auto *secure = qobject_cast<QSslSocket *>(m_socket)) {
        connect(secure, &QSslSocket::encrypted, this, &HttpExchange::sendRequest);
        secure->connectToHostEncrypted(url.host(), port);
    } else {
        connect(m_socket, &QAbstractSocket::connected, this, &HttpExchange::sendRequest);
        m_socket->connectToHost(url.host(), port);
    }
}

void HttpExchange::abort()
{
    fail(QNetworkReply::OperationCanceledError, cancelledError);
}

QByteArray HttpExchange::header(const QByteArray &name) const
{
    return HttpResponseParser::field(m_response.headers, name);
}

void HttpExchange::sendRequest()
{
    m_socket->write(m_request);
    m_request.clear();
}

void HttpExchange::onReadyRead()
{
    while (!m_finished && m_socket->bytesAvailable() > 0) {
        const QByteArray bytes = m_socket->read(socketBufferSize);
        m_receivedAnything = true;
        if (m_idleTimer.interval() > 0)
            m_idleTimer.start();
        m_parser->feed(bytes);
        takeParserOutcome();
    }
}

void HttpExchange::onDisconnected()
{
    if (m_finished)
        return;
    onReadyRead();
    if (m_finished)
        return;
    if (!m_receivedAnything) {
        fail(QNetworkReply::RemoteHostClosedError, m_socket->errorString());
        return;
    }
    m_parser->endOfInput();
    takeParserOutcome();
}

void HttpExchange::onSocketError()
{
    if (m_finished)
        return;
    if (m_socket->error() == QAbstractSocket::RemoteHostClosedError) {
        onDisconnected();
        return;
    }
    fail(networkError(m_socket->error()), m_socket->errorString());
}

// Ends the exchange once the parser has a whole answer or has refused it.
void HttpExchange::takeParserOutcome()
{
    switch (m_parser->state()) {
    case HttpResponseParser::State::Complete:
        finish();
        break;
    case HttpResponseParser::State::Failed:
        fail(m_parser->error() == HttpResponseParser::Error::ClosedEarly
                 ? QNetworkReply::RemoteHostClosedError
                 : QNetworkReply::ProtocolFailure,
             m_parser->errorString());
        break;
    default:
        break;
    }
}

void HttpExchange::fail(QNetworkReply::NetworkError error, const QString &description)
{
    if (m_finished)
        return;
    m_response.error = error;
    m_response.errorString = description;
    finish();
}

void HttpExchange::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    m_idleTimer.stop();
    if (m_parser) {
        m_response.statusCode = m_parser->statusCode();
        m_response.headers = m_parser->headers();
        m_response.body = m_parser->body();
        m_response.length = m_parser->length();
        m_response.oversized = m_parser->oversized();
        m_parser.reset(); // lets its buffer go
    }
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
    }
    QMetaObject::invokeMethod(this, &HttpExchange::finished, Qt::QueuedConnection);
}
