#include "auth/PortalAnswerParser.h"
#include "auth/RedirectProtectionDelegate.h"

#include <QTest>

// The pure rules of a sign-in: how the portal's answer is read and which redirects are followed.
class TestAuthRules : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void answers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("success");
        QTest::addColumn<QString>("message");
        // The portal's object, in its single quotes or in JSON's double quotes; an apostrophe in msg
        // leaves it to the text rules.
        QTest::newRow("object") << "{'success':true,'msg':'认证成功'}" << 200 << true << "认证成功";
        QTest::newRow("JSON, spaces") << " {\"success\": false, \"msg\": \"欠费\"}" << 200 << false << "欠费";
        QTest::newRow("success as text, any case") << "{'success':'True','msg':'ok'}" << 500 << true << "ok";
        QTest::newRow("apostrophe") << "{\"success\":false,\"msg\":\"It's\"}" << 200 << false << "It's";
        // Without a text msg the text rules decide, first rule wins; the status when none matches.
        QTest::newRow("TRUE without msg, 200") << "{'success':'TRUE'}" << 200 << true << "登录成功";
        QTest::newRow("TRUE without msg, 500") << "{'success':'TRUE'}" << 500 << false << "登录失败";
        QTest::newRow("logon success") << "Radius: logon success" << 500 << true << "登录成功";
        QTest::newRow("成功 over 失败") << "先失败后成功" << 500 << true << "登录成功";
        QTest::newRow("失败 without msg") << "认证失败" << 200 << false << "登录失败";
        QTest::newRow("marker, msg") << "<p>'success':true 'msg':'x'" << 500 << true << "登录成功";
        // Failure messages by the four msg patterns, in their order.
        QTest::newRow("msg pattern 1") << "x 'success':false 'msg':'一'" << 200 << false << "一";
        QTest::newRow("msg pattern 2") << "x \"success\":false \"msg\":\"二\"" << 200 << false << "二";
        QTest::newRow("msg pattern 3") << "x 失败 'msg':\"三\"" << 200 << false << "三";
        QTest::newRow("msg pattern 4") << "x 失败 \"msg\":'四'" << 200 << false << "四";
        QTest::newRow("pattern order") << "失败 \"msg\":\"后\" 'msg':'先'" << 200 << false << "先";
    }

    void answers()
    {
        QFETCH(QString, text);
        QFETCH(int, status);
        const LoginOutcome outcome = PortalAnswerParser::parse(text, status);
        QTEST(outcome.success, "success");
        QTEST(outcome.message, "message");
    }

    void redirects_data()
    {
        QTest::addColumn<QStringList>("targets");
        QTest::addColumn<int>("followed"); // the leading targets followed; the rest are refused
        QTest::addColumn<QString>("reason");
        const QString rewritten = "检测到VPN重定向，内网地址已被改写。请关闭VPN后重试。";
        QStringList hops;
        for (int i = 1; i <= 6; ++i)
            hops << QStringLiteral("http://10.248.98.2/hop/%1").arg(i);
        // Once refused, the verdict stays; a repeated target is a loop, found before the count.
        QTest::newRow("five hops, a sixth, a repeat")
            << hops + QStringList{hops[0]} << 5 << "检测到重定向循环，可能是VPN导致的。请关闭VPN后重试。";
        const auto one = [&](const char *name, const QString &target, bool follows) {
            QTest::newRow(name) << QStringList{target} << int(follows) << rewritten;
        };
        one("portal with a port", "http://10.248.98.2:8080/x", true);
        one("foreign host", "http://vpn.example.com/login", false);
        one("localhost", "http://localhost:9000/x", true);
        one("127.0.0.1", "http://127.0.0.1/x", true);
        // Hosts compare whole: a name that merely contains the portal's or this machine's is foreign.
        // Only whole web addresses: a local file or a made-up text must never pass for the portal's
        // answer, nor a URL without a host or port mended into one with a default.
        for (const char *refused : {"http://10.248.98.23/x", "http://110.248.98.2/x", "http://10.248.98.2.evil.example/",
                                    "http://localhost.evil.example/", "http://127.0.0.10:8080/", "file:///etc/hostname",
                                    "data:text/plain,%7B'success':true%7D", "http:///x", "http://127.0.0.1:0/"})
            one(refused, refused, false);
    }

    void redirects()
    {
        QFETCH(QStringList, targets);
        QFETCH(int, followed);
        RedirectProtectionDelegate guard(QStringLiteral("10.248.98.2"));
        for (int i = 0; i < targets.size(); ++i)
            QCOMPARE(guard.willPerformRedirection(QUrl(targets[i])), i < followed);
        QCOMPARE(guard.shouldBlock(), followed < targets.size());
        if (guard.shouldBlock())
            QTEST(guard.blockReason(), "reason");
    }
};

QTEST_GUILESS_MAIN(TestAuthRules)
#include "tst_authrules.moc"
