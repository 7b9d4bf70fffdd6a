#include "platform/linux/NetworkManagerWifi.h"

#include "platform/linux/DBusObject.h"

#include <QDBusArgument>

namespace {

const QString service = QStringLiteral("org.freedesktop.NetworkManager");
const QString managerPath = QStringLiteral("/org/freedesktop/NetworkManager");
const QString managerInterface = QStringLiteral("org.freedesktop.NetworkManager");
const QString deviceInterface = QStringLiteral("org.freedesktop.NetworkManager.Device");
const QString wirelessInterface = QStringLiteral("org.freedesktop.NetworkManager.Device.Wireless");
const QString accessPointInterface = QStringLiteral("org.freedesktop.NetworkManager.AccessPoint");
const QString activeConnectionInterface = QStringLiteral("org.freedesktop.NetworkManager.Connection.Active");
const QString noObject = QStringLiteral("/");

// NMDeviceType, NMDeviceState and NM80211Mode values.
constexpr uint deviceTypeWifi = 2;
constexpr uint deviceStateUnavailable = 20;
constexpr uint modeAdhoc = 1;
constexpr uint modeInfrastructure = 2;
constexpr uint modeAccessPoint = 3;

QList<QDBusObjectPath> objectPaths(const QVariant &value)
{
    return qdbus_cast<QList<QDBusObjectPath>>(value);
}

bool isObject(const QDBusObjectPath &path)
{
    return !path.path().isEmpty() && path.path() != noObject;
}

// NetworkManager keeps the mode of the last association; only an active access point means joined.
WifiClient::InterfaceMode interfaceMode(uint mode, bool associated)
{
    if (!associated)
        return WifiClient::InterfaceMode::None;
    switch (mode) {
    case modeInfrastructure:
        return WifiClient::InterfaceMode::Station;
    case modeAdhoc:
        return WifiClient::InterfaceMode::IBSS;
    case modeAccessPoint:
        return WifiClient::InterfaceMode::HostAccessPoint;
    default:
        return WifiClient::InterfaceMode::None;
    }
}

} // namespace

NetworkManagerWifi::NetworkManagerWifi(QDBusConnection systemBus) : m_bus(std::move(systemBus)) {}

QList<WifiClient::Interface> NetworkManagerWifi::interfaces() const
{
    const std::optional<QVariant> devices = DBusObject(m_bus, service, managerPath).call(managerInterface, QStringLiteral("GetDevices"));
    if (!devices)
        return {};
    const bool radioOn = isRadioOn();
    QList<WifiClient::Interface> result;
    for (const QDBusObjectPath &device : objectPaths(*devices)) {
        if (auto interface = wifiInterface(device, radioOn))
            result.append(*interface);
    }
    return result;
}

std::optional<WifiClient::Interface> NetworkManagerWifi::defaultInterface() const
{
    const std::optional<QVariant> primary =
        DBusObject(m_bus, service, managerPath).property(managerInterface, QStringLiteral("PrimaryConnection"));
    if (!primary || !isObject(primary->value<QDBusObjectPath>()))
        return std::nullopt;
    const std::optional<QVariant> devices = DBusObject(m_bus, service, primary->value<QDBusObjectPath>().path())
                                                .property(activeConnectionInterface, QStringLiteral("Devices"));
    if (!devices || objectPaths(*devices).isEmpty())
        return std::nullopt;
    return wifiInterface(objectPaths(*devices).constFirst(), isRadioOn());
}

bool NetworkManagerWifi::isRadioOn() const
{
    const QVariantMap manager = DBusObject(m_bus, service, managerPath).properties(managerInterface);
    return manager.value(QStringLiteral("WirelessEnabled")).toBool() &&
           manager.value(QStringLiteral("WirelessHardwareEnabled"), true).toBool();
}

std::optional<WifiClient::Interface> NetworkManagerWifi::wifiInterface(const QDBusObjectPath &device, bool radioOn) const
{
    const DBusObject deviceObject(m_bus, service, device.path());
    const QVariantMap deviceProperties = deviceObject.properties(deviceInterface);
    if (deviceProperties.value(QStringLiteral("DeviceType")).toUInt() != deviceTypeWifi)
        return std::nullopt;

    WifiClient::Interface interface;
    if (const QString name = deviceProperties.value(QStringLiteral("Interface")).toString(); !name.isEmpty())
        interface.name = name;
    interface.powerOn = radioOn && deviceProperties.value(QStringLiteral("State")).toUInt() != deviceStateUnavailable;

    const QVariantMap wireless = deviceObject.properties(wirelessInterface);
    const auto accessPoint = wireless.value(QStringLiteral("ActiveAccessPoint")).value<QDBusObjectPath>();
    const bool associated = interface.powerOn && isObject(accessPoint);
    interface.mode = interfaceMode(wireless.value(QStringLiteral("Mode")).toUInt(), associated);
    if (associated) {
        if (auto ssid = DBusObject(m_bus, service, accessPoint.path()).property(accessPointInterface, QStringLiteral("Ssid")))
            interface.ssid = ssid->toByteArray();
    }
    return interface;
}
