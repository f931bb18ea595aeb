#include "BrowserCore/Session/PageSetup.h"

#include "BrowserCore/Session/WebsiteData.h"
#include "Platform/Text.h"

#include <gio/gio.h>

#include <cstdio>
#include <cstdlib>

extern "C" GResource* vesk_browser_core_get_resource(void);

namespace vesk {

namespace {

// Reads a page-side script compiled into the program. A missing script
// means a broken build: the program cannot read pages without it.
std::string pageScript(const char* name, const char* fatalMessage) {
    std::string path = std::string("/app/vesk/BrowserCore/") + name;
    GBytes* bytes = g_resource_lookup_data(vesk_browser_core_get_resource(), path.c_str(),
                                           G_RESOURCE_LOOKUP_FLAGS_NONE, nullptr);
    gsize size = 0;
    const char* data = bytes ? static_cast<const char*>(g_bytes_get_data(bytes, &size)) : nullptr;
    if (!data || !g_utf8_validate(data, static_cast<gssize>(size), nullptr)) {
        std::fprintf(stderr, "%s\n", fatalMessage);
        std::abort();
    }
    std::string text(data, size);
    g_bytes_unref(bytes);
    return text;
}

// Whether the machine has a GPU that WebKit can draw with: a DRM render node.
// Without one, WebKit's accelerated compositing runs on a software renderer
// that holds a fresh web process's frames back while it compiles its shaders,
// for the better part of a second, and is slower than WebKit's own
// non-accelerated drawing afterwards.
bool hasRenderNode() {
    static const bool found = [] {
        GDir* dir = g_dir_open("/dev/dri", 0, nullptr);
        if (!dir) return false;
        bool any = false;
        while (const char* name = g_dir_read_name(dir)) {
            if (g_str_has_prefix(name, "renderD")) any = true;
        }
        g_dir_close(dir);
        return any;
    }();
    return found;
}

void prepareWebContext() {
    static bool prepared = false;
    if (prepared) return;
    prepared = true;
    webkit_web_context_set_web_process_extensions_directory(webkit_web_context_get_default(),
                                                            VESK_WEB_PROCESS_EXTENSIONS_DIR);
}

struct HandlerContext {
    std::weak_ptr<BrowserSession> session;
    WebKitWebView* view;
};

void deleteContext(gpointer data, GClosure*) {
    delete static_cast<HandlerContext*>(data);
}

void addScript(WebKitUserContentManager* manager, const std::string& source, WebKitUserContentInjectedFrames frames,
               const char* world) {
    // A null world is the page's own.
    WebKitUserScript* script =
        world ? webkit_user_script_new_for_world(source.c_str(), frames, WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START,
                                                 world, nullptr, nullptr)
              : webkit_user_script_new(source.c_str(), frames, WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr,
                                       nullptr);
    webkit_user_content_manager_add_script(manager, script);
    webkit_user_script_unref(script);
}

// The event type by which the page agent asks the page's world for the
// elements whose listeners it noted: made up once for the run, and written
// into the two scripts alone, so no page script can know it.
const std::string& noteType() {
    static const std::string type = [] {
        char* uuid = g_uuid_string_random();
        std::string made = std::string("vesk-") + uuid;
        g_free(uuid);
        return made;
    }();
    return type;
}

std::string withNoteType(std::string_view script) {
    return text::replacedAll(script, "@VESK_NOTE_TYPE@", noteType());
}

} // namespace

const std::string& BrowserSession::agentScript() {
    static const std::string text =
        withNoteType(pageScript("agent.js", "agent.js is missing from the BrowserCore bundle"));
    return text;
}

const std::string& BrowserSession::listenerScript() {
    static const std::string text =
        withNoteType(pageScript("listeners.js", "listeners.js is missing from the BrowserCore bundle"));
    return text;
}

const std::string& BrowserSession::requestWatcherScript() {
    static const std::string text = pageScript("requests.js", "requests.js is missing from the BrowserCore bundle");
    return text;
}

const std::string& BrowserSession::consoleScript() {
    static const std::string text = pageScript("console.js", "console.js is missing from the BrowserCore bundle");
    return text;
}

const std::string& PageSetup::userAgent() {
    static const std::string agent = [] {
        WebKitSettings* settings = webkit_settings_new();
        std::string own = webkit_settings_get_user_agent(settings);
        g_object_unref(settings);
        // Keep the platform part and let the application name follow it once.
        const std::string marker = "(KHTML, like Gecko)";
        auto at = own.find(marker);
        std::string platform = at == std::string::npos ? own : own.substr(0, at + marker.size());
        return platform + " " + BrowserSession::applicationName;
    }();
    return agent;
}

GRef<WebKitWebView> PageSetup::makeWebView(std::weak_ptr<BrowserSession> session, const BrowserSession::Profile& profile,
                                           WebKitWebView* related) {
    prepareWebContext();

    // P1, P7, P9: the user agent, windows opened by script, the inspector.
    WebKitSettings* settings = webkit_settings_new();
    webkit_settings_set_user_agent(settings, userAgent().c_str());
    webkit_settings_set_javascript_can_open_windows_automatically(settings, TRUE);
    webkit_settings_set_enable_developer_extras(settings, TRUE);
    if (!hasRenderNode()) {
        webkit_settings_set_hardware_acceleration_policy(settings, WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
    }

    // P3 to P6: the scripts, one manager per view.
    WebKitUserContentManager* manager = webkit_user_content_manager_new();
    addScript(manager, BrowserSession::agentScript(), WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES, BrowserSession::worldName);
    addScript(manager, BrowserSession::requestWatcherScript(), WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES, nullptr);
    addScript(manager, BrowserSession::listenerScript(), WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES, nullptr);
    addScript(manager, BrowserSession::consoleScript(), WEBKIT_USER_CONTENT_INJECT_TOP_FRAME, nullptr);

    // P2, P8: the profile's website data and the page's size. A popup shares
    // the web process of the view that opened it.
    GRef<WebKitNetworkSession> network;
    WebKitWebView* view = nullptr;
    if (related) {
        view = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "related-view", related, "settings", settings,
                                            "user-content-manager", manager, nullptr));
    } else {
        network = WebsiteData::standard().networkSession(profile);
        view = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "network-session", network.get(), "settings",
                                            settings, "user-content-manager", manager, nullptr));
    }
    g_object_ref_sink(view);
    gtk_widget_set_size_request(GTK_WIDGET(view), 1024, 768);
    // The print dialog would run a loop of its own until someone closes it,
    // and nothing else would be served meanwhile: a page's print request is
    // answered as if cancelled.
    g_signal_connect(view, "print", G_CALLBACK(+[](WebKitWebView*, WebKitPrintOperation*, gpointer) -> gboolean {
                         return TRUE;
                     }),
                     nullptr);
    g_object_unref(settings);

    // The scripts' messages come through the web process extension to the
    // view of the page that sent them, with the frame they came from: a
    // popup's reach the popup's view even when it shares its opener's
    // content manager, and no page script can post one.
    g_signal_connect_data(
        view, "user-message-received",
        G_CALLBACK(+[](WebKitWebView* sender, WebKitUserMessage* message, gpointer data) -> gboolean {
            auto received = PageMessage::from(message);
            if (!received) return FALSE;
            if (auto s = static_cast<HandlerContext*>(data)->session.lock()) s->receivePageMessage(sender, *received);
            return TRUE;
        }),
        new HandlerContext{session, view}, deleteContext, GConnectFlags(0));
    g_object_unref(manager);

    // The person's own key or button in the page, seen before the page gets
    // it: what the page copies from then on is the person's.
    GtkEventController* input = gtk_event_controller_legacy_new();
    gtk_event_controller_set_propagation_phase(input, GTK_PHASE_CAPTURE);
    g_signal_connect_data(
        input, "event", G_CALLBACK(+[](GtkEventControllerLegacy*, GdkEvent* event, gpointer data) -> gboolean {
            GdkEventType type = gdk_event_get_event_type(event);
            if (type != GDK_KEY_PRESS && type != GDK_BUTTON_PRESS && type != GDK_TOUCH_BEGIN) return FALSE;
            if (auto s = static_cast<HandlerContext*>(data)->session.lock()) s->agentActs = false;
            return FALSE;
        }),
        new HandlerContext{session, view}, deleteContext, GConnectFlags(0));
    gtk_widget_add_controller(GTK_WIDGET(view), input);
    return GRef<WebKitWebView>::adopt(view);
}

} // namespace vesk
