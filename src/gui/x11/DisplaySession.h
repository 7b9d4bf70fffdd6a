#pragma once

#include <QProcessEnvironment>

/// The kind of graphical session the application runs in, as the session itself says
/// ($XDG_SESSION_TYPE, $WAYLAND_DISPLAY), whatever Qt platform the application uses: on XWayland an
/// application speaks X11, yet the desktop is a Wayland one and grants it neither system-wide key
/// grabs nor a say over its taskbar entry. Both capabilities are decided here.
namespace DisplaySession {

bool isWayland(const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());

} // namespace DisplaySession
