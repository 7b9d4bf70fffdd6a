// Servers that misbehave on purpose, as a VPN, a captive middlebox or a rogue access point may in
// place of the portal, the probe site or the statistics server: the password stays with the portal,
// and whatever arrives, the client reads a bounded amount of it and ends with the matching outcome.
#include "HostileServer.h"
#include "LogCapture.h"
#include "MockClock.h"
#include "auth/HTTPAuthService.h"
#include "autologin/AutoLoginManager.h"
#include "common/NotificationCenter.h"
#include "net/HttpExchange.h"
#include "stats/StatisticsManager.h"
#include "store/Preferences.h"

#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

using namespace Qt::StringLiterals;

namespace {
using Connection = HostileServer::Connection;
using Answer = std::function<void(Connection &)>;

const QString rewritten = u"检测到VPN重定向，内网地址已被改写。请关闭VPN后重试。"_s;
const QString tooLarge = u"响应数据过大，可能是VPN重定向导致的。请关闭VPN后重试。"_s;
const QString headerTooLarge = u"网络错误: The server's response header is larger than 65536 bytes"_s;
const QString tooManyFields = u"网络错误: The server's response header has more than 100 fields"_s;
const QString notHttp = u"网络错误: The server's response is not valid HTTP"_s;
// The page sets these; only the first is a cookie RFC 6265 allows, and only it may be sent back.
const QByteArray pageCookies = "Set-Cookie: good=1; Path=/\r\nSet-Cookie: del=a\x7f; Path=/\r\n"
                               "Set-Cookie: tab=a\tb; Path=/\r\nSet-Cookie: slash=a\\b; Path=/";
const QString signedIn = u"✓ 登录成功！"_s;
const QByteArray accepted = "{'success':true,'msg':'ok'}";
// What a client may take beyond the 10 MiB limit before it stops reading: the kernel's buffers.
constexpr qint64 readBound = qint64(64) << 20;

QByteArray answer(const QByteArray &head, const QByteArray &body = {})
{
    return head + "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

QByteArray redirect(int status, const QString &location)
{
    return answer("HTTP/1.1 " + QByteArray::number(status) + " Moved\r\nLocation: " + location.toUtf8());
}

// Writes `piece` until the client hangs up or the server's time is up.
void endlessly(Connection &connection, const QByteArray &start, const QByteArray &piece)
{
    if (connection.write(start))
        while (connection.write(piece)) {
        }
}

void endlessChunks(Connection &connection)
{
    endlessly(connection, "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n",
              "10000\r\n" + QByteArray(65536, 'x') + "\r\n");
}

void endlessHeader(Connection &connection)
{
    endlessly(connection, "HTTP/1.1 200 OK\r\nX-Pad: ", QByteArray(65536, 'a'));
}

void headerFields(Connection &connection, int count)
{
    QByteArray head = "HTTP/1.1 200 OK\r\n";
    for (int i = 0; i < count; ++i)
        head += "X: y\r\n";
    connection.write(head + "Content-Length: " + QByteArray::number(accepted.size()) + "\r\n\r\n" + accepted);
}

int posts(const HostileServer &server)
{
    int count = 0;
    for (const QByteArray &request : server.requests())
        count += request.startsWith("POST ");
    return count;
}
} // namespace

class TestHostileServers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The portal's page is ordinary; its answer to the form is not. `elsewhere` are a look-alike host
    // and the portal's host on another port, both of which would gladly accept the form.
    void signIn_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<int>("portalPosts");
        const auto row = [](const char *kind, const QString &outcome, int portalPosts) {
            QTest::newRow(kind) << QString::fromLatin1(kind) << outcome << portalPosts;
        };
        row("307 to a look-alike host", rewritten, 1);
        row("307 to the portal's host on another port", rewritten, 1);
        row("307 to localhost", rewritten, 1);
        row("308 within the portal", signedIn, 2);
        row("bare line feeds", signedIn, 1); // sloppy, not hostile: still read
        row("head ending in LF CRLF", signedIn, 1);
        row("lengths 2 and 27", notHttp, 1); // which is the answer? neither
        row("307 to port 99999", rewritten, 1); // not mended into port 80
        row("endless chunks at full speed", tooLarge, 1);
        row("endless header", headerTooLarge, 1);
        row("200,000 header fields", headerTooLarge, 1);
        row("101 header fields", tooManyFields, 1);
        // The connection is closed on the form without an answer: that is the step's failure.
        row("closed without an answer", u"网络错误: The remote host closed the connection"_s, 1);
    }

    void signIn()
    {
        QFETCH(QString, kind);
        QFETCH(int, portalPosts);
        const auto acceptAll = [](const QByteArray &, Connection &c) { c.write(answer("HTTP/1.1 200 OK", accepted)); };
        HostileServer lookAlike(acceptAll, "127.0.0.10"), otherPort(acceptAll);
        QVERIFY(lookAlike.isListening() && otherPort.isListening());
        int portalPort = 0;
        const std::map<QString, Answer> answers{
            {u"307 to a look-alike host"_s, [&](Connection &c) {
                 c.write(redirect(307, u"http://127.0.0.10:%1/ac_portal/login.php"_s.arg(lookAlike.port())));
             }},
            {u"307 to the portal's host on another port"_s, [&](Connection &c) {
                 c.write(redirect(307, u"http://127.0.0.1:%1/ac_portal/login.php"_s.arg(otherPort.port())));
             }},
            {u"307 to localhost"_s, [&](Connection &c) {
                 c.write(redirect(307, u"http://localhost:%1/ac_portal/login.php"_s.arg(portalPort)));
             }},
            {u"308 within the portal"_s, [](Connection &c) { c.write(redirect(308, u"/ac_portal/login.php?again"_s)); }},
            {u"bare line feeds"_s, [](Connection &c) {
                 c.write("HTTP/1.1 200 OK\nTransfer-Encoding: chunked\n\n5\n{'suc\n16\ncess':true,'msg':'ok'}\n0\n\n");
             }},
            {u"head ending in LF CRLF"_s, [](Connection &c) {
                 c.write("HTTP/1.1 200 OK\nContent-Length: 27\n\r\n" + accepted);
             }},
            {u"lengths 2 and 27"_s, [](Connection &c) {
                 c.write("HTTP/1.1 200 OK\r\nContent-Length: 2\r\nContent-Length: 27\r\n\r\n" + accepted);
             }},
            {u"307 to port 99999"_s, [](Connection &c) { c.write(redirect(307, u"http://127.0.0.1:99999/"_s)); }},
            {u"endless chunks at full speed"_s, endlessChunks},
            {u"endless header"_s, endlessHeader},
            {u"200,000 header fields"_s, [](Connection &c) { headerFields(c, 200000); }},
            {u"101 header fields"_s, [](Connection &c) { headerFields(c, 101); }},
            {u"closed without an answer"_s, [](Connection &) {}},
        };
        HostileServer portal([&](const QByteArray &request, Connection &c) {
            if (request.startsWith("GET "))
                c.write(answer("HTTP/1.1 200 OK\r\n" + pageCookies, "<html>ac_portal</html>"));
            else if (request.startsWith("POST /ac_portal/login.php?again "))
                c.write(answer("HTTP/1.1 200 OK", accepted));
            else
                answers.at(kind)(c);
        });
        QVERIFY(portal.isListening());
        portalPort = portal.port();

        NotificationCenter center;
        HTTPAuthService service(portal.address(), center, {});
        QString outcome;
        for (const QString &name : {Notifications::LoginSuccess, Notifications::LoginFailed})
            center.addObserver(name, [&](const QVariantMap &) { outcome = service.statusMessage(); });
        service.login(u"alice"_s, u"s3cret"_s);
        QTRY_VERIFY_WITH_TIMEOUT(!outcome.isEmpty(), 30000);
        QTEST(outcome, "outcome");
        QCOMPARE(posts(portal), portalPosts);
        QCOMPARE(lookAlike.requests(), QList<QByteArray>()); // the form, password included, went nowhere else
        QCOMPARE(otherPort.requests(), QList<QByteArray>());
        for (const QByteArray &request : portal.requests()) {
            if (request.startsWith("POST "))
                QVERIFY2(request.contains("\r\nCookie: good=1; ac_login_info=passwork\r\n"), request.constData());
        }
        if (kind.startsWith(u"endless")) {
            QTRY_VERIFY(portal.clientHungUp());
            qInfo("%s: the client took %lld bytes", qPrintable(kind), portal.written());
            QVERIFY2(portal.written() < readBound, qPrintable(QString::number(portal.written())));
        }
    }

    // A header field holding CR, LF or NUL could smuggle fields or a request of its own: not a byte goes out.
    void unsafeHeaderIsNeverSent()
    {
        HostileServer server([](const QByteArray &, Connection &c) { c.write(answer("HTTP/1.1 204 None")); });
        const QList<HttpExchange::HeaderList> headers{
            {{"X", "a\r\nX-Injected: 1"}}, {{"X", "a\nb"}}, {{"X", QByteArray("a\0b", 3)}}, {{"X\r\nY", "1"}}};
        for (const HttpExchange::HeaderList &header : headers) {
            HttpExchange exchange;
            QSignalSpy finished(&exchange, &HttpExchange::finished);
            exchange.start("GET", QUrl(u"http://"_s + server.address()), header, {}, 100, 5000);
            QVERIFY(finished.wait());
            QCOMPARE(exchange.response().error, QNetworkReply::ProtocolInvalidOperationError);
        }
        QTest::qWait(100);
        QCOMPARE(server.requests(), QList<QByteArray>());
    }

    // The probe follows redirects, but one to the portal means a campus network not signed in.
    void probe_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("reachable");
        QTest::newRow("endless header") << u"endless header"_s << false;
        QTest::newRow("redirect to a look-alike of the portal") << u"look-alike"_s << true;
        QTest::newRow("redirect to the portal's host on another port") << u"other port"_s << true;
        QTest::newRow("redirect to the portal") << u"portal"_s << false;
    }

    void probe()
    {
        QFETCH(QString, kind);
        const auto noContent = [](const QByteArray &, Connection &c) { c.write("HTTP/1.1 204 No Content\r\n\r\n"); };
        HostileServer lookAlike(noContent, "127.0.0.10"), otherPort(noContent);
        // The portal is at 127.0.0.1 on the look-alike's port, or where the row redirects to.
        const QString portal = u"127.0.0.1:%1"_s.arg(kind == u"portal"_s ? otherPort.port() : lookAlike.port());
        const QString target = kind == u"look-alike"_s ? lookAlike.address() : u"127.0.0.1:%1"_s.arg(otherPort.port());
        HostileServer site([&](const QByteArray &, Connection &c) {
            if (kind == u"endless header"_s)
                endlessHeader(c);
            else
                c.write(redirect(302, u"http://%1/"_s.arg(target)));
        });
        QVERIFY(site.isListening() && lookAlike.isListening() && otherPort.isListening());
        QTEST(AutoLoginManager::checkNetworkConnection(u"http://"_s + site.address(), 1.0, portal), "reachable");
        if (kind == u"endless header"_s) {
            QTRY_VERIFY(site.clientHungUp());
            QVERIFY2(site.written() < readBound, qPrintable(QString::number(site.written())));
        }
    }

    // Only the answer's status matters: a huge or endless body is left unread.
    void uploadAnswer_data()
    {
        QTest::addColumn<QByteArray>("head");
        QTest::newRow("200 MB") << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 209715200\r\n\r\n");
        QTest::newRow("endless, without a length") << QByteArray("HTTP/1.1 200 OK\r\n\r\n");
    }

    void uploadAnswer()
    {
        QFETCH(QByteArray, head);
        HostileServer server([&](const QByteArray &, Connection &c) { endlessly(c, head, QByteArray(65536, 'x')); });
        QVERIFY(server.isListening());
        QTemporaryDir dir;
        Preferences preferences(std::make_unique<QSettings>(dir.filePath(u"netlatch.conf"_s), QSettings::IniFormat));
        MockClock clock;
        StatisticsManager statistics(preferences, clock, u"http://%1/api"_s.arg(server.address()));
        LogCapture log;
        statistics.sendLoginRecord(u"alice"_s, 1700000000);
        QTRY_VERIFY_WITH_TIMEOUT(!statistics.hasPendingUploads(), 30000);
        QCOMPARE(log.lines(), QStringList{u"✅ 联网统计已发送"_s});
        QTRY_VERIFY(server.clientHungUp());
        qInfo("the client took %lld bytes", server.written());
        QVERIFY2(server.written() < readBound, qPrintable(QString::number(server.written())));
        QCOMPARE(posts(server), 1);
    }
};

QTEST_GUILESS_MAIN(TestHostileServers)
#include "tst_hostileservers.moc"
