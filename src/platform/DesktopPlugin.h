#pragma once

class DesktopAdapters;

/// The plugin netlatch-linux-desktop, which holds the D-Bus and Secret Service adapters: looked for
/// next to the program (the build tree) and then in the package's library folder.
namespace DesktopPlugin {

/// The plugin's adapters, loaded on the first call. A plugin that cannot be loaded is logged once and
/// answered by stand-ins (MissingDesktopAdapters): the keyring and the banners are then unavailable,
/// no Wi-Fi is seen and no system event heard.
DesktopAdapters &adapters();

} // namespace DesktopPlugin
