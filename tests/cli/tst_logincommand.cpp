#include "LocalHttpServer.h"

#include <QProcess>
#include <QTcpServer>
#include <QTest>

#include <httplib.h>

#include <atomic>

namespace {
// netlatchctl signs in at the build's portal address, 127.0.0.1:18080 in every loopback build.
constexpr int portalPort = 18080;
const QString password = QStringLiteral("demo pass&word");

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

Run netlatchctl(const QStringList &arguments, const QByteArray &input)
{
    QProcess process;
    process.start(QStringLiteral(NETLATCHCTL_PATH), arguments);
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(60000);
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}
} // namespace

class TestLoginCommand : public QObject
{
    Q_OBJECT

    LocalHttpServer m_portal;
    std::atomic<int> m_logins = 0;

private Q_SLOTS:
    void initTestCase()
    {
        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHost, portalPort))
            QSKIP("127.0.0.1:18080 is taken; the portal of this build cannot be simulated");
        probe.close();
        m_portal.server().Get("/ac_portal/default/pc.html",
                              [](const httplib::Request &, httplib::Response &res) {
                                  res.set_content("<html>ac_portal</html>", "text/html");
                              });
        m_portal.server().Post("/ac_portal/login.php",
                               [this](const httplib::Request &req, httplib::Response &res) {
                                   ++m_logins;
                                   const bool accepted = req.get_param_value("userName") == "张三" &&
                                                         req.get_param_value("pwd") == password.toStdString();
                                   res.set_content(accepted ? "{'success':true,'msg':'ok'}"
                                                            : "{'success':false,'msg':'用户名或密码错误'}",
                                                   "text/html");
                               });
        QVERIFY(m_portal.start(portalPort));
    }

    void signInPrintsEachStatusAndExitsWithTheOutcome()
    {
        const Run ok = netlatchctl({"login", "--username", "张三", "--password-stdin", "--verbose"},
                                   password.toUtf8() + "\r\n");
        QCOMPARE(ok.out, QStringLiteral("正在连接服务器...\n✓ 登录成功！\n"));
        QCOMPARE(ok.exitCode, 0);
        QVERIFY2(ok.err.contains(QStringLiteral(
                     "📤 请求体: opr=pwdLogin&userName=%E5%BC%A0%E4%B8%89&pwd=***&rememberPwd=0")),
                 qPrintable(ok.err));
        QVERIFY(!ok.err.contains(QStringLiteral("pass")) && !ok.out.contains(QStringLiteral("pass")));

        const Run refused = netlatchctl({"login", "--username", "张三", "--password-stdin"}, "wrong\n");
        QCOMPARE(refused.out, QStringLiteral("正在连接服务器...\n用户名或密码错误\n"));
        QCOMPARE(refused.exitCode, 1);
        QCOMPARE(refused.err, QString());
    }

    void usageErrorsSendNothing_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("input");
        QTest::newRow("no --username") << QStringList{"login", "--password-stdin"} << QByteArray("x\n");
        QTest::newRow("empty name") << QStringList{"login", "--username", "", "--password-stdin"}
                                    << QByteArray("x\n");
        QTest::newRow("no --password-stdin")
            << QStringList{"login", "--username", "张三"} << QByteArray("x\n");
        QTest::newRow("empty password")
            << QStringList{"login", "--username", "张三", "--password-stdin"} << QByteArray("\r\n");
        QTest::newRow("unknown option") << QStringList{"login", "--user", "张三"} << QByteArray();
    }

    void usageErrorsSendNothing()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, input);
        const int before = m_logins;
        const Run run = netlatchctl(arguments, input);
        QCOMPARE(run.exitCode, 2);
        QCOMPARE(run.out, QString());
        QVERIFY(!run.err.isEmpty());
        QCOMPARE(m_logins.load(), before);
    }
};

QTEST_GUILESS_MAIN(TestLoginCommand)
#include "tst_logincommand.moc"
