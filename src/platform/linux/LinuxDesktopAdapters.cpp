#include "platform/linux/LinuxDesktopAdapters.h"

#include "platform/linux/FreedesktopBannerCenter.h"
#include "platform/linux/LibsecretSecretStore.h"
#include "platform/linux/LinuxSystemEvents.h"
#include "platform/linux/LinuxWifiClient.h"

SecretStore *LinuxDesktopAdapters::createSecretStore()
{
    return new LibsecretSecretStore;
}

BannerCenter *LinuxDesktopAdapters::createBannerCenter()
{
    return new FreedesktopBannerCenter(QDBusConnection::sessionBus());
}

WifiClient *LinuxDesktopAdapters::createWifiClient()
{
    return new LinuxWifiClient(QDBusConnection::systemBus());
}

SystemEvents *LinuxDesktopAdapters::createSystemEvents()
{
    return new LinuxSystemEvents(QDBusConnection::systemBus(), QDBusConnection::sessionBus());
}
