#pragma once

// What the panel tests share: a temporary folder, a real session, fixture
// pages from pages/, panels shown in windows of their own, and pictures of
// them saved when VESK_PICTURES names a folder.

#include "BrowserCore/Session/BrowserSession.h"
#include "BrowserUI/Widgets/PanelWidgets.h"
#include "Support/MainLoop.h"

#include <glib.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <gtkmm/init.h>
#include <gtkmm/window.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace vesk::test {

// A click on a button, at once (activating a button clicks it only after a
// pause in which the button must stay on screen).
inline void click(Gtk::Widget& button) {
    g_signal_emit_by_name(button.gobj(), "clicked");
}

// What Return in a text field does.
inline void pressReturn(Gtk::Widget& field) {
    g_signal_emit_by_name(field.gobj(), "activate");
}

// Waits until the widget's window has laid out and drawn what changed.
inline void waitUntilDrawn(Gtk::Widget& widget) {
    GtkWidget* window = GTK_WIDGET(widget.get_root()->gobj());
    // Two frames later it has been laid out and drawn.
    int frames = 0;
    guint tick = gtk_widget_add_tick_callback(
        window,
        [](GtkWidget*, GdkFrameClock*, gpointer count) -> gboolean {
            ++*static_cast<int*>(count);
            return G_SOURCE_CONTINUE;
        },
        &frames, nullptr);
    gtk_widget_queue_draw(window);
    spinUntil([&] { return frames >= 2; }, seconds(5));
    gtk_widget_remove_tick_callback(window, tick);
}

class PanelHarness {
public:
    std::filesystem::path folder;

    PanelHarness() {
        Gtk::init_gtkmm_internals();
        ui::installStyles();
        gchar* made = g_dir_make_tmp("vesk-panels-XXXXXX", nullptr);
        folder = made;
        g_free(made);
    }
    ~PanelHarness() {
        for (Gtk::Window* window : windows_)
            delete window;
        std::filesystem::remove_all(folder);
    }
    PanelHarness(const PanelHarness&) = delete;
    PanelHarness& operator=(const PanelHarness&) = delete;

    static std::string page(const std::string& name) {
        std::ifstream file(std::filesystem::path(WINDOW_PAGES) / name);
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }

    static std::shared_ptr<BrowserSession> session() {
        BrowserSession::Options options;
        options.settleTimeout = seconds(2);
        return BrowserSession::create(options);
    }

    // The view, made with `arguments`, alone in a window of the side panel's width.
    template <typename View, typename... Arguments> View& show(Arguments&&... arguments) {
        auto* window = new Gtk::Window();
        window->set_default_size(340, 720);
        window->add_css_class("on-sidebar");
        auto* view = Gtk::make_managed<View>(std::forward<Arguments>(arguments)...);
        window->set_child(*view);
        window->present();
        windows_.push_back(window);
        spinUntil([&] { return view->get_mapped(); });
        return *view;
    }

    // Saves a PNG of the widget's window as NAME.png in $VESK_PICTURES, if set.
    static void picture(Gtk::Widget& widget, const std::string& name) {
        const char* pictures = std::getenv("VESK_PICTURES");
        if (!pictures) return;
        waitUntilDrawn(widget);
        GtkWidget* window = GTK_WIDGET(widget.get_root()->gobj());
        int width = gtk_widget_get_width(window);
        int height = gtk_widget_get_height(window);
        GdkPaintable* paintable = gtk_widget_paintable_new(window);
        GtkSnapshot* snapshot = gtk_snapshot_new();
        gdk_paintable_snapshot(paintable, snapshot, width, height);
        GskRenderNode* node = gtk_snapshot_free_to_node(snapshot);
        GskRenderer* renderer = gtk_native_get_renderer(GTK_NATIVE(window));
        graphene_rect_t bounds = GRAPHENE_RECT_INIT(0, 0, static_cast<float>(width), static_cast<float>(height));
        GdkTexture* texture = gsk_renderer_render_texture(renderer, node, &bounds);
        std::filesystem::create_directories(pictures);
        EXPECT_TRUE(gdk_texture_save_to_png(texture, (std::filesystem::path(pictures) / (name + ".png")).c_str()));
        g_object_unref(texture);
        gsk_render_node_unref(node);
        g_object_unref(paintable);
    }

private:
    std::vector<Gtk::Window*> windows_;
};

} // namespace vesk::test
