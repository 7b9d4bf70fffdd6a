#include "LocalHttpServer.h"
#include "LogCapture.h"
#include "auth/HTTPAuthService.h"
#include "common/Log.h"
#include "common/NotificationCenter.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <httplib.h>

#include <condition_variable>
#include <mutex>

namespace {
const QString user = QStringLiteral("张 三&=+%");
const QString password = QStringLiteral("p&ss=w+rd 100% 密码");
const std::string pagePath = "/ac_portal/default/pc.html";
const std::string loginPath = "/ac_portal/login.php";
const std::string portalPage =
    "<!DOCTYPE html><html><script src=\"/ac_portal/static/pc.js\"></script></html>";
const QString connecting = QStringLiteral("正在连接服务器...");
const QString signedIn = QStringLiteral("✓ 登录成功！");
constexpr int waitMs = 30000;

void servePortalPage(httplib::Server &server)
{
    server.Get(pagePath, [](const httplib::Request &, httplib::Response &res) {
        res.set_header("Set-Cookie", "PHPSESSID=abc123; Path=/");
        res.set_header("Set-Cookie", "lang=zh; Path=/");
        res.set_content(portalPage, "text/html");
    });
}

void answerLogin(httplib::Server &server, int status, std::string body)
{
    server.Post(loginPath, [status, body](const httplib::Request &, httplib::Response &res) {
        res.status = status;
        res.set_content(body, "text/html");
    });
}

std::string padded(std::string text, size_t size, char pad = ' ')
{
    text.resize(size, pad);
    return text;
}

QString flag(const char *name, bool value)
{
    return QLatin1String(name) + QLatin1Char('=') + QLatin1String(value ? "true" : "false");
}

// Lets a server handler hold its answer back until the test releases it.
struct Gate
{
    std::mutex mutex;
    std::condition_variable changed;
    bool entered = false;
    bool open = false;

    void hold()
    {
        std::unique_lock lock(mutex);
        entered = true;
        changed.wait_for(lock, std::chrono::seconds(20), [this] { return open; });
    }
    bool wasEntered()
    {
        std::lock_guard lock(mutex);
        return entered;
    }
    bool isOpen()
    {
        std::lock_guard lock(mutex);
        return open;
    }
    void release()
    {
        std::lock_guard lock(mutex);
        open = true;
        changed.notify_all();
    }
};

// One service with everything it publishes written down in order.
struct SignIn
{
    NotificationCenter center;
    QStringList events;
    QStringList statuses;
    int outcomes = 0;
    HTTPAuthService service;

    explicit SignIn(const QString &address, double durationScale = 1.0)
        : service(
              address, center, [this](const QString &name) { events << "record " + name; }, durationScale)
    {
        QObject::connect(&service, &HTTPAuthService::isAuthenticatingChanged,
                         [this](bool v) { events << flag("isAuthenticating", v); });
        QObject::connect(&service, &HTTPAuthService::statusMessageChanged, [this](const QString &v) {
            events << "statusMessage=" + v;
            statuses << v;
        });
        QObject::connect(&service, &HTTPAuthService::isSuccessChanged,
                         [this](bool v) { events << flag("isSuccess", v); });
        QObject::connect(&service, &HTTPAuthService::isErrorChanged,
                         [this](bool v) { events << flag("isError", v); });
        center.addObserver(Notifications::LoginSuccess, [this](const QVariantMap &info) {
            events << "LoginSuccess " + info.value(Notifications::UsernameKey).toString();
            ++outcomes;
        });
        center.addObserver(Notifications::LoginFailed, [this](const QVariantMap &info) {
            events << "LoginFailed " + info.value(Notifications::MessageKey).toString();
            ++outcomes;
        });
    }

    bool run(const QString &name = user, int expectedOutcomes = 1)
    {
        service.login(name, password);
        return QTest::qWaitFor([&] { return outcomes >= expectedOutcomes; }, waitMs);
    }
};

// A portal that writes down each request's raw bytes, to see headers in the order they were sent.
class RawPortal : public QObject
{
public:
    QList<QByteArray> requests;

    RawPortal()
    {
        m_server.listen(QHostAddress::LocalHost);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            QTcpSocket *socket = m_server.nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { serve(socket); });
        });
    }
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(m_server.serverPort()); }

private:
    void serve(QTcpSocket *socket)
    {
        QByteArray &request = m_pending[socket];
        request += socket->readAll();
        const qsizetype headerEnd = request.indexOf("\r\n\r\n");
        const qsizetype lengthAt = request.toLower().indexOf("content-length: ");
        const int bodyLength = lengthAt < 0 ? 0 : request.mid(lengthAt + 16, 10).split('\r').first().toInt();
        if (headerEnd < 0 || request.size() < headerEnd + 4 + bodyLength)
            return;
        requests << request;
        const bool page = request.startsWith("GET");
        const QByteArray body = page ? QByteArray(portalPage.c_str()) : "{'success':true,'msg':'ok'}";
        socket->write("HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Type: text/html\r\n" +
                      (page ? QByteArray("Set-Cookie: sid=42; Path=/\r\n") : QByteArray()) +
                      "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
        socket->disconnectFromHost();
        m_pending.remove(socket);
    }

    QTcpServer m_server;
    QHash<QTcpSocket *, QByteArray> m_pending;
};

} // namespace

class TestHTTPAuthService : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void successPublishesEachStateInOrderAndThePortalGetsTheFormIntact()
    {
        LogCapture log;
        LocalHttpServer portal;
        servePortalPage(portal.server());
        httplib::Params form;
        std::string cookies;
        portal.server().Post(loginPath, [&](const httplib::Request &req, httplib::Response &res) {
            form = req.params;
            cookies = req.get_header_value("Cookie");
            res.set_content("{'success':true,'msg':'认证成功'}", "text/html");
        });
        QVERIFY(portal.start());

        SignIn signIn(portal.address());
        signIn.service.login(user, password);
        QVERIFY2(signIn.events.isEmpty(), "the start state applies on the next turn of the loop");
        QVERIFY(QTest::qWaitFor([&] { return signIn.outcomes == 1; }, waitMs));

        QCOMPARE(signIn.events,
                 (QStringList{"isAuthenticating=true", "statusMessage=" + connecting, "isSuccess=false",
                              "isError=false", "isAuthenticating=false", "statusMessage=" + signedIn,
                              "isSuccess=true", "record " + user, "LoginSuccess " + user}));
        QCOMPARE(QString::fromStdString(form.find("userName")->second), user);
        QCOMPARE(QString::fromStdString(form.find("pwd")->second), password);
        QCOMPARE(form.find("opr")->second, "pwdLogin");
        QCOMPARE(form.find("rememberPwd")->second, "0");
        QVERIFY2(cookies.find("PHPSESSID=abc123") != std::string::npos, cookies.c_str());
        QVERIFY2(cookies.find("ac_login_info=passwork") != std::string::npos, cookies.c_str());

        QVERIFY2(cookies.find("lang=zh") != std::string::npos, cookies.c_str());
        QVERIFY(log.contains(QStringLiteral("✅ 获取登录页面成功，Cookie数量: 2")));
        QVERIFY(log.contains(QStringLiteral("📤 发送登录请求到: ") + portal.url("/ac_portal/login.php")));
        QVERIFY(log.contains(
            "📤 请求体: opr=pwdLogin&userName=%E5%BC%A0+%E4%B8%89%26%3D%2B%25&pwd=***&rememberPwd=0"));
        QVERIFY(log.contains(QStringLiteral("📥 登录响应状态码: 200")));
        QVERIFY(log.contains(QStringLiteral("📥 登录响应内容: {'success':true,'msg':'认证成功'}")));
        QVERIFY2(!log.text().contains(password) && !log.text().contains(QStringLiteral("p%26ss")),
                 "the password never reaches the log");
    }

    void requestsCarryTheirHeadersInOrder()
    {
        RawPortal portal;
        SignIn signIn(portal.address());
        QVERIFY(signIn.run());
        QCOMPARE(portal.requests.size(), 2);
        const QByteArray &page = portal.requests[0];
        const QByteArray &login = portal.requests[1];
        QVERIFY(page.startsWith("GET /ac_portal/default/pc.html?tabs=pwd HTTP/1.1\r\n"));
        QVERIFY(login.startsWith("POST /ac_portal/login.php HTTP/1.1\r\n"));

        const QByteArray base = "http://" + portal.address().toLatin1();
        const QByteArray agent =
            "User-Agent: Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/605.1.15 "
            "(KHTML, like Gecko) Version/17.0 Safari/605.1.15\r\n";
        QVERIFY(page.contains(
            QByteArray(agent + "Accept: text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8\r\n"
                               "Accept-Language: en-US,en;q=0.9\r\n")));
        QVERIFY(login.contains(
            QByteArray("Content-Type: application/x-www-form-urlencoded; charset=UTF-8\r\n" + agent +
                       "Accept: */*\r\nAccept-Language: en-US,en;q=0.9\r\n"
                       "Referer: " +
                       base +
                       "/ac_portal/default/pc.html?tabs=pwd\r\n"
                       "X-Requested-With: XMLHttpRequest\r\nOrigin: " +
                       base + "\r\n")));
        QCOMPARE(login.count("\r\nCookie: "), 1);
        QVERIFY(login.contains("sid=42") && login.contains("ac_login_info=passwork"));
        QVERIFY(login.endsWith("\r\n\r\nopr=pwdLogin&userName=%E5%BC%A0+%E4%B8%89%26%3D%2B%25"
                               "&pwd=p%26ss%3Dw%2Brd+100%25+%E5%AF%86%E7%A0%81&rememberPwd=0"));
    }

    void loginAnswers_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<QString>("logLine");
        QTest::newRow("refused by msg") << 200 << QByteArray("{'success':false,'msg':'用户名或密码错误'}")
                                        << "LoginFailed 用户名或密码错误"
                                        << "📥 登录响应状态码: 200";
        QTest::newRow("error status still parsed")
            << 404 << QByteArray("{\"success\":false,\"msg\":\"无此页面\"}") << "LoginFailed 无此页面"
            << "📥 登录响应状态码: 404";
        QTest::newRow("TRUE without msg")
            << 200 << QByteArray("{'success':'TRUE'}") << "LoginSuccess " + user << "";
        QTest::newRow("logon success") << 200 << QByteArray("logon success") << "LoginSuccess " + user << "";
        QTest::newRow("失败 without msg") << 200 << QByteArray("认证失败") << "LoginFailed 登录失败"
                                          << "";
        QTest::newRow("HTML with msg")
            << 200 << QByteArray("<html><script>var r={\"msg\":\"账号已停用\"};失败</script>")
            << "LoginFailed 账号已停用"
            << "⚠️ 检测到HTML响应而非JSON，可能是VPN重定向";
        QTest::newRow("HTML without fields")
            << 200 << QByteArray("<!doctype html><title>Sign in</title>")
            << "LoginFailed 检测到VPN重定向，返回了非预期的HTML页面。请关闭VPN后重试。"
            << "";
        QTest::newRow("not UTF-8") << 200 << QByteArray("{'msg':'\xb5\xc7'}")
                                   << "LoginFailed 服务器响应格式错误"
                                   << "⚠️ 响应内容无法解析为UTF-8，数据长度: 12 字节";
        QTest::newRow("no body") << 200 << QByteArray() << "LoginFailed 没有接收到响应数据"
                                 << "";
        // Only the first MiB is read: the 失败 after it does not count, and a cut character fails.
        QTest::newRow("2 MiB, parsed from its first MiB")
            << 200 << QByteArray::fromStdString(padded(padded("", 1048576, 'A') + "认证失败", 2097152))
            << "LoginSuccess " + user << "⚠️ 完整响应大小: 2097152 字节，已截断";
        QTest::newRow("cut inside a character")
            << 200 << QByteArray::fromStdString(padded(padded("", 1048575, 'A') + "登录", 1048600))
            << "LoginFailed 服务器响应格式错误"
            << "⚠️ 响应内容无法解析为UTF-8，数据长度: 1048600 字节";
        QTest::newRow("exactly 10 MiB is inspected")
            << 200 << QByteArray::fromStdString(padded("{'success':false,'msg':'已读取'}", 10485760))
            << "LoginFailed 已读取"
            << "";
        QTest::newRow("one byte more is too large")
            << 200 << QByteArray::fromStdString(padded("{'success':true,'msg':'x'}", 10485761))
            << "LoginFailed 响应数据过大，可能是VPN重定向导致的。请关闭VPN后重试。"
            << "⚠️ 响应数据过大: 10485761 字节，超过限制 10485760 字节";
    }

    void loginAnswers()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, logLine);
        LogCapture log;
        LocalHttpServer portal;
        servePortalPage(portal.server());
        answerLogin(portal.server(), status, body.toStdString());
        QVERIFY(portal.start());
        SignIn signIn(portal.address());
        QVERIFY(signIn.run());
        QTEST(signIn.events.last(), "outcome");
        if (!logLine.isEmpty())
            QVERIFY2(log.text().contains(logLine), qPrintable(log.text().left(2000)));
        if (body.size() == 2097152)
            QVERIFY(
                log.lines().contains("📥 登录响应内容（前1048576字节）: " + QString(1048576, 'A') + "..."));
    }

    void streamedOversizedAnswerIsDroppedEarly()
    {
        LogCapture log;
        LocalHttpServer portal;
        servePortalPage(portal.server());
        std::atomic<size_t> sent = 0;
        portal.server().Post(loginPath, [&](const httplib::Request &, httplib::Response &res) {
            res.set_chunked_content_provider("text/plain", [&](size_t, httplib::DataSink &sink) {
                const std::string chunk(65536, 'x');
                if (sent > (size_t(200) << 20) || !sink.write(chunk.data(), chunk.size()))
                    return false; // the client went away: stop streaming
                sent += chunk.size();
                return true;
            });
        });
        QVERIFY(portal.start());
        SignIn signIn(portal.address());
        QVERIFY(signIn.run());
        QCOMPARE(signIn.statuses.last(),
                 QStringLiteral("响应数据过大，可能是VPN重定向导致的。请关闭VPN后重试。"));
        QCOMPARE(log.countStartingWith(QStringLiteral("⚠️ 响应数据过大: ")), 1);
        QVERIFY2(sent < (size_t(200) << 20), "the client stopped reading once the limit was passed");
    }

    void pageProblemsWarnAndTheLoginStillRuns_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QString>("warning");
        QTest::newRow("capital Login is no marker")
            << QByteArray("<html><h1>Login</h1></html>")
            << "⚠️ 检测到VPN重定向，返回了非预期的页面。请关闭VPN后重试。";
        QTest::newRow("one byte over 10 MiB")
            << QByteArray::fromStdString(padded(portalPage, 10485761))
            << "⚠️ 响应数据过大，可能是VPN重定向导致的。请关闭VPN后重试。";
        QTest::newRow("redirect loop")
            << QByteArray("loop")
            << "⚠️ 检测到重定向循环，可能是VPN导致的。请关闭VPN后重试。";
        QTest::newRow("not UTF-8: not examined")
            << QByteArray("<html><title>\xc9\xcf\xcd\xf8</title></html>") << QString();
        QTest::newRow("exactly 10 MiB is the portal page")
            << QByteArray::fromStdString(padded(portalPage, 10485760)) << QString();
    }

    void pageProblemsWarnAndTheLoginStillRuns()
    {
        QFETCH(QByteArray, page);
        QFETCH(QString, warning);
        LocalHttpServer portal;
        portal.server().Get(R"(/ac_portal/default/pc.html|/loop/(a|b))",
                            [&](const httplib::Request &req, httplib::Response &res) {
                                if (page == "loop")
                                    res.set_redirect(req.path == "/loop/a" ? "/loop/b" : "/loop/a");
                                else
                                    res.set_content(page.toStdString(), "text/html");
                            });
        answerLogin(portal.server(), 200, "{'success':true,'msg':'ok'}");
        QVERIFY(portal.start());
        SignIn signIn(portal.address());
        QVERIFY(signIn.run());
        const QStringList expected = warning.isEmpty() ? QStringList{connecting, signedIn}
                                                       : QStringList{connecting, warning, signedIn};
        QCOMPARE(signIn.statuses, expected);
        QVERIFY(signIn.service.isSuccess());
        QCOMPARE(signIn.service.isError(), !warning.isEmpty());
    }

    void loginRedirects_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("loop") << "/loop/a"
                              << "LoginFailed 检测到重定向循环，可能是VPN导致的。请关闭VPN后重试。";
        QTest::newRow("sixth redirect")
            << "/hop/1"
            << "LoginFailed 重定向次数过多（超过5次），可能是VPN导致的。请关闭VPN后重试。";
        QTest::newRow("foreign host") << "http://127.0.0.2:%1/ac_portal/login.php"
                                      << "LoginFailed 检测到VPN重定向，内网地址已被改写。请关闭VPN后重试。";
        QTest::newRow("localhost is followed") << "http://localhost:%1/answer"
                                               << "LoginSuccess " + user;
    }

    void loginRedirects()
    {
        QFETCH(QString, target);
        LocalHttpServer portal;
        servePortalPage(portal.server());
        portal.server().Post(loginPath, [&](const httplib::Request &, httplib::Response &res) {
            const QString url = target.contains(QLatin1String("%1")) ? target.arg(portal.port()) : target;
            res.set_redirect(url.toStdString(), 302);
        });
        portal.server().Get(R"(/loop/(a|b)|/hop/(\d+))",
                            [](const httplib::Request &req, httplib::Response &res) {
                                const std::string hop = req.matches[2];
                                res.set_redirect(hop.empty() ? (req.path == "/loop/a" ? "/loop/b" : "/loop/a")
                                                             : "/hop/" + std::to_string(std::stoi(hop) + 1));
                            });
        portal.server().Get("/answer", [](const httplib::Request &, httplib::Response &res) {
            res.set_content("{'success':true,'msg':'ok'}", "text/plain");
        });
        QVERIFY(portal.start());
        SignIn signIn(portal.address());
        QVERIFY(signIn.run());
        QTEST(signIn.events.last(), "outcome");
    }

    void refusedPageThenTheLoginIsStillSent()
    {
        QTcpServer reserve; // a free port with nobody listening on it yet
        QVERIFY(reserve.listen(QHostAddress::LocalHost));
        const int port = reserve.serverPort();
        reserve.close();

        LocalHttpServer portal;
        answerLogin(portal.server(), 200, "{'success':true,'msg':'ok'}");
        QStringList lines;
        // The portal comes up the moment the page fetch has failed, before the login request is sent.
        Log::setSink([&](const QString &line) {
            lines << line;
            if (line.startsWith(QStringLiteral("❌ 获取登录页面失败")))
                QVERIFY(portal.start(port));
        });
        SignIn signIn(QStringLiteral("127.0.0.1:%1").arg(port));
        const bool done = signIn.run();
        Log::setSink({});
        QVERIFY(done);
        QCOMPARE(
            signIn.statuses,
            (QStringList{connecting, "⚠️ 无法连接到服务器，请检查网络连接或关闭VPN",
                         signedIn}));
        QVERIFY(signIn.service.isSuccess() && signIn.service.isError());
        QVERIFY2(lines.contains(QStringLiteral("❌ 获取登录页面失败: Connection refused (错误码: 1)")),
                 qPrintable(lines.join('\n')));
    }

    void stepTimeouts_data()
    {
        QTest::addColumn<bool>("pageStalls");
        QTest::addColumn<bool>("trickles");
        QTest::addColumn<QStringList>("statuses");
        const QString timedOut = QStringLiteral("连接超时，可能是VPN导致的，请关闭VPN后重试");
        QTest::newRow("page stalls") << true << false
                                     << QStringList{connecting, "⚠️ " + timedOut, signedIn};
        QTest::newRow("login stalls") << false << false << QStringList{connecting, timedOut};
        QTest::newRow("login trickles past the total limit")
            << false << true << QStringList{connecting, timedOut};
    }

    void stepTimeouts()
    {
        QFETCH(bool, pageStalls);
        QFETCH(bool, trickles);
        Gate gate;
        LocalHttpServer portal;
        portal.server().Get(pagePath, [&](const httplib::Request &, httplib::Response &res) {
            if (pageStalls)
                gate.hold();
            res.set_content(portalPage, "text/html");
        });
        portal.server().Post(loginPath, [&](const httplib::Request &, httplib::Response &res) {
            if (pageStalls) {
                res.set_content("{'success':true,'msg':'ok'}", "text/plain");
            } else if (!trickles) {
                gate.hold();
            } else {
                res.set_chunked_content_provider("text/plain", [&](size_t, httplib::DataSink &sink) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(100)); // well inside the idle limit
                    return !gate.isOpen() && sink.write("x", 1);
                });
            }
        });
        QVERIFY(portal.start());
        SignIn signIn(portal.address(), 0.1); // idle 1 s, total 1.5 s, step 2 s
        const bool done = signIn.run();
        gate.release();
        QVERIFY(done);
        QTEST(signIn.statuses, "statuses");
    }

    // Two sign-ins at once: the first must be judged by its own redirect guard, not the newer one's.
    void overlappingSignInsKeepTheirOwnGuards()
    {
        Gate firstAnswer;
        LocalHttpServer portal;
        servePortalPage(portal.server());
        portal.server().Post(loginPath, [&](const httplib::Request &req, httplib::Response &res) {
            if (req.get_param_value("userName") == "first") {
                firstAnswer.hold();
                res.set_content("{'success':true,'msg':'ok'}", "text/plain");
            } else {
                res.set_redirect("http://127.0.0.2/elsewhere");
            }
        });
        QVERIFY(portal.start());
        SignIn signIn(portal.address());
        signIn.service.login(QStringLiteral("first"), password);
        QVERIFY(QTest::qWaitFor([&] { return firstAnswer.wasEntered(); }, waitMs));
        QVERIFY(signIn.run(QStringLiteral("second")));
        QCOMPARE(signIn.events.last(),
                 QStringLiteral("LoginFailed 检测到VPN重定向，内网地址已被改写。请关闭VPN后重试。"));
        firstAnswer.release();
        QVERIFY(QTest::qWaitFor([&] { return signIn.outcomes == 2; }, waitMs));
        QCOMPARE(signIn.events.last(), QStringLiteral("LoginSuccess first"));
    }
};

QTEST_GUILESS_MAIN(TestHTTPAuthService)
#include "tst_httpauthservice.moc"
