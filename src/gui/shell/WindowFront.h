#pragma once

class QWidget;

/// Bringing a window to the front the same way on every path (tray, hot key, launching again).
namespace WindowFront {

/// Un-minimises `window`, shows it, raises it and gives it the focus. A minimised window must come
/// back even when the program has no taskbar entry to restore it from.
void bringForward(QWidget *window);

} // namespace WindowFront
