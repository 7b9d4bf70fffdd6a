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

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {
using Connection = HostileServer::Connection;

const QString rewritten = u"检测到VPN重定向，内网地址已被改写。请关闭VPN后重试。"_s;
const QString tooLarge = u"响应数据过大，可能是VPN重定向导致的。请关闭VPN后重试。"_s;
const QString headerTooLarge = u"网络错误: The server's response header is larger than 65536 bytes"_s;
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

QByteArray redirect(int status, const QByteArray &location)
{
    return answer("HTTP/1.1 " + QByteArray::number(status) + " Moved\r\nLocation: " + location);
}

// Writes `start`, then `piece` again and again until the client hangs up or the server's time is up.
void endlessly(Connection &connection, const QByteArray &start, const QByteArray &piece)
{
    if (connection.write(start) && !piece.isEmpty())
        while (connection.write(piece)) {
        }
}

// The client hung up on an endless answer, having taken no more than the kernel's buffers.
void verifyReadBounded(const HostileServer &server)
{
    QTRY_VERIFY(server.clientHungUp());
    qInfo("the client took %lld bytes", server.written());
    QVERIFY2(server.written() < readBound, qPrintable(QString::number(server.written())));
}

int posts(const HostileServer &server)
{
    const QList<QByteArray> requests = server.requests();
    return int(std::ranges::count_if(requests, [](const QByteArray &request) { return request.startsWith("POST "); }));
}
} // namespace

class TestHostileServers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The portal's page is ordinary; its answer to the form is not: `answer`, then `piece` endlessly.
    // LOOKALIKE and OTHERPORT are a look-alike host and the portal's host on another port, both of
    // which would gladly accept the form; PORTAL is the portal's port.
    void signIn_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QByteArray>("piece");
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<int>("portalPosts");
        const auto row = [](const char *kind, const QByteArray &answer, const QString &outcome, int portalPosts = 1,
                            const QByteArray &piece = {}) {
            QTest::newRow(kind) << answer << piece << outcome << portalPosts;
        };
        row("307 to a look-alike host", redirect(307, "http://127.0.0.10:LOOKALIKE/ac_portal/login.php"), rewritten);
        row("307 to the portal's host on another port", redirect(307, "http://127.0.0.1:OTHERPORT/ac_portal/login.php"),
            rewritten);
        row("307 to localhost", redirect(307, "http://localhost:PORTAL/ac_portal/login.php"), rewritten);
        row("307 to port 99999", redirect(307, "http://127.0.0.1:99999/"), rewritten); // not mended into port 80
        row("308 within the portal", redirect(308, "/ac_portal/login.php?again"), signedIn, 2);
        // Sloppy, not hostile: lone LFs, and a head ending in LF CRLF, are still read.
        row("lone line feeds", "HTTP/1.1 200 OK\nTransfer-Encoding: chunked\n\r\n5\n{'suc\n16\ncess':true,'msg':'ok'}\n0\n\n",
            signedIn);
        row("lengths 2 and 27", "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nContent-Length: 27\r\n\r\n" + accepted,
            u"网络错误: The server's response is not valid HTTP"_s); // which is the answer? neither
        row("endless chunks at full speed", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n", tooLarge, 1,
            "10000\r\n" + QByteArray(65536, 'x') + "\r\n");
        row("endless header", "HTTP/1.1 200 OK\r\nX-Pad: ", headerTooLarge, 1, QByteArray(65536, 'a'));
        row("101 header fields", answer("HTTP/1.1 200 OK" + QByteArray("\r\nX: y").repeated(101), accepted),
            u"网络错误: The server's response header has more than 100 fields"_s);
        // The connection is closed on the form without an answer: that is the step's failure.
        row("closed without an answer", {}, u"网络错误: The remote host closed the connection"_s);
    }

    void signIn()
    {
        QFETCH(QByteArray, answer);
        QFETCH(QByteArray, piece);
        const auto acceptAll = [](const QByteArray &, Connection &c) { c.write(::answer("HTTP/1.1 200 OK", accepted)); };
        HostileServer lookAlike(acceptAll, "127.0.0.10"), otherPort(acceptAll);
        QVERIFY(lookAlike.isListening() && otherPort.isListening());
        answer.replace("LOOKALIKE", QByteArray::number(lookAlike.port()))
            .replace("OTHERPORT", QByteArray::number(otherPort.port()));
        HostileServer portal([&](const QByteArray &request, Connection &c) {
            if (request.startsWith("GET "))
                c.write(::answer("HTTP/1.1 200 OK\r\n" + pageCookies, "<html>ac_portal</html>"));
            else if (request.startsWith("POST /ac_portal/login.php?again "))
                c.write(::answer("HTTP/1.1 200 OK", accepted));
            else
                endlessly(c, answer, piece);
        });
        QVERIFY(portal.isListening());
        answer.replace("PORTAL", QByteArray::number(portal.port()));

        NotificationCenter center;
        HTTPAuthService service(portal.address(), center, {});
        QString outcome;
        for (const QString &name : {Notifications::LoginSuccess, Notifications::LoginFailed})
            center.addObserver(name, [&](const QVariantMap &) { outcome = service.statusMessage(); });
        service.login(u"alice"_s, u"s3cret"_s);
        QTRY_VERIFY_WITH_TIMEOUT(!outcome.isEmpty(), 30000);
        QTEST(outcome, "outcome");
        QTEST(posts(portal), "portalPosts");
        QCOMPARE(lookAlike.requests(), QList<QByteArray>()); // the form, password included, went nowhere else
        QCOMPARE(otherPort.requests(), QList<QByteArray>());
        for (const QByteArray &request : portal.requests()) {
            if (request.startsWith("POST "))
                QVERIFY2(request.contains("\r\nCookie: good=1; ac_login_info=passwork\r\n"), request.constData());
        }
        if (!piece.isEmpty())
            verifyReadBounded(portal);
    }

    // A header field holding CR, LF or NUL could smuggle fields or a request of its own: not a byte goes out.
    void unsafeHeaderIsNeverSent()
    {
        HostileServer server([](const QByteArray &, Connection &c) { c.write(answer("HTTP/1.1 204 None")); });
        for (const auto &[name, value] : {std::pair<QByteArray, QByteArray>("X", "a\r\nX-Injected: 1"), {"X", "a\nb"},
                                          {"X", QByteArray("a\0b", 3)}, {"X\r\nY", "1"}}) {
            HttpExchange exchange;
            QSignalSpy finished(&exchange, &HttpExchange::finished);
            exchange.start("GET", QUrl(u"http://"_s + server.address()), {{name, value}}, {}, 100, 5000);
            QVERIFY(finished.wait());
            QCOMPARE(exchange.response().error, QNetworkReply::ProtocolInvalidOperationError);
        }
        QCOMPARE(server.requests(), QList<QByteArray>());
    }

    // A probe site whose header never ends: the probe gives up having read a bounded amount. (Where
    // its redirects lead: tst_networkprobe.)
    void probeReadsABoundedHeader()
    {
        HostileServer site([](const QByteArray &, Connection &c) {
            endlessly(c, "HTTP/1.1 200 OK\r\nX-Pad: ", QByteArray(65536, 'a'));
        });
        QVERIFY(site.isListening());
        QVERIFY(!AutoLoginManager::checkNetworkConnection(u"http://"_s + site.address(), 1.0, u"127.0.0.2:9"_s));
        verifyReadBounded(site);
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
        verifyReadBounded(server);
        QCOMPARE(posts(server), 1);
    }
};

QTEST_GUILESS_MAIN(TestHostileServers)
#include "tst_hostileservers.moc"
