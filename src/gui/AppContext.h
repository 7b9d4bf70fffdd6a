#pragma once

#include <QCoreApplication>
#include <QtGlobal>

#include <functional>

class AutoLoginManager;
class BannerCenter;
class GlobalShortcutsManager;
class HTTPAuthService;
class KeychainHelper;
class LaunchAtLogin;
class NetworkProbe;
class NotificationCenter;
class Preferences;
class StatisticsManager;
class VersionManager;
class WelcomeManager;

/// What the windows and panes work with: the program's managers and stores, handed to each view's
/// constructor. The tray application fills it from the composition root; a test fills it with its
/// own instances over fakes and local servers. Every member outlives the views.
struct AppContext
{
    Preferences &preferences;
    KeychainHelper &keychain;
    HTTPAuthService &authService;
    StatisticsManager &statistics;
    NetworkProbe &networkProbe;
    NotificationCenter &notifications;
    BannerCenter &banners;
    VersionManager &versions;
    WelcomeManager &welcome;
    /// The "登录时启动" switch's platform side.
    LaunchAtLogin &launchAtLogin;
    /// The auto-login engine of this process; null while another process (netlatchctl daemon) holds
    /// the engine lock and runs it. The switches then only write the preference that process follows.
    AutoLoginManager *autoLogin = nullptr;
    /// The PID of the process that runs the engine when it is not this one (0 when unknown).
    qint64 engineOwnerPid = 0;
    /// The two system-wide shortcuts and their recorder's capture (the shortcuts pane).
    GlobalShortcutsManager *shortcuts = nullptr;
    /// Ends the program ("退出程序", and after a reset); empty: QCoreApplication::quit.
    std::function<void()> quitApplication = {};
    /// Hides (true) or shows the program's taskbar entry and stores "hideDockIcon"; empty: the views
    /// store the preference and the entry follows at the next start.
    std::function<void(bool hidden)> setDockIconHidden = {};
    /// False where the desktop does not let a program hide its taskbar entry (Wayland).
    bool dockIconSupported = true;
    /// Multiplies the views' own delays (the half second before a reset quits); tests shorten it.
    double durationScale = 1.0;

    void quit() const
    {
        if (quitApplication)
            quitApplication();
        else
            QCoreApplication::quit();
    }
};
