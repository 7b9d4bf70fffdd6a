#include "desktop/WelcomeManager.h"

#include "store/Preferences.h"

WelcomeManager::WelcomeManager(Preferences &preferences) : m_preferences(preferences) {}

bool WelcomeManager::hasShownWelcome() const
{
    return m_preferences.boolValue(PreferenceKeys::hasShownWelcome);
}

void WelcomeManager::setHasShownWelcome(bool shown)
{
    m_preferences.setBool(PreferenceKeys::hasShownWelcome, shown);
}
