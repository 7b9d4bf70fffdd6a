#include "FakeLocationAuthorization.h"
#include "FakeWifiClient.h"
#include "LogCapture.h"
#include "autologin/NetworkProbe.h"
#include "store/Preferences.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using Mode = WifiClient::InterfaceMode;

const QStringList allFailed{u"⚠️ 所有方法都无法获取WiFi SSID"_s,
                            u"💡 提示：如果确实连接了WiFi，可能是权限问题。在macOS上，获取WiFi SSID可能需要位置权限或特殊权限。"_s};
const auto station = FakeWifiClient::station;

class TestNetworkProbe : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    Preferences m_preferences{std::make_unique<QSettings>(m_dir.filePath(u"prefs.ini"_s), QSettings::IniFormat)};
    std::optional<FakeWifiClient> m_wifi;
    std::optional<FakeLocationAuthorization> m_location;
    std::optional<NetworkProbe> m_probe;

    NetworkProbe &probe(LocationAuthorization::Status permission = LocationAuthorization::AuthorizedAlways)
    {
        m_location.emplace(permission);
        return m_probe.emplace(*m_wifi, *m_location, m_preferences, u"http://127.0.0.1:9"_s, QString());
    }

    void expectLookUp(const std::optional<QString> &ssid, const QStringList &lines)
    {
        LogCapture log;
        QCOMPARE(probe().getCurrentWiFiSSID(), ssid);
        QCOMPARE(log.lines(), lines);
    }

private Q_SLOTS:
    void init() { m_wifi.emplace(); }

    // The interface list first (interfaces not joined, or joined without an SSID, are passed over; the
    // first SSID wins and no later source is asked), then the default interface, then the second
    // source, whose answer counts even when empty.
    void sourcesAreAskedInOrder()
    {
        m_wifi->interfaceList = {{u"en0"_s, Mode::None, {}, true}, {{}, Mode::HostAccessPoint, "hotspot", true},
                                 station(u"en1"_s, {}), station(u"en2"_s, "larkmead_staff"), station(u"en3"_s, "other")};
        m_wifi->defaultInterfaceValue = station(u"en3"_s, "other");
        expectLookUp(u"larkmead_staff"_s, {u"🔍 接口 en0 处于 0 模式（非station模式）"_s, u"🔍 接口 unknown 处于 3 模式（非station模式）"_s,
                                           u"🔍 接口 en1 处于 1 模式但SSID为空"_s,
                                           u"✅ 通过CoreWLAN获取到SSID: larkmead_staff (接口: en2, 模式: 1)"_s});
        QCOMPARE(m_wifi->lookups.load(), 1);

        m_wifi->interfaceList = {station(u"wlan0"_s, {})};
        m_wifi->defaultInterfaceValue = WifiClient::Interface{u"wlan1"_s, Mode::IBSS, "larkmead_student", true};
        expectLookUp(u"larkmead_student"_s, {u"🔍 接口 wlan0 处于 1 模式但SSID为空"_s, u"🔍 默认接口: wlan1, 模式: 2, 电源: true"_s,
                                             u"✅ 通过CoreWLAN默认接口获取到SSID: larkmead_student"_s});

        m_wifi->interfaceList.clear();
        m_wifi->defaultInterfaceValue = station(u"wlan0"_s, {});
        expectLookUp(std::nullopt, QStringList{u"🔍 默认接口: wlan0, 模式: 1, 电源: true"_s,
                                               u"⚠️ CoreWLAN默认接口处于station模式但SSID为空，可能是权限问题"_s,
                                               u"⚠️ SystemConfiguration无法获取网络接口列表（可能需要位置权限）"_s} + allFailed);

        m_wifi->defaultInterfaceValue = WifiClient::Interface{{}, Mode::HostAccessPoint, {}, false};
        m_wifi->interfaceNames = QStringList{u"wlp1"_s, u"wlp2"_s};
        m_wifi->ssidByName.insert(u"wlp2"_s, QString());
        expectLookUp(QString(), {u"🔍 默认接口: unknown, 模式: 3, 电源: false"_s, u"⚠️ CoreWLAN默认接口未处于station模式（当前模式: 3）"_s,
                                 u"🔍 SystemConfiguration找到 2 个网络接口"_s, u"✅ 通过SystemConfiguration获取到SSID: "_s});

        m_wifi->defaultInterfaceValue.reset();
        m_wifi->ssidByName.clear();
        expectLookUp(std::nullopt, QStringList{u"⚠️ CoreWLAN无法获取默认接口"_s, u"🔍 SystemConfiguration找到 2 个网络接口"_s} + allFailed);
    }

    void withoutPermissionNoSourceIsAsked_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("permissionLines");
        QTest::newRow("not determined") << 0 << QStringList{u"📱 请求位置权限以获取WiFi信息..."_s};
        QTest::newRow("denied") << 2 << QStringList{u"⚠️ 位置权限被拒绝，无法获取WiFi SSID"_s,
                                                   u"💡 请前往 系统设置 > 隐私与安全性 > 位置服务，允许此应用访问位置"_s};
    }

    // Only "always" lets the lookup go ahead; the permission is asked for only when it was never asked.
    void withoutPermissionNoSourceIsAsked()
    {
        QFETCH(int, status);
        QFETCH(QStringList, permissionLines);
        LogCapture log;
        QCOMPARE(probe(static_cast<LocationAuthorization::Status>(status)).getCurrentWiFiSSID(), std::nullopt);
        QCOMPARE(m_wifi->lookups.load(), 0);
        QCOMPARE(m_location->requestCount, status == LocationAuthorization::NotDetermined ? 1 : 0);
        QCOMPARE(log.lines(), (QStringList{u"⚠️ 没有位置权限，无法获取WiFi SSID"_s, u"🔍 当前位置权限状态: %1"_s.arg(status)}
                               + permissionLines));
    }

    void campusNetworksMatchExactly_data()
    {
        QTest::addColumn<QByteArray>("ssid"); // empty: no source can tell it
        QTest::addColumn<bool>("skipCheck");
        QTest::addColumn<bool>("campus");
        QTest::addColumn<QString>("lastLine");
        QTest::newRow("campus") << "larkmead_student"_ba << true << true << u"✅ 已连接到学校WiFi: larkmead_student"_s;
        for (const char *ssid : {"Larkmead_staff", "larkmead_staff ", "larkmead_staff_5G"})
            QTest::newRow(ssid) << QByteArray(ssid) << true << false << u"⚠️ 当前WiFi不是学校网络: "_s + QLatin1String(ssid);
        QTest::newRow("not UTF-8") << "larkmead_staff\xff"_ba << true << false << u"⚠️ 当前WiFi不是学校网络: larkmead_staffÿ"_s;
        QTest::newRow("byte-order mark") << "\xef\xbb\xbflarkmead_staff"_ba << true << false
                                         << u"⚠️ 当前WiFi不是学校网络: \ufefflarkmead_staff"_s;
        // The skip preference stands in for an unreadable SSID only, never for a known other network.
        QTest::newRow("unreadable") << QByteArray() << false << false << u"⚠️ 无法获取当前WiFi SSID"_s;
        QTest::newRow("unreadable, check skipped") << QByteArray() << true << true << u"⚠️ 用户已启用'跳过WiFi检查'选项，允许自动联网"_s;
    }

    void campusNetworksMatchExactly()
    {
        QFETCH(QByteArray, ssid);
        QFETCH(bool, skipCheck);
        QFETCH(bool, campus);
        QFETCH(QString, lastLine);
        m_preferences.setBool(PreferenceKeys::skipWiFiCheckForAutoLogin, skipCheck);
        if (!ssid.isEmpty())
            m_wifi->interfaceList = {station(u"wlan0"_s, ssid)};
        LogCapture log;
        QCOMPARE(probe().isConnectedToSchoolWiFi(), campus);
        QCOMPARE(log.lines().last(), lastLine);
    }
};

QTEST_GUILESS_MAIN(TestNetworkProbe)
#include "tst_networkprobe.moc"
