#pragma once

#include <QColor>
#include <QPixmap>
#include <QString>

/// The screens' small symbols by their system names ("gearshape", "network", "chart.bar",
/// "checkmark.circle.fill", …), drawn in one colour: the desktop icon theme's symbolic icon where it
/// has a matching one, otherwise a simple painted shape.
namespace SymbolGlyph {

/// `size` is in device-independent pixels; the pixmap carries the device pixel ratio.
QPixmap pixmap(const QString &symbolName, const QColor &colour, int size, qreal devicePixelRatio = 1.0);

} // namespace SymbolGlyph
