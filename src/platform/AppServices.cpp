#include "platform/AppServices.h"

#include "auth/HTTPAuthService.h"
#include "autologin/AutoLoginManager.h"
#include "autologin/NetworkProbe.h"
#include "common/BuildConfig.h"
#include "common/Clock.h"
#include "common/NotificationCenter.h"
#include "desktop/BannerCenter.h"
#include "desktop/VersionManager.h"
#include "desktop/WelcomeManager.h"
#include "platform/linux/AutostartEntry.h"
#include "platform/linux/FreedesktopBannerCenter.h"
#include "platform/linux/LibsecretSecretStore.h"
#include "platform/linux/LinuxLocationAuthorization.h"
#include "platform/linux/LinuxSystemEvents.h"
#include "platform/linux/LinuxWifiClient.h"
#include "stats/StatisticsManager.h"
#include "store/KeychainHelper.h"
#include "store/Preferences.h"

namespace AppServices {

// The instances are deliberately never deleted: they live as long as the process.

Preferences &preferences()
{
    if (!Preferences::hasShared())
        Preferences::setShared(new Preferences(Preferences::userSettings()));
    return Preferences::shared();
}

KeychainHelper &keychain()
{
    if (!KeychainHelper::hasShared())
        KeychainHelper::setShared(new KeychainHelper(*new LibsecretSecretStore));
    return KeychainHelper::shared();
}

BannerCenter &bannerCenter()
{
    if (!BannerCenter::hasShared())
        BannerCenter::setShared(new FreedesktopBannerCenter(QDBusConnection::sessionBus()));
    return BannerCenter::shared();
}

NetworkProbe &networkProbe()
{
    static NetworkProbe *const probe =
        new NetworkProbe(*new LinuxWifiClient(QDBusConnection::systemBus()), *new LinuxLocationAuthorization,
                         preferences(), QString::fromUtf8(BuildConfig::probeURL),
                         QString::fromUtf8(BuildConfig::portalAddress));
    return *probe;
}

SystemEvents &systemEvents()
{
    static SystemEvents *const events =
        new LinuxSystemEvents(QDBusConnection::systemBus(), QDBusConnection::sessionBus());
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
