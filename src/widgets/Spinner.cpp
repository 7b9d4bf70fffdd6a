#include "widgets/Spinner.h"

#include <QPainter>

#include <algorithm>

Spinner::Spinner(int diameter, QWidget *parent) : QWidget(parent), m_diameter(diameter)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_timer.setInterval(90);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_step = (m_step + 1) % strokes;
        update();
    });
}

QSize Spinner::sizeHint() const
{
    return {m_diameter, m_diameter};
}

void Spinner::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(QRectF(rect()).center());
    const qreal outer = std::min(width(), height()) / 2.0;
    const QColor base = palette().color(QPalette::WindowText);
    for (int i = 0; i < strokes; ++i) {
        QColor colour = base;
        // The stroke at the current step is darkest; the ones behind it fade out.
        colour.setAlphaF(0.2 + 0.8 * ((i - m_step + strokes) % strokes) / qreal(strokes - 1));
        painter.setPen(QPen(colour, std::max(1.5, outer / 4), Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(0, -outer * 0.45), QPointF(0, -outer * 0.9));
        painter.rotate(360.0 / strokes);
    }
}

void Spinner::showEvent(QShowEvent *)
{
    m_timer.start();
}

void Spinner::hideEvent(QHideEvent *)
{
    m_timer.stop();
}
