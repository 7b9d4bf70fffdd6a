#include "LogCapture.h"
#include "auth/LoginForm.h"
#include "auth/ResponseLimits.h"
#include "auth/VPNDetector.h"

#include <QTest>

using Kind = TransportError::Kind;
using Step = VPNDetector::Step;

class TestAuthRules : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void pageCheck_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("expected");
        QTest::addColumn<bool>("logsHTML");
        QTest::newRow("portal page") << "<!DOCTYPE html><script src=/ac_portal/x.js>" << true << true;
        QTest::newRow("login marker") << "<HTML><form action=login>" << true << true;
        QTest::newRow("capital Login only") << "<html><h1>Login</h1></html>" << false << true;
        QTest::newRow("doctype in any case") << "<!DocType HTML><p>VPN</p>" << false << true;
        QTest::newRow("plain text") << "hello" << true << false;
        QTest::newRow("JSON") << "{\"ok\":1}" << true << false;
    }

    void pageCheck()
    {
        QFETCH(QString, text);
        LogCapture log;
        QTEST(VPNDetector::isExpectedPage(text), "expected");
        QTEST(log.contains(QStringLiteral("⚠️ 检测到HTML响应，可能是VPN重定向")), "logsHTML");
    }

    void loginResponseCheck()
    {
        LogCapture log;
        QCOMPARE(VPNDetector::loginResponseProblem(QStringLiteral("{'success':true}")), std::nullopt);
        QVERIFY(log.lines().isEmpty());
        QCOMPARE(VPNDetector::loginResponseProblem(QStringLiteral("<html>{\"msg\":\"x\"}</html>")),
                 std::nullopt);
        QCOMPARE(VPNDetector::loginResponseProblem(QStringLiteral("<html>Success</html>")),
                 std::optional<QString>(
                     QStringLiteral("检测到VPN重定向，返回了非预期的HTML页面。请关闭VPN后重试。")));
        QCOMPARE(log.countStartingWith(
                     QStringLiteral("⚠️ 检测到HTML响应而非JSON，可能是VPN重定向")),
                 2);
    }

    void transportErrors_data()
    {
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("message");
        const auto row = [](const char *name, Step step, Kind kind, const QString &message) {
            QTest::newRow(name) << int(step) << int(kind) << message;
        };
        row("page timed out", Step::PageFetch, Kind::TimedOut, "连接超时，可能是VPN导致的，请关闭VPN后重试");
        row("page refused", Step::PageFetch, Kind::CannotConnect,
            "无法连接到服务器，请检查网络连接或关闭VPN");
        row("page insecure", Step::PageFetch, Kind::InsecureConnectionRefused,
            "ATS错误：请确保在Xcode项目设置的Info标签页中添加了NSAppTransportSecurity > "
            "NSAllowsArbitraryLoads = YES");
        row("page other", Step::PageFetch, Kind::Other, "网络连接失败");
        row("login timed out", Step::LoginRequest, Kind::TimedOut,
            "连接超时，可能是VPN导致的，请关闭VPN后重试");
        row("login refused", Step::LoginRequest, Kind::CannotConnect,
            "无法连接到服务器，请检查网络连接或关闭VPN");
        row("login insecure", Step::LoginRequest, Kind::InsecureConnectionRefused, "网络错误: Broken pipe");
        row("login other", Step::LoginRequest, Kind::Other, "网络错误: Broken pipe");
    }

    void transportErrors()
    {
        QFETCH(int, step);
        QFETCH(int, kind);
        LogCapture log;
        const TransportError error{Kind(kind), 99, QStringLiteral("Broken pipe")};
        QTEST(VPNDetector::transportErrorMessage(Step(step), error), "message");
        const QString expectedLog = Step(step) == Step::PageFetch
                                        ? QStringLiteral("❌ 获取登录页面失败: Broken pipe (错误码: 99)")
                                        : QStringLiteral("❌ 登录请求失败: Broken pipe (错误码: 99)");
        QCOMPARE(log.lines(), QStringList{expectedLog});
    }

    void utf8DecodingFailsOnACutCharacter()
    {
        const QByteArray chinese = QByteArrayLiteral("登录"); // two characters of three bytes each
        QCOMPARE(ResponseLimits::decodeLeading(chinese, 6), std::optional<QString>(QStringLiteral("登录")));
        QCOMPARE(ResponseLimits::decodeLeading(chinese, 3), std::optional<QString>(QStringLiteral("登")));
        QCOMPARE(ResponseLimits::decodeLeading(chinese, 4), std::nullopt);
        QCOMPARE(ResponseLimits::decodeLeading(QByteArray("ok\xff", 3), 10), std::nullopt);
        QCOMPARE(ResponseLimits::decodeLeading(QByteArray("ok\xff", 3), 2), std::optional<QString>("ok"));
    }

    void formEncodingKeepsEveryCharacter()
    {
        QCOMPARE(LoginForm::encode(QStringLiteral("a b&c=d+e%f*-._~/张")),
                 QByteArray("a+b%26c%3Dd%2Be%25f*-._%7E%2F%E5%BC%A0"));
        const LoginForm form(QStringLiteral("张 三"), QStringLiteral("p&w=d"));
        QCOMPARE(form.body(),
                 QByteArray("opr=pwdLogin&userName=%E5%BC%A0+%E4%B8%89&pwd=p%26w%3Dd&rememberPwd=0"));
        QCOMPARE(form.maskedBody(),
                 QStringLiteral("opr=pwdLogin&userName=%E5%BC%A0+%E4%B8%89&pwd=***&rememberPwd=0"));
    }
};

QTEST_GUILESS_MAIN(TestAuthRules)
#include "tst_authrules.moc"
