#include "FakeLocationAuthorization.h"
#include "FakeWifiClient.h"
#include "LocalHttpServer.h"
#include "LogCapture.h"
#include "autologin/ConnectivityProbe.h"
#include "autologin/NetworkProbe.h"
#include "store/Preferences.h"

#include <QSettings>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <httplib.h>

#include <thread>

using namespace Qt::StringLiterals;
using Mode = WifiClient::InterfaceMode;
using Interface = WifiClient::Interface;
using SSIDsByName = QMap<QString, QString>;
const auto station = FakeWifiClient::station;

// The SSID lookup and the campus network test; then the connectivity probe against a loopback site.
// The site answers /<status> with that status and redirects /to/<status> there, /to/look-alike to
// 127.0.0.10. As the portal's host is 127.0.0.1 too when a probe is given the site's address as the
// portal's, such a redirect leads to the portal; 127.0.0.2 names a portal elsewhere. (Which redirects
// vouch for a wired network end to end: tst_headlessdaemon.)
class TestNetworkProbe : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    Preferences m_preferences{std::make_unique<QSettings>(m_dir.filePath(u"prefs.ini"_s), QSettings::IniFormat)};
    std::optional<FakeWifiClient> m_wifi;
    FakeLocationAuthorization m_location{LocationAuthorization::AuthorizedAlways}; // as on Linux, always
    LocalHttpServer m_site;

    NetworkProbe probe() { return NetworkProbe(*m_wifi, m_location, m_preferences, u"http://127.0.0.1:9"_s, QString()); }

    static bool reachable(const QString &url, const QString &portalAddress = QString())
    {
        return NetworkProbe::checkNetworkConnection(url, NetworkProbe::probeTimeout, portalAddress);
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_site.server().Get(R"(/(\d+))", [](const auto &req, auto &res) { res.status = std::stoi(req.matches[1]); });
        m_site.server().Get(R"(/to/(\d+))", [](const auto &req, auto &res) { res.set_redirect("/" + req.matches[1].str()); });
        m_site.server().Get("/to/look-alike", [this](const auto &, auto &res) {
            res.set_redirect("http://127.0.0.10:" + std::to_string(m_site.port()) + "/204"); // nobody listens there
        });
        QVERIFY(m_site.start());
    }

    void init() { m_wifi.emplace(); }

    // The interface list first (interfaces not joined, or joined without an SSID, are passed over; the
    // first SSID wins), then the default interface, then the second source, whose answer counts even
    // when empty.
    void sourcesAreAskedInOrder_data()
    {
        QTest::addColumn<QList<Interface>>("interfaces");
        QTest::addColumn<std::optional<Interface>>("defaultInterface");
        QTest::addColumn<SSIDsByName>("secondSource");
        QTest::addColumn<std::optional<QString>>("ssid");
        const Interface hotspot{{}, Mode::HostAccessPoint, "hotspot", true};
        QTest::newRow("list") << QList<Interface>{{u"en0"_s, Mode::None, {}, true}, hotspot, station(u"en1"_s, {}),
                                                  station(u"en2"_s, "larkmead_staff"), station(u"en3"_s, "other")}
                              << std::optional(station(u"en3"_s, "other")) << SSIDsByName()
                              << std::optional(u"larkmead_staff"_s);
        QTest::newRow("default interface") << QList<Interface>{station(u"wlan0"_s, {})}
                                           << std::optional(Interface{u"wlan1"_s, Mode::IBSS, "larkmead_student", true})
                                           << SSIDsByName() << std::optional(u"larkmead_student"_s);
        QTest::newRow("second source, empty") << QList<Interface>() << std::optional(hotspot)
                                              << SSIDsByName{{u"wlp2"_s, QString()}} << std::optional(QString());
        QTest::newRow("none") << QList<Interface>() << std::optional(station(u"wlan0"_s, {}))
                              << SSIDsByName() << std::optional<QString>();
    }

    void sourcesAreAskedInOrder()
    {
        QFETCH(QList<Interface>, interfaces);
        QFETCH(std::optional<Interface>, defaultInterface);
        QFETCH(SSIDsByName, secondSource);
        m_wifi->interfaceList = interfaces;
        m_wifi->defaultInterfaceValue = defaultInterface;
        m_wifi->interfaceNames = QStringList{u"wlp1"_s, u"wlp2"_s};
        m_wifi->ssidByName = secondSource;
        QTEST(probe().getCurrentWiFiSSID(), "ssid");
    }

    void campusNetworksMatchExactly_data()
    {
        QTest::addColumn<QByteArray>("ssid"); // empty: no source can tell it
        QTest::addColumn<bool>("skipCheck");
        QTest::addColumn<bool>("campus");
        QTest::newRow("campus") << "larkmead_student"_ba << false << true;
        for (const char *ssid : {"Larkmead_staff", "larkmead_staff ", "larkmead_staff_5G"})
            QTest::newRow(ssid) << QByteArray(ssid) << true << false;
        QTest::newRow("not UTF-8") << "larkmead_staff\xff"_ba << true << false;
        QTest::newRow("byte-order mark") << "\xef\xbb\xbflarkmead_staff"_ba << true << false;
        // The skip preference ("wired") stands in for an unreadable SSID only, never for a known other network.
        QTest::newRow("unreadable") << QByteArray() << false << false;
        QTest::newRow("unreadable, wired on") << QByteArray() << true << true;
    }

    void campusNetworksMatchExactly()
    {
        QFETCH(QByteArray, ssid);
        QFETCH(bool, skipCheck);
        m_preferences.setBool(PreferenceKeys::skipWiFiCheckForAutoLogin, skipCheck);
        if (!ssid.isEmpty())
            m_wifi->interfaceList = {station(u"wlan0"_s, ssid)};
        QTEST(probe().isConnectedToSchoolWiFi(), "campus");
    }

    void finalAnswerDecides_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("portalAddress");
        QTest::addColumn<ConnectivityProbe::Answer>("answer");
        using enum ConnectivityProbe::Answer;
        const QString elsewhere = u"127.0.0.2:18080"_s;
        QTest::newRow("204") << u"/204"_s << elsewhere << Reachable;
        QTest::newRow("redirect to 204") << u"/to/204"_s << elsewhere << Reachable;
        QTest::newRow("redirect to 404") << u"/to/404"_s << elsewhere << Unreachable;
        // The portal is its host and its port exactly: neither the portal's host on another port nor a
        // host whose name begins like the portal's is the portal.
        QTest::newRow("portal's host, another port") << u"/to/204"_s << u"127.0.0.1:9"_s << Reachable;
        QTest::newRow("look-alike of the portal's host") << u"/to/look-alike"_s << m_site.address() << Unreachable;
        QTest::newRow("no portal address") << u"/to/204"_s << QString() << Reachable;
        // Before sign-in the portal answers every request with its sign-in page, which says nothing of
        // the internet; the redirect itself is the answer.
        QTest::newRow("redirect to the portal") << u"/to/204"_s << m_site.address() << PortalRedirect;
    }

    void finalAnswerDecides()
    {
        QFETCH(QString, path);
        QFETCH(QString, portalAddress);
        QTEST(ConnectivityProbe::probe(m_site.url(path), NetworkProbe::probeTimeout, portalAddress), "answer");
    }

    // Signed out, every probe is sent to the portal: the journal hears of it once, and again only after
    // the network was reached in between.
    void redirectsToThePortalAreLoggedOnChange()
    {
        LogCapture log;
        const QString toPortal = m_site.url(u"/to/204"_s), reached = m_site.url(u"/204"_s);
        for (const QString &url : {reached, toPortal, toPortal, toPortal, reached, toPortal})
            reachable(url, m_site.address());
        QCOMPARE(log.countStartingWith(u"⚠️ 网络检测被重定向到认证服务器"_s), 2);
    }

    void unparsableURLsAreUnreachable()
    {
        for (const char *url : {"", "not a url", "http://", "http:// 127.0.0.1/", "ftp://127.0.0.1/", "127.0.0.1"})
            QVERIFY2(!reachable(QString::fromLatin1(url)), url);
    }

    // A server that takes the connection and the request and never answers: the probe gives up and
    // closes the connection. Meanwhile a call from another thread gets its answer.
    void aSilentServerIsUnreachableAndHoldsUpNoOtherCall()
    {
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        bool silentResult = true;
        std::thread worker([&] { silentResult = reachable(u"http://127.0.0.1:%1/"_s.arg(silent.serverPort())); });
        const bool connected = silent.waitForNewConnection(10000);
        const bool mainResult = reachable(m_site.url(u"/204"_s));
        worker.join();
        QVERIFY(connected);
        QCOMPARE(std::pair(silentResult, mainResult), std::pair(false, true));
        QTcpSocket *connection = silent.nextPendingConnection();
        QVERIFY(connection->state() == QAbstractSocket::UnconnectedState || connection->waitForDisconnected(10000));
        QVERIFY(connection->readAll().startsWith("HEAD / HTTP/1.1\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestNetworkProbe)
#include "tst_networkprobe.moc"
