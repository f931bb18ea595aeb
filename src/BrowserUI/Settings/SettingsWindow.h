#pragma once

// The one settings window of the process: built at the first call, hidden
// (not destroyed) when the person closes it, and brought to the front on
// every call.

#include <memory>

namespace Gtk {
class Window;
}

namespace vesk {

class BrowserSession;
class BrowserSettings;
class FlowStore;
class ProfileStore;

void openSettingsWindow(std::shared_ptr<BrowserSession> session, FlowStore& flows, ProfileStore& profiles,
                        BrowserSettings& settings);

// The settings window once it was opened; none before.
Gtk::Window* settingsWindow();

} // namespace vesk
