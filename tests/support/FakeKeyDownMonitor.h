#pragma once

#include "shortcuts/KeyDownMonitor.h"

#include <map>

/// Key presses delivered by the test instead of Qt.
class FakeKeyDownMonitor final : public KeyDownMonitor
{
public:
    std::map<Token, Handler> handlers;

    Token addMonitor(Handler handler) override
    {
        handlers.emplace(m_next, std::move(handler));
        return m_next++;
    }
    void removeMonitor(Token token) override { handlers.erase(token); }

    /// Delivers one press; true when a monitor swallowed it. A handler may remove itself meanwhile.
    bool press(const KeyCombo &combo)
    {
        const auto installed = handlers;
        for (const auto &[token, handler] : installed) {
            if (handlers.count(token) && handler(combo))
                return true;
        }
        return false;
    }

private:
    Token m_next = 1;
};
