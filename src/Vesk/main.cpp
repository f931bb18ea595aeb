#include "BrowserUI/Localized.h"
#include "Vesk/Browser.h"

#include <gtk/gtk.h>
#include <gtkmm/application.h>

#include <cstdio>
#include <libintl.h>
#include <memory>

int main(int, char** argv) {
    bool hasClient = vesk::Browser::takeStandardOutputIfClient();
    bind_textdomain_codeset(vesk::ui::textDomain, "UTF-8");
    if (!gtk_init_check()) {
        std::fputs("vesk: there is no display to open the browser window on: neither DISPLAY nor "
                   "WAYLAND_DISPLAY names one that can be opened. When an MCP client starts vesk, give its "
                   "server entry the display, such as \"env\": {\"DISPLAY\": \":0\"}.\n",
                   stderr);
        return 1;
    }
    // Several agents may each start their own Vesk: no single instance.
    auto application = Gtk::Application::create("app.vesk.Vesk", Gio::Application::Flags::NON_UNIQUE);
    std::unique_ptr<vesk::Browser> browser;
    application->signal_startup().connect([&] { browser = std::make_unique<vesk::Browser>(*application, hasClient); });
    application->signal_activate().connect([&] { browser->activate(); });
    // No command-line options are read.
    char* arguments[] = {argv[0], nullptr};
    int status = application->run(1, arguments);
    browser.reset();
    // The end of the agent's input ends the program normally.
    return hasClient ? 0 : status;
}
