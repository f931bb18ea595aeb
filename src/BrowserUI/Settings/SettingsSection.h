#pragma once

// The sections of the settings window, in the order of its sidebar.

#include <array>
#include <string>

namespace vesk {

enum class SettingsSection { agent, page, flows, profiles, credentials };

inline constexpr std::array allSettingsSections{SettingsSection::agent, SettingsSection::page, SettingsSection::flows,
                                                SettingsSection::profiles, SettingsSection::credentials};

// Localised.
std::string title(SettingsSection section);
std::string blurb(SettingsSection section);

} // namespace vesk
