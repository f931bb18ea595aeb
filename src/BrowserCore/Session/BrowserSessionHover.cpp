// Hover by pointer: the page agent says where the element shows, and the web
// view's own pointer handler is told that the pointer moved there, so that
// the engine hit-tests the point, puts the element under its pointer
// (:hover, and trusted pointerover/mouseover/mousemove events) as for the
// person's mouse.
//
// GTK 4 has no public call that hands a widget an input event. The web view
// takes pointer moves from a GtkEventControllerMotion of its own; emitting
// that controller's "motion" signal at a point of the view runs exactly the
// handler a real move would, without going through the display server. So
// it works for a view on an off-screen stage, under any GDK backend, and
// leaves the person's own pointer where it is.

#include "BrowserCore/Session/BrowserSession.h"
#include "BrowserCore/Session/FramePath.h"
#include "BrowserCore/Session/HoverByPointer.h"
#include "Platform/Async.h"

#include <gtk/gtk.h>

#include <string_view>
#include <vector>

namespace vesk {

namespace {

constexpr Duration hoverDeadline = seconds(1);
constexpr Duration hoverPoll = milliseconds(20);

// The controller through which the view takes the pointer's moves; null
// when it has none.
GtkEventController* pointerMotionController(WebKitWebView* view) {
    GListModel* controllers = gtk_widget_observe_controllers(GTK_WIDGET(view));
    GtkEventController* found = nullptr;
    for (guint i = 0, n = g_list_model_get_n_items(controllers); i < n && !found; ++i) {
        auto* controller = static_cast<GtkEventController*>(g_list_model_get_item(controllers, i));
        if (GTK_IS_EVENT_CONTROLLER_MOTION(controller)) found = controller;
        g_object_unref(controller);  // the view keeps its controllers
    }
    g_object_unref(controllers);
    return found;
}

// CSS pixels of the page per point of the view.
double pageScale(WebKitWebView* view) {
    WebKitSettings* settings = webkit_web_view_get_settings(view);
    // Zooming the text alone leaves the layout, and so every position, as it was.
    if (settings && webkit_settings_get_zoom_text_only(settings)) return 1;
    return webkit_web_view_get_zoom_level(view);
}

// Made outside the coroutine: GCC 12 cannot keep a braced JSON literal in a
// coroutine frame.
nlohmann::json hoverRefArguments(const std::string& ref) {
    return nlohmann::json{{"ref", ref}};
}

// The pointer comes into the view at the point: the controller's "enter"
// runs the handler a real pointer entering there runs. Its "motion" is not
// used: that handler reads the modifiers of the controller's current event,
// which a move handed over this way does not have, and GLib reports it as a
// critical.
void movePointer(GtkEventController* motion, double x, double y) {
    g_signal_emit_by_name(motion, "enter", x, y);
}

bool decodeBool(const nlohmann::json& value) {
    if (!value.is_boolean()) throw RecordDecodingError("the value is not a boolean");
    return value.get<bool>();
}

nlohmann::json frameIndexArguments(int index) {
    return nlohmann::json{{"index", index}};
}

// Where the subframe's own viewport begins in the page's: each frame element
// on the way down from the top, inside its borders and padding, found by the
// page agent of the frame that holds it. A frame of another origin cannot
// tell where it lies, and need not.
Task<PointerPoint> frameOrigin(BrowserSession& session, WebKitWebView* view, FrameInfo frame) {
    std::vector<FrameHop> hops = co_await framesOnTheWay(session, view, std::move(frame), "hover");
    PointerPoint origin{0, 0};
    for (const FrameHop& hop : hops) {
        PointerPoint offset =
            co_await session.agentValuePointerPoint("frameOffset", frameIndexArguments(hop.index), hop.holder);
        origin.x += offset.x;
        origin.y += offset.y;
    }
    co_return origin;
}

} // namespace

Task<void> hoverByPointer(BrowserSession& session, std::string ref) {
    auto keep = session.shared_from_this();
    GRef<WebKitWebView> view = GRef<WebKitWebView>::retain(session.activeView());
    if (!view.get() || !GTK_IS_WINDOW(gtk_widget_get_root(GTK_WIDGET(view.get())))) throw BrowserError::noPage();

    const nlohmann::json arguments = hoverRefArguments(ref);
    PointerPoint point = co_await session.agentValuePointerPoint("hover", arguments);
    if (auto frame = session.frameForRef(ref); frame && !frame->isMain) {
        PointerPoint origin = co_await frameOrigin(session, view.get(), *frame);
        point.x += origin.x;
        point.y += origin.y;
    }

    // The view's coordinates start at its top left corner, as the page's do.
    const double scale = pageScale(view.get());
    const double x = point.x * scale;
    const double y = point.y * scale;

    GtkEventController* motion = pointerMotionController(view.get());
    if (!motion) throw BrowserError::script("hover could not make its event");
    movePointer(motion, x, y);

    const Instant deadline = Clock::now() + hoverDeadline;
    while (true) {
        bool hovered = co_await session.agentValue<bool>("hovered", arguments, &decodeBool);
        if (hovered) co_return;
        if (Clock::now() >= deadline) break;
        co_await sleepFor(hoverPoll);
    }
    throw BrowserError::element(
        BrowserError::ElementFailure::obscured,
        "Element " + ref +
            " did not come under the pointer. The page shows it there, so the web view may not have followed the "
            "move: hover relies on WebKit behavior that is not documented, and a system update may have changed it");
}

} // namespace vesk
