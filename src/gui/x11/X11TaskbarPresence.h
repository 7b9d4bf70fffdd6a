#pragma once

#include "desktop/TaskbarPresence.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QProcessEnvironment>

class QWidget;
class QWindow;

/// The taskbar entry on X11: a hidden entry is the window manager state _NET_WM_STATE_SKIP_TASKBAR
/// and _NET_WM_STATE_SKIP_PAGER on the application's windows. A window manager drops the state when
/// a window is hidden, so it is written on the native window before every show and asked of the
/// window manager by a _NET_WM_STATE client message while the window is on screen. (Qt::Tool would
/// skip the taskbar too, but it makes the window a utility window.) Elsewhere it is not supported:
/// without an X connection (offscreen), and in a Wayland session even on XWayland (DisplaySession).
class X11TaskbarPresence final : public QObject, public TaskbarPresence
{
    Q_OBJECT

public:
    explicit X11TaskbarPresence(
        const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment(),
        QObject *parent = nullptr);

    bool isSupported() const override;
    void setShown(bool shown) override;
    /// `window` follows the choice from now on, on every show.
    void addWindow(QWidget *window);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void apply(QWidget *window, bool mapped) const;

    bool m_wayland;
    bool m_shown = true;
    QList<QPointer<QWidget>> m_windows;
    QHash<QWindow *, QPointer<QWidget>> m_awaitingExposure;
};
