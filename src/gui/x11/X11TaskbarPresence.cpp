#include "gui/x11/X11TaskbarPresence.h"

#include "gui/x11/DisplaySession.h"

#include <QEvent>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

#include <xcb/xcb.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {
// _NET_WM_STATE client message actions (EWMH).
constexpr uint32_t NetWmStateRemove = 0;
constexpr uint32_t NetWmStateAdd = 1;
constexpr uint32_t SourceApplication = 1;

xcb_connection_t *connection()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t atom(xcb_connection_t *c, const char *name)
{
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(strlen(name)), name), nullptr), &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}
} // namespace

X11TaskbarPresence::X11TaskbarPresence(const QProcessEnvironment &environment, QObject *parent)
    : QObject(parent), m_wayland(DisplaySession::isWayland(environment))
{
}

bool X11TaskbarPresence::isSupported() const
{
    return connection() != nullptr && !m_wayland;
}

void X11TaskbarPresence::setShown(bool shown)
{
    m_shown = shown;
    for (const QPointer<QWidget> &window : std::as_const(m_windows)) {
        if (window)
            apply(window, window->isVisible());
    }
}

void X11TaskbarPresence::addWindow(QWidget *window)
{
    m_windows.append(window);
    window->installEventFilter(this);
    if (window->isVisible())
        apply(window, true);
}

bool X11TaskbarPresence::eventFilter(QObject *watched, QEvent *event)
{
    // The show event comes after the native window exists and before it is mapped. A window manager
    // that has not yet handled the previous hide may still clear the state on its way out, so the
    // state is asked for once more when the window has come on screen.
    if (event->type() == QEvent::Show && watched->isWidgetType()) {
        auto *window = static_cast<QWidget *>(watched);
        apply(window, false);
        if (QWindow *handle = window->windowHandle()) {
            m_awaitingExposure.insert(handle, window);
            handle->installEventFilter(this);
        }
    } else if (event->type() == QEvent::Expose) {
        auto *handle = static_cast<QWindow *>(watched);
        const QPointer<QWidget> window = m_awaitingExposure.value(handle);
        if (handle->isExposed() && m_awaitingExposure.remove(handle) && window)
            apply(window, true);
    }
    return QObject::eventFilter(watched, event);
}

void X11TaskbarPresence::apply(QWidget *window, bool mapped) const
{
    if (!isSupported() || !window->isWindow() || !window->testAttribute(Qt::WA_WState_Created))
        return;
    xcb_connection_t *c = connection();
    const auto id = xcb_window_t(window->winId());
    const xcb_atom_t state = atom(c, "_NET_WM_STATE");
    const std::array<xcb_atom_t, 2> skip{atom(c, "_NET_WM_STATE_SKIP_TASKBAR"),
                                         atom(c, "_NET_WM_STATE_SKIP_PAGER")};

    if (mapped) {
        // While the window manager manages the window, it alone writes the property.
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = id;
        message.type = state;
        message.data.data32[0] = m_shown ? NetWmStateRemove : NetWmStateAdd;
        message.data.data32[1] = skip[0];
        message.data.data32[2] = skip[1];
        message.data.data32[3] = SourceApplication;
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        xcb_send_event(c, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char *>(&message));
    } else {
        // Before the map the client writes the property itself, keeping the other states it holds.
        QList<xcb_atom_t> atoms;
        const std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
            xcb_get_property_reply(c, xcb_get_property(c, 0, id, state, XCB_ATOM_ATOM, 0, 1024), nullptr),
            &std::free);
        if (reply && reply->format == 32 && reply->type == XCB_ATOM_ATOM) {
            const auto *values = static_cast<const xcb_atom_t *>(xcb_get_property_value(reply.get()));
            for (int i = 0; i < xcb_get_property_value_length(reply.get()) / 4; ++i) {
                if (values[i] != skip[0] && values[i] != skip[1])
                    atoms.append(values[i]);
            }
        }
        if (!m_shown)
            atoms << skip[0] << skip[1];
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, state, XCB_ATOM_ATOM, 32, uint32_t(atoms.size()),
                            atoms.constData());
    }
    xcb_flush(c);
}
