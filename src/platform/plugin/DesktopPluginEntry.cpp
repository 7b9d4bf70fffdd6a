// The plugin netlatch-linux-desktop: the D-Bus and Secret Service adapters behind one factory, the
// only symbol the plugin exports. It takes what it uses of the core from the program that loads it
// (common/PluginApi.h).
#include "platform/linux/LinuxDesktopAdapters.h"

#include <QtGlobal>

extern "C" Q_DECL_EXPORT DesktopAdapters *netlatch_desktop_adapters()
{
    return new LinuxDesktopAdapters;
}
