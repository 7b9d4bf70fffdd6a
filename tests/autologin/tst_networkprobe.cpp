#include "FakeLocationAuthorization.h"
#include "FakeWifiClient.h"
#include "autologin/NetworkProbe.h"
#include "store/Preferences.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using Mode = WifiClient::InterfaceMode;
using Interface = WifiClient::Interface;
using SSIDsByName = QMap<QString, QString>;
const auto station = FakeWifiClient::station;

class TestNetworkProbe : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    Preferences m_preferences{std::make_unique<QSettings>(m_dir.filePath(u"prefs.ini"_s), QSettings::IniFormat)};
    std::optional<FakeWifiClient> m_wifi;
    FakeLocationAuthorization m_location{LocationAuthorization::AuthorizedAlways}; // as on Linux, always

    NetworkProbe probe() { return NetworkProbe(*m_wifi, m_location, m_preferences, u"http://127.0.0.1:9"_s, QString()); }

private Q_SLOTS:
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
};

QTEST_GUILESS_MAIN(TestNetworkProbe)
#include "tst_networkprobe.moc"
