#include "PrivateDBus.h"
#include "platform/linux/LinuxWifiClient.h"

#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QTest>

namespace {

using Mode = WifiClient::InterfaceMode;

const QString nmService = QStringLiteral("org.freedesktop.NetworkManager");
const QString nmMain = QStringLiteral("/org/freedesktop");
const QString nmManager = QStringLiteral("/org/freedesktop/NetworkManager");
const QString nmManagerInterface = QStringLiteral("org.freedesktop.NetworkManager");
const QString nmWireless = QStringLiteral("org.freedesktop.NetworkManager.Device.Wireless");
const QString mockInterface = QStringLiteral("org.freedesktop.DBus.Mock");
const QString wpaService = QStringLiteral("fi.w1.wpa_supplicant1");

constexpr int deviceActivated = 100;
constexpr int deviceDisconnected = 30;

QVariant variant(const QVariant &value)
{
    return QVariant::fromValue(QDBusVariant(value));
}

QVariant objectPath(const QString &path)
{
    return QVariant::fromValue(QDBusObjectPath(path));
}

} // namespace

class TestLinuxWifiClient : public QObject
{
    Q_OBJECT

    std::unique_ptr<PrivateDBus> m_system;
    std::unique_ptr<PrivateDBus> m_empty;

    void mock(const QString &method, const QVariantList &arguments)
    {
        QVERIFY2(m_system->call(nmService, nmMain, mockInterface, method, arguments), qPrintable(m_system->errorString()));
    }

    void addProperty(const QString &path, const QString &interface, const QString &name, const QVariant &value)
    {
        QVERIFY2(m_system->call(nmService, path, mockInterface, QStringLiteral("AddProperty"), {interface, name, variant(value)}),
                 qPrintable(m_system->errorString()));
    }

    // A Wi-Fi device `name` with an access point broadcasting `ssid`; returns the device's path.
    QString addWifiDevice(const QString &name, int state, const QString &ssid)
    {
        const QString device = nmManager + QStringLiteral("/Devices/") + name;
        const QString accessPoint = nmManager + QStringLiteral("/AccessPoint/ap_") + name;
        mock(QStringLiteral("AddWiFiDevice"), {name, name, state});
        mock(QStringLiteral("AddAccessPoint"), {device, QString(QStringLiteral("ap_") + name), ssid,
                                                QStringLiteral("00:11:22:33:44:55"), 2u, 2412u, 54000u,
                                                QVariant::fromValue<uchar>(80), 0u});
        return device;
    }

    void associate(const QString &device, const QString &name)
    {
        addProperty(device, nmWireless, QStringLiteral("ActiveAccessPoint"),
                    objectPath(nmManager + QStringLiteral("/AccessPoint/ap_") + name));
    }

    void makePrimary(const QString &device, const QString &name, const QString &ssid)
    {
        mock(QStringLiteral("AddWiFiConnection"), {device, QString(QStringLiteral("conn_") + name), ssid, QStringLiteral("wpa-psk")});
        mock(QStringLiteral("AddActiveConnection"),
             {QStringList{device}, QString(nmManager + QStringLiteral("/Settings/conn_") + name),
              QString(nmManager + QStringLiteral("/AccessPoint/ap_") + name), QString(QStringLiteral("active_") + name), 2u});
        addProperty(nmManager, nmManagerInterface, QStringLiteral("PrimaryConnection"),
                    objectPath(nmManager + QStringLiteral("/ActiveConnection/active_") + name));
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_system = std::make_unique<PrivateDBus>(PrivateDBus::Role::System);
        QVERIFY2(m_system->isRunning(), qPrintable(m_system->errorString()));
        QVERIFY2(m_system->startMock({QStringLiteral("--template"), QStringLiteral("networkmanager")}, nmService),
                 qPrintable(m_system->errorString()));
        const QString wpaTemplate =
            qEnvironmentVariable("NETLATCH_SOURCE_DIR") + QStringLiteral("/tests/support/dbusmock/wpa_supplicant.py");
        QVERIFY2(m_system->startMock({QStringLiteral("--template"), wpaTemplate, QStringLiteral("--parameters"),
                                      QStringLiteral(R"({"interfaces": [["wlp3s0", null], ["wlp2s0", "larkmead_staff"]]})")},
                                     wpaService),
                 qPrintable(m_system->errorString()));
        // A bus of its own where neither service runs.
        m_empty = std::make_unique<PrivateDBus>(PrivateDBus::Role::Session);
        QVERIFY2(m_empty->isRunning(), qPrintable(m_empty->errorString()));
    }

    void init()
    {
        QVERIFY(m_system->call(nmService, nmMain, mockInterface, QStringLiteral("Reset")));
    }

    // Devices come in NetworkManager's order, other kinds left out; only an active access point
    // means joined. The primary connection's device is the default interface.
    void joinedWifiDeviceIsRead()
    {
        mock(QStringLiteral("AddEthernetDevice"), {QStringLiteral("eth0"), QStringLiteral("eth0"), deviceActivated});
        addWifiDevice(QStringLiteral("wlan1"), deviceDisconnected, QStringLiteral("elsewhere"));
        const QString joined = addWifiDevice(QStringLiteral("wlan0"), deviceActivated, QStringLiteral("larkmead_staff"));
        associate(joined, QStringLiteral("wlan0"));
        makePrimary(joined, QStringLiteral("wlan0"), QStringLiteral("larkmead_staff"));

        LinuxWifiClient client(QDBusConnection::systemBus());
        const QList<WifiClient::Interface> interfaces = client.interfaces();
        QCOMPARE(interfaces.size(), 2);
        QCOMPARE(interfaces[0].name, QStringLiteral("wlan1"));
        QCOMPARE(interfaces[0].mode, Mode::None);
        QCOMPARE(interfaces[0].ssid, std::nullopt);
        QVERIFY(interfaces[0].powerOn);
        QCOMPARE(interfaces[1].name, QStringLiteral("wlan0"));
        QCOMPARE(interfaces[1].mode, Mode::Station);
        QCOMPARE(interfaces[1].ssid, QByteArray("larkmead_staff"));
        const std::optional<WifiClient::Interface> primary = client.defaultInterface();
        QVERIFY(primary);
        QCOMPARE(primary->name, QStringLiteral("wlan0"));
        QCOMPARE(primary->ssid, QByteArray("larkmead_staff"));

    }

    // With the radio off a device is powered off and joined to nothing, whatever state and access
    // point it last reported.
    void radioOff()
    {
        const QString device = addWifiDevice(QStringLiteral("wlan0"), deviceActivated, QStringLiteral("larkmead_staff"));
        associate(device, QStringLiteral("wlan0"));
        mock(QStringLiteral("SetProperty"), {nmManager, nmManagerInterface, QStringLiteral("WirelessEnabled"), variant(false)});

        const QList<WifiClient::Interface> interfaces = LinuxWifiClient(QDBusConnection::systemBus()).interfaces();
        QCOMPARE(interfaces.size(), 1);
        QVERIFY(!interfaces[0].powerOn);
        QCOMPARE(interfaces[0].mode, Mode::None);
        QCOMPARE(interfaces[0].ssid, std::nullopt);
    }

    void noDevice()
    {
        LinuxWifiClient client(QDBusConnection::systemBus());
        QVERIFY(client.interfaces().isEmpty());
        QCOMPARE(client.defaultInterface().has_value(), false);
    }

    void noActiveAccessPoint()
    {
        addWifiDevice(QStringLiteral("wlan0"), deviceDisconnected, QStringLiteral("larkmead_staff"));
        addProperty(nmManager + QStringLiteral("/Devices/wlan0"), nmWireless, QStringLiteral("ActiveAccessPoint"),
                    objectPath(QStringLiteral("/")));
        const QList<WifiClient::Interface> interfaces = LinuxWifiClient(QDBusConnection::systemBus()).interfaces();
        QCOMPARE(interfaces.size(), 1);
        QVERIFY(interfaces[0].powerOn);
        QCOMPARE(interfaces[0].mode, Mode::None);
        QCOMPARE(interfaces[0].ssid, std::nullopt);
    }

    void wpaSupplicantIsTheSecondSource()
    {
        LinuxWifiClient client(QDBusConnection::systemBus());
        QCOMPARE(client.supportedInterfaceNames(), (QStringList{QStringLiteral("wlp3s0"), QStringLiteral("wlp2s0")}));
        QCOMPARE(client.currentNetworkSSID(QStringLiteral("wlp3s0")), std::nullopt);
        QCOMPARE(client.currentNetworkSSID(QStringLiteral("wlp2s0")), QStringLiteral("larkmead_staff"));
        QCOMPARE(client.currentNetworkSSID(QStringLiteral("wlan9")), std::nullopt);
    }

    void servicesAbsent()
    {
        LinuxWifiClient client(QDBusConnection::sessionBus());
        QVERIFY(client.interfaces().isEmpty());
        QCOMPARE(client.defaultInterface().has_value(), false);
        QCOMPARE(client.supportedInterfaceNames(), std::nullopt);
        QCOMPARE(client.currentNetworkSSID(QStringLiteral("wlan0")), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(TestLinuxWifiClient)
#include "tst_linuxwificlient.moc"
