#pragma once

#include "autologin/WifiClient.h"

#include <QMap>

#include <atomic>

/// A Wi-Fi client answering from fields a test fills in; counts how often any source was asked.
class FakeWifiClient final : public WifiClient
{
public:
    QList<Interface> interfaceList;
    std::optional<Interface> defaultInterfaceValue;
    std::optional<QStringList> interfaceNames;
    /// SSIDs of the second source by interface name; a name missing here fails its lookup.
    QMap<QString, QString> ssidByName;

    mutable std::atomic<int> lookups{0};

    QList<Interface> interfaces() const override
    {
        ++lookups;
        return interfaceList;
    }
    std::optional<Interface> defaultInterface() const override
    {
        ++lookups;
        return defaultInterfaceValue;
    }
    std::optional<QStringList> supportedInterfaceNames() const override
    {
        ++lookups;
        return interfaceNames;
    }
    std::optional<QString> currentNetworkSSID(const QString &interfaceName) const override
    {
        ++lookups;
        if (!ssidByName.contains(interfaceName))
            return std::nullopt;
        return ssidByName.value(interfaceName);
    }

    static Interface station(const QString &name, const QByteArray &ssid)
    {
        return {name, InterfaceMode::Station, ssid, true};
    }
};
