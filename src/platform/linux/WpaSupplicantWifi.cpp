#include "platform/linux/WpaSupplicantWifi.h"

#include "autologin/WifiClient.h"
#include "platform/linux/DBusObject.h"

#include <QDBusArgument>
#include <QDBusObjectPath>

namespace {
const QString service = QStringLiteral("fi.w1.wpa_supplicant1");
const QString rootPath = QStringLiteral("/fi/w1/wpa_supplicant1");
const QString rootInterface = QStringLiteral("fi.w1.wpa_supplicant1");
const QString interfaceInterface = QStringLiteral("fi.w1.wpa_supplicant1.Interface");
const QString bssInterface = QStringLiteral("fi.w1.wpa_supplicant1.BSS");
const QString noObject = QStringLiteral("/");
} // namespace

WpaSupplicantWifi::WpaSupplicantWifi(QDBusConnection systemBus) : m_bus(std::move(systemBus)) {}

std::optional<QStringList> WpaSupplicantWifi::interfaceNames() const
{
    const std::optional<QVariant> interfaces =
        DBusObject(m_bus, service, rootPath).property(rootInterface, QStringLiteral("Interfaces"));
    if (!interfaces)
        return std::nullopt;
    QStringList names;
    for (const QDBusObjectPath &path : qdbus_cast<QList<QDBusObjectPath>>(*interfaces)) {
        if (auto name = DBusObject(m_bus, service, path.path()).property(interfaceInterface, QStringLiteral("Ifname")))
            names.append(name->toString());
    }
    return names;
}

std::optional<QString> WpaSupplicantWifi::currentSSID(const QString &interfaceName) const
{
    const std::optional<QVariant> interface =
        DBusObject(m_bus, service, rootPath).call(rootInterface, QStringLiteral("GetInterface"), {interfaceName});
    if (!interface)
        return std::nullopt;
    const std::optional<QVariant> bss = DBusObject(m_bus, service, interface->value<QDBusObjectPath>().path())
                                            .property(interfaceInterface, QStringLiteral("CurrentBSS"));
    const QString bssPath = bss ? bss->value<QDBusObjectPath>().path() : QString();
    if (bssPath.isEmpty() || bssPath == noObject)
        return std::nullopt;
    const std::optional<QVariant> ssid = DBusObject(m_bus, service, bssPath).property(bssInterface, QStringLiteral("SSID"));
    if (!ssid)
        return std::nullopt;
    return WifiClient::ssidText(ssid->toByteArray());
}
