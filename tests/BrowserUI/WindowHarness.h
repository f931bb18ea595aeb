#pragma once

// The real browser window over a real session, as the application makes it,
// with the pages of the window tests served on loopback.

#include "BrowserCore/Flows/FlowStore.h"
#include "BrowserCore/Session/BrowserSession.h"
#include "BrowserMCP/AgentActivity.h"
#include "BrowserUI/Presentation/BrowserModels.h"
#include "BrowserUI/RealKeys.h"
#include "BrowserUI/SidePanel/FlowsPanel.h"
#include "BrowserUI/SidePanel/SidePanelView.h"
#include "BrowserUI/Window/BrowserView.h"
#include "BrowserUI/Window/BrowserWindow.h"
#include "BrowserUI/Window/TopBar.h"
#include "Support/LoopbackServer.h"
#include "Support/MainLoop.h"

#include <gtkmm/application.h>
#include <gtkmm/init.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

namespace vesk::test {

inline std::string windowPage(const std::string& name) {
    std::ifstream file(std::string(WINDOW_PAGES) + "/" + name);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// gtkmm's wrappers, which the application's start brings up elsewhere.
inline bool gtkmmReady() {
    Gtk::init_gtkmm_internals();
    return true;
}

struct WindowHarness {
    bool ready = gtkmmReady();
    LoopbackServer server;
    std::shared_ptr<BrowserSession> session = BrowserSession::create({});
    AgentActivity activity;
    std::filesystem::path flowsFolder = std::filesystem::path(g_get_tmp_dir()) / ("vesk-window-" + std::to_string(getpid()));
    FlowStore flows{flowsFolder, flowsFolder};
    ui::BrowserModels models;
    std::unique_ptr<ui::BrowserWindow> window;

    // Without a profile store the profiles tab shows only the profile's name.
    // With an application, the window is the application's, as the
    // program's is.
    explicit WindowHarness(ProfileStore* profiles = nullptr, bool hasClient = true,
                           Gtk::Application* application = nullptr)
        : models{session, activity, nullptr, &flows, profiles, {}, hasClient},
          window(std::make_unique<ui::BrowserWindow>(models)) {
        server.serve("/", windowPage("first.html"));
        server.serve("/second", windowPage("second.html"));
        server.serve("/popup", windowPage("popup.html"));
        if (application) application->add_window(*window);
        window->present();
    }
    ~WindowHarness() {
        window.reset();
        std::filesystem::remove_all(flowsFolder);
    }

    ui::TopBar& bar() { return window->topBar(); }
    ui::BrowserView& view() { return window->view(); }

    // Saves a flow of one step under each name and shows the flows tab.
    ui::FlowsPanel& showFlows(std::initializer_list<const char*> names) {
        FlowStep load{FlowStep::Action::navigate, std::nullopt, server.url("/"), std::nullopt, std::nullopt};
        for (const char* name : names) flows.save(Flow{name, {load}});
        view().panel.set(ui::SidePanel::flows);
        return *dynamic_cast<ui::FlowsPanel*>(view().sidePanel()->content());
    }

    // Types an address into the top bar and submits it, as Return does.
    bool openInBar(const std::string& url) {
        bar().addressField().set_text(url);
        bar().submitAddress();
        return spinUntil([&] { return session->url.get() == url && !*session->isLoading; });
    }
};

} // namespace vesk::test
