#include "net/HttpResponseParser.h"

#include <QTest>

using Error = HttpResponseParser::Error;

namespace {
const HttpResponseParser::Limits limits{200, 10, 100};

// Everything the parser tells of an answer, in one comparable text.
QByteArray outcome(const HttpResponseParser &parser)
{
    QByteArray text = QByteArray::number(int(parser.state())) + ' ' + QByteArray::number(int(parser.error())) +
                      ' ' + QByteArray::number(parser.statusCode().value_or(0)) + '\n';
    for (const auto &[name, value] : parser.headers())
        text += name + ": " + value + '\n';
    return text + QByteArray::number(parser.length()) + (parser.oversized() ? " oversized\n" : "\n") +
           parser.body();
}

QByteArray parse(const QList<QByteArrayView> &pieces)
{
    HttpResponseParser parser(limits, false);
    for (const QByteArrayView piece : pieces)
        parser.feed(piece);
    parser.endOfInput();
    return outcome(parser);
}
} // namespace

// An answer must mean one thing: framing read as RFC 9112 tells a recipient, the same however the
// bytes are split, and anything a second reader could take differently refused.
// (Lone line feeds, two different lengths and the header's bounds, as the sign-in meets them:
// tst_hostileservers.)
class TestHttpResponseParser : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void answers_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<Error>("error");
        QTest::addColumn<QByteArray>("body");
        const auto row = [](const char *name, const QByteArray &answer, Error error, const QByteArray &body = {}) {
            QTest::newRow(name) << answer << error << body;
        };
        const QByteArray ok = "HTTP/1.1 200 OK\r\n";
        const QByteArray chunked = ok + "Transfer-Encoding: chunked\r\n\r\n";
        const QByteArray fields = QByteArray("X: y\r\n").repeated(11);
        row("length after an interim answer", "HTTP/1.1 100 Continue\r\n\r\n" + ok + "Content-Length: 5\r\n\r\nhelloX",
            Error::None, "hello");
        row("equal lengths", ok + "Content-Length: 3, 3\r\ncontent-length: 3\r\n\r\nhel", Error::None, "hel");
        row("chunks, extensions, trailer", chunked + "5;x=1\r\nhello\r\n06 ;y\r\n world\r\n0\r\nX-T: 1\r\n\r\n",
            Error::None, "hello world");
        row("length +3", ok + "Content-Length: +3\r\n\r\nhel", Error::Malformed);
        row("empty length", ok + "Content-Length:\r\n\r\n", Error::Malformed);
        row("length past 64 bits", ok + "Content-Length: 99999999999999999999\r\n\r\n", Error::Malformed);
        row("chunked, gzip", ok + "Transfer-Encoding: chunked, gzip\r\n\r\n0\r\n\r\n", Error::Malformed);
        row("xchunked", ok + "Transfer-Encoding: xchunked\r\n\r\n0\r\n\r\n", Error::Malformed);
        row("chunked and a length", ok + "Transfer-Encoding: chunked\r\nContent-Length: 5\r\n\r\n0\r\n\r\n",
            Error::Malformed);
        row("chunk size 0x5", chunked + "0x5\r\nhello\r\n0\r\n\r\n", Error::Malformed);
        row("chunk size past 64 bits", chunked + "10000000000000000\r\n", Error::Malformed);
        row("chunk size with a bare CR", chunked + "5\rX\r\nhello\r\n0\r\n\r\n", Error::Malformed);
        row("chunk without its CRLF", chunked + "3\r\nabcXY\r\n0\r\n\r\n", Error::Malformed, "abc");
        row("folded line", ok + "X: a\r\n Content-Length: 2\r\n\r\nhi", Error::Malformed);
        row("space before the colon", ok + "Content-Length : 2\r\n\r\nhi", Error::Malformed);
        row("line without a colon", ok + "Content-Length 2\r\n\r\nhi", Error::Malformed);
        row("bare CR in a field", ok + "X: a\rContent-Length: 2\r\n\r\nhi", Error::Malformed);
        row("status 999", "HTTP/1.1 999 Odd\r\nContent-Length: 0\r\n\r\n", Error::Malformed);
        row("trailer over its bound", chunked + "0\r\nX: " + QByteArray(200, 'a') + "\r\n\r\n", Error::HeaderTooLarge);
        row("too many trailer fields", chunked + "0\r\n" + fields + "\r\n", Error::TooManyFields);
    }

    void answers()
    {
        QFETCH(QByteArray, answer);
        QFETCH(Error, error);
        QFETCH(QByteArray, body);
        HttpResponseParser whole(limits, false);
        whole.feed(answer);
        whole.endOfInput();
        QCOMPARE(whole.error(), error);
        QCOMPARE(whole.state(), error == Error::None ? HttpResponseParser::State::Complete
                                                     : HttpResponseParser::State::Failed);
        QCOMPARE(whole.body(), body);
        const QByteArray expected = outcome(whole);
        for (qsizetype at = 0; at <= answer.size(); ++at)
            QCOMPARE(parse({QByteArrayView(answer).first(at), QByteArrayView(answer).sliced(at)}), expected);
    }
};

QTEST_GUILESS_MAIN(TestHttpResponseParser)
#include "tst_httpresponseparser.moc"
