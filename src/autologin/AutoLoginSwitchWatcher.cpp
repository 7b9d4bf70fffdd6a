#include "autologin/AutoLoginSwitchWatcher.h"

#include "autologin/AutoLoginManager.h"
#include "store/Preferences.h"

#include <QFileInfo>

AutoLoginSwitchWatcher::AutoLoginSwitchWatcher(Preferences &preferences, AutoLoginManager &engine, QObject *parent)
    : QObject(parent), m_preferences(preferences), m_engine(engine)
{
    m_watcher.addPath(QFileInfo(m_preferences.fileName()).absolutePath());
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &AutoLoginSwitchWatcher::preferencesChanged);
}

void AutoLoginSwitchWatcher::preferencesChanged()
{
    m_preferences.sync(); // picks up what the other process saved
    const bool enabled = m_preferences.boolValue(PreferenceKeys::autoLoginEnabled);
    // The engine's own switching saves the file too; that change is already in place here.
    if (enabled == m_engine.isEnabled())
        return;
    if (enabled)
        m_engine.enableAutoLogin();
    else
        m_engine.disableAutoLogin();
}
