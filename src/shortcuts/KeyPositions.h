#pragma once

#include <QtGlobal>

#include <optional>

/// The one table between stored key codes (the Mac's virtual key codes, which name positions on the
/// keyboard, not the letters printed on them) and Linux evdev key codes (positions too). Neither side
/// depends on the keyboard layout, so a shortcut recorded as Ctrl+Shift+L on a QWERTY keyboard keeps
/// its key position under any layout.
namespace KeyPositions {

/// Keys the Mac has no code for are stored as this base plus their evdev code.
inline constexpr quint16 unmappedBase = 0x8000;
/// An xkb keycode (X11's keycode, Qt's native scan code on X11 and Wayland) is the evdev code + 8.
inline constexpr quint16 xkbOffset = 8;

/// The evdev code of the position a stored key code names; absent for codes that name none.
std::optional<quint16> evdevCode(quint16 keyCode);

/// The stored key code of the key at an evdev position (evdev codes end at 0x2ff).
quint16 keyCode(quint16 evdevCode);

} // namespace KeyPositions
