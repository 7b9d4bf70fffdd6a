#include "desktop/VersionManager.h"

#include "store/Preferences.h"

#include <QList>

namespace {
QList<qulonglong> versionNumbers(const QString &version)
{
    QList<qulonglong> numbers;
    for (const QString &piece : version.split(QLatin1Char('.'), Qt::SkipEmptyParts)) {
        bool ok = false;
        const qulonglong number = piece.toULongLong(&ok, 10);
        if (ok)
            numbers.append(number);
    }
    return numbers;
}
} // namespace

VersionManager::VersionManager(Preferences &preferences) : m_preferences(preferences) {}

int VersionManager::compareVersions(const QString &a, const QString &b)
{
    const QList<qulonglong> left = versionNumbers(a);
    const QList<qulonglong> right = versionNumbers(b);
    for (qsizetype i = 0; i < std::max(left.size(), right.size()); ++i) {
        const qulonglong l = left.value(i, 0);
        const qulonglong r = right.value(i, 0);
        if (l != r)
            return l < r ? -1 : 1;
    }
    return 0;
}

bool VersionManager::shouldShowUpdateLog() const
{
    return compareVersions(currentVersion, m_preferences.lastShownVersion()) > 0;
}

void VersionManager::markVersionAsShown()
{
    m_preferences.setText(PreferenceKeys::lastShownVersion, currentVersion);
}
