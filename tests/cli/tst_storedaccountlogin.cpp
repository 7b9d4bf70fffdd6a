#include "LocalHttpServer.h"

#include <QDirIterator>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTest>
#include <QUrl>

#include <httplib.h>

#include <atomic>
#include <mutex>

// A user's whole day with the command line, on the build's loopback portal and statistics server:
// store the account, sign in with it, read the statistics. Runs inside a keyring of its own.
namespace {
constexpr int portalPort = 18080;
constexpr int statisticsPort = 18081;
const QString username = QStringLiteral("张三");
// Characters that a careless encoder or logger would mangle or reveal.
const QString password = QStringLiteral("s3cret&=+% 密码");

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

Run netlatchctl(const QStringList &arguments, const QByteArray &input = {})
{
    QProcess process;
    process.start(QStringLiteral(NETLATCHCTL_PATH), arguments);
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(60000);
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

bool portIsFree(int port)
{
    QTcpServer server;
    return server.listen(QHostAddress::LocalHost, port);
}

// Every form in which the password could leak: as typed, and as the form body encodes it.
QList<QByteArray> passwordForms()
{
    return {password.toUtf8(), QUrl::toPercentEncoding(password), QByteArray("s3cret")};
}
} // namespace

class TestStoredAccountLogin : public QObject
{
    Q_OBJECT

    LocalHttpServer m_portal;
    LocalHttpServer m_statistics;
    std::mutex m_mutex;
    std::atomic<int> m_logins = 0;
    QList<QByteArray> m_uploads;
    QStringList m_outputs;

    void keep(const Run &run) { m_outputs << run.out << run.err; }

private Q_SLOTS:
    void initTestCase()
    {
        if (!portIsFree(portalPort) || !portIsFree(statisticsPort))
            QSKIP("the build's loopback portal or statistics port is taken");
        m_portal.server().Get("/ac_portal/default/pc.html", [](const httplib::Request &, httplib::Response &res) {
            res.set_header("Set-Cookie", "PHPSESSID=abc; Path=/");
            res.set_content("<html>ac_portal login</html>", "text/html");
        });
        m_portal.server().Post("/ac_portal/login.php", [this](const httplib::Request &req, httplib::Response &res) {
            ++m_logins;
            const bool accepted = req.get_param_value("userName") == username.toStdString() &&
                                  req.get_param_value("pwd") == password.toStdString();
            res.set_content(accepted ? "{'success':true,'msg':'ok'}" : "{'success':false,'msg':'用户名或密码错误'}",
                            "text/html");
        });
        m_statistics.server().Post("/api/record-login.php", [this](const httplib::Request &req, httplib::Response &res) {
            std::lock_guard lock(m_mutex);
            m_uploads << QByteArray::fromStdString(req.body);
            res.set_content("{\"success\":true}", "application/json");
        });
        QVERIFY(m_portal.start(portalPort));
        QVERIFY(m_statistics.start(statisticsPort));
    }

    void signInWithTheStoredAccountRecordsAndUploadsIt()
    {
        const Run set = netlatchctl({"account", "set", "--username", username, "--password-stdin"},
                                    password.toUtf8() + "\n");
        keep(set);
        QCOMPARE(set.exitCode, 0);

        const Run login = netlatchctl({"login", "--verbose"});
        keep(login);
        QCOMPARE(login.exitCode, 0);
        QCOMPARE(login.out, QStringLiteral("正在连接服务器...\n✓ 登录成功！\n"));
        QVERIFY2(login.err.contains(QStringLiteral("pwd=***")), qPrintable(login.err));
        QCOMPARE(m_logins.load(), 1);

        // The process waited for its one upload before it exited.
        {
            std::lock_guard lock(m_mutex);
            QCOMPARE(m_uploads.size(), 1);
            const QJsonObject body = QJsonDocument::fromJson(m_uploads.first()).object();
            QCOMPARE(body.value(QStringLiteral("username")).toString(), username);
            QVERIFY(body.value(QStringLiteral("login_time")).isDouble());
        }

        const Run stats = netlatchctl({"stats", "--json"});
        keep(stats);
        QCOMPARE(stats.exitCode, 0);
        const QJsonObject figures = QJsonDocument::fromJson(stats.out.toUtf8()).object();
        QCOMPARE(figures.value(QStringLiteral("totalCount")).toInt(), 1);
        QCOMPARE(figures.value(QStringLiteral("todayCount")).toInt(), 1);
    }

    void anIncompleteStoredAccountIsRefusedBeforeAnyRequest()
    {
        const Run clear = netlatchctl({"account", "clear"});
        keep(clear);
        QCOMPARE(clear.exitCode, 0);
        const int loginsBefore = m_logins.load();

        const Run login = netlatchctl({"login"});
        keep(login);
        QCOMPARE(login.exitCode, 2);
        QVERIFY2(login.err.contains(QStringLiteral("netlatchctl account set")), qPrintable(login.err));
        QCOMPARE(login.out, QString());
        QCOMPARE(m_logins.load(), loginsBefore);

        const Run half = netlatchctl({"login", "--password-stdin"}, "x\n");
        keep(half);
        QCOMPARE(half.exitCode, 2);
        QCOMPARE(m_logins.load(), loginsBefore);
    }

    // The password lives in the keyring and in the request to the portal, and nowhere else.
    void thePasswordLeaksIntoNoOutputAndNoFile()
    {
        const Run status = netlatchctl({"autologin", "on"});
        keep(status);
        for (const QString &output : std::as_const(m_outputs)) {
            for (const QByteArray &form : passwordForms())
                QVERIFY2(!output.toUtf8().contains(form), qPrintable(output));
        }

        const QStringList roots{qEnvironmentVariable("HOME"), qEnvironmentVariable("XDG_CONFIG_HOME"),
                                qEnvironmentVariable("XDG_CACHE_HOME"), qEnvironmentVariable("XDG_RUNTIME_DIR")};
        int filesRead = 0;
        for (const QString &root : roots) {
            QDirIterator files(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
            while (files.hasNext()) {
                QFile file(files.next());
                if (!file.open(QIODevice::ReadOnly))
                    continue;
                ++filesRead;
                const QByteArray content = file.readAll();
                for (const QByteArray &form : passwordForms())
                    QVERIFY2(!content.contains(form), qPrintable(file.fileName()));
            }
        }
        QVERIFY(filesRead > 0); // the preference file, at least
    }
};

QTEST_GUILESS_MAIN(TestStoredAccountLogin)
#include "tst_storedaccountlogin.moc"
