#pragma once

#include "common/SharedInstance.h"

#include <QString>

class Preferences;
class TaskbarPresence;

/// The user's choice to hide the application's taskbar entry (the "Dock icon") so that it lives in the
/// tray only: applies it through the desktop and keeps it under "hideDockIcon". Main thread only.
class DockIconManager : public SharedInstance<DockIconManager>
{
public:
    static inline const QString hiddenLog = QStringLiteral("✅ Dock图标已隐藏");
    static inline const QString shownLog = QStringLiteral("✅ Dock图标已显示");

    /// Applies the stored choice once.
    DockIconManager(Preferences &preferences, TaskbarPresence &presence);

    /// Applies the stored choice; reads only, logs nothing.
    void updateDockIconVisibility();
    void hideDockIcon();
    void showDockIcon();
    /// Whether this desktop lets the application leave the taskbar at all.
    bool canHideDockIcon() const;

private:
    Preferences &m_preferences;
    TaskbarPresence &m_presence;
};
