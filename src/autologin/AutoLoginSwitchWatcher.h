#pragma once

#include <QFileSystemWatcher>
#include <QObject>

class AutoLoginManager;
class Preferences;

/// Lets a running engine follow "autoLoginEnabled" when another process of the user switches it
/// (`netlatchctl autologin on|off` while the daemon runs): the engine is switched on or off as the
/// settings pane would do it. Watches the preference file's folder, since the store replaces the
/// file on every save.
class AutoLoginSwitchWatcher : public QObject
{
    Q_OBJECT

public:
    AutoLoginSwitchWatcher(Preferences &preferences, AutoLoginManager &engine, QObject *parent = nullptr);

private:
    void preferencesChanged();

    Preferences &m_preferences;
    AutoLoginManager &m_engine;
    QFileSystemWatcher m_watcher;
};
