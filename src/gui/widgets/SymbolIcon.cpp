#include "gui/widgets/SymbolIcon.h"

#include "gui/widgets/Artwork.h"

#include <QPainter>
#include <QSvgRenderer>

#include <algorithm>

namespace SymbolIcon {
namespace {
bool useIconTheme = true;

const Entry *find(const QString &symbol)
{
    const auto it = std::find_if(table.begin(), table.end(),
                                 [&](const Entry &entry) { return symbol == QLatin1String(entry.symbol); });
    return it == table.end() ? nullptr : &*it;
}

QImage shape(const Entry &entry, int pixels)
{
    const QString themeName = QString::fromLatin1(entry.themeName);
    if (useIconTheme && QIcon::hasThemeIcon(themeName))
        return QIcon::fromTheme(themeName).pixmap(QSize(pixels, pixels), 1.0).toImage();
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QSvgRenderer(Artwork::resourcePath(QStringLiteral("symbols/%1.svg").arg(QLatin1String(entry.symbol))))
        .render(&painter, QRectF(0, 0, pixels, pixels));
    return image;
}
} // namespace

QPixmap pixmap(const QString &symbol, int size, const QColor &colour, qreal devicePixelRatio)
{
    const Entry *entry = find(symbol);
    if (!entry)
        return {};
    QImage image = shape(*entry, qRound(size * devicePixelRatio));
    // Symbols are silhouettes: keep the drawn shape's coverage and paint it in one colour.
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(image.rect(), colour);
    painter.end();
    QPixmap result = QPixmap::fromImage(image);
    result.setDevicePixelRatio(devicePixelRatio);
    return result;
}

QIcon icon(const QString &symbol, const QColor &colour)
{
    QIcon result;
    for (const int size : {16, 20, 24, 32})
        for (const qreal ratio : {1.0, 2.0})
            result.addPixmap(pixmap(symbol, size, colour, ratio));
    return result;
}

void setUseIconTheme(bool use)
{
    useIconTheme = use;
}

} // namespace SymbolIcon
