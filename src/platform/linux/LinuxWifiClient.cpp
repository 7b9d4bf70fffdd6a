#include "platform/linux/LinuxWifiClient.h"

LinuxWifiClient::LinuxWifiClient(const QDBusConnection &systemBus)
    : m_networkManager(systemBus)
    , m_wpaSupplicant(systemBus)
{
}

QList<WifiClient::Interface> LinuxWifiClient::interfaces() const
{
    return m_networkManager.interfaces();
}

std::optional<WifiClient::Interface> LinuxWifiClient::defaultInterface() const
{
    return m_networkManager.defaultInterface();
}

std::optional<QStringList> LinuxWifiClient::supportedInterfaceNames() const
{
    return m_wpaSupplicant.interfaceNames();
}

std::optional<QString> LinuxWifiClient::currentNetworkSSID(const QString &interfaceName) const
{
    return m_wpaSupplicant.currentSSID(interfaceName);
}
