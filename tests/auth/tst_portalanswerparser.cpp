#include "auth/PortalAnswerParser.h"

#include <QTest>

class TestPortalAnswerParser : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void answers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("success");
        QTest::addColumn<QString>("message");

        // The portal's own object, in its single quotes or in JSON's double quotes.
        QTest::newRow("single quotes, success")
            << "{'success':true,'msg':'认证成功'}" << 200 << true << "认证成功";
        QTest::newRow("single quotes, refusal")
            << "{'success':false,'msg':'用户名或密码错误'}" << 200 << false << "用户名或密码错误";
        QTest::newRow("double quotes, refusal with spaces")
            << "  \n{\"success\": false, \"msg\": \"账号已欠费\"}\n"
            << 200 << false << "账号已欠费";
        QTest::newRow("success as text, any case") << "{'success':'True','msg':'ok'}" << 500 << true << "ok";
        QTest::newRow("success missing") << "{'msg':'请先登录'}" << 200 << false << "请先登录";
        QTest::newRow("an apostrophe in msg: the text rules read it whole")
            << "{\"success\":false,\"msg\":\"It's locked\"}" << 200 << false << "It's locked";

        // Object without a text msg falls back to the text rules; only rule 10 matches here.
        QTest::newRow("TRUE without msg, 200") << "{'success':'TRUE'}" << 200 << true << "登录成功";
        QTest::newRow("TRUE without msg, 500") << "{'success':'TRUE'}" << 500 << false << "登录失败";
        QTest::newRow("msg not a string") << "{'success':true,'msg':1}" << 500 << true << "登录成功";
        QTest::newRow("not JSON after quote swap")
            << "{'success':false,'msg':'密码错误',}" << 200 << false << "密码错误";

        // Text rules, first match wins.
        QTest::newRow("logon success") << "Radius: logon success" << 500 << true << "登录成功";
        QTest::newRow("成功 before 失败") << "登录成功，上次失败已清除" << 500 << true << "登录成功";
        QTest::newRow("失败 without msg") << "认证失败" << 200 << false << "登录失败";
        QTest::newRow("错误") << "系统错误" << 200 << false << "登录失败";
        QTest::newRow("error") << "internal error" << 200 << false << "登录失败";
        QTest::newRow("plain 200") << "OK" << 200 << true << "登录成功";
        QTest::newRow("plain 302") << "moved" << 302 << false << "登录失败";
        QTest::newRow("empty") << "" << 200 << true << "登录成功";

        // Failure messages by the four msg patterns, in their order.
        QTest::newRow("msg pattern 1") << "x 'success':false 'msg':'一'" << 200 << false << "一";
        QTest::newRow("msg pattern 2") << "x \"success\":false \"msg\":\"二\"" << 200 << false << "二";
        QTest::newRow("msg pattern 3") << "x 失败 'msg':\"三\"" << 200 << false << "三";
        QTest::newRow("msg pattern 4") << "x 失败 \"msg\":'四'" << 200 << false << "四";
        QTest::newRow("pattern order beats position")
            << "失败 \"msg\":\"后\" 'msg':'先'" << 200 << false << "先";
        QTest::newRow("empty msg does not match") << "失败 'msg':''" << 200 << false << "登录失败";
        QTest::newRow("success marker ignores msg")
            << "<p>'success':true</p> 'msg':'x'" << 500 << true << "登录成功";
    }

    void answers()
    {
        QFETCH(QString, text);
        QFETCH(int, status);
        const LoginOutcome outcome = PortalAnswerParser::parse(text, status);
        QTEST(outcome.success, "success");
        QTEST(outcome.message, "message");
    }
};

QTEST_GUILESS_MAIN(TestPortalAnswerParser)
#include "tst_portalanswerparser.moc"
