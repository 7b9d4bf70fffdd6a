#pragma once

#include "common/PluginApi.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

/// What the system's Wi-Fi services say about the computer's wireless interfaces. The SSID lookup
/// asks them in a fixed order and takes the first SSID found. Implementations answer synchronously
/// and may be called from any thread; a service that is not there reads as empty or absent.
class WifiClient
{
public:
    /// How an interface takes part in a network. Station and IBSS mean joined to a network.
    enum class InterfaceMode : int { None = 0, Station = 1, IBSS = 2, HostAccessPoint = 3 };

    struct Interface
    {
        std::optional<QString> name;
        InterfaceMode mode = InterfaceMode::None;
        /// The SSID's bytes as the system reports them; absent when not associated.
        std::optional<QByteArray> ssid;
        bool powerOn = false;
    };

    virtual ~WifiClient() = default;

    /// An SSID's bytes as text: UTF-8, or byte for byte (Latin-1) when they are not UTF-8, so that a
    /// garbled name is still shown and can never equal a campus name. A leading byte-order mark is
    /// part of the name: a network called that is not the campus network without it.
    NETLATCH_PLUGIN_API static QString ssidText(const QByteArray &ssid);

    /// Every Wi-Fi interface, in the order the system lists them.
    virtual QList<Interface> interfaces() const = 0;

    /// The interface the system routes through, when it is a Wi-Fi interface.
    virtual std::optional<Interface> defaultInterface() const = 0;

    /// The second source's interface names; absent when that source cannot list them.
    virtual std::optional<QStringList> supportedInterfaceNames() const = 0;

    /// The SSID the second source reports for one interface; absent when the lookup fails.
    virtual std::optional<QString> currentNetworkSSID(const QString &interfaceName) const = 0;
};
