#include "desktop/DockIconManager.h"

#include "common/Log.h"
#include "desktop/TaskbarPresence.h"
#include "store/Preferences.h"

DockIconManager::DockIconManager(Preferences &preferences, TaskbarPresence &presence)
    : m_preferences(preferences), m_presence(presence)
{
    updateDockIconVisibility();
}

void DockIconManager::updateDockIconVisibility()
{
    m_presence.setShown(!m_preferences.boolValue(PreferenceKeys::hideDockIcon));
}

void DockIconManager::hideDockIcon()
{
    m_presence.setShown(false);
    m_preferences.setBool(PreferenceKeys::hideDockIcon, true);
    Log::write(hiddenLog);
}

void DockIconManager::showDockIcon()
{
    m_presence.setShown(true);
    m_preferences.setBool(PreferenceKeys::hideDockIcon, false);
    Log::write(shownLog);
}

bool DockIconManager::canHideDockIcon() const
{
    return m_presence.isSupported();
}
