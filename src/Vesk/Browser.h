#pragma once

// The application model: builds every long-lived object in a fixed order,
// decides once whether an agent is attached on standard input and, when one
// is, serves it until standard input ends. Without an agent the window opens
// at start and closing it ends the program; with one, the window opens at
// the agent's first logged call and closing it only hides it.

#include "BrowserCore/Flows/FlowStore.h"
#include "BrowserCore/Profiles/ProfileStore.h"
#include "BrowserCore/Session/BrowserSession.h"
#include "BrowserMCP/AgentActivity.h"
#include "BrowserMCP/BrowserSettings.h"
#include "BrowserMCP/MCPServer.h"
#include "BrowserUI/Presentation/BrowserModels.h"
#include "BrowserUI/Window/BrowserWindow.h"
#include "Platform/UserDefaults.h"

#include <gtkmm/application.h>

#include <memory>

namespace vesk {

class Browser {
public:
    // Whether an agent is attached on standard input; when one is, standard
    // output is kept for its replies alone. Asked first thing in the process,
    // before any thread or WebKit process exists to inherit standard output.
    static bool takeStandardOutputIfClient();

    Browser(Gtk::Application& application, bool hasClient);
    ~Browser();

    // The application was started: without a client the window opens now.
    void activate();

    bool hasClient() const { return hasClient_; }

private:
    void openWindow();
    void closeWindow();
    Task<void> serve();

    Gtk::Application& application_;
    bool hasClient_ = false;
    std::shared_ptr<BrowserSession> session_;
    AgentActivity activity_;
    UserDefaults& defaults_ = UserDefaults::standard();
    FlowStore flows_{defaults_};
    ProfileStore profiles_;
    BrowserSettings settings_;
    std::unique_ptr<MCPServer> server_;
    ui::BrowserModels models_;
    std::unique_ptr<ui::BrowserWindow> window_;
    bool openedForAgent_ = false;
};

} // namespace vesk
