#include "gui/widgets/SvgImage.h"

#include "gui/widgets/Artwork.h"

#include <QPainter>
#include <QSvgRenderer>

SvgImage::SvgImage(const QString &name, QSize size, QWidget *parent)
    : QWidget(parent), m_path(Artwork::imagePath(name))
{
    setFixedSize(size);
}

void SvgImage::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QSvgRenderer(m_path).render(&painter, QRectF(rect()));
}
