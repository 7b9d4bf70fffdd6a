#include "HostileServer.h"
#include "LocalHttpServer.h"
#include "LogCapture.h"
#include "auth/HTTPAuthService.h"
#include "auth/SignInAttempt.h"
#include "common/Log.h"
#include "common/NotificationCenter.h"

#include <QRegularExpression>
#include <QScopeGuard>
#include <QSemaphore>
#include <QTcpServer>
#include <QTest>

#include <httplib.h>

namespace {
const QString user = QStringLiteral("张 三&=+%");
const QString password = QStringLiteral("p&ss=w+rd 100% 密码*-._~");
const std::string loginPath = "/ac_portal/login.php";
const std::string portalPage =
    "<!DOCTYPE html><html><script src=\"/ac_portal/static/pc.js\"></script></html>";
const std::string accepted = "{'success':true,'msg':'ok'}";
const QString connecting = QStringLiteral("正在连接服务器...");
const QString signedIn = QStringLiteral("✓ 登录成功！");
const QString tooLarge = QStringLiteral("响应数据过大，可能是VPN重定向导致的。请关闭VPN后重试。");
const QString timedOut = QStringLiteral("连接超时，可能是VPN导致的，请关闭VPN后重试");
const QString loop = QStringLiteral("检测到重定向循环，可能是VPN导致的。请关闭VPN后重试。");
const QString oversizedLog = QStringLiteral("⚠️ 响应数据过大: 10485761 字节，超过限制 10485760 字节");
const QString undecodable = QStringLiteral("服务器响应格式错误");
const QString undecodableLog = QStringLiteral("⚠️ 响应内容无法解析为UTF-8，数据长度: %1 字节");
constexpr int waitMs = 30000;

const auto padded = [](std::string text, size_t size, char pad = ' ') {
    return text.resize(size, pad), text;
};

// The portal on loopback. Routes a test registers before open() win over these: the first match serves.
struct Portal : LocalHttpServer
{
    QSemaphore entered, opened; // "stall" answers wait for `opened`
    ~Portal() { opened.release(1000); }

    // A page or answer starting with "/" or "http:" redirects there; /loop redirects to itself, /hop to
    // /hopx and so on. "stall" accepts once `opened`.
    quint16 open(const std::string &page = portalPage, const std::string &answer = accepted, int port = 0)
    {
        server().Get("/ac_portal/default/pc.html", reply(page));
        server().Post(loginPath, reply(answer));
        server().Get("/loop", reply("/loop"));
        server().Get("/hop.*", [](const auto &req, auto &res) { res.set_redirect(req.path + "x"); });
        return start(port) ? this->port() : 0;
    }
    httplib::Server::Handler reply(std::string body)
    {
        return [this, body](const auto &, auto &res) {
            if (body == "stall")
                entered.release(), opened.tryAcquire(1, 20000), res.set_content(accepted, "text/html");
            else if (body.starts_with('/') || body.starts_with("http:"))
                res.set_redirect(body);
            else
                res.set_content(body, "text/html");
        };
    }
};

// One service with everything it publishes written down in order.
struct SignIn
{
    NotificationCenter center;
    QStringList events;
    HTTPAuthService service;

    explicit SignIn(quint16 port, double durationScale = 1.0)
        : service(
              QStringLiteral("127.0.0.1:%1").arg(port), center,
              [this](const QString &name) { note("record", name); }, durationScale)
    {
        const auto watch = [this](auto signal, const char *name) {
            QObject::connect(&service, signal, [this, name](auto value) { note(name, value); });
        };
        watch(&HTTPAuthService::isAuthenticatingChanged, "isAuthenticating");
        watch(&HTTPAuthService::statusMessageChanged, "status");
        watch(&HTTPAuthService::isSuccessChanged, "isSuccess");
        watch(&HTTPAuthService::isErrorChanged, "isError");
        for (const auto &[name, key] : {std::pair(Notifications::LoginSuccess, Notifications::UsernameKey),
                                        std::pair(Notifications::LoginFailed, Notifications::MessageKey)})
            center.addObserver(name, [this, name, key](const QVariantMap &info) { note(name, info[key]); });
    }
    void note(const QString &name, const QVariant &value) { events << name + '=' + value.toString(); }
    QStringList statuses() const { return events.filter("status=").replaceInStrings("status=", ""); }
    int outcomes() const { return events.filter(QRegularExpression("^Login")).size(); }
    bool waitFor(int count)
    {
        return QTest::qWaitFor([&] { return outcomes() >= count; }, waitMs);
    }
    bool run(const QString &name = user) { return service.login(name, password), waitFor(outcomes() + 1); }
};
} // namespace

class TestHTTPAuthService : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void signInSendsWhatThePortalPageSendsAndPublishesEachState()
    {
        LogCapture log;
        // The page sets two cookies; neither answer has a length: its body runs to the end of the connection.
        HostileServer portal([](const QByteArray &request, HostileServer::Connection &c) {
            c.write(request.startsWith("GET") ? "HTTP/1.1 200 OK\r\nSet-Cookie: sid=42; Path=/\r\n"
                                                "Set-Cookie: lang=zh; Path=/\r\n\r\n<html>ac_portal</html>"
                                              : "HTTP/1.1 200 OK\r\n\r\n{'success':true,'msg':'认证成功'}");
        });
        SignIn signIn(portal.port());
        signIn.service.login(user, password);
        QVERIFY2(signIn.events.isEmpty(), "the start state applies on the next turn of the loop");
        QVERIFY(signIn.waitFor(1));
        QCOMPARE(signIn.events,
                 (QStringList{"isAuthenticating=true", "status=" + connecting, "isSuccess=false",
                              "isError=false", "isAuthenticating=false", "status=" + signedIn,
                              "isSuccess=true", "record=" + user, "LoginSuccess=" + user}));
        const QString base = QStringLiteral("http://127.0.0.1:%1").arg(portal.port());
        const QString agent =
            "User-Agent: Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/605.1.15 "
            "(KHTML, like Gecko) Version/17.0 Safari/605.1.15\r\n";
        const QString language = "Accept-Language: en-US,en;q=0.9\r\n";
        // As sent, but for the fields every request has.
        static const QRegularExpression framing("(Host|Connection|Content-Length): [^\r]*\r\n");
        const QStringList requests = QString::fromUtf8(portal.requests().join('|')).remove(framing).split('|');
        QCOMPARE(requests.size(), 2);
        QCOMPARE(requests[0],
                 "GET /ac_portal/default/pc.html?tabs=pwd HTTP/1.1\r\n" + agent +
                     "Accept: text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8\r\n" +
                     language + "\r\n");
        QCOMPARE(
            requests[1],
            "POST /ac_portal/login.php HTTP/1.1\r\n"
            "Content-Type: application/x-www-form-urlencoded; charset=UTF-8\r\n" +
                agent + "Accept: */*\r\n" + language + "Referer: " + base +
                "/ac_portal/default/pc.html?tabs=pwd\r\nX-Requested-With: XMLHttpRequest\r\nOrigin: " + base +
                "\r\nCookie: sid=42; lang=zh; ac_login_info=passwork\r\n\r\n"
                "opr=pwdLogin&userName=%E5%BC%A0+%E4%B8%89%26%3D%2B%25"
                "&pwd=p%26ss%3Dw%2Brd+100%25+%E5%AF%86%E7%A0%81*-._%7E&rememberPwd=0");
        // The whole log: the password appears only masked.
        QCOMPARE(
            log.lines(),
            (QStringList{
                "⚠️ 检测到HTML响应，可能是VPN重定向", "✅ 获取登录页面成功，Cookie数量: 2",
                "📤 发送登录请求到: " + base + "/ac_portal/login.php",
                "📤 请求体: opr=pwdLogin&userName=%E5%BC%A0+%E4%B8%89%26%3D%2B%25&pwd=***&rememberPwd=0",
                "📥 登录响应状态码: 200", "📥 登录响应内容: {'success':true,'msg':'认证成功'}"}));
    }

    void signInProblems_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QStringList>("statuses");
        QTest::addColumn<QStringList>("logLines");
        const auto login = [](const char *name, const std::string &answer, const QString &shown,
                              const QStringList &logLines = {}) {
            QTest::addRow("login: %s", name)
                << QByteArray::fromStdString(portalPage) << QByteArray::fromStdString(answer)
                << QStringList{connecting, shown} << logLines;
        };
        login("HTML without fields", "<html>", "检测到VPN重定向，返回了非预期的HTML页面。请关闭VPN后重试。");
        login("not UTF-8", "{'msg':'\xb5\xc7'}", undecodable, {undecodableLog.arg(12)});
        login("no body", "", "没有接收到响应数据");
        // Only the first MiB is read: the 失败 after it does not count, and a character cut there fails.
        login("2 MiB", padded(padded("", 1048576, 'A') + "认证失败", 2097152), signedIn,
              {"📥 登录响应内容（前1048576字节）: " + QString(1048576, 'A') + "...",
               "⚠️ 完整响应大小: 2097152 字节，已截断"});
        login("cut inside a character", padded(padded("", 1048575, 'A') + "登录", 1048600), undecodable,
              {undecodableLog.arg(1048600)});
        login("10 MiB are read", padded("{'success':false,'msg':'已读取'}", 10485760), "已读取");
        login("one byte more", padded(accepted, 10485761), tooLarge, {oversizedLog});
        login("sixth redirect", "/hop", "重定向次数过多（超过5次），可能是VPN导致的。请关闭VPN后重试。");
        login("stalls", "stall", timedOut);

        // A problem with the page is a warning; the login is still sent and succeeds.
        const auto page = [](const char *name, const std::string &page, const QString &warning,
                             const QStringList &logLines = {}) {
            QTest::addRow("page: %s", name)
                << QByteArray::fromStdString(page) << QByteArray::fromStdString(accepted)
                << (warning.isEmpty() ? QStringList{connecting, signedIn}
                                      : QStringList{connecting, "⚠️ " + warning, signedIn})
                << logLines;
        };
        page("capital Login is no marker", "<!DocType html><h1>Login</h1>",
             "检测到VPN重定向，返回了非预期的页面。请关闭VPN后重试。");
        page("lowercase login is the marker", "<html><form action=login>", {}, {"✅ 获取登录页面成功，Cookie数量: 0"});
        page("one byte more", padded(portalPage, 10485761), tooLarge, {oversizedLog});
        page("redirect loop", "/loop", loop);
        page("stalls", "stall", timedOut);
        page("refused", "refused", "无法连接到服务器，请检查网络连接或关闭VPN",
             {"❌ 获取登录页面失败: Connection refused (错误码: 1)"});
    }

    void signInProblems()
    {
        QFETCH(QByteArray, page);
        QFETCH(QByteArray, answer);
        QFETCH(QStringList, logLines);
        Portal portal;
        const bool refused = page == "refused";
        QTcpServer reserve; // refused: a free port that nobody listens on until the page fetch has failed
        const quint16 port = refused && reserve.listen(QHostAddress::LocalHost)
                                 ? reserve.serverPort()
                                 : portal.open(page.toStdString(), answer.toStdString());
        reserve.close();
        QStringList lines;
        // Refused: the portal comes up the moment the page fetch has failed, before the login is sent.
        Log::setSink([&](const QString &line) {
            lines << line;
            if (refused && line.startsWith(QStringLiteral("❌ 获取登录页面失败")))
                QVERIFY(portal.open(portalPage, answer.toStdString(), port));
        });
        const auto unhook = qScopeGuard([] { Log::setSink({}); });
        // The time-outs run with every limit a tenth: idle 1 s, total 1.5 s, step 2 s.
        SignIn signIn(port, page == "stall" || answer == "stall" ? 0.1 : 1.0);
        QVERIFY(signIn.run());
        QTEST(signIn.statuses(), "statuses");
        QCOMPARE(signIn.service.isSuccess(), signIn.statuses().last() == signedIn);
        QCOMPARE(signIn.service.isError(), signIn.statuses() != (QStringList{connecting, signedIn}));
        for (const QString &line : logLines)
            QVERIFY2(lines.contains(line), qPrintable(line.left(100) + "\n\n" + lines.join('\n').left(2000)));
    }

    // Two sign-ins at once: the first must be judged by its own redirect guard, not the newer one's.
    void overlappingSignInsKeepTheirOwnGuards()
    {
        Portal portal;
        portal.server().Post(loginPath, [&](const auto &req, auto &res) {
            const bool first = req.get_param_value("userName") == "first";
            portal.reply(first ? "stall" : "http://127.0.0.2/elsewhere")(req, res);
        });
        SignIn signIn(portal.open());
        signIn.service.login(QStringLiteral("first"), password);
        QVERIFY(QTest::qWaitFor([&] { return portal.entered.available() > 0; }, waitMs));
        QVERIFY(signIn.run(QStringLiteral("second")));
        QCOMPARE(signIn.events.last(), "LoginFailed=检测到VPN重定向，内网地址已被改写。请关闭VPN后重试。");
        portal.opened.release();
        QVERIFY(signIn.waitFor(2));
        QCOMPARE(signIn.events.last(), QStringLiteral("LoginSuccess=first"));
    }

    void attemptReportsOnlyWhileItLives_data()
    {
        QTest::addColumn<QString>("destroyed");
        QTest::addColumn<QStringList>("reports");
        QTest::newRow("kept") << "never" << QStringList{"密码错误"};
        QTest::newRow("destroyed by its report") << "by its report" << QStringList{"密码错误"};
        QTest::newRow("destroyed before the outcome") << "at once" << QStringList();
    }

    // An attempt reports its own outcome once and not a later one made elsewhere; destroyed before its
    // outcome it reports nothing. Either way no observer is left behind.
    void attemptReportsOnlyWhileItLives()
    {
        QFETCH(QString, destroyed);
        QFETCH(QStringList, reports);
        Portal portal;
        SignIn signIn(portal.open(portalPage, "{'success':false,'msg':'密码错误'}"));
        auto attempt = std::make_unique<SignInAttempt>(signIn.service, signIn.center);
        QStringList reported;
        attempt->start(user, password, [&](const SignInAttempt::Outcome &outcome) {
            if (destroyed == "by its report")
                attempt.reset();
            reported << outcome.message.value_or("-");
        });
        if (destroyed == "at once")
            attempt.reset();
        // Started and ended: its outcome is posted. Then a success from somebody else's sign-in.
        QVERIFY(signIn.waitFor(1));
        signIn.center.post(Notifications::LoginSuccess);
        QCOMPARE(reported, reports);
        QCOMPARE(signIn.center.observerCount(Notifications::LoginSuccess) +
                     signIn.center.observerCount(Notifications::LoginFailed),
                 1 + 1); // the recorder's own
    }
};

QTEST_GUILESS_MAIN(TestHTTPAuthService)
#include "tst_httpauthservice.moc"
