#pragma once

#include "shortcuts/KeyCombo.h"

#include <functional>

/// A hook on the key presses inside the application, ahead of every view.
class KeyDownMonitor
{
public:
    using Token = quint64;
    /// Told each press as its key position and all modifier flags the platform reports (AppKit's
    /// encoding, lock and keypad bits included); returns true to swallow the press. Bare modifier
    /// presses are not keys and never reach it.
    using Handler = std::function<bool(const KeyCombo &press)>;

    virtual ~KeyDownMonitor() = default;

    virtual Token addMonitor(Handler handler) = 0;
    virtual void removeMonitor(Token token) = 0;
};
