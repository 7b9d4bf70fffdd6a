#include "gui/widgets/SymbolView.h"

#include "gui/widgets/SymbolIcon.h"
#include "gui/widgets/Theme.h"

#include <QPainter>

SymbolView::SymbolView(const QString &symbol, int size, QWidget *parent)
    : QWidget(parent), m_symbol(symbol), m_size(size)
{
    setFixedSize(size, size);
}

void SymbolView::setColour(const QColor &colour)
{
    m_colour = colour;
    update();
}

void SymbolView::paintEvent(QPaintEvent *)
{
    const QColor colour = m_colour.isValid() ? m_colour : Theme::accent(palette());
    QPainter(this).drawPixmap(0, 0, SymbolIcon::pixmap(m_symbol, m_size, colour, devicePixelRatioF()));
}
