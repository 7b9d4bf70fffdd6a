#pragma once

#include "autologin/LocationAuthorization.h"

#include <atomic>

/// A location permission a test sets.
class FakeLocationAuthorization final : public LocationAuthorization
{
public:
    explicit FakeLocationAuthorization(Status initial) : m_status(initial) {}

    Status authorizationStatus() const override { return m_status; }
    void requestAlwaysAuthorization() override {}

private:
    std::atomic<Status> m_status;
};
