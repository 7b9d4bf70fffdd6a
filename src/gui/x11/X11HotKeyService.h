#pragma once

#include "shortcuts/HotKeyService.h"

#include <QAbstractNativeEventFilter>
#include <QProcessEnvironment>

#include <xcb/xcb.h>

#include <map>
#include <vector>

/// System-wide hot keys on X11: a passive key grab on the root window for each combination, taken in
/// every lock-key variant (none, Caps Lock, NumLock, both) so that a lit lock key does not break the
/// shortcut. Presses are read by a native event filter. Wayland gives applications no such grab:
/// there canRegisterHotKeys() says no and every registration is refused.
class X11HotKeyService final : public HotKeyService, public QAbstractNativeEventFilter
{
    Q_OBJECT

public:
    /// Works on the application's X connection, if it has one; `environment` tells whether the
    /// session is a Wayland one (DisplaySession: an X client there sees only the keys of its own windows).
    explicit X11HotKeyService(
        const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment(),
        QObject *parent = nullptr);
    ~X11HotKeyService() override;

    bool canRegisterHotKeys() const override;
    std::optional<Handle> registerHotKey(quint16 keyCode, quint32 modifiers, HotKeyID id) override;
    void unregisterHotKey(Handle handle) override;

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

private:
    struct Grab
    {
        xcb_keycode_t keycode;
        quint16 modifiers;
        quint16 numLock; // the NumLock mask when the grab was taken
        std::vector<quint16> variants;
        HotKeyID id;
    };
    struct ModifierMasks
    {
        quint16 numLock = 0;
        quint16 alt = XCB_MOD_MASK_1;
        quint16 super = XCB_MOD_MASK_4;
    };

    ModifierMasks modifierMasks() const;
    void ungrab(const Grab &grab);

    xcb_connection_t *m_connection = nullptr;
    xcb_window_t m_root = XCB_NONE;
    bool m_wayland;
    std::map<Handle, Grab> m_grabs;
    Handle m_nextHandle = 1;
    // The grabbed key held down now: its auto-repeat presses are not new presses.
    xcb_keycode_t m_heldKey = 0;
};
