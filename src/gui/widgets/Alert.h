#pragma once

#include <QList>
#include <QMessageBox>

#include <functional>

/// Every alert of the program is made here: a message box over a window that deletes itself when
/// closed. It shows the title in bold above the message (attached dialogs have no title bar on every
/// desktop), the program's own symbol for its kind, and is wide enough that the message breaks no
/// word. Open it with QMessageBox::open(), which makes it window-modal without waiting on it.
namespace Alert {

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

/// An alert over `parent` (never null) named `objectName` (tests find it by it), with its buttons in
/// order.
QMessageBox *create(QWidget *parent, const QString &objectName, QMessageBox::Icon icon, const QString &title,
                    const QString &message, const QList<Button> &buttons);
/// Replaces the message of an alert made by create(), keeping it wide enough.
void setMessage(QMessageBox *alert, const QString &message);

} // namespace Alert
