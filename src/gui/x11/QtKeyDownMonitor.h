#pragma once

#include "shortcuts/KeyDownMonitor.h"

#include <QObject>

#include <map>

class QKeyEvent;

/// The key-down hook on Qt's own key events, as an event filter on the application. Keys are read by
/// their position (the native scan code, an xkb keycode on X11 and Wayland), never by the character
/// they type: Ctrl+Shift+1 arrives as "!" but is the key at the "1" position. Modifiers follow Qt's
/// mapping: Ctrl is command, Alt is option, Meta (Super) is control.
class QtKeyDownMonitor final : public QObject, public KeyDownMonitor
{
    Q_OBJECT

public:
    using QObject::QObject;

    Token addMonitor(Handler handler) override;
    void removeMonitor(Token token) override;

    /// The press a key event stands for; absent for bare modifiers and keys without a scan code.
    static std::optional<KeyCombo> pressOf(const QKeyEvent &event);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::map<Token, Handler> m_handlers;
    Token m_nextToken = 1;
};
