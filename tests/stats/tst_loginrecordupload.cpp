#include "LocalHttpServer.h"
#include "LogCapture.h"
#include "MockClock.h"
#include "StatsTestSupport.h"
#include "stats/StatisticsManager.h"

#include <QHostInfo>
#include <QJsonObject>
#include <QMutex>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <httplib.h>

#include <atomic>
#include <thread>

using namespace StatsTestSupport;

namespace {
const QString sentLine = QStringLiteral("✅ 联网统计已发送");
const QString failedPrefix = QStringLiteral("⚠️ 发送统计失败: ");

/// What the statistics server received.
struct Received
{
    QMutex mutex;
    QString method;
    QString path;
    QString contentType;
    QByteArray body;
    int count = 0;
};

/// An https server on 127.0.0.1 with a certificate that nothing trusts.
class SelfSignedServer
{
public:
    SelfSignedServer(const QString &certificate, const QString &key)
        : m_server(certificate.toStdString().c_str(), key.toStdString().c_str())
    {
        m_server.Post(".*", [this](const httplib::Request &, httplib::Response &response) {
            ++m_requests;
            response.status = 200;
        });
        m_port = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
    }
    ~SelfSignedServer()
    {
        while (!m_server.is_running()) // stop() takes effect only once the loop runs
            std::this_thread::yield();
        m_server.stop();
        m_thread.join();
    }
    bool isValid() { return m_server.is_valid() && m_port > 0; }
    int port() const { return m_port; }
    int requests() const { return m_requests; }

private:
    httplib::SSLServer m_server;
    std::thread m_thread;
    int m_port = -1;
    std::atomic<int> m_requests = 0;
};
} // namespace

/// The report of each sign-in to the statistics server, against real local servers.
class TestLoginRecordUpload : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<Preferences> m_store;
    MockClock m_clock{instant("Asia/Shanghai", "2025-03-07T00:30:00")};

    std::unique_ptr<StatisticsManager> managerFor(const QString &apiBaseURL)
    {
        return std::make_unique<StatisticsManager>(*m_store, m_clock, apiBaseURL);
    }

    /// The sign-in was stored by the time recordLogin returned, whatever became of the upload.
    void verifySavedNow() const { QCOMPARE(storedRecords(*m_store).size(), 1); }

private Q_SLOTS:
    void init()
    {
        setTimeZone("Asia/Shanghai");
        m_store.reset();
        QFile::remove(m_dir.filePath("netlatch.conf"));
        m_store = makeStore(m_dir.filePath("netlatch.conf"));
    }

    void reportCarriesTheThreeMembersOnly()
    {
        LocalHttpServer server;
        Received received;
        server.server().Post("/api/record-login.php", [&](const httplib::Request &request, httplib::Response &) {
            QMutexLocker lock(&received.mutex);
            received.method = QString::fromStdString(request.method);
            received.path = QString::fromStdString(request.path);
            received.contentType = QString::fromStdString(request.get_header_value("Content-Type"));
            received.body = QByteArray::fromStdString(request.body);
            ++received.count;
        });
        QVERIFY(server.start());
        LogCapture log;
        const auto manager = managerFor(server.url("/api"));

        manager->recordLogin(QStringLiteral("张三"));
        verifySavedNow();
        QTRY_VERIFY(log.contains(sentLine));

        QMutexLocker lock(&received.mutex);
        QCOMPARE(received.count, 1);
        QCOMPARE(received.method, QStringLiteral("POST"));
        QCOMPARE(received.contentType, QStringLiteral("application/json"));
        QVERIFY(!received.body.contains(' ') && !received.body.contains('\n')); // compact
        QJsonParseError error;
        const QJsonObject body = QJsonDocument::fromJson(received.body, &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(body.keys(), (QStringList{"login_date", "login_time", "username"}));
        QCOMPARE(body["username"].toString(), QStringLiteral("张三"));
        QVERIFY(received.body.contains("\"login_time\":1741278600")); // an integer
        QCOMPARE(body["login_date"].toString(), QStringLiteral("2025-03-07"));
        QVERIFY(!received.body.contains(QHostInfo::localHostName().toUtf8()));
        QCOMPARE(log.lines(), QStringList{sentLine});
    }

    void otherStatusesAreServerErrors_data()
    {
        QTest::addColumn<int>("status");
        QTest::newRow("201") << 201;
        QTest::newRow("404") << 404;
        QTest::newRow("500") << 500;
    }

    void otherStatusesAreServerErrors()
    {
        QFETCH(int, status);
        LocalHttpServer server;
        server.server().Post("/api/record-login.php",
                             [status](const httplib::Request &, httplib::Response &response) {
                                 response.status = status;
                                 response.set_content("{}", "application/json");
                             });
        QVERIFY(server.start());
        LogCapture log;
        const auto manager = managerFor(server.url("/api"));

        manager->recordLogin("u");
        verifySavedNow();
        const QString expected = QStringLiteral("⚠️ 统计服务器返回错误: %1").arg(status);
        QTRY_VERIFY(log.contains(expected));
        QCOMPARE(log.lines(), QStringList{expected});
    }

    void unreachableServerIsAFailure()
    {
        QString address;
        {
            LocalHttpServer closed; // a loopback port that nobody listens on once it is gone
            QVERIFY(closed.start());
            address = closed.url("/api");
        }
        LogCapture log;
        const auto manager = managerFor(address);

        manager->recordLogin("u");
        verifySavedNow();
        QTRY_COMPARE(log.countStartingWith(failedPrefix), 1);
        QVERIFY(!log.contains(sentLine));
    }

    void invalidAddressIsLoggedAndNothingIsSent()
    {
        LogCapture log;
        const auto manager = managerFor(QStringLiteral("http://stat server/api"));
        manager->recordLogin("u");
        verifySavedNow();
        QCOMPARE(log.lines(), QStringList{"⚠️ 统计API地址无效"});
    }

    void selfSignedCertificateFailsVerification()
    {
        const QString certificate = m_dir.filePath("cert.pem");
        const QString key = m_dir.filePath("key.pem");
        QProcess openssl;
        openssl.start("openssl", {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                                  "-nodes", "-days", "2", "-subj", "/CN=127.0.0.1", "-addext",
                                  "subjectAltName=IP:127.0.0.1", "-keyout", key, "-out", certificate});
        QVERIFY2(openssl.waitForFinished() && openssl.exitCode() == 0, openssl.readAllStandardError());
        SelfSignedServer server(certificate, key);
        QVERIFY(server.isValid());
        LogCapture log;
        const auto manager = managerFor(QStringLiteral("https://127.0.0.1:%1/api").arg(server.port()));

        manager->recordLogin("u");
        verifySavedNow();
        QTRY_COMPARE(log.countStartingWith(failedPrefix), 1);
        QCOMPARE(server.requests(), 0); // nothing was sent over the unverified connection
        QVERIFY(!log.contains(sentLine));
    }
};

QTEST_GUILESS_MAIN(TestLoginRecordUpload)
#include "tst_loginrecordupload.moc"
