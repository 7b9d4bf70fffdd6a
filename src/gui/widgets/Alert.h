#pragma once

#include <QList>
#include <QMessageBox>

#include <functional>

/// Every alert of the program is made here: a message box over a window that deletes itself when
/// closed. Open it with QMessageBox::open(), which makes it window-modal without waiting on it.
namespace Alert {

/// How an alert sets out its words.
enum class Style {
    /// The title in bold above the message, wide enough for a sentence on one or two lines; an
    /// information shows the success tick instead of the desktop's icon (the settings window's alerts).
    Titled,
    /// The message alone beside the desktop's icon, the title only on the window (the account setup's).
    Plain
};

/// How a button stands out: not at all, as the alert's main action, or as a destructive one.
enum class Emphasis { None, Primary, Destructive };

struct Button
{
    QString text;
    QMessageBox::ButtonRole role;
    Emphasis emphasis = Emphasis::None;
    QString objectName = {};
    /// Runs when the button is pressed (the alert closes itself either way).
    std::function<void()> pressed = {};
    /// The button Enter presses; a destructive confirmation gives it to its cancel button.
    bool isDefault = false;
};

/// An alert over `parent` (never null) named `objectName` (tests find it by it), with its buttons in order.
QMessageBox *create(QWidget *parent, const QString &objectName, QMessageBox::Icon icon, const QString &title,
                    const QString &message, Style style, const QList<Button> &buttons);

} // namespace Alert
