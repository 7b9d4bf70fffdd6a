#pragma once

#include "common/SharedInstance.h"

#include <QString>

class Preferences;

/// Which version's update log the user has already seen.
class VersionManager : public SharedInstance<VersionManager>
{
public:
    static inline const QString currentVersion = QStringLiteral("2.0");
    static inline const QString lastShownVersionKey = QStringLiteral("lastShownVersion");

    explicit VersionManager(Preferences &preferences);

    /// True when currentVersion is newer than the version whose update log was last closed.
    bool shouldShowUpdateLog() const;
    /// Remembers that currentVersion's update log was shown and closed.
    void markVersionAsShown();

    /// Compares dotted version numbers piece by piece (missing pieces count as 0, pieces that are not
    /// numbers are dropped): negative when `a` is older than `b`, 0 when equal, positive when newer.
    static int compareVersions(const QString &a, const QString &b);

private:
    Preferences &m_preferences;
};
