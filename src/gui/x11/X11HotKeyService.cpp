#include "gui/x11/X11HotKeyService.h"

#include "gui/x11/DisplaySession.h"

#include "shortcuts/KeyPositions.h"

#include <QGuiApplication>

#include <xcb/xcb_keysyms.h>

#include <cstdlib>
#include <memory>

namespace {
// Keysyms whose modifier bit is looked up in the server's modifier map.
constexpr xcb_keysym_t numLockKeysym = 0xff7f;
constexpr xcb_keysym_t altKeysym = 0xffe9;
constexpr xcb_keysym_t superKeysym = 0xffeb;
// The hot-key service's modifier encoding (see KeyCombo::hotKeyModifiers).
constexpr quint32 commandBit = 0x100, shiftBit = 0x200, optionBit = 0x800, controlBit = 0x1000;
// Shift, Lock, Control and Mod1–Mod5; pointer button bits are not modifiers of a key.
constexpr quint16 keyboardModifiers = 0xff;

struct FreeDeleter
{
    void operator()(void *p) const { std::free(p); }
};
template <typename T> using XcbReply = std::unique_ptr<T, FreeDeleter>;
} // namespace

X11HotKeyService::X11HotKeyService(const QProcessEnvironment &environment, QObject *parent)
    : HotKeyService(parent), m_wayland(DisplaySession::isWayland(environment))
{
    const auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    // Off X11 (Wayland, offscreen) the interface may exist without a connection.
    if (!x11 || !x11->connection())
        return;
    m_connection = x11->connection();
    m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
    qGuiApp->installNativeEventFilter(this);
}

X11HotKeyService::~X11HotKeyService()
{
    // The connection is the application's: once the application is gone, so are the grabs.
    if (!m_connection || !qGuiApp)
        return;
    for (const auto &[handle, grab] : m_grabs)
        ungrab(grab);
    xcb_flush(m_connection);
    qGuiApp->removeNativeEventFilter(this);
}

bool X11HotKeyService::canRegisterHotKeys() const
{
    return m_connection && !m_wayland;
}

X11HotKeyService::ModifierMasks X11HotKeyService::modifierMasks() const
{
    ModifierMasks masks;
    XcbReply<xcb_get_modifier_mapping_reply_t> mapping(
        xcb_get_modifier_mapping_reply(m_connection, xcb_get_modifier_mapping(m_connection), nullptr));
    xcb_key_symbols_t *symbols = xcb_key_symbols_alloc(m_connection);
    if (!mapping || !symbols) {
        xcb_key_symbols_free(symbols);
        return masks;
    }
    const xcb_keycode_t *modifierKeys = xcb_get_modifier_mapping_keycodes(mapping.get());
    const int perModifier = mapping->keycodes_per_modifier;
    const auto maskOf = [&](xcb_keysym_t keysym) {
        quint16 mask = 0;
        XcbReply<xcb_keycode_t> keycodes(xcb_key_symbols_get_keycode(symbols, keysym));
        for (const xcb_keycode_t *k = keycodes.get(); k && *k != XCB_NO_SYMBOL; ++k) {
            for (int i = 0; i < 8 * perModifier; ++i) {
                if (modifierKeys[i] == *k)
                    mask |= quint16(1 << (i / perModifier));
            }
        }
        return mask;
    };
    masks.numLock = maskOf(numLockKeysym);
    if (const quint16 alt = maskOf(altKeysym))
        masks.alt = alt;
    if (const quint16 super = maskOf(superKeysym))
        masks.super = super;
    xcb_key_symbols_free(symbols);
    return masks;
}

std::optional<HotKeyService::Handle> X11HotKeyService::registerHotKey(quint16 keyCode, quint32 modifiers,
                                                                      HotKeyID id)
{
    const std::optional<quint16> evdev = KeyPositions::evdevCode(keyCode);
    if (!canRegisterHotKeys() || !evdev || *evdev + KeyPositions::xkbOffset > 255)
        return std::nullopt;

    const ModifierMasks masks = modifierMasks();
    Grab grab{xcb_keycode_t(*evdev + KeyPositions::xkbOffset), 0, masks.numLock, {}, id};
    grab.modifiers |= (modifiers & commandBit) ? XCB_MOD_MASK_CONTROL : 0;
    grab.modifiers |= (modifiers & shiftBit) ? XCB_MOD_MASK_SHIFT : 0;
    grab.modifiers |= (modifiers & optionBit) ? masks.alt : 0;
    grab.modifiers |= (modifiers & controlBit) ? masks.super : 0;
    grab.variants = {0, XCB_MOD_MASK_LOCK};
    if (masks.numLock)
        grab.variants.insert(grab.variants.end(),
                             {masks.numLock, quint16(masks.numLock | XCB_MOD_MASK_LOCK)});

    std::vector<xcb_void_cookie_t> cookies;
    for (const quint16 variant : grab.variants) {
        // owner_events off: every press is reported to the root window, even in our own windows.
        cookies.push_back(xcb_grab_key_checked(m_connection, 0, m_root, grab.modifiers | variant,
                                               grab.keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    }
    bool refused = false;
    for (const xcb_void_cookie_t cookie : cookies) {
        // BadAccess: another client holds this combination.
        if (XcbReply<xcb_generic_error_t> error{xcb_request_check(m_connection, cookie)})
            refused = true;
    }
    if (refused) {
        // Give back the variants that were granted; a combination is live in all of them or in none.
        ungrab(grab);
        xcb_flush(m_connection);
        return std::nullopt;
    }
    const Handle handle = m_nextHandle++;
    m_grabs.emplace(handle, std::move(grab));
    return handle;
}

void X11HotKeyService::unregisterHotKey(Handle handle)
{
    const auto found = m_grabs.find(handle);
    if (found == m_grabs.end())
        return;
    ungrab(found->second);
    xcb_flush(m_connection);
    m_grabs.erase(found);
    // A key held across the change may release elsewhere; its next press counts again.
    m_heldKey = 0;
}

void X11HotKeyService::ungrab(const Grab &grab)
{
    // Ungrabbing a variant that another client holds leaves that client's grab alone.
    for (const quint16 variant : grab.variants)
        xcb_ungrab_key(m_connection, grab.keycode, m_root, grab.modifiers | variant);
}

bool X11HotKeyService::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    const uint8_t type = event->response_type & 0x7f;
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE)
        return false;
    const auto *key = reinterpret_cast<const xcb_key_press_event_t *>(event);
    if (key->event != m_root)
        return false;
    if (type == XCB_KEY_RELEASE) {
        if (key->detail == m_heldKey)
            m_heldKey = 0;
        return false;
    }
    for (const auto &[handle, grab] : m_grabs) {
        const quint16 held = key->state & keyboardModifiers & ~(XCB_MOD_MASK_LOCK | grab.numLock);
        if (grab.keycode != key->detail || grab.modifiers != held)
            continue;
        if (m_heldKey != key->detail) {
            m_heldKey = key->detail;
            const HotKeyID id = grab.id;
            // Act after the event has been handled, not inside X event processing.
            QMetaObject::invokeMethod(
                this, [this, id] { Q_EMIT hotKeyPressed(id.signature, id.id); }, Qt::QueuedConnection);
        }
        break;
    }
    // Qt goes on to take the press's time as the user's last action (it has no window of its own on
    // the root): the window manager checks that time before it lets "show the window" raise it.
    return false;
}
