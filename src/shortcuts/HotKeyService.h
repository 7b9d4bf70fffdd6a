#pragma once

#include <QObject>

#include <optional>

/// The desktop's system-wide hot keys: a key combination registered here is reported by
/// hotKeyPressed() whichever application has the keyboard focus.
class HotKeyService : public QObject
{
    Q_OBJECT

public:
    /// What a press reports: a four-character signature and a number chosen by the registrant.
    struct HotKeyID
    {
        quint32 signature;
        quint32 id;
    };
    using Handle = quint64;

    using QObject::QObject;

    /// Whether this desktop lets an application register system-wide hot keys at all.
    virtual bool canRegisterHotKeys() const = 0;

    /// Registers a stored key code (a key position, see KeyPositions) with modifiers in the
    /// service's encoding (KeyCombo::hotKeyModifiers); absent when the desktop refuses it, for
    /// example because another application holds the same combination.
    virtual std::optional<Handle> registerHotKey(quint16 keyCode, quint32 modifiers, HotKeyID id) = 0;

    virtual void unregisterHotKey(Handle handle) = 0;

Q_SIGNALS:
    void hotKeyPressed(quint32 signature, quint32 id);
};

/// Four ASCII characters packed big-endian, the first in the most significant byte.
constexpr quint32 fourCharCode(const char (&code)[5])
{
    return quint32(quint8(code[0])) << 24 | quint32(quint8(code[1])) << 16 | quint32(quint8(code[2])) << 8 |
           quint32(quint8(code[3]));
}
