#pragma once

#include "autologin/WifiClient.h"

#include <QDBusConnection>
#include <QDBusObjectPath>

/// Reads the Wi-Fi devices from NetworkManager on the system bus: every Wi-Fi device in
/// NetworkManager's order, and the device that carries the primary connection. Where NetworkManager
/// does not run, the list is empty and there is no default interface.
class NetworkManagerWifi
{
public:
    explicit NetworkManagerWifi(QDBusConnection systemBus);

    QList<WifiClient::Interface> interfaces() const;
    std::optional<WifiClient::Interface> defaultInterface() const;

private:
    bool isRadioOn() const;
    std::optional<WifiClient::Interface> wifiInterface(const QDBusObjectPath &device, bool radioOn) const;

    QDBusConnection m_bus;
};
