#pragma once

#include "autologin/LocationAuthorization.h"

/// Linux reveals the SSID without any location permission, so the gate is always open.
class LinuxLocationAuthorization final : public LocationAuthorization
{
    Q_OBJECT

public:
    using LocationAuthorization::LocationAuthorization;

    Status authorizationStatus() const override { return AuthorizedAlways; }
    void requestAlwaysAuthorization() override {}
};
