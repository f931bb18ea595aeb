#include "BrowserCore/Session/PrimarySelection.h"

#include <utility>

namespace vesk {

namespace {

bool offersText(GdkContentProvider* content) {
    GdkContentFormats* formats = gdk_content_provider_ref_formats(content);
    gsize count = 0;
    const char* const* types = gdk_content_formats_get_mime_types(formats, &count);
    bool text = false;
    for (gsize i = 0; i < count && !text; ++i) text = g_str_has_prefix(types[i], "text/");
    gdk_content_formats_unref(formats);
    return text;
}

// WebKit collapses the selection of the page that last offered one as soon
// as another program owns the desktop's selection: a person who selects text
// in another window would undo the agent's selection between two of its keys
// (Control+a, then Control+c copies nothing, or the next key no longer
// replaces it). WebKit watches for that from the first selection a page
// offers; this, connected once before any page, runs first and ends it there.
void keepPagesSelections(GdkClipboard* selection) {
    static GdkClipboard* kept = nullptr;
    if (kept == selection) return;
    kept = selection;
    g_signal_connect(selection, "notify::local", G_CALLBACK(+[](GdkClipboard* changed, GParamSpec*) {
                         if (!gdk_clipboard_is_local(changed)) g_signal_stop_emission_by_name(changed, "notify::local");
                     }),
                     nullptr);
}

} // namespace

PrimarySelectionWatch::PrimarySelectionWatch(Shown shown) : shown_(std::move(shown)) {
    GdkDisplay* display = gdk_display_get_default();
    if (!display) return;
    selection_ = GDK_CLIPBOARD(g_object_ref(gdk_display_get_primary_clipboard(display)));
    handler_ = g_signal_connect(selection_, "changed", G_CALLBACK(&PrimarySelectionWatch::changed), this);
    keepPagesSelections(selection_);
}

PrimarySelectionWatch::~PrimarySelectionWatch() {
    if (!selection_) return;
    g_signal_handler_disconnect(selection_, handler_);
    g_object_unref(selection_);
}

// GDK tells of the change as the content is set, inside WebKit's call: the
// selection's owner on the display is this program, and no other program's
// request for the text is answered before the main loop runs again.
void PrimarySelectionWatch::changed(GdkClipboard* selection, PrimarySelectionWatch* watch) {
    if (watch->replacing_ || !gdk_clipboard_is_local(selection)) return;
    GdkContentProvider* content = gdk_clipboard_get_content(selection);
    if (!content) return;
    GValue value = G_VALUE_INIT;
    g_value_init(&value, G_TYPE_STRING);
    bool hasText = gdk_content_provider_get_value(content, &value, nullptr) && g_value_get_string(&value);
    std::string text = hasText ? g_value_get_string(&value) : "";
    g_value_unset(&value);
    // A content without text (an image alone) holds no stored value; one that
    // offers text only in a form not read here cannot be checked.
    std::optional<std::string> shown;
    if (hasText) shown = watch->shown_(text);
    else if (!offersText(content)) return;
    if (shown == text) return;
    // The markup that came with the text holds the same values: the text
    // alone takes the whole content's place.
    watch->replacing_ = true;
    if (shown) gdk_clipboard_set_text(selection, shown->c_str());
    else gdk_clipboard_set_content(selection, nullptr);
    watch->replacing_ = false;
}

} // namespace vesk
