#include "HostileServer.h"
#include "LocalHttpServer.h"
#include "LogCapture.h"
#include "auth/HTTPAuthService.h"
#include "auth/SignInAttempt.h"
#include "common/NotificationCenter.h"

#include <QRegularExpression>
#include <QSemaphore>
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
const QString undecodable = QStringLiteral("服务器响应格式错误");
constexpr int waitMs = 30000;

const auto padded = [](std::string text, size_t size, char pad = ' ') {
    return text.resize(size, pad), text;
};

// The portal on loopback. Routes a test registers before open() win over these: the first match serves.
struct Portal : LocalHttpServer
{
    QSemaphore entered, opened; // "stall" answers wait for `opened`
    ~Portal() { opened.release(1000); }

    // A page or answer starting with "/" or "http:" redirects there; /loop redirects to itself.
    // "stall" accepts once `opened`.
    quint16 open(const std::string &page = portalPage, const std::string &answer = accepted)
    {
        server().Get("/ac_portal/default/pc.html", reply(page));
        server().Post(loginPath, reply(answer));
        server().Get("/loop", reply("/loop"));
        return start() ? port() : 0;
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
        // The form goes as the portal's page posts it: from the page, with its cookies and every
        // reserved character of the name and password encoded.
        const QString base = QStringLiteral("http://127.0.0.1:%1").arg(portal.port());
        const QString post = QString::fromUtf8(portal.requests().value(1));
        for (const QString &field : QStringList{
                 "POST /ac_portal/login.php HTTP/1.1\r\n", "\r\nX-Requested-With: XMLHttpRequest\r\n",
                 "\r\nReferer: " + base + "/ac_portal/default/pc.html?tabs=pwd\r\n", "\r\nOrigin: " + base + "\r\n",
                 "\r\nContent-Type: application/x-www-form-urlencoded; charset=UTF-8\r\n",
                 "\r\nCookie: sid=42; lang=zh; ac_login_info=passwork\r\n",
                 "\r\n\r\nopr=pwdLogin&userName=%E5%BC%A0+%E4%B8%89%26%3D%2B%25"
                 "&pwd=p%26ss%3Dw%2Brd+100%25+%E5%AF%86%E7%A0%81*-._%7E&rememberPwd=0"})
            QVERIFY2(post.contains(field), qPrintable(post));
        // The log shows the form, but the password only masked.
        QVERIFY2(log.text().contains("&pwd=***&") && !log.text().contains("p%26ss"), qPrintable(log.text()));
    }

    void signInProblems_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QStringList>("statuses");
        const auto login = [](const char *name, const std::string &answer, const QString &shown) {
            QTest::addRow("login: %s", name) << QByteArray::fromStdString(portalPage)
                                             << QByteArray::fromStdString(answer) << QStringList{connecting, shown};
        };
        login("HTML without fields", "<html>", "检测到VPN重定向，返回了非预期的HTML页面。请关闭VPN后重试。");
        login("not UTF-8", "{'msg':'\xb5\xc7'}", undecodable);
        login("no body", "", "没有接收到响应数据");
        // Only the first MiB is read: the 失败 after it does not count, and a character cut there fails.
        login("2 MiB", padded(padded("", 1048576, 'A') + "认证失败", 2097152), signedIn);
        login("cut inside a character", padded(padded("", 1048575, 'A') + "登录", 1048600), undecodable);
        login("10 MiB are read", padded("{'success':false,'msg':'已读取'}", 10485760), "已读取");
        login("one byte more", padded(accepted, 10485761), tooLarge);
        login("stalls", "stall", timedOut);

        // A problem with the page is a warning; the login is still sent and succeeds.
        const auto page = [](const char *name, const std::string &page, const QString &warning) {
            QTest::addRow("page: %s", name) << QByteArray::fromStdString(page) << QByteArray::fromStdString(accepted)
                                            << (warning.isEmpty() ? QStringList{connecting, signedIn}
                                                                  : QStringList{connecting, "⚠️ " + warning, signedIn});
        };
        page("capital Login is no marker", "<!DocType html><h1>Login</h1>",
             "检测到VPN重定向，返回了非预期的页面。请关闭VPN后重试。");
        page("lowercase login is the marker", "<html><form action=login>", {});
        page("one byte more", padded(portalPage, 10485761), tooLarge);
        page("redirect loop", "/loop", "检测到重定向循环，可能是VPN导致的。请关闭VPN后重试。");
    }

    void signInProblems()
    {
        QFETCH(QByteArray, page);
        QFETCH(QByteArray, answer);
        Portal portal;
        const quint16 port = portal.open(page.toStdString(), answer.toStdString());
        // The time-outs run with every limit a tenth: idle 1 s, total 1.5 s, step 2 s.
        SignIn signIn(port, page == "stall" || answer == "stall" ? 0.1 : 1.0);
        QVERIFY(signIn.run());
        QTEST(signIn.statuses(), "statuses");
        QCOMPARE(signIn.service.isSuccess(), signIn.statuses().last() == signedIn);
        QCOMPARE(signIn.service.isError(), signIn.statuses() != (QStringList{connecting, signedIn}));
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
        QTEST(reported, "reports");
        QCOMPARE(signIn.center.observerCount(Notifications::LoginSuccess) +
                     signIn.center.observerCount(Notifications::LoginFailed),
                 1 + 1); // the recorder's own
    }
};

QTEST_GUILESS_MAIN(TestHTTPAuthService)
#include "tst_httpauthservice.moc"
