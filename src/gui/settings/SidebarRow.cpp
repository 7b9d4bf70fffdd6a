#include "gui/settings/SidebarRow.h"

#include "gui/widgets/SymbolIcon.h"
#include "gui/widgets/Theme.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QPainter>

SidebarRow::SidebarRow(const QString &iconName, const QString &title, Kind kind, QWidget *parent)
    : QAbstractButton(parent), m_iconName(iconName), m_kind(kind)
{
    setText(title);
    setCheckable(kind == Kind::section);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize SidebarRow::sizeHint() const
{
    return {180, std::max(32, fontMetrics().height() + 14)};
}

void SidebarRow::focusInEvent(QFocusEvent *event)
{
    // A ring only for keyboard users; a click already shows where the focus went.
    m_keyboardFocus = event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason;
    QAbstractButton::focusInEvent(event);
}

void SidebarRow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        click();
        return;
    }
    const int step = event->key() == Qt::Key_Down ? 1 : event->key() == Qt::Key_Up ? -1 : 0;
    const QList<SidebarRow *> rows = parentWidget()->findChildren<SidebarRow *>(Qt::FindDirectChildrenOnly);
    const qsizetype next = rows.indexOf(this) + step;
    if (step == 0 || m_kind != Kind::section || next < 0 || next >= rows.size() ||
        rows.at(next)->m_kind != Kind::section) {
        QAbstractButton::keyPressEvent(event);
        return;
    }
    rows.at(next)->setFocus(Qt::TabFocusReason);
    rows.at(next)->click();
}

void SidebarRow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor accent = Theme::accent(palette());
    QColor foreground = palette().color(QPalette::WindowText);
    if (m_kind == Kind::destructive) {
        foreground = Theme::failure(palette());
    } else if (isChecked()) {
        foreground = Theme::accentText(palette());
        painter.setPen(Qt::NoPen);
        painter.setBrush(Theme::selectionBackground(palette()));
        painter.drawRoundedRect(QRectF(rect()), 6, 6);
    }
    if (m_keyboardFocus && hasFocus()) {
        painter.setPen(QPen(accent, 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.75, 0.75, -0.75, -0.75), 6, 6);
    }
    constexpr int padding = 10;
    constexpr int iconBox = 20;
    constexpr int glyph = 16;
    const int top = (height() - glyph) / 2;
    painter.drawPixmap(padding + (iconBox - glyph) / 2, top,
                       SymbolIcon::pixmap(m_iconName, glyph, foreground, devicePixelRatioF()));
    painter.setPen(foreground);
    const QRect textRect = rect().adjusted(padding + iconBox + 8, 0, -padding, 0);
    painter.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft, text());
}
