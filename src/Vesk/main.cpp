#include "BrowserUI/Presentation/Localized.h"
#include "Vesk/Browser.h"

#include <gtk/gtk.h>
#include <gtkmm/application.h>

#include <cstdio>
#include <libintl.h>
#include <malloc.h>
#include <memory>

int main(int, char** argv) {
    // Each page load passes large buffers through the heap (page texts and
    // scans, the frames the window draws). With glibc's sliding mmap
    // threshold they come to be carved from the heap, and what they leave
    // free there stays with the process: a fixed threshold keeps them
    // mapped apart and handed back when freed.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
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
