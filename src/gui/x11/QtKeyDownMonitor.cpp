#include "gui/x11/QtKeyDownMonitor.h"

#include "shortcuts/KeyPositions.h"

#include <QCoreApplication>
#include <QKeyEvent>

#include <algorithm>
#include <array>

namespace {
// AppKit's flag for keys of the numeric keypad; never stored, but reported like the platform does.
constexpr quint64 numericPadFlag = 0x200000;

bool isModifierKey(int key)
{
    // Qt's own range of modifier and lock keys (Shift … ScrollLock), and the ones outside it.
    static constexpr std::array others{Qt::Key_Super_L, Qt::Key_Super_R, Qt::Key_Hyper_L,
                                       Qt::Key_Hyper_R, Qt::Key_AltGr,   Qt::Key_Mode_switch};
    return (key >= Qt::Key_Shift && key <= Qt::Key_ScrollLock) ||
           std::find(others.begin(), others.end(), key) != others.end();
}
} // namespace

KeyDownMonitor::Token QtKeyDownMonitor::addMonitor(Handler handler)
{
    if (m_handlers.empty())
        QCoreApplication::instance()->installEventFilter(this);
    const Token token = m_nextToken++;
    m_handlers.emplace(token, std::move(handler));
    return token;
}

void QtKeyDownMonitor::removeMonitor(Token token)
{
    m_handlers.erase(token);
    if (m_handlers.empty())
        QCoreApplication::instance()->removeEventFilter(this);
}

std::optional<KeyCombo> QtKeyDownMonitor::pressOf(const QKeyEvent &event)
{
    if (isModifierKey(event.key()) || event.nativeScanCode() < KeyPositions::xkbOffset)
        return std::nullopt;
    const Qt::KeyboardModifiers held = event.modifiers();
    quint64 flags = 0;
    flags |= held.testFlag(Qt::ControlModifier) ? KeyCombo::command : 0;
    flags |= held.testFlag(Qt::ShiftModifier) ? KeyCombo::shift : 0;
    flags |= held.testFlag(Qt::AltModifier) ? KeyCombo::option : 0;
    flags |= held.testFlag(Qt::MetaModifier) ? KeyCombo::control : 0;
    flags |= held.testFlag(Qt::KeypadModifier) ? numericPadFlag : 0;
    return KeyCombo{KeyPositions::keyCode(quint16(event.nativeScanCode() - KeyPositions::xkbOffset)), flags};
}

bool QtKeyDownMonitor::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)
        return QObject::eventFilter(watched, event);
    const auto press = pressOf(*static_cast<QKeyEvent *>(event));
    if (!press)
        return false;
    if (event->type() == QEvent::ShortcutOverride) {
        // Claim the press before the application's own shortcuts can take it: the key press follows.
        event->accept();
        return true;
    }
    // A handler may remove itself (or another) while it runs: call copies, and only those still installed.
    const std::map<Token, Handler> handlers = m_handlers;
    for (const auto &[token, handler] : handlers) {
        if (m_handlers.count(token) && handler(*press))
            return true;
    }
    return false;
}
