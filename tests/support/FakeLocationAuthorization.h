#pragma once

#include "autologin/LocationAuthorization.h"

#include <QThread>

#include <atomic>

/// A location permission a test sets; records each request and the thread it came from.
class FakeLocationAuthorization final : public LocationAuthorization
{
public:
    explicit FakeLocationAuthorization(Status initial) : m_status(initial) {}

    Status authorizationStatus() const override { return m_status; }
    void requestAlwaysAuthorization() override
    {
        ++requestCount;
        requestThread = QThread::currentThread();
    }

    /// The user answered: the status changes and the change is announced.
    void change(Status status)
    {
        m_status = status;
        Q_EMIT authorizationChanged();
    }

    int requestCount = 0;
    QThread *requestThread = nullptr;

private:
    std::atomic<Status> m_status;
};
