#include "Vesk/Browser.h"

#include "BrowserMCP/StdioTransport.h"
#include "BrowserUI/Settings/SettingsWindow.h"
#include "Platform/Keychain.h"

#include <glib.h>
#include <glibmm/main.h>
#include <unistd.h>

#include <cstdio>
#include <exception>

namespace vesk {

namespace {

// The profiles file lives in Vesk in the user's data folder; secret values
// are in the keychain under the service Vesk.
std::filesystem::path profilesFolder() { return std::filesystem::path(g_get_user_data_dir()) / "Vesk"; }

BrowserSession::Options startOptions() {
    BrowserSession::Options options;
    options.profile = BrowserSession::Profile::ephemeral();
    options.navigationTimeout = seconds(30);
    options.settleQuiet = seconds(0.3);
    options.settleTimeout = seconds(5);
    options.suggestionsDelay = seconds(0.4);
    options.suggestionsTimeout = seconds(3);
    options.stepTimeout = seconds(5);
    options.frameTimeout = seconds(2);
    options.recordsScriptedEvents = false;
    return options;
}

} // namespace

bool Browser::takeStandardOutputIfClient() {
    bool hasClient = StdioTransport::stdinIsPipe();
    if (hasClient) StdioTransport::reserveOutput();
    return hasClient;
}

Browser::Browser(Gtk::Application& application, bool hasClient)
    : application_(application),
      hasClient_(hasClient),
      session_(BrowserSession::create(startOptions())),
      profiles_(profilesFolder(), std::make_unique<Keychain>("Vesk")),
      settings_(defaults_),
      models_{session_, activity_, &settings_, &flows_, &profiles_, {}, hasClient} {
    profiles_.setSession(session_);
    settings_.attach(session_, &activity_, nullptr);
    models_.openSettings = [this] { openSettingsWindow(session_, flows_, profiles_, settings_); };
    if (!hasClient_) return;

    // Without a window the application must stay up for the agent.
    application_.hold();
    server_ = std::make_unique<MCPServer>(session_.get(), activity_, &flows_, &profiles_);
    settings_.attach(session_, &activity_, server_.get());

    // The first logged call shows the window to the person watching, once:
    // a window the person closed stays closed.
    activity_.entriesChanged().connect([this] {
        if (activity_.entries().empty() || openedForAgent_) return;
        openedForAgent_ = true;
        openWindow();
    });
    static_cast<void>(detach([this] { return serve(); }));
}

Browser::~Browser() {
    // The window gives the page back to the session before the session goes.
    window_.reset();
    settings_.attach(session_, nullptr, nullptr);
}

void Browser::activate() {
    if (!hasClient_) openWindow();
}

void Browser::openWindow() {
    if (!window_) {
        window_ = std::make_unique<ui::BrowserWindow>(models_);
        window_->signal_close_request().connect(
            [this] {
                // With an agent attached, closing only hides the window: the
                // agent goes on. Without one, the last window ends the program.
                if (!hasClient_) return false;
                Glib::signal_idle().connect_once([this] { closeWindow(); });
                window_->set_visible(false);
                return true;
            },
            false);
        application_.add_window(*window_);
    }
    window_->present();
}

void Browser::closeWindow() {
    // The page and popups go back to their off-screen stages, where they keep
    // drawing for the agent.
    window_.reset();
}

Task<void> Browser::serve() {
    try {
        co_await StdioTransport::run(*server_);
    } catch (const std::exception& error) {
        // The agent cannot be reached any more; whoever started the program
        // learns why from standard error.
        std::fprintf(stderr, "vesk: %s\n", error.what());
    } catch (...) {
        std::fprintf(stderr, "vesk: serving the agent failed.\n");
    }
    application_.release();
    application_.quit();
    // Whatever a page may have left running (a dialog's own loop among
    // them), the process ends with its input: the quit above normally does
    // it, and this stops the process should it not come.
    g_timeout_add_seconds(
        5,
        [](gpointer) -> gboolean {
            std::fflush(nullptr);
            _exit(0);
        },
        nullptr);
}

} // namespace vesk
