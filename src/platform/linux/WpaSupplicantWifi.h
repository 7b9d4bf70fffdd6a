#pragma once

#include <QDBusConnection>
#include <QString>
#include <QStringList>

#include <optional>

/// Reads the interfaces wpa_supplicant manages and the network each is associated with, from its
/// D-Bus service on the system bus. wpa_supplicant is there on nearly every Debian desktop and
/// laptop: NetworkManager drives Wi-Fi through it, and setups without NetworkManager (ifupdown,
/// systemd-networkd) run it directly, so it still answers where NetworkManager is absent.
class WpaSupplicantWifi
{
public:
    explicit WpaSupplicantWifi(QDBusConnection systemBus);

    /// The managed interfaces' names; absent when wpa_supplicant does not answer.
    std::optional<QStringList> interfaceNames() const;

    /// The SSID of the network `interfaceName` is associated with; absent when it is associated with
    /// none or is unknown to wpa_supplicant.
    std::optional<QString> currentSSID(const QString &interfaceName) const;

private:
    QDBusConnection m_bus;
};
