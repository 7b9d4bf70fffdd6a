#include "widgets/SymbolGlyph.h"

#include <QHash>
#include <QIcon>
#include <QPainter>
#include <QPainterPath>
#include <QStandardPaths>

namespace SymbolGlyph {

namespace {

/// Symbols with a freedesktop counterpart in common icon themes.
const QHash<QString, QString> &themeNames()
{
    static const QHash<QString, QString> names{
        {QStringLiteral("gearshape"), QStringLiteral("preferences-system-symbolic")},
        {QStringLiteral("keyboard"), QStringLiteral("input-keyboard-symbolic")},
        {QStringLiteral("network"), QStringLiteral("network-workgroup-symbolic")},
        {QStringLiteral("info.circle"), QStringLiteral("help-about-symbolic")},
        {QStringLiteral("power"), QStringLiteral("system-shutdown-symbolic")},
        {QStringLiteral("arrow.clockwise"), QStringLiteral("view-refresh-symbolic")},
    };
    return names;
}

QIcon themeIcon(const QString &symbolName)
{
    const QString name = themeNames().value(symbolName);
    if (name.isEmpty())
        return {};
    static const bool themeKnown = [] {
        // Without a desktop (offscreen, a bare X server) Qt knows neither a theme nor where themes
        // live: look in the XDG data folders, for Adwaita, the theme every GTK desktop installs.
        if (QIcon::themeName().isEmpty()) {
            QStringList paths = QIcon::themeSearchPaths();
            paths += QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, QStringLiteral("icons"),
                                               QStandardPaths::LocateDirectory);
            QIcon::setThemeSearchPaths(paths);
            QIcon::setThemeName(QStringLiteral("Adwaita"));
        }
        return true;
    }();
    Q_UNUSED(themeKnown);
    return QIcon::fromTheme(name);
}

/// Draws the shape in a 16 × 16 box.
void paintShape(QPainter &painter, const QString &symbolName, const QColor &colour)
{
    const QPen line(colour, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    if (symbolName == QLatin1String("chart.bar")) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        painter.drawRoundedRect(QRectF(1.5, 9, 3.5, 6), 1, 1);
        painter.drawRoundedRect(QRectF(6.25, 5, 3.5, 10), 1, 1);
        painter.drawRoundedRect(QRectF(11, 1.5, 3.5, 13.5), 1, 1);
        return;
    }
    // The remaining shapes are filled circles with a mark cut out of them, or a plain dot.
    QPainterPath disc;
    disc.addEllipse(QRectF(1, 1, 14, 14));
    QPainterPath mark;
    QPainterPathStroker stroker(QPen(colour, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    if (symbolName == QLatin1String("checkmark.circle.fill")) {
        mark.moveTo(4.8, 8.3);
        mark.lineTo(7.1, 10.6);
        mark.lineTo(11.3, 5.6);
    } else if (symbolName == QLatin1String("xmark.circle.fill")) {
        mark.moveTo(5.4, 5.4);
        mark.lineTo(10.6, 10.6);
        mark.moveTo(10.6, 5.4);
        mark.lineTo(5.4, 10.6);
    } else if (symbolName == QLatin1String("clock.fill")) {
        mark.moveTo(8, 3.8);
        mark.lineTo(8, 8);
        mark.lineTo(11, 9.8);
    } else if (symbolName != QLatin1String("circle.fill")) {
        painter.setPen(line);
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(QRectF(3, 3, 10, 10));
        return;
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawPath(disc.subtracted(stroker.createStroke(mark)));
}

} // namespace

QPixmap pixmap(const QString &symbolName, const QColor &colour, int size, qreal devicePixelRatio)
{
    QPixmap result(QSize(size, size) * devicePixelRatio);
    result.setDevicePixelRatio(devicePixelRatio);
    result.fill(Qt::transparent);
    QPainter painter(&result);
    painter.setRenderHint(QPainter::Antialiasing);
    const QIcon icon = themeIcon(symbolName);
    if (!icon.isNull()) {
        // A symbolic icon is a one-colour shape: keep its alpha, take our colour.
        icon.paint(&painter, QRect(0, 0, size, size));
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(QRect(0, 0, size, size), colour);
        return result;
    }
    painter.scale(size / 16.0, size / 16.0);
    paintShape(painter, symbolName, colour);
    return result;
}

} // namespace SymbolGlyph
