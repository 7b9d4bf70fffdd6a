#include "LocalHttpServer.h"
#include "autologin/AutoLoginManager.h"

#include <QTest>

#include <httplib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

// A portal address on loopback that the probe servers (127.0.0.1) do not contain.
const QString elsewherePortal = QStringLiteral("127.0.0.2:18080");

bool probe(const QString &url, const QString &portalAddress = elsewherePortal)
{
    return AutoLoginManager::checkNetworkConnection(url, AutoLoginManager::probeTimeout, portalAddress);
}

// Accepts one connection on 127.0.0.1 and never answers; notes when the client closes it.
class SilentServer
{
public:
    SilentServer()
    {
        m_socket = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(m_socket, reinterpret_cast<sockaddr *>(&address), length);
        ::listen(m_socket, 4);
        ::getsockname(m_socket, reinterpret_cast<sockaddr *>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { serve(); });
    }
    ~SilentServer()
    {
        m_stop = true;
        m_thread.join();
        ::close(m_socket);
    }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1/").arg(m_port); }
    bool sawRequest() const { return m_sawRequest; }
    bool sawClose() const { return m_sawClose; }

private:
    bool waitReadable(int fd)
    {
        pollfd entry{fd, POLLIN, 0};
        while (!m_stop) {
            if (::poll(&entry, 1, 50) > 0)
                return true;
        }
        return false;
    }
    void serve()
    {
        if (!waitReadable(m_socket))
            return;
        const int client = ::accept(m_socket, nullptr, nullptr);
        char buffer[1024];
        while (waitReadable(client)) {
            const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
            if (n <= 0) {
                m_sawClose = true;
                break;
            }
            m_sawRequest = true;
        }
        ::close(client);
    }

    int m_socket = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_sawRequest{false};
    std::atomic<bool> m_sawClose{false};
    std::thread m_thread;
};

} // namespace

class TestConnectivityProbe : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void statusDecides_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("reachable");
        QTest::newRow("200") << 200 << true;
        QTest::newRow("204") << 204 << true;
        QTest::newRow("404") << 404 << false;
        QTest::newRow("500") << 500 << false;
    }

    void statusDecides()
    {
        QFETCH(int, status);
        QFETCH(bool, reachable);
        LocalHttpServer server;
        std::atomic<int> heads{0};
        server.server().Get("/", [&](const httplib::Request &request, httplib::Response &response) {
            heads += request.method == "HEAD" ? 1 : 0;
            response.status = status;
        });
        QVERIFY(server.start());
        QCOMPARE(probe(server.url()), reachable);
        QCOMPARE(heads.load(), 1);
    }

    void unparsableURLsAreUnreachable()
    {
        for (const char *url : {"", "not a url", "http://", "http:// 127.0.0.1/", "ftp://127.0.0.1/", "127.0.0.1"})
            QVERIFY2(!probe(QString::fromLatin1(url)), url);
    }

    // A redirect is followed and the final answer decides, except one to the portal: before
    // sign-in the portal answers every request with its sign-in page.
    void redirectsAreFollowedExceptToThePortal_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<bool>("toPortal");
        QTest::addColumn<bool>("reachable");
        QTest::newRow("local 204") << QStringLiteral("/generate_204") << false << true;
        QTest::newRow("local 404") << QStringLiteral("/missing") << false << false;
        QTest::newRow("portal page") << QStringLiteral("/ac_portal/default/pc.html") << true << false;
    }

    void redirectsAreFollowedExceptToThePortal()
    {
        QFETCH(QString, target);
        QFETCH(bool, toPortal);
        QFETCH(bool, reachable);
        LocalHttpServer portal;
        std::atomic<int> portalRequests{0};
        portal.server().Get(".*", [&](const httplib::Request &, httplib::Response &response) {
            ++portalRequests;
            response.status = 200;
        });
        QVERIFY(portal.start());
        LocalHttpServer site;
        site.server().Get("/", [&](const httplib::Request &, httplib::Response &response) {
            const QString location = toPortal ? portal.url(target) : target;
            response.set_redirect(location.toStdString(), 302);
        });
        site.server().Get("/generate_204", [](const httplib::Request &, httplib::Response &response) { response.status = 204; });
        site.server().Get("/missing", [](const httplib::Request &, httplib::Response &response) { response.status = 404; });
        QVERIFY(site.start());

        QCOMPARE(probe(site.url(), toPortal ? portal.address() : elsewherePortal), reachable);
        QCOMPARE(portalRequests.load(), 0);
        if (toPortal) {
            // The same redirect is followed when the portal lives elsewhere (and an empty portal
            // address matches no host).
            QVERIFY(probe(site.url(), elsewherePortal));
            QVERIFY(probe(site.url(), QString()));
            QCOMPARE(portalRequests.load(), 2);
        }
    }

    void aSilentServerCountsAsUnreachableAndItsRequestIsCancelled()
    {
        SilentServer server;
        QVERIFY(!probe(server.url()));
        QVERIFY(server.sawRequest());
        QTRY_VERIFY(server.sawClose());
    }

    void callsFromTheMainThreadAndAWorkerRunTogether()
    {
        LocalHttpServer server;
        std::atomic<int> inside{0};
        std::atomic<int> mostInside{0};
        auto handler = [&](int status) {
            return [&, status](const httplib::Request &, httplib::Response &response) {
                mostInside = std::max(mostInside.load(), ++inside);
                // Hold the answer a little for the other probe to overlap (bounded, well inside the time-out).
                for (int i = 0; i < 40 && mostInside < 2; ++i)
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
                --inside;
                response.status = status;
            };
        };
        server.server().Get("/ok", handler(204));
        server.server().Get("/bad", handler(503));
        QVERIFY(server.start());

        bool workerResult = false;
        std::thread worker([&] { workerResult = probe(server.url(QStringLiteral("/ok"))); });
        const bool mainResult = probe(server.url(QStringLiteral("/bad")));
        worker.join();
        QVERIFY(workerResult);
        QVERIFY(!mainResult);
    }
};

QTEST_GUILESS_MAIN(TestConnectivityProbe)
#include "tst_connectivityprobe.moc"
