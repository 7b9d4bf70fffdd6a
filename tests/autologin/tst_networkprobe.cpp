#include "FakeLocationAuthorization.h"
#include "FakeWifiClient.h"
#include "LogCapture.h"
#include "autologin/NetworkProbe.h"
#include "store/Preferences.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <thread>

using Mode = WifiClient::InterfaceMode;

class TestNetworkProbe : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<Preferences> m_preferences;
    FakeWifiClient m_wifi;

    std::unique_ptr<NetworkProbe> makeProbe(FakeLocationAuthorization &location)
    {
        return std::make_unique<NetworkProbe>(m_wifi, location, *m_preferences, QStringLiteral("http://127.0.0.1:9"),
                                              QStringLiteral("127.0.0.1:18080"));
    }

    // Looks the SSID up with the location permission granted; returns it and the lines logged.
    std::pair<std::optional<QString>, QStringList> lookUp()
    {
        FakeLocationAuthorization location(LocationAuthorization::AuthorizedAlways);
        LogCapture log;
        const std::optional<QString> ssid = makeProbe(location)->getCurrentWiFiSSID();
        return {ssid, log.lines()};
    }

private Q_SLOTS:
    void init()
    {
        m_preferences = std::make_unique<Preferences>(
            std::make_unique<QSettings>(m_dir.filePath(QStringLiteral("prefs.ini")), QSettings::IniFormat));
        m_preferences->remove(PreferenceKeys::skipWiFiCheckForAutoLogin);
        m_wifi.interfaceList.clear();
        m_wifi.defaultInterfaceValue.reset();
        m_wifi.interfaceNames.reset();
        m_wifi.ssidByName.clear();
        m_wifi.lookups = 0;
    }

    // Interfaces not joined, or joined without an SSID, are passed over; the first SSID wins and
    // the later sources are not asked.
    void interfacesAreWalkedInOrder()
    {
        m_wifi.interfaceList = {{QStringLiteral("en0"), Mode::None, {}, true},
                                {{}, Mode::HostAccessPoint, QByteArray("hotspot"), true},
                                FakeWifiClient::station(QStringLiteral("en1"), {}),
                                FakeWifiClient::station(QStringLiteral("en2"), "larkmead_staff"),
                                FakeWifiClient::station(QStringLiteral("en3"), "other")};
        m_wifi.defaultInterfaceValue = FakeWifiClient::station(QStringLiteral("en3"), "other");
        const auto [ssid, lines] = lookUp();
        QCOMPARE(ssid, QStringLiteral("larkmead_staff"));
        QCOMPARE(lines, (QStringList{QStringLiteral("🔍 接口 en0 处于 0 模式（非station模式）"),
                                     QStringLiteral("🔍 接口 unknown 处于 3 模式（非station模式）"),
                                     QStringLiteral("🔍 接口 en1 处于 1 模式但SSID为空"),
                                     QStringLiteral("✅ 通过CoreWLAN获取到SSID: larkmead_staff (接口: en2, 模式: 1)")}));
        QCOMPARE(m_wifi.lookups.load(), 1);
    }

    void defaultInterfaceComesSecond()
    {
        m_wifi.interfaceList = {FakeWifiClient::station(QStringLiteral("wlan0"), {})};
        m_wifi.defaultInterfaceValue = WifiClient::Interface{QStringLiteral("wlan1"), Mode::IBSS, "larkmead_student", true};
        const auto [ssid, lines] = lookUp();
        QCOMPARE(ssid, QStringLiteral("larkmead_student"));
        QCOMPARE(lines, (QStringList{QStringLiteral("🔍 接口 wlan0 处于 1 模式但SSID为空"),
                                     QStringLiteral("🔍 默认接口: wlan1, 模式: 2, 电源: true"),
                                     QStringLiteral("✅ 通过CoreWLAN默认接口获取到SSID: larkmead_student")}));
    }

    // The second source's answer counts even when empty; interfaces it cannot look up are skipped.
    void secondSourceComesLast()
    {
        m_wifi.defaultInterfaceValue = WifiClient::Interface{{}, Mode::HostAccessPoint, {}, false};
        m_wifi.interfaceNames = QStringList{QStringLiteral("wlp1"), QStringLiteral("wlp2")};
        m_wifi.ssidByName.insert(QStringLiteral("wlp2"), QString());
        const auto [ssid, lines] = lookUp();
        QCOMPARE(ssid, QString());
        QCOMPARE(lines, (QStringList{QStringLiteral("🔍 默认接口: unknown, 模式: 3, 电源: false"),
                                     QStringLiteral("⚠️ CoreWLAN默认接口未处于station模式（当前模式: 3）"),
                                     QStringLiteral("🔍 SystemConfiguration找到 2 个网络接口"),
                                     QStringLiteral("✅ 通过SystemConfiguration获取到SSID: ")}));
    }

    void everySourceFailing()
    {
        m_wifi.defaultInterfaceValue = FakeWifiClient::station(QStringLiteral("wlan0"), QByteArray());
        auto [ssid, lines] = lookUp();
        QCOMPARE(ssid, std::nullopt);
        QCOMPARE(lines, (QStringList{QStringLiteral("🔍 默认接口: wlan0, 模式: 1, 电源: true"),
                                     QStringLiteral("⚠️ CoreWLAN默认接口处于station模式但SSID为空，可能是权限问题"),
                                     QStringLiteral("⚠️ SystemConfiguration无法获取网络接口列表（可能需要位置权限）"),
                                     QStringLiteral("⚠️ 所有方法都无法获取WiFi SSID"),
                                     QStringLiteral("💡 提示：如果确实连接了WiFi，可能是权限问题。在macOS上，获取WiFi SSID可能需要位置权限或特殊权限。")}));

        m_wifi.defaultInterfaceValue.reset();
        m_wifi.interfaceNames = QStringList{QStringLiteral("wlp1")};
        std::tie(ssid, lines) = lookUp();
        QCOMPARE(ssid, std::nullopt);
        QCOMPARE(lines.mid(0, 2), (QStringList{QStringLiteral("⚠️ CoreWLAN无法获取默认接口"),
                                               QStringLiteral("🔍 SystemConfiguration找到 1 个网络接口")}));
    }

    void withoutPermissionNoSourceIsAsked_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("permissionLines");
        QTest::addColumn<int>("requests");
        const QStringList denied{QStringLiteral("⚠️ 位置权限被拒绝，无法获取WiFi SSID"),
                                 QStringLiteral("💡 请前往 系统设置 > 隐私与安全性 > 位置服务，允许此应用访问位置")};
        QTest::newRow("not determined") << 0 << QStringList{QStringLiteral("📱 请求位置权限以获取WiFi信息...")} << 1;
        QTest::newRow("restricted") << 1 << denied << 0;
        QTest::newRow("denied") << 2 << denied << 0;
        QTest::newRow("when in use") << 4 << QStringList() << 0;
    }

    void withoutPermissionNoSourceIsAsked()
    {
        QFETCH(int, status);
        QFETCH(QStringList, permissionLines);
        QFETCH(int, requests);
        m_wifi.interfaceList = {FakeWifiClient::station(QStringLiteral("wlan0"), "larkmead_staff")};
        FakeLocationAuthorization location(static_cast<LocationAuthorization::Status>(status));
        LogCapture log;
        QCOMPARE(makeProbe(location)->getCurrentWiFiSSID(), std::nullopt);
        QCOMPARE(m_wifi.lookups.load(), 0);
        QCOMPARE(location.requestCount, requests);
        QCOMPARE(log.lines(), QStringList{QStringLiteral("⚠️ 没有位置权限，无法获取WiFi SSID")}
                                  << QStringLiteral("🔍 当前位置权限状态: %1").arg(status) << permissionLines);
    }

    // The settings pane looks the SSID up on a background thread; the permission is still asked
    // for on the main thread, where it lives.
    void permissionIsRequestedOnTheMainThread()
    {
        FakeLocationAuthorization location(LocationAuthorization::NotDetermined);
        auto probe = makeProbe(location);
        std::optional<QString> ssid = QStringLiteral("unset");
        std::thread([&] { ssid = probe->getCurrentWiFiSSID(); }).join();
        QCOMPARE(ssid, std::nullopt);
        QTRY_COMPARE(location.requestCount, 1);
        QCOMPARE(location.requestThread, QThread::currentThread());
    }

    void permissionChangesAreLogged()
    {
        FakeLocationAuthorization location(LocationAuthorization::NotDetermined);
        auto probe = makeProbe(location);
        LogCapture log;
        probe->checkLocationPermission();
        location.change(LocationAuthorization::AuthorizedAlways);
        probe->checkLocationPermission();
        location.change(LocationAuthorization::Denied);
        location.change(LocationAuthorization::AuthorizedWhenInUse);
        QCOMPARE(log.lines(), (QStringList{QStringLiteral("🔍 当前位置权限状态: 0"),
                                           QStringLiteral("📱 请求位置权限以获取WiFi信息..."),
                                           QStringLiteral("🔍 位置权限状态已改变: 3"),
                                           QStringLiteral("✅ 位置权限已授予，现在可以获取WiFi SSID"),
                                           QStringLiteral("🔍 当前位置权限状态: 3"),
                                           QStringLiteral("✅ 位置权限已授予"),
                                           QStringLiteral("🔍 位置权限状态已改变: 2"),
                                           QStringLiteral("⚠️ 位置权限被拒绝，无法获取WiFi SSID"),
                                           QStringLiteral("🔍 位置权限状态已改变: 4")}));
        QCOMPARE(location.requestCount, 1);
    }

    void campusNetworksMatchExactly_data()
    {
        QTest::addColumn<QByteArray>("ssid");
        QTest::addColumn<bool>("campus");
        QTest::newRow("faculty") << QByteArray("larkmead_faculty") << true;
        QTest::newRow("staff") << QByteArray("larkmead_staff") << true;
        QTest::newRow("student") << QByteArray("larkmead_student") << true;
        QTest::newRow("capital") << QByteArray("Larkmead_staff") << false;
        QTest::newRow("trailing blank") << QByteArray("larkmead_staff ") << false;
        QTest::newRow("band suffix") << QByteArray("larkmead_staff_5G") << false;
        QTest::newRow("prefix") << QByteArray("larkmead") << false;
        QTest::newRow("not UTF-8") << QByteArray("larkmead_staff\xff") << false;
    }

    // A readable SSID decides alone: the skip preference never lets a known other network pass.
    void campusNetworksMatchExactly()
    {
        QFETCH(QByteArray, ssid);
        QFETCH(bool, campus);
        m_preferences->setBool(PreferenceKeys::skipWiFiCheckForAutoLogin, true);
        m_wifi.interfaceList = {FakeWifiClient::station(QStringLiteral("wlan0"), ssid)};
        FakeLocationAuthorization location(LocationAuthorization::AuthorizedAlways);
        auto probe = makeProbe(location);
        LogCapture log;
        QCOMPARE(probe->isConnectedToSchoolWiFi(), campus);
        const QString text = WifiClient::ssidText(ssid);
        QCOMPARE(log.lines().last(), campus ? QStringLiteral("✅ 已连接到学校WiFi: ") + text
                                            : QStringLiteral("⚠️ 当前WiFi不是学校网络: ") + text);
    }

    void skipPreferenceStandsInForAnUnreadableSSID()
    {
        FakeLocationAuthorization location(LocationAuthorization::Denied);
        auto probe = makeProbe(location);
        LogCapture log;
        QVERIFY(!probe->isConnectedToSchoolWiFi());
        QCOMPARE(log.lines().last(), QStringLiteral("⚠️ 无法获取当前WiFi SSID"));

        m_preferences->setBool(PreferenceKeys::skipWiFiCheckForAutoLogin, true);
        log.clear();
        QVERIFY(probe->isConnectedToSchoolWiFi());
        QCOMPARE(log.lines().mid(log.lines().size() - 2),
                 (QStringList{QStringLiteral("⚠️ 无法获取当前WiFi SSID"),
                              QStringLiteral("⚠️ 用户已启用'跳过WiFi检查'选项，允许自动联网")}));
    }
};

QTEST_GUILESS_MAIN(TestNetworkProbe)
#include "tst_networkprobe.moc"
