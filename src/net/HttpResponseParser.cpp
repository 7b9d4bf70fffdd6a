#include "net/HttpResponseParser.h"

namespace {

// A chunk-size line is a hexadecimal number and a few extensions.
constexpr qsizetype maxChunkSizeLine = 1024;

const QByteArray crlf = "\r\n";
const QByteArray headEnd = "\r\n\r\n";
const QByteArray bareHeadEnd = "\n\n";

const QString headerTooLargeError = QStringLiteral("The server's response header is larger than %1 bytes");
const QString tooManyFieldsError = QStringLiteral("The server's response header has more than %1 fields");
const QString malformedError = QStringLiteral("The server's response is not valid HTTP");
const QString closedEarlyError =
    QStringLiteral("The server closed the connection before the end of its response");

} // namespace

HttpResponseParser::HttpResponseParser(const Limits &limits, bool bodiless)
    : m_limits(limits), m_bodiless(bodiless)
{
}

void HttpResponseParser::feed(QByteArrayView bytes)
{
    if (isDone())
        return;
    m_buffer += bytes;
    while (!isDone() && step()) {
    }
}

void HttpResponseParser::endOfInput()
{
    if (isDone())
        return;
    // Without a length, the body runs to the end of the connection.
    if (m_state == State::BodyToClose)
        complete();
    else
        fail(Error::ClosedEarly);
}

QString HttpResponseParser::errorString() const
{
    switch (m_error) {
    case Error::None:
        break;
    case Error::HeaderTooLarge:
        return headerTooLargeError.arg(m_limits.headerBytes);
    case Error::TooManyFields:
        return tooManyFieldsError.arg(m_limits.headerFields);
    case Error::Malformed:
        return malformedError;
    case Error::ClosedEarly:
        return closedEarlyError;
    }
    return {};
}

QByteArray HttpResponseParser::field(const HeaderList &headers, const QByteArray &name)
{
    for (const auto &[field, value] : headers) {
        if (field.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

// Takes one piece of the answer apart; false when it needs more bytes.
bool HttpResponseParser::step()
{
    switch (m_state) {
    case State::Head:
        return readHead();
    case State::Body:
    case State::BodyToClose:
    case State::ChunkData:
        return readBodyBytes();
    case State::ChunkSize:
        return readChunkSize();
    case State::ChunkEnd:
        return readChunkEnd();
    case State::Trailer:
        return readTrailer();
    case State::Complete:
    case State::Failed:
        break;
    }
    return false;
}

bool HttpResponseParser::readHead()
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
        if (m_headerBytes + m_buffer.size() > m_limits.headerBytes)
            fail(Error::HeaderTooLarge);
        m_scanFrom = qMax<qsizetype>(0, m_buffer.size() - (headEnd.size() - 1));
        return false;
    }
    m_headerBytes += end + endLength;
    if (m_headerBytes > m_limits.headerBytes) {
        fail(Error::HeaderTooLarge);
        return false;
    }
    const QList<QByteArray> lines = m_buffer.first(end).split('\n');
    m_buffer.remove(0, end + endLength);
    m_scanFrom = 0;

    const QList<QByteArray> statusLine = lines.first().trimmed().split(' ');
    bool isNumber = false;
    const int status = statusLine.value(1).toInt(&isNumber);
    if (!statusLine.first().startsWith("HTTP/1.") || !isNumber || status < 100 || status > 999) {
        fail(Error::Malformed);
        return false;
    }
    HeaderList headers;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0)
            headers.append({lines[i].first(colon).trimmed(), lines[i].sliced(colon + 1).trimmed()});
    }
    m_headerFields += int(lines.size() - 1);
    if (m_headerFields > m_limits.headerFields) {
        fail(Error::TooManyFields);
        return false;
    }
    // An interim answer (100 Continue, 103 Early Hints) precedes the real one.
    if (status < 200)
        return true;

    m_statusCode = status;
    m_headers = headers;
    if (m_bodiless || status == 204 || status == 304) {
        complete();
        return false;
    }
    if (field(m_headers, "Transfer-Encoding").toLower().contains("chunked")) {
        m_state = State::ChunkSize;
        return true;
    }
    const QByteArray lengthField = field(m_headers, "Content-Length");
    if (!lengthField.isEmpty()) {
        bool valid = false;
        m_remaining = lengthField.toLongLong(&valid);
        if (!valid || m_remaining < 0) {
            fail(Error::Malformed);
            return false;
        }
        if (m_remaining > m_limits.bodyBytes) {
            // Declared too large: nothing of it is read.
            m_oversized = true;
            m_length = m_remaining;
            complete();
            return false;
        }
        m_state = State::Body;
        if (m_remaining == 0)
            complete();
        return !isDone();
    }
    m_state = State::BodyToClose;
    return true;
}

bool HttpResponseParser::readBodyBytes()
{
    if (m_buffer.isEmpty())
        return false;
    const bool toClose = m_state == State::BodyToClose;
    const qsizetype take = toClose ? m_buffer.size() : qMin<qint64>(m_remaining, m_buffer.size());
    appendBody(QByteArrayView(m_buffer).first(take));
    m_buffer.remove(0, take);
    if (isDone() || toClose)
        return false;
    m_remaining -= take;
    if (m_remaining > 0)
        return false;
    if (m_state == State::Body) {
        complete();
        return false;
    }
    m_state = State::ChunkEnd;
    return true;
}

bool HttpResponseParser::readChunkSize()
{
    QByteArray line;
    if (!takeLine(line))
        return false;
    const qsizetype extension = line.indexOf(';');
    bool valid = false;
    m_remaining = (extension < 0 ? line : line.first(extension)).trimmed().toLongLong(&valid, 16);
    if (!valid || m_remaining < 0) {
        fail(Error::Malformed);
        return false;
    }
    m_state = m_remaining == 0 ? State::Trailer : State::ChunkData;
    return true;
}

bool HttpResponseParser::readChunkEnd()
{
    QByteArray line;
    if (!takeLine(line))
        return false;
    if (!line.isEmpty()) {
        fail(Error::Malformed);
        return false;
    }
    m_state = State::ChunkSize;
    return true;
}

bool HttpResponseParser::readTrailer()
{
    QByteArray line;
    if (!takeLine(line))
        return false;
    m_headerBytes += line.size() + crlf.size();
    if (m_headerBytes > m_limits.headerBytes || ++m_headerFields > m_limits.headerFields + 1) {
        fail(Error::HeaderTooLarge);
        return false;
    }
    if (line.isEmpty())
        complete();
    return !isDone();
}

// Takes one line (without its line ending) off the buffer; false, or a failure when the line is
// longer than any line of this kind can be, while it is incomplete.
bool HttpResponseParser::takeLine(QByteArray &line)
{
    const qsizetype end = m_buffer.indexOf('\n');
    if (end < 0 || end > maxChunkSizeLine) {
        if (m_buffer.size() > maxChunkSizeLine)
            fail(Error::Malformed);
        return false;
    }
    line = m_buffer.first(end);
    if (line.endsWith('\r'))
        line.chop(1);
    m_buffer.remove(0, end + 1);
    return true;
}

void HttpResponseParser::appendBody(QByteArrayView bytes)
{
    const qint64 length = m_length + bytes.size();
    if (length > m_limits.bodyBytes) {
        m_oversized = true;
        m_length = length;
        m_body = QByteArray(); // let the memory go now
        complete();
        return;
    }
    m_body.append(bytes);
    m_length = length;
}

void HttpResponseParser::complete()
{
    m_state = State::Complete;
    m_buffer = QByteArray();
}

void HttpResponseParser::fail(Error error)
{
    m_state = State::Failed;
    m_error = error;
    m_buffer = QByteArray();
}
