#pragma once

#include "autologin/WifiClient.h"
#include "platform/linux/NetworkManagerWifi.h"
#include "platform/linux/WpaSupplicantWifi.h"

/// The Wi-Fi port on Linux: NetworkManager for the interface list and the default interface,
/// wpa_supplicant as the second source, both over the given system bus.
class LinuxWifiClient final : public WifiClient
{
public:
    explicit LinuxWifiClient(const QDBusConnection &systemBus);

    QList<Interface> interfaces() const override;
    std::optional<Interface> defaultInterface() const override;
    std::optional<QStringList> supportedInterfaceNames() const override;
    std::optional<QString> currentNetworkSSID(const QString &interfaceName) const override;

private:
    NetworkManagerWifi m_networkManager;
    WpaSupplicantWifi m_wpaSupplicant;
};
