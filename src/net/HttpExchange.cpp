#include "net/HttpExchange.h"

#include <QSslSocket>
#include <QTcpSocket>

namespace {

// The socket holds at most this much that has not been read; the rest waits in the kernel, so a
// server sending faster than the answer is taken apart fills no memory of ours.
constexpr qint64 socketBufferSize = 64 * 1024;
// A chunk-size line is a hexadecimal number and a few extensions.
constexpr qsizetype maxChunkSizeLine = 1024;

const QByteArray crlf = "\r\n";
const QByteArray headEnd = "\r\n\r\n";
const QByteArray bareHeadEnd = "\n\n";

const QString headerTooLargeError = QStringLiteral("The server's response header is larger than %1 bytes");
const QString tooManyFieldsError = QStringLiteral("The server's response header has more than %1 fields");
const QString malformedError = QStringLiteral("The server's response is not valid HTTP");
const QString closedEarlyError = QStringLiteral("The server closed the connection before the end of its response");
const QString timedOutError = QStringLiteral("Operation timed out");
const QString cancelledError = QStringLiteral("Operation canceled");
const QString noTlsError = QStringLiteral("TLS is not available");

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
    m_method = method;
    m_bodyLimit = bodyLimit;
    m_request = method + ' ' + requestTarget(url) + " HTTP/1.1\r\nHost: " + hostField(url) + crlf;
    for (const auto &[name, value] : headers)
        m_request += name + ": " + value + crlf;
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
    for (const auto &[field, value] : m_response.headers) {
        if (field.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

void HttpExchange::sendRequest()
{
    m_socket->write(m_request);
    m_request.clear();
}

void HttpExchange::onReadyRead()
{
    while (!m_finished && m_socket->bytesAvailable() > 0) {
        m_buffer += m_socket->read(socketBufferSize);
        m_receivedAnything = true;
        if (m_idleTimer.interval() > 0)
            m_idleTimer.start();
        while (!m_finished && step()) {
        }
    }
}

void HttpExchange::onDisconnected()
{
    if (m_finished)
        return;
    onReadyRead();
    if (m_finished)
        return;
    // Without a length, the body runs to the end of the connection.
    if (m_phase == Phase::Body && m_framing == Framing::UntilClose)
        finish();
    else if (!m_receivedAnything)
        fail(QNetworkReply::RemoteHostClosedError, m_socket->errorString());
    else
        fail(QNetworkReply::RemoteHostClosedError, closedEarlyError);
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

// Takes one piece of the answer apart; false when it needs more bytes.
bool HttpExchange::step()
{
    switch (m_phase) {
    case Phase::Head:
        return readHead();
    case Phase::Body:
    case Phase::ChunkData:
        return readBodyBytes();
    case Phase::ChunkSize:
        return readChunkSize();
    case Phase::ChunkEnd:
        return readChunkEnd();
    case Phase::Trailer:
        return readTrailer();
    }
    return false;
}

bool HttpExchange::readHead()
{
    // The header ends at an empty line; some servers end their lines with a bare line feed.
    qsizetype end = m_buffer.indexOf(headEnd, m_scanFrom);
    qsizetype endLength = headEnd.size();
    const qsizetype bareEnd = m_buffer.indexOf(bareHeadEnd, m_scanFrom);
    if (bareEnd >= 0 && (end < 0 || bareEnd < end)) {
        end = bareEnd;
        endLength = bareHeadEnd.size();
    }
    if (end < 0) {
        if (m_headerBytes + m_buffer.size() > maxHeaderBytes)
            fail(QNetworkReply::ProtocolFailure, headerTooLargeError.arg(maxHeaderBytes));
        m_scanFrom = qMax<qsizetype>(0, m_buffer.size() - (headEnd.size() - 1));
        return false;
    }
    m_headerBytes += end + endLength;
    if (m_headerBytes > maxHeaderBytes) {
        fail(QNetworkReply::ProtocolFailure, headerTooLargeError.arg(maxHeaderBytes));
        return false;
    }
    const QList<QByteArray> lines = m_buffer.first(end).split('\n');
    m_buffer.remove(0, end + endLength);
    m_scanFrom = 0;

    const QList<QByteArray> statusLine = lines.first().trimmed().split(' ');
    bool isNumber = false;
    const int status = statusLine.value(1).toInt(&isNumber);
    if (!statusLine.first().startsWith("HTTP/1.") || !isNumber || status < 100 || status > 999) {
        fail(QNetworkReply::ProtocolFailure, malformedError);
        return false;
    }
    HeaderList headers;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0)
            headers.append({lines[i].first(colon).trimmed(), lines[i].sliced(colon + 1).trimmed()});
    }
    m_headerFields += int(lines.size() - 1);
    if (m_headerFields > maxHeaderFields) {
        fail(QNetworkReply::ProtocolFailure, tooManyFieldsError.arg(maxHeaderFields));
        return false;
    }
    // An interim answer (100 Continue, 103 Early Hints) precedes the real one.
    if (status < 200)
        return true;

    m_response.statusCode = status;
    m_response.headers = headers;
    if (m_method == "HEAD" || status == 204 || status == 304) {
        finish();
        return false;
    }
    if (header("Transfer-Encoding").toLower().contains("chunked")) {
        m_framing = Framing::Chunked;
        m_phase = Phase::ChunkSize;
        return true;
    }
    const QByteArray lengthField = header("Content-Length");
    if (!lengthField.isEmpty()) {
        bool valid = false;
        m_remaining = lengthField.toLongLong(&valid);
        if (!valid || m_remaining < 0) {
            fail(QNetworkReply::ProtocolFailure, malformedError);
            return false;
        }
        if (m_remaining > m_bodyLimit) {
            // Declared too large: nothing of it is read.
            m_response.oversized = true;
            m_response.length = m_remaining;
            finish();
            return false;
        }
        m_framing = Framing::Length;
        m_phase = Phase::Body;
        if (m_remaining == 0)
            finish();
        return !m_finished;
    }
    m_framing = Framing::UntilClose;
    m_phase = Phase::Body;
    return true;
}

bool HttpExchange::readBodyBytes()
{
    if (m_buffer.isEmpty())
        return false;
    const qsizetype take = m_framing == Framing::UntilClose ? m_buffer.size() : qMin<qint64>(m_remaining, m_buffer.size());
    appendBody(QByteArrayView(m_buffer).first(take));
    m_buffer.remove(0, take);
    if (m_finished || m_framing == Framing::UntilClose)
        return false;
    m_remaining -= take;
    if (m_remaining > 0)
        return false;
    if (m_framing == Framing::Length) {
        finish();
        return false;
    }
    m_phase = Phase::ChunkEnd;
    return true;
}

bool HttpExchange::readChunkSize()
{
    QByteArray line;
    if (!takeLine(line))
        return false;
    const qsizetype extension = line.indexOf(';');
    bool valid = false;
    m_remaining = (extension < 0 ? line : line.first(extension)).trimmed().toLongLong(&valid, 16);
    if (!valid || m_remaining < 0) {
        fail(QNetworkReply::ProtocolFailure, malformedError);
        return false;
    }
    m_phase = m_remaining == 0 ? Phase::Trailer : Phase::ChunkData;
    return true;
}

bool HttpExchange::readChunkEnd()
{
    QByteArray line;
    if (!takeLine(line))
        return false;
    if (!line.isEmpty()) {
        fail(QNetworkReply::ProtocolFailure, malformedError);
        return false;
    }
    m_phase = Phase::ChunkSize;
    return true;
}

bool HttpExchange::readTrailer()
{
    QByteArray line;
    if (!takeLine(line))
        return false;
    m_headerBytes += line.size() + crlf.size();
    if (m_headerBytes > maxHeaderBytes || ++m_headerFields > maxHeaderFields + 1) {
        fail(QNetworkReply::ProtocolFailure, headerTooLargeError.arg(maxHeaderBytes));
        return false;
    }
    if (line.isEmpty())
        finish();
    return !m_finished;
}

// Takes one line (without its line ending) off the buffer; false, or a failure when the line is
// longer than any line of this kind can be, while it is incomplete.
bool HttpExchange::takeLine(QByteArray &line)
{
    const qsizetype end = m_buffer.indexOf('\n');
    if (end < 0 || end > maxChunkSizeLine) {
        if (m_buffer.size() > maxChunkSizeLine)
            fail(QNetworkReply::ProtocolFailure, malformedError);
        return false;
    }
    line = m_buffer.first(end);
    if (line.endsWith('\r'))
        line.chop(1);
    m_buffer.remove(0, end + 1);
    return true;
}

void HttpExchange::appendBody(QByteArrayView bytes)
{
    const qint64 length = m_response.length + bytes.size();
    if (length > m_bodyLimit) {
        m_response.oversized = true;
        m_response.length = length;
        m_response.body = QByteArray(); // let the memory go now
        finish();
        return;
    }
    m_response.body.append(bytes);
    m_response.length = length;
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
    m_buffer = QByteArray();
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
    }
    QMetaObject::invokeMethod(this, &HttpExchange::finished, Qt::QueuedConnection);
}
