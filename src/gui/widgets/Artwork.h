#pragma once

#include <QIcon>
#include <QString>

/// The program's own pictures, drawn for Netlatch and compiled in from data/ (netlatch.qrc).
namespace Artwork {

inline const QString logo = QStringLiteral("Logo");
inline const QString menubar = QStringLiteral("menubar");
inline const QString avatar = QStringLiteral("Avatar");

/// The resource path of a picture or of a bundled symbol ("images/Logo.svg", "symbols/bolt.svg").
QString resourcePath(const QString &relativePath);
/// The resource path of a named picture ("Logo" → ":/netlatch/images/Logo.svg").
QString imagePath(const QString &name);
/// The logo as the application and window icon.
QIcon applicationIcon();

} // namespace Artwork
