#include "platform/GuiServices.h"

#include "platform/AppServices.h"
#include "platform/linux/QtKeyDownMonitor.h"
#include "platform/linux/X11HotKeyService.h"
#include "shortcuts/GlobalShortcutsManager.h"

namespace GuiServices {

GlobalShortcutsManager &globalShortcutsManager()
{
    if (!GlobalShortcutsManager::hasShared()) {
        GlobalShortcutsManager::setShared(new GlobalShortcutsManager(
            AppServices::preferences(), *new X11HotKeyService, *new QtKeyDownMonitor));
    }
    return GlobalShortcutsManager::shared();
}

} // namespace GuiServices
