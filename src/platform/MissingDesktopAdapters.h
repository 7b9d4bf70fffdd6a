#pragma once

#include "platform/DesktopAdapters.h"

#include <QString>

/// What stands in for the desktop adapters when their plugin cannot be loaded: an account store and a
/// banner centre that answer unavailable with `problem` (so the user reads the same words as for a
/// keyring or notification server that is not there), no Wi-Fi interfaces, and no system events.
class MissingDesktopAdapters final : public DesktopAdapters
{
public:
    explicit MissingDesktopAdapters(QString problem);

    SecretStore *createSecretStore() override;
    BannerCenter *createBannerCenter() override;
    WifiClient *createWifiClient() override;
    SystemEvents *createSystemEvents() override;

private:
    QString m_problem;
};
