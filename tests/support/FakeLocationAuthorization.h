#pragma once

#include "autologin/LocationAuthorization.h"

#include <atomic>

/// A location permission a test sets; counts the requests for it.
class FakeLocationAuthorization final : public LocationAuthorization
{
public:
    explicit FakeLocationAuthorization(Status initial) : m_status(initial) {}

    Status authorizationStatus() const override { return m_status; }
    void requestAlwaysAuthorization() override { ++requestCount; }

    int requestCount = 0;

private:
    std::atomic<Status> m_status;
};
