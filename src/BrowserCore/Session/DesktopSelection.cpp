#include "BrowserCore/Session/DesktopSelection.h"

#include <algorithm>
#include <utility>

namespace vesk {

namespace {

// Below this many bytes GTK serves a text given as a string in one X request,
// even converted to a character set that takes four bytes for one.
constexpr std::size_t servedWhole = 32 * 1024;

// Marks the contents the watches offer, which no watch looks at again.
GQuark offeredHere() {
    static GQuark quark = g_quark_from_static_string("vesk-desktop-selection");
    return quark;
}

std::vector<std::string> mimeTypes(GdkContentProvider* content) {
    GdkContentFormats* formats = gdk_content_provider_ref_formats(content);
    gsize count = 0;
    const char* const* types = gdk_content_formats_get_mime_types(formats, &count);
    std::vector<std::string> out(types, types + count);
    gdk_content_formats_unref(formats);
    return out;
}

bool isPlainText(const std::string& type) {
    return type == "text/plain" || type.starts_with("text/plain;");
}

// The text forms besides plain text: markup, addresses.
std::vector<std::string> otherTextForms(GdkContentProvider* content) {
    std::vector<std::string> forms;
    for (auto& type : mimeTypes(content)) {
        if (type.starts_with("text/") && !isPlainText(type)) forms.push_back(std::move(type));
    }
    return forms;
}

// Whether the content offers its text as a string and nothing else.
bool textAlone(GdkContentProvider* content) {
    auto types = mimeTypes(content);
    return std::all_of(types.begin(), types.end(), isPlainText);
}

bool imageAlone(GdkContentProvider* content) {
    GdkContentFormats* formats = gdk_content_provider_ref_formats(content);
    gsize count = 0;
    const char* const* types = gdk_content_formats_get_mime_types(formats, &count);
    bool image = count > 0 || gdk_content_formats_contain_gtype(formats, GDK_TYPE_TEXTURE);
    for (gsize i = 0; i < count && image; ++i) image = g_str_has_prefix(types[i], "image/");
    const GType* gtypes = gdk_content_formats_get_gtypes(formats, &count);
    for (gsize i = 0; i < count && image; ++i) image = g_type_is_a(gtypes[i], GDK_TYPE_TEXTURE);
    gdk_content_formats_unref(formats);
    return image;
}

std::optional<std::string> textOf(GdkContentProvider* content) {
    GValue value = G_VALUE_INIT;
    g_value_init(&value, G_TYPE_STRING);
    std::optional<std::string> text;
    if (gdk_content_provider_get_value(content, &value, nullptr) && g_value_get_string(&value)) {
        text = g_value_get_string(&value);
    }
    g_value_unset(&value);
    return text;
}

// At most `textLimit` bytes of the text, ending at a character's end.
std::string cut(std::string text) {
    if (text.size() <= DesktopSelectionWatch::textLimit) return text;
    std::size_t end = DesktopSelectionWatch::textLimit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    text.resize(end);
    return text;
}

GdkContentProvider* bytesOf(const char* type, const std::string& data) {
    GBytes* bytes = g_bytes_new(data.data(), data.size());
    GdkContentProvider* provider = gdk_content_provider_new_for_bytes(type, bytes);
    g_bytes_unref(bytes);
    return provider;
}

// The text as bytes, in UTF-8 under both names readers ask for it by, and
// the other forms given.
GdkContentProvider* contentOf(const std::string& text,
                              const std::vector<std::pair<std::string, std::string>>& forms = {}) {
    std::vector<GdkContentProvider*> providers{bytesOf("text/plain;charset=utf-8", text), bytesOf("text/plain", text)};
    for (const auto& [type, data] : forms) providers.push_back(bytesOf(type.c_str(), data));
    GdkContentProvider* content = gdk_content_provider_new_union(providers.data(), providers.size());
    g_object_set_qdata(G_OBJECT(content), offeredHere(), GINT_TO_POINTER(1));
    return content;
}

} // namespace

// The other text forms of a content, read while its text alone is offered.
struct DesktopSelectionWatch::Reading {
    std::weak_ptr<DesktopSelectionWatch*> watch;
    GRef<GdkContentProvider> offered;  // the text alone, offered meanwhile
    std::string text;
    bool checked = false;
    std::size_t left = 0;
    bool failed = false;
    std::vector<std::pair<std::string, std::string>> forms;
};

DesktopSelectionWatch::DesktopSelectionWatch(GdkClipboard* selection, Check check, Checking checking)
    : check_(std::move(check)), checking_(std::move(checking)), self_(std::make_shared<DesktopSelectionWatch*>(this)) {
    selection_ = GDK_CLIPBOARD(g_object_ref(selection));
    handler_ = g_signal_connect(selection_, "changed", G_CALLBACK(&DesktopSelectionWatch::changed), this);
}

DesktopSelectionWatch::~DesktopSelectionWatch() {
    g_signal_handler_disconnect(selection_, handler_);
    g_object_unref(selection_);
}

// GDK tells of the change as the content is set, inside the setter's call:
// the selection's owner on the display is this program, and no other
// program's request for it is answered before the main loop runs again.
void DesktopSelectionWatch::changed(GdkClipboard* selection, DesktopSelectionWatch* watch) {
    if (!gdk_clipboard_is_local(selection)) return;
    // Held here: offering another content lets go of the clipboard's hold.
    auto content = GRef<GdkContentProvider>::retain(gdk_clipboard_get_content(selection));
    if (!content || g_object_get_qdata(G_OBJECT(content.get()), offeredHere())) return;
    const bool checked = !watch->checking_ || watch->checking_();
    auto text = textOf(content.get());
    if (!text) {
        // An image holds no stored value; text in a form not read here, or
        // any other form, cannot be checked.
        if (checked && !imageAlone(content.get())) watch->offer(nullptr);
        return;
    }
    auto shown = checked ? watch->check_(*text) : text;
    if (shown == text && text->size() < servedWhole && (!checked || textAlone(content.get()))) return;
    if (!shown) {
        watch->offer(nullptr);
        return;
    }
    std::string served = cut(*shown);
    auto alone = GRef<GdkContentProvider>::adopt(contentOf(served));
    watch->offer(alone.get());
    // A text shown whole and as it is keeps its other forms, once read: they
    // would hold a hidden value or the cut part too.
    auto forms = otherTextForms(content.get());
    if (served == *text && !forms.empty()) {
        watch->readOtherForms(content, alone, std::move(forms), std::move(served), checked);
    }
}

void DesktopSelectionWatch::offer(GdkContentProvider* content) {
    gdk_clipboard_set_content(selection_, content);
}

void DesktopSelectionWatch::readOtherForms(const GRef<GdkContentProvider>& content,
                                           const GRef<GdkContentProvider>& offered, std::vector<std::string> forms,
                                           std::string text, bool checked) {
    auto reading = std::make_shared<Reading>();
    reading->watch = self_;
    reading->offered = offered;
    reading->text = std::move(text);
    reading->checked = checked;
    reading->left = forms.size();
    struct Read {
        std::shared_ptr<Reading> reading;
        std::string form;
        GRef<GOutputStream> sink;
    };
    for (auto& form : forms) {
        auto* read = new Read{reading, std::move(form), GRef<GOutputStream>::adopt(g_memory_output_stream_new_resizable())};
        gdk_content_provider_write_mime_type_async(
            content.get(), read->form.c_str(), read->sink.get(), G_PRIORITY_DEFAULT, nullptr,
            +[](GObject* source, GAsyncResult* result, gpointer data) {
                std::unique_ptr<Read> read(static_cast<Read*>(data));
                Reading& reading = *read->reading;
                bool written = gdk_content_provider_write_mime_type_finish(GDK_CONTENT_PROVIDER(source), result, nullptr);
                if (written && g_output_stream_close(read->sink.get(), nullptr, nullptr)) {
                    auto* memory = G_MEMORY_OUTPUT_STREAM(read->sink.get());
                    reading.forms.emplace_back(read->form,
                                               std::string(static_cast<const char*>(g_memory_output_stream_get_data(memory)),
                                                           g_memory_output_stream_get_data_size(memory)));
                } else {
                    reading.failed = true;
                }
                if (--reading.left == 0) finish(reading);
            },
            read);
    }
}

// Offers the text with its other forms when the text alone is still
// offered and each form is whole, small enough, and holds nothing to hide.
void DesktopSelectionWatch::finish(const Reading& reading) {
    auto self = reading.watch.lock();
    if (!self || reading.failed) return;
    DesktopSelectionWatch* watch = *self;
    if (gdk_clipboard_get_content(watch->selection_) != reading.offered.get()) return;
    for (const auto& [form, data] : reading.forms) {
        if (data.size() > textLimit || !g_utf8_validate(data.data(), static_cast<gssize>(data.size()), nullptr)) return;
        if (reading.checked && watch->check_(data) != data) return;
    }
    GdkContentProvider* whole = contentOf(reading.text, reading.forms);
    watch->offer(whole);
    g_object_unref(whole);
}

void keepPagesSelections(GdkClipboard* primary) {
    static GdkClipboard* kept = nullptr;
    if (kept == primary) return;
    kept = primary;
    // WebKit watches for it from the first selection a page offers; this,
    // connected before, runs first and ends it there.
    g_signal_connect(primary, "notify::local", G_CALLBACK(+[](GdkClipboard* changed, GParamSpec*) {
                         if (!gdk_clipboard_is_local(changed)) g_signal_stop_emission_by_name(changed, "notify::local");
                     }),
                     nullptr);
}

} // namespace vesk
