#include "net/HttpResponseParser.h"

#include "net/HttpSyntax.h"

#include <algorithm>

namespace {

// A chunk-size line is a hexadecimal number and a few extensions.
constexpr qsizetype maxChunkSizeLine = 1024;
// Hex digits of a chunk size that always fit a qint64.
constexpr qsizetype maxChunkSizeDigits = 15;

const QString headerTooLargeError = QStringLiteral("The server's response header is larger than %1 bytes");
const QString tooManyFieldsError = QStringLiteral("The server's response header has more than %1 fields");
const QString malformedError = QStringLiteral("The server's response is not valid HTTP");
const QString closedEarlyError =
    QStringLiteral("The server closed the connection before the end of its response");

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isWhitespace(char c)
{
    return c == ' ' || c == '\t';
}

// "HTTP/1.x SSS[ reason]" with a status of 100 to 599; absent otherwise.
std::optional<int> statusOf(QByteArrayView line)
{
    if (line.size() < 12 || !line.startsWith("HTTP/1.") || !isDigit(line[7]) || line[8] != ' ' ||
        (line.size() > 12 && line[12] != ' '))
        return std::nullopt;
    const QByteArrayView code = line.sliced(9, 3);
    if (!std::all_of(code.begin(), code.end(), isDigit))
        return std::nullopt;
    const int status = code.toInt();
    if (status < 100 || status > 599)
        return std::nullopt;
    return status;
}

// "name: value": no whitespace before the colon, none before the name (that is an obsolete folded
// line), the value without its surrounding whitespace. Absent for anything else.
std::optional<QPair<QByteArray, QByteArray>> fieldOf(QByteArrayView line)
{
    const qsizetype colon = line.indexOf(':');
    if (colon < 0 || !HttpSyntax::isToken(line.first(colon)))
        return std::nullopt;
    return QPair<QByteArray, QByteArray>{line.first(colon).toByteArray(),
                                         line.sliced(colon + 1).trimmed().toByteArray()};
}

// The non-empty elements of every field `name`, which are comma-separated lists.
QList<QByteArray> listElements(const HttpResponseParser::HeaderList &headers, QByteArrayView name)
{
    QList<QByteArray> elements;
    for (const auto &[field, value] : headers) {
        if (QByteArrayView(field).compare(name, Qt::CaseInsensitive) != 0)
            continue;
        for (const QByteArray &element : value.split(',')) {
            if (!element.trimmed().isEmpty())
                elements.append(element.trimmed());
        }
    }
    return elements;
}

bool hasField(const HttpResponseParser::HeaderList &headers, QByteArrayView name)
{
    return std::any_of(headers.begin(), headers.end(), [&](const auto &field) {
        return QByteArrayView(field.first).compare(name, Qt::CaseInsensitive) == 0;
    });
}

// The body's length from every Content-Length field: one or more digits, the same in each; -1 when
// there is none, absent when they are malformed or disagree.
std::optional<qint64> contentLength(const HttpResponseParser::HeaderList &headers)
{
    const QList<QByteArray> lengths = listElements(headers, "Content-Length");
    if (lengths.isEmpty())
        return hasField(headers, "Content-Length") ? std::nullopt : std::optional<qint64>(-1);
    const bool digitsAlike = std::all_of(lengths.begin(), lengths.end(), [&](const QByteArray &length) {
        return length == lengths.first() && std::all_of(length.begin(), length.end(), isDigit);
    });
    bool fits = false;
    const qint64 length = lengths.first().toLongLong(&fits);
    return digitsAlike && fits ? std::optional(length) : std::nullopt;
}

// A chunk-size line: hex digits, then optionally whitespace and extensions after ';', which are ignored.
std::optional<qint64> chunkSizeOf(QByteArrayView line)
{
    qsizetype digits = 0;
    while (digits < line.size() && QByteArrayView("0123456789abcdefABCDEF").contains(line[digits]))
        ++digits;
    QByteArrayView rest = line.sliced(digits);
    while (!rest.isEmpty() && isWhitespace(rest.front()))
        rest = rest.sliced(1);
    QByteArrayView size = line.first(digits);
    while (size.size() > 1 && size.front() == '0')
        size = size.sliced(1);
    if (digits == 0 || size.size() > maxChunkSizeDigits || !(rest.isEmpty() || rest.front() == ';'))
        return std::nullopt;
    return size.toLongLong(nullptr, 16);
}

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
    // The head ends at the first empty line; each line ends with CRLF or a lone LF.
    qsizetype end = -1;
    for (qsizetype lineEnd; end < 0 && (lineEnd = m_buffer.indexOf('\n', m_scanFrom)) >= 0;) {
        const QByteArrayView line = QByteArrayView(m_buffer).sliced(m_scanFrom, lineEnd - m_scanFrom);
        if (line.isEmpty() || line == "\r")
            end = lineEnd + 1;
        m_scanFrom = lineEnd + 1;
    }
    if (m_headerBytes + (end < 0 ? m_buffer.size() : end) > m_limits.headerBytes) {
        fail(Error::HeaderTooLarge);
        return false;
    }
    if (end < 0)
        return false;
    m_headerBytes += end;
    QList<QByteArray> lines = m_buffer.first(end).split('\n');
    m_buffer.remove(0, end);
    m_scanFrom = 0;
    lines.resize(lines.size() - 2); // the empty line and what follows its line feed
    for (QByteArray &line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }

    // A bare CR or a NUL anywhere in the head makes it mean different things to different readers.
    const bool strayBytes = std::any_of(lines.begin(), lines.end(), [](const QByteArray &line) {
        return line.contains('\r') || line.contains('\0');
    });
    const std::optional<int> status = lines.isEmpty() || strayBytes ? std::nullopt : statusOf(lines.first());
    HeaderList headers;
    for (qsizetype i = 1; status && i < lines.size(); ++i) {
        const auto field = fieldOf(lines[i]);
        if (!field)
            break;
        headers.append(*field);
    }
    if (!status || headers.size() != lines.size() - 1) {
        fail(Error::Malformed);
        return false;
    }
    m_headerFields += int(headers.size());
    if (m_headerFields > m_limits.headerFields) {
        fail(Error::TooManyFields);
        return false;
    }
    // An interim answer (100 Continue, 103 Early Hints) precedes the real one.
    if (*status < 200)
        return true;

    m_statusCode = status;
    m_headers = headers;
    if (m_bodiless || *status == 204 || *status == 304) {
        complete();
        return false;
    }
    return readFraming();
}

// Chooses how the body is delimited, as RFC 9112 section 6.3 tells a recipient; a framing that
// could be read in two ways, or that this reader cannot decode, fails the answer.
bool HttpResponseParser::readFraming()
{
    const std::optional<qint64> length = contentLength(m_headers);
    if (hasField(m_headers, "Transfer-Encoding")) {
        const QList<QByteArray> codings = listElements(m_headers, "Transfer-Encoding");
        if (length != -1 || codings.size() != 1 ||
            codings.first().compare("chunked", Qt::CaseInsensitive) != 0) {
            fail(Error::Malformed);
            return false;
        }
        m_state = State::ChunkSize;
        return true;
    }
    if (!length) {
        fail(Error::Malformed);
        return false;
    }
    if (*length < 0) {
        m_state = State::BodyToClose;
        return true;
    }
    m_remaining = *length;
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
    if (!takeLine(line, maxChunkSizeLine, Error::Malformed))
        return false;
    const std::optional<qint64> size = chunkSizeOf(line);
    if (!size) {
        fail(Error::Malformed);
        return false;
    }
    m_remaining = *size;
    m_state = m_remaining == 0 ? State::Trailer : State::ChunkData;
    return true;
}

bool HttpResponseParser::readChunkEnd()
{
    QByteArray line;
    if (!takeLine(line, maxChunkSizeLine, Error::Malformed))
        return false;
    if (!line.isEmpty()) {
        fail(Error::Malformed);
        return false;
    }
    m_state = State::ChunkSize;
    return true;
}

// The trailer's fields are read as the head's, counted against the same bounds, and dropped.
bool HttpResponseParser::readTrailer()
{
    const qsizetype before = m_buffer.size();
    QByteArray line;
    if (!takeLine(line, m_limits.headerBytes - m_headerBytes, Error::HeaderTooLarge))
        return false;
    m_headerBytes += before - m_buffer.size();
    if (m_headerBytes > m_limits.headerBytes) {
        fail(Error::HeaderTooLarge);
        return false;
    }
    if (line.isEmpty()) {
        complete();
        return false;
    }
    if (!fieldOf(line) || line.contains('\0')) {
        fail(Error::Malformed);
        return false;
    }
    if (++m_headerFields > m_limits.headerFields) {
        fail(Error::TooManyFields);
        return false;
    }
    return true;
}

// Takes one line (without its CRLF or lone LF) off the buffer; false while it is incomplete. Fails
// with `tooLong` when the line is longer than `maxLength`, and as malformed when it holds a bare CR.
bool HttpResponseParser::takeLine(QByteArray &line, qint64 maxLength, Error tooLong)
{
    const qsizetype end = m_buffer.indexOf('\n');
    if (end < 0 || end > maxLength) {
        if (m_buffer.size() > maxLength)
            fail(tooLong);
        return false;
    }
    line = m_buffer.first(end);
    m_buffer.remove(0, end + 1);
    if (line.endsWith('\r'))
        line.chop(1);
    if (line.contains('\r')) {
        fail(Error::Malformed);
        return false;
    }
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
