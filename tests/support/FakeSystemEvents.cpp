#include "FakeSystemEvents.h"

void FakeSystemEvents::wakeSystem()
{
    if (m_started)
        Q_EMIT systemDidWake();
}

void FakeSystemEvents::wakeScreens()
{
    if (m_started)
        Q_EMIT screensDidWake();
}

void FakeSystemEvents::activateSession()
{
    if (m_started)
        Q_EMIT sessionDidBecomeActive();
}

// The front end forwards application activation whether or not the system events were started.
void FakeSystemEvents::activateApplication()
{
    Q_EMIT applicationDidBecomeActive();
}
