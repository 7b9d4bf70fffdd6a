#pragma once

class AutoLoginManager;
class BannerCenter;
class DesktopAdapters;
class HTTPAuthService;
class KeychainHelper;
class LaunchAtLogin;
class NetworkProbe;
class Preferences;
class StatisticsManager;
class SystemEvents;
class VersionManager;
class WelcomeManager;

/// The composition root shared by the tray application and netlatchctl: the one place that creates
/// the program's production instances with their Linux adapters and installs them as `X::shared()`.
/// Each instance is created on first use, in dependency order, and lives until the process ends.
namespace AppServices {

/// Run as a system service (systemd's $STATE_DIRECTORY, $RUNTIME_DIRECTORY), the preferences and the
/// history live in the state folder and the engine's lock in the runtime folder. Call before anything
/// else reads a folder.
void useServiceDirectories();
/// The D-Bus and Secret Service adapters of a program that links them (the tray application); call
/// before anything asks for a service. Without it they come from the plugin netlatch-linux-desktop,
/// loaded when the first of them is needed (DesktopPlugin).
void useDesktopAdapters(DesktopAdapters &adapters);
Preferences &preferences();
/// The account store: the service's credentials ($CREDENTIALS_DIRECTORY) when they hold the account,
/// else the desktop's Secret Service (session bus).
KeychainHelper &keychain();
/// The banner centre on the desktop's notification server (session bus).
BannerCenter &bannerCenter();
/// The Wi-Fi, campus-network and connectivity questions: Wi-Fi from NetworkManager and
/// wpa_supplicant (system bus), the probe at the build's probe URL. Asking them starts no engine.
NetworkProbe &networkProbe();
/// The system's wake, unlock and screen-saver events (logind and the screen saver over D-Bus); a
/// graphical front end adds the application's becoming active.
SystemEvents &systemEvents();
/// The auto-login engine over networkProbe(), with system events from logind and the screen saver;
/// it starts listening at once when automatic sign-in is switched on.
AutoLoginManager &autoLoginManager();
/// The login record store, uploading to the build's statistics server.
StatisticsManager &statisticsManager();
/// The portal login client, signing in at the build's portal address.
HTTPAuthService &authService();
/// Which version's update log the user has seen.
VersionManager &versionManager();
/// Whether the welcome pages were finished.
WelcomeManager &welcomeManager();
/// Starting the tray application at log-in: the user's XDG autostart entry.
LaunchAtLogin &launchAtLogin();

} // namespace AppServices
