#include "LocalHttpServer.h"
#include "LogCapture.h"
#include "autologin/AutoLoginManager.h"
#include "autologin/ConnectivityProbe.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <httplib.h>

#include <thread>

using namespace Qt::StringLiterals;

// The site answers /<status> with that status and redirects /to/<status> there. As the portal's host is
// 127.0.0.1 too when a probe is given the site's address as the portal's, such a redirect leads to the
// portal; 127.0.0.2 names a portal elsewhere. (Which redirects vouch for a wired network end to end:
// tst_headlessdaemon.)
class TestConnectivityProbe : public QObject
{
    Q_OBJECT

    LocalHttpServer m_site;

    static bool probe(const QString &url, const QString &portalAddress = QString())
    {
        return AutoLoginManager::checkNetworkConnection(url, AutoLoginManager::probeTimeout, portalAddress);
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_site.server().Get(R"(/(\d+))", [](const auto &req, auto &res) { res.status = std::stoi(req.matches[1]); });
        m_site.server().Get(R"(/to/(\d+))", [](const auto &req, auto &res) { res.set_redirect("/" + req.matches[1].str()); });
        QVERIFY(m_site.start());
    }

    void finalAnswerDecides_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("portalAddress");
        QTest::addColumn<ConnectivityProbe::Answer>("answer");
        using enum ConnectivityProbe::Answer;
        const QString elsewhere = u"127.0.0.2:18080"_s;
        QTest::newRow("204") << u"/204"_s << elsewhere << Reachable;
        QTest::newRow("404") << u"/404"_s << elsewhere << Unreachable;
        QTest::newRow("redirect to 204") << u"/to/204"_s << elsewhere << Reachable;
        QTest::newRow("redirect to 404") << u"/to/404"_s << elsewhere << Unreachable;
        QTest::newRow("no portal address") << u"/to/204"_s << QString() << Reachable;
        // Before sign-in the portal answers every request with its sign-in page, which says nothing of
        // the internet; the redirect itself is the answer.
        QTest::newRow("redirect to the portal") << u"/to/204"_s << m_site.address() << PortalRedirect;
    }

    void finalAnswerDecides()
    {
        QFETCH(QString, path);
        QFETCH(QString, portalAddress);
        QTEST(ConnectivityProbe::probe(m_site.url(path), AutoLoginManager::probeTimeout, portalAddress), "answer");
    }

    // Signed out, every probe is sent to the portal: the journal hears of it once, and again only after
    // the network was reached in between.
    void redirectsToThePortalAreLoggedOnChange()
    {
        LogCapture log;
        const QString toPortal = m_site.url(u"/to/204"_s), reached = m_site.url(u"/204"_s);
        for (const QString &url : {reached, toPortal, toPortal, toPortal, reached, toPortal})
            probe(url, m_site.address());
        QCOMPARE(log.countStartingWith(u"⚠️ 网络检测被重定向到认证服务器"_s), 2);
    }

    void unparsableURLsAreUnreachable()
    {
        for (const char *url : {"", "not a url", "http://", "http:// 127.0.0.1/", "ftp://127.0.0.1/", "127.0.0.1"})
            QVERIFY2(!probe(QString::fromLatin1(url)), url);
    }

    // A server that takes the connection and the request and never answers: the probe gives up and
    // closes the connection. Meanwhile a call from another thread gets its answer.
    void aSilentServerIsUnreachableAndHoldsUpNoOtherCall()
    {
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        bool silentResult = true;
        std::thread worker([&] { silentResult = probe(u"http://127.0.0.1:%1/"_s.arg(silent.serverPort())); });
        const bool connected = silent.waitForNewConnection(10000);
        const bool mainResult = probe(m_site.url(u"/204"_s));
        worker.join();
        QVERIFY(connected);
        QCOMPARE(std::pair(silentResult, mainResult), std::pair(false, true));
        QTcpSocket *connection = silent.nextPendingConnection();
        QVERIFY(connection->state() == QAbstractSocket::UnconnectedState || connection->waitForDisconnected(10000));
        QVERIFY(connection->readAll().startsWith("HEAD / HTTP/1.1\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestConnectivityProbe)
#include "tst_connectivityprobe.moc"
