#include "gui/shell/TraySymbol.h"

#include "gui/widgets/Artwork.h"

#include <QPainter>
#include <QPixmap>
#include <QStandardPaths>
#include <QSvgRenderer>

namespace {
// The sizes panels ask for, from a 16-pixel XEmbed tray to a 64-pixel high-density panel.
const QList<QSize> sizes{{16, 16}, {22, 22}, {24, 24}, {32, 32}, {48, 48}, {64, 64}};
const QColor symbolColour(0xf5, 0xf5, 0xf5);
const QColor outlineColour(0x1e, 0x1e, 0x1e);

// The symbol's shapes in one colour, on a transparent picture of the given size.
QImage shapes(const QSize &size, const QColor &colour)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    QSvgRenderer(Artwork::resourcePath(QStringLiteral("icons/%1.svg").arg(TraySymbol::themeName)))
        .render(&painter, QRectF(QPointF(), size));
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(image.rect(), colour);
    return image;
}
} // namespace

QIcon TraySymbol::icon()
{
    // Where the package puts it, in any of the data folders panels search (hicolor is every theme's fallback).
    const QString installed = QStandardPaths::locate(
        QStandardPaths::GenericDataLocation, QStringLiteral("icons/hicolor/symbolic/apps/%1.svg").arg(themeName));
    return QIcon(new TraySymbol(!installed.isEmpty()));
}

void TraySymbol::paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state)
{
    painter->drawPixmap(rect, pixmap(rect.size(), mode, state));
}

QPixmap TraySymbol::pixmap(const QSize &size, QIcon::Mode, QIcon::State)
{
    // The outline is the shapes in the dark colour, drawn around the light ones at every offset
    // within its width: about a pixel at panel sizes.
    const int width = qMax(1, qRound(qMin(size.width(), size.height()) / 22.0));
    const QImage outline = shapes(size, outlineColour);
    QImage picture(size, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    for (int dx = -width; dx <= width; ++dx) {
        for (int dy = -width; dy <= width; ++dy)
            painter.drawImage(dx, dy, outline);
    }
    painter.drawImage(0, 0, shapes(size, symbolColour));
    painter.end();
    return QPixmap::fromImage(picture);
}

QList<QSize> TraySymbol::availableSizes(QIcon::Mode, QIcon::State)
{
    return sizes;
}

QString TraySymbol::iconName()
{
    return m_installed ? themeName : QString();
}

QIconEngine *TraySymbol::clone() const
{
    return new TraySymbol(m_installed);
}
