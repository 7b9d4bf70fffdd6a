#pragma once

#include "platform/DesktopAdapters.h"

/// The Linux desktop adapters on the process's own session and system buses.
class LinuxDesktopAdapters final : public DesktopAdapters
{
public:
    SecretStore *createSecretStore() override;
    BannerCenter *createBannerCenter() override;
    WifiClient *createWifiClient() override;
    SystemEvents *createSystemEvents() override;
};
