#include "Vesk/Browser.h"

#include <gtkmm/application.h>

#include <memory>

int main(int, char** argv) {
    bool hasClient = vesk::Browser::takeStandardOutputIfClient();
    // Several agents may each start their own Vesk: no single instance.
    auto application = Gtk::Application::create("app.vesk.Vesk", Gio::Application::Flags::NON_UNIQUE);
    std::unique_ptr<vesk::Browser> browser;
    application->signal_startup().connect([&] { browser = std::make_unique<vesk::Browser>(*application, hasClient); });
    application->signal_activate().connect([&] { browser->activate(); });
    // No command-line options are read.
    char* arguments[] = {argv[0], nullptr};
    int status = application->run(1, arguments);
    browser.reset();
    return status;
}
