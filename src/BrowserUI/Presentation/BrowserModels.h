#pragma once

// The model objects the window's views show and act on, handed down from
// the application model, which owns them and outlives every view.

#include <functional>
#include <memory>
#include <string>

namespace vesk {

class AgentActivity;
class BrowserSession;
class BrowserSettings;
class FlowStore;
class ProfileStore;

namespace ui {

struct BrowserModels {
    // The name of the profile in use, or the word for the temporary one.
    std::string profileName() const;

    std::shared_ptr<BrowserSession> session;
    AgentActivity& activity;
    BrowserSettings* settings = nullptr;
    FlowStore* flows = nullptr;
    ProfileStore* profiles = nullptr;
    // Opens the settings window; none until there is one.
    std::function<void()> openSettings;
    // Whether an agent is attached: without one, nothing in the window says
    // that the agent acts.
    bool hasClient = false;
};

} // namespace ui
} // namespace vesk
