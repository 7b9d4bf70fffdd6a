#pragma once

#include "desktop/TaskbarPresence.h"

/// Remembers the last choice instead of telling a window manager.
class FakeTaskbarPresence final : public TaskbarPresence
{
public:
    bool shown = true;
    int applications = 0;

    bool isSupported() const override { return true; }
    void setShown(bool value) override
    {
        shown = value;
        ++applications;
    }
};
