#pragma once

class AutoLoginManager;
class BannerCenter;
class HTTPAuthService;
class KeychainHelper;
class Preferences;
class StatisticsManager;

/// The composition root shared by the tray application and netlatchctl: the one place that creates
/// the program's production instances with their Linux adapters and installs them as `X::shared()`.
/// Each instance is created on first use, in dependency order, and lives until the process ends.
namespace AppServices {

Preferences &preferences();
/// The account store on the desktop's Secret Service (session bus).
KeychainHelper &keychain();
/// The banner centre on the desktop's notification server (session bus).
BannerCenter &bannerCenter();
/// The auto-login engine, reading Wi-Fi from NetworkManager and wpa_supplicant (system bus) and
/// probing the build's probe URL.
AutoLoginManager &autoLoginManager();
/// The login record store, uploading to the build's statistics server.
StatisticsManager &statisticsManager();
/// The portal login client, signing in at the build's portal address.
HTTPAuthService &authService();

} // namespace AppServices
