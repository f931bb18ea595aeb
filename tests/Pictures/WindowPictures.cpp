// Saves a picture of the browser window in each of its states, so that a
// person can look at it: the start view, also with an address that could not
// be opened, a page with each tab of the side panel, a popup in its sheet,
// the agent paused, a flow row's menu, a button with the keyboard focus, the
// recorder in each of its states, the top bar with a failed load, each
// section of the settings window, a credential being edited and the
// settings window's close button with the keyboard focus.
// Run by scripts/window-pictures on a virtual display; the pictures go to
// the folder given as argument.

#include "BrowserCore/Profiles/ProfileStore.h"
#include "BrowserCore/Secrets/SiteKey.h"
#include "BrowserMCP/BrowserSettings.h"
#include "BrowserMCP/MCPServer.h"
#include "BrowserUI/Settings/CredentialForm.h"
#include "BrowserUI/Settings/CredentialsPanel.h"
#include "BrowserUI/Settings/SettingsView.h"
#include "BrowserUI/Settings/SettingsWindow.h"
#include "BrowserUI/SidePanel/FlowRow.h"
#include "BrowserUI/SidePanel/FlowsPanel.h"
#include "BrowserUI/SidePanel/ProfilesPanel.h"
#include "BrowserUI/SidePanel/Recorder.h"
#include "BrowserUI/SidePanel/SidePanelView.h"
#include "BrowserUI/SidePanel/VariableForm.h"
#include "BrowserUI/Widgets/Palette.h"
#include "BrowserUI/Window/StartView.h"
#include "BrowserUI/WindowHarness.h"
#include "Platform/Keychain.h"
#include "Support/ClosedPort.h"

#include <gtk/gtk.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <string>

using namespace vesk;
using namespace vesk::test;

namespace {

class Pictures {
public:
    explicit Pictures(std::string folder) : folder_(std::move(folder)) {}

    // Saves the window (or a popover) as NN-NAME.png, numbered in the order taken.
    void save(Gtk::Widget& window, const std::string& name) {
        char number[16];
        std::snprintf(number, sizeof number, "%02d-", ++count_);
        std::string path = folder_ + "/" + number + name + ".png";
        bool saved = savePicture(GTK_WIDGET(window.gobj()), path);
        std::fprintf(stderr, "%s %s\n", saved ? "saved" : "could not save", path.c_str());
        allSaved_ = allSaved_ && saved;
    }
    bool allSaved() const { return allSaved_; }

private:
    static bool savePicture(GtkWidget* window, const std::string& path) {
        // Let the window lay out and draw what changed, the page included.
        spinUntil([] { return false; }, seconds(0.6));
        int width = gtk_widget_get_width(window), height = gtk_widget_get_height(window);
        GdkPaintable* paintable = gtk_widget_paintable_new(window);
        GtkSnapshot* snapshot = gtk_snapshot_new();
        gdk_paintable_snapshot(paintable, GDK_SNAPSHOT(snapshot), width, height);
        GskRenderNode* node = gtk_snapshot_free_to_node(snapshot);
        bool saved = false;
        if (node) {
            graphene_rect_t area = GRAPHENE_RECT_INIT(0, 0, static_cast<float>(width), static_cast<float>(height));
            GdkTexture* texture =
                gsk_renderer_render_texture(gtk_native_get_renderer(GTK_NATIVE(window)), node, &area);
            saved = gdk_texture_save_to_png(texture, path.c_str());
            g_object_unref(texture);
            gsk_render_node_unref(node);
        }
        g_object_unref(paintable);
        return saved;
    }

    std::string folder_;
    int count_ = 0;
    bool allSaved_ = true;
};

nlohmann::json call(MCPServer& server, const std::string& name, const nlohmann::json& arguments) {
    nlohmann::json request{{"jsonrpc", "2.0"}, {"id", 1}, {"method", "tools/call"},
                           {"params", {{"name", name}, {"arguments", arguments}}}};
    return nlohmann::json::parse(runTask(server.handle(request.dump()), seconds(60)).value());
}

void click(Gtk::Widget* button) {
    if (button) g_signal_emit_by_name(button->gobj(), "clicked");
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2 || !gtk_init_check()) {
        std::fprintf(stderr, "usage: WindowPictures FOLDER (on a display)\n");
        return 2;
    }
    Pictures pictures(argv[1]);
    // The stores keep what they are given in a folder of their own.
    gchar* made = g_dir_make_tmp("vesk-pictures-XXXXXX", nullptr);
    const std::filesystem::path stores = made;
    g_free(made);
    int status = 1;
    {
        WebsiteData data(stores / "data", stores / "cache");
        ProfileStore profiles(stores, std::make_unique<Keychain>("VeskWindowPictures"), data);
        UserDefaults defaults(stores / "config");
        BrowserSettings settings(defaults);
        WindowHarness harness(&profiles);
        profiles.setSession(harness.session);
        Gtk::Window& window = *harness.window;
        auto& view = harness.view();
        MCPServer server(harness.session.get(), harness.activity, nullptr, nullptr);
        pictures.save(window, "start-view");
        // Nothing listens on the port: the error under the field, the typed text kept.
        ClosedPort closed;
        view.startView()->addressField().set_text("localhost:" + std::to_string(closed.port()) + "/x");
        view.startView()->submitAddress();
        spinUntil([&] { return view.startView()->failureText().has_value(); });
        pictures.save(window, "start-view-failed-address");

        // The agent works on a page; the person opens the side panel.
        call(server, "navigate", {{"url", harness.server.url("/")}});
        call(server, "snapshot", {});
        call(server, "click", {{"ref", "e99"}});
        call(server, "navigate", {{"url", harness.server.url("/second")}});
        view.togglePanel();
        pictures.save(window, "page-with-the-log");

        call(server, "back", {});
        call(server, "evaluate", {{"script", "openTwo()"}});
        spinUntil([&] {
            const auto& popups = *harness.session->popups;
            return popups.size() == 2 && webkit_web_view_get_uri(popups[1].get()) &&
                   !webkit_web_view_is_loading(popups[1].get());
        });
        pictures.save(window, "popup");
        view.closeSheet();
        spinUntil([&] { return harness.session->popups->size() == 1; });
        view.closeSheet();
        spinUntil([&] { return harness.session->popups->empty(); });
        harness.activity.isPaused.set(true);
        call(server, "snapshot", {});
        pictures.save(window, "paused");
        harness.activity.isPaused.set(false);

        // The flows tab: a saved flow replayed, its steps open; the recorder idle.
        FlowStep load{FlowStep::Action::navigate, std::nullopt, harness.server.url("/second"), std::nullopt,
                      std::nullopt};
        FlowStep missing{FlowStep::Action::click, Locator{"button", "Send", 0, std::nullopt}, std::nullopt, std::nullopt, std::nullopt};
        harness.flows.save(Flow{"sign in", {load, missing}});
        harness.flows.save(Flow{"check out", {load}});
        view.panel.set(ui::SidePanel::flows);
        view.playback.replayFlow(*harness.flows.flowNamed("sign in"), harness.session);
        spinUntil([&] { return !view.playback.running->has_value(); }, seconds(30));
        pictures.save(window, "flows-tab-recorder-idle");
        auto* row = dynamic_cast<ui::FlowsPanel*>(view.sidePanel()->content())->rows().at(0);
        row->openMenu();
        pictures.save(row->menu(), "flow-row-menu");
        row->menu().popdown();

        // A button that has the keyboard, as Tab leaves it: its ring shows.
        auto* flowsPanel = dynamic_cast<ui::FlowsPanel*>(view.sidePanel()->content());
        flowsPanel->rows()[0]->header().grab_focus();
        gtk_window_set_focus_visible(window.gobj(), TRUE);
        pictures.save(window, "focused-button");

        // The recorder: naming a flow whose name a saved one has, recording,
        // and a recording whose save failed.
        auto& recorder = dynamic_cast<ui::FlowsPanel*>(view.sidePanel()->content())->recorder();
        click(recorder.recordAFlowButton());
        spinUntil([&] { return recorder.nameField() != nullptr; });
        recorder.nameField()->set_text("sign in");
        pictures.save(window, "recorder-naming");
        recorder.nameField()->set_text("blocked");
        click(recorder.recordButton());
        call(server, "navigate", {{"url", harness.server.url("/")}});
        call(server, "navigate", {{"url", harness.server.url("/second")}});
        pictures.save(window, "recorder-recording");
        std::ofstream(harness.flowsFolder / "blocked.json") << "not a flow";
        click(recorder.stopButton());
        spinUntil([&] { return recorder.unsaved() != nullptr && recorder.nameField() != nullptr; });
        pictures.save(window, "recorder-unsaved");

        // The profiles tab: a saved profile in use, with a variable and a credential.
        BrowserProfile work = runTask(profiles.createProfile("Work"));
        runTask(profiles.selectProfile(work));
        std::string site = siteKeyOfURL(harness.server.url("/")).value_or("");
        runTask(profiles.setVariable("API_KEY", "s3cret", site, work.id));
        Credential bank = runTask(
            profiles.addCredential("bank", {"bank.example", "login.bank.example"}, "ann", "pw", "JBSWY3DPEHPK3PXP"));
        runTask(profiles.assignCredential(bank.id, true, work.id));
        runTask(profiles.addCredential("mail", {"mail.example"}, "ann", "pw", ""));
        view.panel.set(ui::SidePanel::profiles);
        pictures.save(window, "profiles-tab");

        // A variable saved without its site: nothing is saved, the form keeps
        // what was typed and its save stays off.
        auto* profilesTab = dynamic_cast<ui::ProfilesPanel*>(view.sidePanel()->content());
        ui::VariableForm* form = profilesTab->variableForm(work.id);
        form->keyField().set_text("token");
        form->valueField().set_text("x");
        form->siteField().set_text("");
        form->save();
        pictures.save(window, "variable-form-missing-site");
        form->keyField().set_text("");
        form->valueField().set_text("");

        // The person types an address that cannot be opened: the page stays.
        call(server, "navigate", {{"url", harness.server.url("/")}});
        harness.bar().addressField().set_text(closed.url("/x"));
        harness.bar().submitAddress();
        spinUntil([&] { return harness.bar().failureText().has_value(); });
        pictures.save(window, "top-bar-failure-line");

        // The settings window, each section, and a credential being edited.
        openSettingsWindow(harness.session, harness.flows, profiles, settings);
        Gtk::Window& settingsWindow = *vesk::settingsWindow();
        auto* settingsView = dynamic_cast<SettingsView*>(settingsWindow.get_child()->get_first_child());
        for (SettingsSection section : allSettingsSections) {
            settingsView->showSection(section);
            pictures.save(settingsWindow, "settings-" + title(section));
        }
        auto* credentials = dynamic_cast<ui::CredentialsPanel*>(settingsView->sectionPanel());
        credentials->edit(bank.id);
        spinUntil([&] { return credentials->form() != nullptr; });
        credentials->form()->sitesField().set_text("bank.example, login.bank.example, m.bank.example");
        credentials->form()->passwordField().set_text("a new password");
        credentials->form()->removeOTPToggle()->set_active(true);
        pictures.save(settingsWindow, "credential-being-edited");

        // The window's close button, reached by Tab: its ring shows.
        std::function<GtkWidget*(GtkWidget*)> closeButton = [&](GtkWidget* widget) -> GtkWidget* {
            if (GTK_IS_BUTTON(widget) && gtk_widget_has_css_class(widget, "close")) return widget;
            for (GtkWidget* child = gtk_widget_get_first_child(widget); child; child = gtk_widget_get_next_sibling(child))
                if (GtkWidget* found = closeButton(child)) return found;
            return nullptr;
        };
        gtk_widget_grab_focus(closeButton(GTK_WIDGET(settingsWindow.gobj())));
        gtk_window_set_focus_visible(settingsWindow.gobj(), TRUE);
        pictures.save(settingsWindow, "settings-close-focused");
        status = pictures.allSaved() ? 0 : 1;
    }
    std::filesystem::remove_all(stores);
    return status;
}
