#pragma once

#include "shortcuts/HotKeyService.h"

#include <QList>

#include <map>

/// A desktop's hot-key service in memory: keeps the live registrations, refuses the combinations a
/// test names (as if another application held them), and presses a hot key on request.
class FakeHotKeyService final : public HotKeyService
{
public:
    struct Registration
    {
        quint16 keyCode;
        quint32 modifiers;
        quint32 signature;
        quint32 id;
        bool operator==(const Registration &) const = default;
    };

    bool available = true;
    /// (key code, modifiers) pairs that are refused.
    QList<std::pair<quint16, quint32>> refused;
    std::map<Handle, Registration> live;

    bool canRegisterHotKeys() const override { return available; }

    std::optional<Handle> registerHotKey(quint16 keyCode, quint32 modifiers, HotKeyID id) override
    {
        if (!available || refused.contains(std::pair{keyCode, modifiers}))
            return std::nullopt;
        live.emplace(m_next, Registration{keyCode, modifiers, id.signature, id.id});
        return m_next++;
    }

    void unregisterHotKey(Handle handle) override { live.erase(handle); }

    QList<Registration> liveRegistrations() const
    {
        QList<Registration> all;
        for (const auto &[handle, registration] : live)
            all.append(registration);
        return all;
    }

    void press(HotKeyID id) { Q_EMIT hotKeyPressed(id.signature, id.id); }

private:
    Handle m_next = 1;
};
