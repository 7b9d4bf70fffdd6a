#pragma once

#include <QString>

#include <array>

/// The settings window's sections, in sidebar order.
enum class SettingsSection { general, shortcuts, autoLogin, statistics, about };

namespace SettingsSections {

inline constexpr std::array all{SettingsSection::general, SettingsSection::shortcuts,
                                SettingsSection::autoLogin, SettingsSection::statistics,
                                SettingsSection::about};

/// The section's title in the sidebar ("通用", …).
QString title(SettingsSection section);
/// The section's symbol name ("gearshape", …).
QString iconName(SettingsSection section);

} // namespace SettingsSections
