#include "net/HttpResponseParser.h"

#include <QTest>

using State = HttpResponseParser::State;

namespace {
const HttpResponseParser::Limits limits{200, 10, 100};

// Everything the parser tells of an answer, in one comparable text.
QByteArray outcome(const HttpResponseParser &parser)
{
    QByteArray text = QByteArray::number(int(parser.state())) + ' ' +
                      QByteArray::number(int(parser.error())) + ' ' +
                      QByteArray::number(parser.statusCode().value_or(0)) + '\n';
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

class TestHttpResponseParser : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everySplitReadsAlike_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<State>("state");
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("content-length after an interim answer")
            << QByteArray(
                   "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhelloEXTRA")
            << State::Complete << QByteArray("hello");
        QTest::newRow("chunked with trailer")
            << QByteArray(
                   "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5;x=1\r\nhello\r\n6\r\n world\r\n"
                   "0\r\nX-Trailer: yes\r\n\r\n")
            << State::Complete << QByteArray("hello world");
        QTest::newRow("read to close, bare line feeds")
            << QByteArray("HTTP/1.0 200 OK\nServer: x\n\nto the end") << State::Complete
            << QByteArray("to the end");
        QTest::newRow("malformed chunk end")
            << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabcXY\r\n0\r\n\r\n")
            << State::Failed << QByteArray("abc");
        QTest::newRow("header over its bound")
            << QByteArray("HTTP/1.1 200 OK\r\nX: " + QByteArray(200, 'a') + "\r\n\r\n") << State::Failed
            << QByteArray();
    }

    void everySplitReadsAlike()
    {
        QFETCH(QByteArray, answer);
        QFETCH(State, state);
        QFETCH(QByteArray, body);
        HttpResponseParser whole(limits, false);
        whole.feed(answer);
        whole.endOfInput();
        QCOMPARE(whole.state(), state);
        QCOMPARE(whole.body(), body);
        const QByteArray expected = outcome(whole);
        for (qsizetype at = 0; at <= answer.size(); ++at)
            QCOMPARE(parse({QByteArrayView(answer).first(at), QByteArrayView(answer).sliced(at)}), expected);
        QList<QByteArrayView> bytes;
        for (qsizetype i = 0; i < answer.size(); ++i)
            bytes.append(QByteArrayView(answer).sliced(i, 1));
        QCOMPARE(parse(bytes), expected);
    }
};

QTEST_GUILESS_MAIN(TestHttpResponseParser)
#include "tst_httpresponseparser.moc"
