#pragma once

#include "autologin/SystemEvents.h"

/// System events a test raises by hand. Like the real adapters it delivers the system's events only
/// while started; application activation, which the front end forwards, always.
class FakeSystemEvents final : public SystemEvents
{
    Q_OBJECT

public:
    using SystemEvents::SystemEvents;

    void start() override { m_started = true; }
    void stop() override { m_started = false; }
    bool isStarted() const { return m_started; }

    void wakeSystem();
    void wakeScreens();
    void activateSession();
    void activateApplication();

    /// How many connections observe `signal`, given as SIGNAL(systemDidWake()) and the like: lets a
    /// test prove that a restart left exactly one observer behind.
    int observerCount(const char *signal) const { return receivers(signal); }

private:
    bool m_started = false;
};
