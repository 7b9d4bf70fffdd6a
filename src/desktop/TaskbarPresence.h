#pragma once

/// Whether the application shows up in the taskbar and the window switcher (the "Dock icon"), as the
/// desktop realises it. Main thread only.
class TaskbarPresence
{
public:
    virtual ~TaskbarPresence() = default;

    /// False where the desktop gives an application no say (Wayland, no window system): setShown()
    /// then does nothing and the switch for it is shown disabled.
    virtual bool isSupported() const = 0;
    /// Shows the application's windows in the taskbar and the pager, or keeps them out of both.
    virtual void setShown(bool shown) = 0;
};
