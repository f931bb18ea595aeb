#pragma once

#include <array>

namespace vesk::ui {

// Which panel stands beside the page; the side panel's three tabs.
enum class SidePanel { activity, flows, profiles };

inline constexpr std::array<SidePanel, 3> allSidePanels{SidePanel::activity, SidePanel::flows, SidePanel::profiles};

} // namespace vesk::ui
