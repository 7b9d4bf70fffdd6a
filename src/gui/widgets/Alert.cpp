#include "gui/widgets/Alert.h"

#include "gui/widgets/SymbolIcon.h"
#include "gui/widgets/Theme.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace Alert {

namespace {
constexpr int iconSize = 40;
constexpr int minimumWidth = 340;
/// A longer message wraps at this width; a shorter one stands on one line.
constexpr int widestMessage = 460;

QPixmap symbol(QMessageBox::Icon icon, const QWidget *parent)
{
    const QPalette palette = parent->palette();
    const auto [name, colour] = [&]() -> std::pair<QString, QColor> {
        switch (icon) {
        case QMessageBox::Information:
            return {QStringLiteral("checkmark.circle.fill"), Theme::success(palette)};
        case QMessageBox::Critical:
            return {QStringLiteral("xmark.circle.fill"), Theme::failure(palette)};
        case QMessageBox::Question:
            return {QStringLiteral("info.circle"), Theme::accentText(palette)};
        default:
            return {QStringLiteral("exclamationmark.triangle.fill"), Theme::attention(palette)};
        }
    }();
    return SymbolIcon::pixmap(name, iconSize, colour, parent->devicePixelRatioF());
}
} // namespace

QMessageBox *create(QWidget *parent, const QString &objectName, QMessageBox::Icon icon, const QString &title,
                    const QString &message, const QList<Button> &buttons)
{
    auto *alert = new QMessageBox(icon, title, QStringLiteral("<b>%1</b>").arg(title.toHtmlEscaped()),
                                  QMessageBox::NoButton, parent);
    alert->setObjectName(objectName);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setIconPixmap(symbol(icon, parent));
    setMessage(alert, message);
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

void setMessage(QMessageBox *alert, const QString &message)
{
    alert->setInformativeText(message);
    // Chinese wraps between any two characters, so a message that would fit on one line at a readable
    // width keeps to one line rather than splitting a word.
    if (auto *label = alert->findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel"))) {
        const QFontMetrics metrics = label->fontMetrics();
        label->setMinimumWidth(
            std::min(metrics.horizontalAdvance(message) + metrics.averageCharWidth(), widestMessage));
    }
    // The message box lays itself out anew when its text or icon is set, and so when a window modality
    // is set on it by hand (open() sets its own without that): this comes last.
    if (auto *grid = qobject_cast<QGridLayout *>(alert->layout()))
        grid->addItem(new QSpacerItem(minimumWidth, 0), grid->rowCount(), 0, 1, grid->columnCount());
}

} // namespace Alert
