#include "gui/widgets/Spinner.h"

#include <QPainter>

namespace {
constexpr int stepDegrees = 30;
constexpr std::chrono::milliseconds stepInterval{80};
} // namespace

Spinner::Spinner(int diameter, QWidget *parent) : QWidget(parent)
{
    setFixedSize(diameter, diameter);
    m_timer.setInterval(stepInterval);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_angle = (m_angle + stepDegrees) % 360;
        update();
    });
}

void Spinner::setColour(const QColor &colour)
{
    m_colour = colour;
    update();
}

void Spinner::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal pen = std::max(1.5, width() / 8.0);
    const QRectF circle = QRectF(rect()).adjusted(pen / 2, pen / 2, -pen / 2, -pen / 2);
    QColor colour = m_colour.isValid() ? m_colour : palette().color(QPalette::WindowText);
    QColor track = colour;
    track.setAlphaF(0.25);
    painter.setPen(QPen(track, pen));
    painter.drawEllipse(circle);
    painter.setPen(QPen(colour, pen, Qt::SolidLine, Qt::RoundCap));
    // Qt counts arcs in sixteenths of a degree, counter-clockwise; turn clockwise.
    painter.drawArc(circle, (90 - m_angle) * 16, -100 * 16);
}

void Spinner::showEvent(QShowEvent *event)
{
    m_timer.start();
    QWidget::showEvent(event);
}

void Spinner::hideEvent(QHideEvent *event)
{
    m_timer.stop();
    QWidget::hideEvent(event);
}
