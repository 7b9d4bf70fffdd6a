#include "LocalHttpServer.h"
#include "Netlatchctl.h"

#include <QProcess>
#include <QTest>

#include <httplib.h>

// netlatchctl signs in at the build's portal address, 127.0.0.1:18080 in every loopback build.
class TestLoginCommand : public QObject
{
    Q_OBJECT

    LocalHttpServer m_portal;

private Q_SLOTS:
    void initTestCase()
    {
        m_portal.server().Post("/ac_portal/login.php", [](const auto &req, auto &res) {
            const bool known = req.get_param_value("pwd") == "demo pass&word";
            res.set_content(known ? "{'success':true}" : "{'success':false,'msg':'密码错误'}", "text/html");
        });
        if (!m_portal.start(18080))
            QSKIP("127.0.0.1:18080 is taken; the portal of this build cannot be simulated");
    }

    void exitStatusAndOutput_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("input");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        const QStringList login{"login", "--username", "张三", "--password-stdin"};
        QTest::newRow("signed in") << login + QStringList{"--verbose"} << "demo pass&word\r\n"
                                   << 0 << "正在连接服务器...\n✓ 登录成功！\n";
        QTest::newRow("refused") << login << "wrong\n" << 1 << "正在连接服务器...\n密码错误\n";
        // Usage errors: no sign-in starts (it would print its first status).
        QTest::newRow("no --username") << QStringList{"login", "--password-stdin"} << "x" << 2 << "";
        QTest::newRow("name ''") << QStringList{"login", "--username=", "--password-stdin"} << "x" << 2 << "";
        QTest::newRow("no --password-stdin") << QStringList{"login", "--username", "张三"} << "x" << 2 << "";
        QTest::newRow("empty password") << login << "\r\n" << 2 << "";
        QTest::newRow("unknown option") << QStringList{"login", "--user", "张三"} << "" << 2 << "";
        QTest::newRow("stray argument") << QStringList{"login", "extra"} + login.mid(1) << "demo pass&word\n" << 2 << "";
    }

    void exitStatusAndOutput()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, input);
        QFETCH(int, exitCode);
        QProcess netlatchctl;
        netlatchctl.start(QStringLiteral(NETLATCHCTL_PATH), arguments);
        netlatchctl.write(input.toUtf8());
        netlatchctl.closeWriteChannel();
        QVERIFY(netlatchctl.waitForFinished(60000));
        const QString out = QString::fromUtf8(netlatchctl.readAllStandardOutput());
        const QString err = QString::fromUtf8(netlatchctl.readAllStandardError());
        QCOMPARE(netlatchctl.exitCode(), exitCode);
        QTEST(out, "out");
        if (exitCode == 0) // --verbose copies the log there, the password masked
            QVERIFY2(err.contains("📤 请求体: opr=pwdLogin&userName=%E5%BC%A0%E4%B8%89&pwd=***&rememberPwd=0"),
                     qPrintable(err));
        else // only a usage error is explained there
            QCOMPARE(err.isEmpty(), exitCode == 1);
        QVERIFY2(!out.contains("demo") && !err.contains("demo"), "the password is never shown");
    }

    // Bytes that are not UTF-8 would otherwise reach the portal silently mangled ("al%EF%BF%BDice").
    void textThatIsNotUtf8IsRefused_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("password");
        QTest::newRow("password") << "张三" << QByteArray("p\xff\xfe\n");
        QTest::newRow("name") << "al\\351ice" << QByteArray("demo pass&word\n");
    }

    void textThatIsNotUtf8IsRefused()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, password);
        // A shell passes the name's bytes as they are; $0 is netlatchctl.
        const ProgramRun run = runProgram("sh", {"-c", "exec \"$0\" login --username \"$(printf '" + name + "')\" --password-stdin",
                                                 NETLATCHCTL_PATH}, password);
        QCOMPARE(run.exitCode, 2);
        QCOMPARE(run.out, QString());
        QVERIFY2(run.err.contains("not UTF-8"), qPrintable(run.err));
    }
};

QTEST_GUILESS_MAIN(TestLoginCommand)
#include "tst_logincommand.moc"
