#pragma once

#include <functional>

/// The desktop's tray, as the application waits for it. At log-in the panel may come up after the
/// application, and the kind of tray icon is fixed the first time one is made, so the icon is created
/// only once a tray host is there or waiting has stopped making sense.
class TrayHost
{
public:
    virtual ~TrayHost() = default;

    /// Calls `ready` once, on the main thread: as soon as a tray host is there, or when the wait
    /// ends without one (the icon then goes to whatever tray the desktop has, if any).
    virtual void whenAvailable(std::function<void()> ready) = 0;
};
