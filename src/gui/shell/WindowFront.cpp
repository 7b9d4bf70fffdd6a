#include "gui/shell/WindowFront.h"

#include <QWidget>

namespace WindowFront {

void bringForward(QWidget *window)
{
    window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace WindowFront
