// Saves a picture of the browser window in each of its main states, so that
// a person can look at it: the start view, a page with the side panel, a
// popup in its sheet, and the agent paused. Run by scripts/window-pictures
// on a virtual display; the pictures go to the folder given as argument.

#include "BrowserMCP/MCPServer.h"
#include "BrowserUI/Palette.h"
#include "../BrowserUI/WindowHarness.h"

#include <gtk/gtk.h>

#include <cstdio>
#include <string>

using namespace vesk;
using namespace vesk::test;

namespace {

bool savePicture(GtkWidget* window, const std::string& path) {
    // Let the window lay out and draw what changed before it is taken.
    spinUntil([] { return false; }, seconds(0.6));
    int width = gtk_widget_get_width(window), height = gtk_widget_get_height(window);
    GdkPaintable* paintable = gtk_widget_paintable_new(window);
    GtkSnapshot* snapshot = gtk_snapshot_new();
    gdk_paintable_snapshot(paintable, GDK_SNAPSHOT(snapshot), width, height);
    GskRenderNode* node = gtk_snapshot_free_to_node(snapshot);
    bool saved = false;
    if (node) {
        graphene_rect_t area = GRAPHENE_RECT_INIT(0, 0, static_cast<float>(width), static_cast<float>(height));
        GdkTexture* texture = gsk_renderer_render_texture(gtk_native_get_renderer(GTK_NATIVE(window)), node, &area);
        saved = gdk_texture_save_to_png(texture, path.c_str());
        g_object_unref(texture);
        gsk_render_node_unref(node);
    }
    g_object_unref(paintable);
    std::fprintf(stderr, "%s %s\n", saved ? "saved" : "could not save", path.c_str());
    return saved;
}

nlohmann::json call(MCPServer& server, const std::string& name, const nlohmann::json& arguments) {
    nlohmann::json request{{"jsonrpc", "2.0"}, {"id", 1}, {"method", "tools/call"},
                           {"params", {{"name", name}, {"arguments", arguments}}}};
    return nlohmann::json::parse(runTask(server.handle(request.dump()), seconds(60)).value());
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2 || !gtk_init_check()) {
        std::fprintf(stderr, "usage: WindowPictures FOLDER (on a display)\n");
        return 2;
    }
    std::string folder = argv[1];
    WindowHarness harness;
    GtkWidget* window = GTK_WIDGET(harness.window->gobj());
    MCPServer server(harness.session.get(), harness.activity, nullptr, nullptr);
    bool saved = savePicture(window, folder + "/1-start-view.png");

    // The agent works on a page; the person opens the side panel.
    call(server, "navigate", {{"url", harness.server.url("/")}});
    call(server, "snapshot", {});
    call(server, "click", {{"ref", "e99"}});
    call(server, "navigate", {{"url", harness.server.url("/second")}});
    harness.view().togglePanel();
    saved = savePicture(window, folder + "/2-page-with-side-panel.png") && saved;

    call(server, "back", {});
    call(server, "evaluate", {{"script", "openTwo()"}});
    spinUntil([&] {
        const auto& popups = *harness.session->popups;
        return popups.size() == 2 && webkit_web_view_get_uri(popups[1].get()) &&
               !webkit_web_view_is_loading(popups[1].get());
    });
    saved = savePicture(window, folder + "/3-popup.png") && saved;

    harness.view().closeSheet();
    spinUntil([&] { return harness.session->popups->size() == 1; });
    harness.view().closeSheet();
    harness.activity.isPaused.set(true);
    call(server, "snapshot", {});
    saved = savePicture(window, folder + "/4-paused.png") && saved;
    return saved ? 0 : 1;
}
