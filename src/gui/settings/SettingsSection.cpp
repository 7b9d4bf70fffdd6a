#include "gui/settings/SettingsSection.h"

namespace SettingsSections {

QString title(SettingsSection section)
{
    switch (section) {
    case SettingsSection::general:
        return QStringLiteral("通用");
    case SettingsSection::shortcuts:
        return QStringLiteral("快捷键");
    case SettingsSection::autoLogin:
        return QStringLiteral("自动联网");
    case SettingsSection::statistics:
        return QStringLiteral("使用统计");
    case SettingsSection::about:
        return QStringLiteral("关于");
    }
    return {};
}

QString iconName(SettingsSection section)
{
    switch (section) {
    case SettingsSection::general:
        return QStringLiteral("gearshape");
    case SettingsSection::shortcuts:
        return QStringLiteral("keyboard");
    case SettingsSection::autoLogin:
        return QStringLiteral("network");
    case SettingsSection::statistics:
        return QStringLiteral("chart.bar");
    case SettingsSection::about:
        return QStringLiteral("info.circle");
    }
    return {};
}

} // namespace SettingsSections
