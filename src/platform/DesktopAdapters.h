#pragma once

class BannerCenter;
class SecretStore;
class SystemEvents;
class WifiClient;

/// The adapters that speak D-Bus or the Secret Service (libsecret): the account store, the banner
/// centre, the Wi-Fi questions and the system events. netlatchctl takes them from the plugin
/// netlatch-linux-desktop on first use (DesktopPlugin), so that a command that never asks for one
/// loads neither library; the tray application, which always uses them, links them itself.
/// Each call creates a new instance that the caller owns; none is ever null.
class DesktopAdapters
{
public:
    virtual ~DesktopAdapters() = default;

    /// The desktop's Secret Service on the session bus.
    virtual SecretStore *createSecretStore() = 0;
    /// The notification server on the session bus.
    virtual BannerCenter *createBannerCenter() = 0;
    /// NetworkManager and wpa_supplicant on the system bus.
    virtual WifiClient *createWifiClient() = 0;
    /// logind, NetworkManager (system bus) and the screen saver (session bus).
    virtual SystemEvents *createSystemEvents() = 0;
};
