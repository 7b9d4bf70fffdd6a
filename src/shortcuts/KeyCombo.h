#pragma once

#include <QMetaType>
#include <QtGlobal>

/// A keyboard shortcut: the position of one key and the modifiers held with it, in the portable form
/// that is stored (the Mac virtual key code of the key's position and AppKit's modifier flags), so
/// that stored preferences are the same data on every platform. On Linux Qt's own mapping applies:
/// command is Ctrl, option is Alt and control is Meta (Super).
struct KeyCombo
{
    /// AppKit's device-independent modifier flags; only these four are ever stored.
    static constexpr quint64 shift = 0x20000;
    static constexpr quint64 control = 0x40000;
    static constexpr quint64 option = 0x80000;
    static constexpr quint64 command = 0x100000;
    static constexpr quint64 modifierMask = shift | control | option | command;

    quint16 keyCode = 0;
    quint64 modifiers = 0;

    /// The combination in Qt's terms, for display (QKeySequence::NativeText: "Ctrl+Shift+L"): the key
    /// a US keyboard carries at the stored position (Qt::Key_unknown where Qt names none), keypad
    /// keys with Qt::KeypadModifier, and the modifiers by Qt's mapping above.
    QKeyCombination keyCombination() const;

    /// The modifiers in the hot-key service's encoding (command 0x100, shift 0x200, option 0x800,
    /// control 0x1000); every other bit is dropped.
    quint32 hotKeyModifiers() const;

    bool operator==(const KeyCombo &) const = default;
};

Q_DECLARE_METATYPE(KeyCombo)
