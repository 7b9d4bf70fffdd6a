#pragma once

#include "autologin/SystemEvents.h"

/// System events a test raises by emitting the signals itself; notes whether delivery was started.
class FakeSystemEvents final : public SystemEvents
{
    Q_OBJECT

public:
    using SystemEvents::SystemEvents;

    void start() override { m_started = true; }
    void stop() override { m_started = false; }
    bool isStarted() const { return m_started; }

    /// How many connections observe `signal`, given as SIGNAL(systemDidWake()) and the like: lets a
    /// test prove that a restart left exactly one observer behind.
    int observerCount(const char *signal) const { return receivers(signal); }

private:
    bool m_started = false;
};
