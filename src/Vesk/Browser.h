#pragma once

// The application model: builds every long-lived object in a fixed order,
// decides once whether an agent is attached on standard input and, when one
// is, serves it until standard input ends.

#include "BrowserCore/Flows/FlowStore.h"
#include "BrowserCore/Profiles/ProfileStore.h"
#include "BrowserCore/Session/BrowserSession.h"
#include "BrowserMCP/AgentActivity.h"
#include "BrowserMCP/BrowserSettings.h"
#include "BrowserMCP/MCPServer.h"
#include "Platform/UserDefaults.h"

#include <gtkmm/application.h>
#include <gtkmm/window.h>

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

    // The person started Vesk without a client: show the window.
    void activate();

    bool hasClient() const { return hasClient_; }

private:
    void openWindow();
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
    std::unique_ptr<Gtk::Window> window_;
};

} // namespace vesk
