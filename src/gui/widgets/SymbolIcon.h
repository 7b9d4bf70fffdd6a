#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>

#include <array>

/// The named symbols the screens show ("checkmark.circle.fill", "gearshape", …): each drawn from the
/// desktop's freedesktop icon theme when it has the icon, otherwise from the monochrome SVG bundled
/// with the program, and tinted in one colour either way.
namespace SymbolIcon {

struct Entry
{
    const char *symbol;
    /// The freedesktop icon name (symbolic variant) asked of the icon theme first.
    const char *themeName;
};

/// Every symbol the program uses. Each has a bundled fallback at symbols/<symbol>.svg.
inline constexpr std::array table{
    Entry{"arrow.clockwise", "view-refresh-symbolic"},
    Entry{"bell.fill", "preferences-system-notifications-symbolic"},
    Entry{"bolt", "power-profile-performance-symbolic"},
    Entry{"chart.bar", "view-statistics-symbolic"},
    Entry{"chart.bar.fill", "view-statistics-symbolic"},
    Entry{"checkmark.circle.fill", "emblem-ok-symbolic"},
    Entry{"circle.fill", "media-record-symbolic"},
    Entry{"clock.fill", "preferences-system-time-symbolic"},
    Entry{"exclamationmark.triangle.fill", "dialog-warning-symbolic"},
    Entry{"gearshape", "emblem-system-symbolic"},
    Entry{"info.circle", "dialog-information-symbolic"},
    Entry{"keyboard", "input-keyboard-symbolic"},
    Entry{"network", "network-workgroup-symbolic"},
    Entry{"person.circle.fill", "avatar-default-symbolic"},
    Entry{"power", "system-shutdown-symbolic"},
    Entry{"shield.fill", "security-high-symbolic"},
    Entry{"wifi.slash", "network-wireless-offline-symbolic"},
    Entry{"xmark.circle.fill", "dialog-error-symbolic"},
};

/// The symbol at `size` × `size` device-independent pixels in `colour`, for a screen of the given
/// density. An unknown symbol gives a null pixmap.
QPixmap pixmap(const QString &symbol, int size, const QColor &colour, qreal devicePixelRatio = 1.0);
/// The symbol as an icon in `colour` (for buttons and list rows).
QIcon icon(const QString &symbol, const QColor &colour);

/// Whether symbols are taken from the desktop's icon theme (default true). The screenshot tool turns
/// it off so that its pictures look the same on every machine.
void setUseIconTheme(bool use);

} // namespace SymbolIcon
