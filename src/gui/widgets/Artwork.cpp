#include "gui/widgets/Artwork.h"

// Resources of a static library are registered by hand, once, before the first lookup.
static void registerResources()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(netlatch);
        return true;
    }();
    Q_UNUSED(registered);
}

namespace Artwork {

QString resourcePath(const QString &relativePath)
{
    registerResources();
    return QStringLiteral(":/netlatch/") + relativePath;
}

QString imagePath(const QString &name)
{
    return resourcePath(QStringLiteral("images/%1.svg").arg(name));
}

QIcon applicationIcon()
{
    return QIcon(imagePath(logo));
}

} // namespace Artwork
