#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QPair>
#include <QString>

#include <optional>

/// Takes an HTTP/1.1 answer apart as its bytes arrive, in pieces of any size: the status line (after
/// any interim answers), the header fields, and the body framed by Content-Length, by chunks (with
/// their trailer) or by the end of the connection. Holds no more than its bounds allow: a header past
/// `headerBytes` or `headerFields` fails, a body past `bodyBytes` ends the answer as oversized. Reads
/// the framing strictly, as RFC 9112 asks of a recipient, so that an answer means one thing only: a
/// Content-Length that is not all digits or disagrees with another, Transfer-Encoding beside it or
/// other than chunked, a bad chunk size, a folded or space-before-colon field line, a bare CR or
/// a status outside 100-599 fail the answer as malformed. Lines end with CRLF or a lone LF. Knows
/// nothing of sockets or time; whoever holds the connection feeds it and says when the bytes end.
class HttpResponseParser
{
public:
    using HeaderList = QList<QPair<QByteArray, QByteArray>>;

    struct Limits
    {
        /// Bytes of header: status lines, fields of the answer and any interim answers, and the trailer.
        qint64 headerBytes = 0;
        /// Header fields, the trailer's included.
        int headerFields = 0;
        /// Bytes of body kept; past them the answer ends as oversized.
        qint64 bodyBytes = 0;
    };

    /// What is being read; Complete and Failed are final.
    enum class State { Head, Body, BodyToClose, ChunkSize, ChunkData, ChunkEnd, Trailer, Complete, Failed };
    enum class Error { None, HeaderTooLarge, TooManyFields, Malformed, ClosedEarly };

    /// `bodiless`: the answer carries no body whatever it declares (the answer to a HEAD request).
    HttpResponseParser(const Limits &limits, bool bodiless);

    /// Takes the next bytes of the answer; ignored once the answer is complete or has failed.
    void feed(QByteArrayView bytes);
    /// The bytes have ended: an answer whose body runs to the end is complete, any other is cut short.
    void endOfInput();

    State state() const { return m_state; }
    bool isDone() const { return m_state == State::Complete || m_state == State::Failed; }
    Error error() const { return m_error; }
    /// Why the answer failed, in words; empty unless it failed.
    QString errorString() const;

    /// Absent until a final status line arrived.
    std::optional<int> statusCode() const { return m_statusCode; }
    const HeaderList &headers() const { return m_headers; }
    /// At most the body limit; empty when `oversized`.
    const QByteArray &body() const { return m_body; }
    /// Bytes of body seen; for an oversized body, as much of it as is known.
    qint64 length() const { return m_length; }
    /// The body passed the limit; nothing more of it is read.
    bool oversized() const { return m_oversized; }

    /// The value of the first field `name` (any case) in `headers`; empty when absent.
    static QByteArray field(const HeaderList &headers, const QByteArray &name);

private:
    bool step();
    bool readHead();
    bool readFraming();
    bool readBodyBytes();
    bool readChunkSize();
    bool readChunkEnd();
    bool readTrailer();
    bool takeLine(QByteArray &line, qint64 maxLength, Error tooLong);
    void appendBody(QByteArrayView bytes);
    void complete();
    void fail(Error error);

    Limits m_limits;
    bool m_bodiless = false;

    QByteArray m_buffer; // received, not yet taken apart; bounded by the header limit plus one piece
    qsizetype m_scanFrom = 0;
    qint64 m_headerBytes = 0;
    int m_headerFields = 0;
    qint64 m_remaining = 0; // of the body (Body) or of the current chunk (ChunkData)
    State m_state = State::Head;
    Error m_error = Error::None;

    std::optional<int> m_statusCode;
    HeaderList m_headers;
    QByteArray m_body;
    qint64 m_length = 0;
    bool m_oversized = false;
};
