#include "gui/widgets/Alert.h"

#include "gui/widgets/SymbolIcon.h"
#include "gui/widgets/Theme.h"

#include <QGridLayout>
#include <QPushButton>

namespace Alert {

namespace {
constexpr int iconSize = 40;
constexpr int minimumWidth = 340;

QMessageBox *makeTitled(QWidget *parent, QMessageBox::Icon icon, const QString &title, const QString &message)
{
    auto *alert = new QMessageBox(icon, title, QStringLiteral("<b>%1</b>").arg(title.toHtmlEscaped()),
                                  QMessageBox::NoButton, parent);
    alert->setInformativeText(message);
    if (icon == QMessageBox::Information) {
        alert->setIconPixmap(SymbolIcon::pixmap(QStringLiteral("checkmark.circle.fill"), iconSize,
                                                Theme::success(parent->palette()),
                                                parent->devicePixelRatioF()));
    }
    // Wide enough for a sentence on one or two lines rather than a narrow column. The message box lays
    // itself out anew when its text or icon is set, and so when a window modality is set on it by hand
    // (open() sets its own without that): this comes last.
    if (auto *grid = qobject_cast<QGridLayout *>(alert->layout()))
        grid->addItem(new QSpacerItem(minimumWidth, 0), grid->rowCount(), 0, 1, grid->columnCount());
    return alert;
}
} // namespace

QMessageBox *create(QWidget *parent, const QString &objectName, QMessageBox::Icon icon, const QString &title,
                    const QString &message, Style style, const QList<Button> &buttons)
{
    QMessageBox *alert = style == Style::Titled
                             ? makeTitled(parent, icon, title, message)
                             : new QMessageBox(icon, title, message, QMessageBox::NoButton, parent);
    alert->setObjectName(objectName);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    for (const Button &button : buttons) {
        QPushButton *added = alert->addButton(button.text, button.role);
        if (!button.objectName.isEmpty())
            added->setObjectName(button.objectName);
        if (button.emphasis == Emphasis::Primary)
            Theme::makePrimary(added);
        else if (button.emphasis == Emphasis::Destructive)
            Theme::makeDestructive(added);
        if (button.pressed)
            QObject::connect(added, &QPushButton::clicked, parent, button.pressed);
        if (button.isDefault)
            alert->setDefaultButton(added);
    }
    return alert;
}

} // namespace Alert
