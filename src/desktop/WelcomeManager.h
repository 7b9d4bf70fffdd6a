#pragma once

#include "common/SharedInstance.h"

#include <QString>

class Preferences;

/// Whether the welcome pages were finished.
class WelcomeManager : public SharedInstance<WelcomeManager>
{
public:
    static inline const QString hasShownWelcomeKey = QStringLiteral("hasShownWelcome");

    explicit WelcomeManager(Preferences &preferences);

    bool hasShownWelcome() const;
    void setHasShownWelcome(bool shown);

private:
    Preferences &m_preferences;
};
