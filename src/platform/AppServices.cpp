#include "platform/AppServices.h"

#include "auth/HTTPAuthService.h"
#include "autologin/AutoLoginManager.h"
#include "autologin/NetworkProbe.h"
#include "autologin/SystemEvents.h"
#include "common/BuildConfig.h"
#include "common/Clock.h"
#include "common/NotificationCenter.h"
#include "desktop/BannerCenter.h"
#include "desktop/VersionManager.h"
#include "desktop/WelcomeManager.h"
#include "platform/AutostartEntry.h"
#include "platform/CredentialsDirectorySecretStore.h"
#include "platform/DesktopAdapters.h"
#include "platform/DesktopPlugin.h"
#include "platform/LinuxLocationAuthorization.h"
#include "stats/StatisticsManager.h"
#include "store/KeychainHelper.h"
#include "store/Preferences.h"

#include <QFile>

namespace AppServices {

// The instances are deliberately never deleted: they live as long as the process.

namespace {

DesktopAdapters *givenDesktopAdapters = nullptr;

// The D-Bus and Secret Service adapters: the program's own, or else the plugin's, loaded now.
DesktopAdapters &desktopAdapters()
{
    return givenDesktopAdapters ? *givenDesktopAdapters : DesktopPlugin::adapters();
}

} // namespace

void useDesktopAdapters(DesktopAdapters &adapters)
{
    givenDesktopAdapters = &adapters;
}

Preferences &preferences()
{
    if (!Preferences::hasShared())
        Preferences::setShared(new Preferences(Preferences::userSettings()));
    return Preferences::shared();
}

void useServiceDirectories()
{
    // systemd's folders for a system service; in a desktop session none of them is set.
    const QString state = qEnvironmentVariable("STATE_DIRECTORY").section(QLatin1Char(':'), 0, 0);
    if (!state.isEmpty()) {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(state));
        qputenv("XDG_DATA_HOME", QFile::encodeName(state));
    }
    const QString runtime = qEnvironmentVariable("RUNTIME_DIRECTORY").section(QLatin1Char(':'), 0, 0);
    if (!runtime.isEmpty() && !qEnvironmentVariableIsSet("XDG_RUNTIME_DIR"))
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
}

KeychainHelper &keychain()
{
    if (!KeychainHelper::hasShared()) {
        // A service's own credentials come first and stand alone: the desktop keyring is not asked then.
        const QString credentials = qEnvironmentVariable(CredentialsDirectorySecretStore::directoryVariable);
        SecretStore *store = CredentialsDirectorySecretStore::holdsAccount(credentials)
            ? new CredentialsDirectorySecretStore(credentials)
            : desktopAdapters().createSecretStore();
        KeychainHelper::setShared(new KeychainHelper(*store));
    }
    return KeychainHelper::shared();
}

BannerCenter &bannerCenter()
{
    if (!BannerCenter::hasShared())
        BannerCenter::setShared(desktopAdapters().createBannerCenter());
    return BannerCenter::shared();
}

NetworkProbe &networkProbe()
{
    static NetworkProbe *const probe =
        new NetworkProbe(*desktopAdapters().createWifiClient(), *new LinuxLocationAuthorization,
                         preferences(), QString::fromUtf8(BuildConfig::probeURL),
                         QString::fromUtf8(BuildConfig::portalAddress));
    return *probe;
}

SystemEvents &systemEvents()
{
    static SystemEvents *const events = desktopAdapters().createSystemEvents();
    return *events;
}

AutoLoginManager &autoLoginManager()
{
    if (!AutoLoginManager::hasShared()) {
        AutoLoginManager::setShared(
            new AutoLoginManager(networkProbe(), systemEvents(), keychain(), authService(), bannerCenter(),
                                 NotificationCenter::defaultCenter(), preferences(), Clock::system()));
    }
    return AutoLoginManager::shared();
}

StatisticsManager &statisticsManager()
{
    if (!StatisticsManager::hasShared()) {
        StatisticsManager::setShared(new StatisticsManager(preferences(), Clock::system(),
                                                           QString::fromLatin1(BuildConfig::statsApiBase)));
    }
    return StatisticsManager::shared();
}

HTTPAuthService &authService()
{
    if (!HTTPAuthService::hasShared()) {
        StatisticsManager &statistics = statisticsManager();
        HTTPAuthService::setShared(new HTTPAuthService(
            QString::fromUtf8(BuildConfig::portalAddress), NotificationCenter::defaultCenter(),
            [&statistics](const QString &username) { statistics.recordLogin(username); }));
    }
    return HTTPAuthService::shared();
}

VersionManager &versionManager()
{
    if (!VersionManager::hasShared())
        VersionManager::setShared(new VersionManager(preferences()));
    return VersionManager::shared();
}

WelcomeManager &welcomeManager()
{
    if (!WelcomeManager::hasShared())
        WelcomeManager::setShared(new WelcomeManager(preferences()));
    return WelcomeManager::shared();
}

LaunchAtLogin &launchAtLogin()
{
    static LaunchAtLogin *const entry = new AutostartEntry;
    return *entry;
}

} // namespace AppServices
