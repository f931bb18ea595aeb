// The clipboard keys' text, kept in the session: a copy or cut in a page
// answers it here, and a paste hands it back to the page it goes into. A
// text that holds stored values goes back only to a document of the origin
// it was copied from, as fill types values only into their own site. The
// desktop's primary selection gets a selection's text only as the agent
// would read it, and so does its clipboard what a page copies while the
// agent acts.

#include "BrowserCore/Session/BrowserSession.h"

namespace vesk {

namespace {

// Made outside the coroutine: GCC 12 cannot keep a braced JSON literal in a
// coroutine frame.
nlohmann::json offerOf(const std::string& text) {
    return nlohmann::json{{"text", text}};
}

nlohmann::json originArguments(const std::optional<std::string>& ref) {
    return ref ? nlohmann::json{{"ref", *ref}} : nlohmann::json::object();
}

std::string decodeCopyOrigin(const nlohmann::json& value) {
    return value.get<std::string>();
}

} // namespace

void BrowserSession::watchDesktopSelections() {
    GdkDisplay* display = gdk_display_get_default();
    if (!display) return;
    std::weak_ptr<BrowserSession> weak = weak_from_this();
    auto check = [weak](std::string_view text) -> std::optional<std::string> {
        auto session = weak.lock();
        if (!session) return std::string(text);
        // Not cut to the length the agent reads: the person's own selection
        // goes there whole.
        return checkedText(text, std::string::npos, *session->redaction, session->otpPattern());
    };
    auto holdsValues = [weak] {
        auto session = weak.lock();
        return session && (session->redaction->has_value() || !session->otpKeys->empty());
    };
    GdkClipboard* primary = gdk_display_get_primary_clipboard(display);
    keepPagesSelections(primary);
    primarySelection_ = std::make_unique<DesktopSelectionWatch>(primary, check, holdsValues);
    // What the person copies with their own keys stays theirs.
    clipboard_ = std::make_unique<DesktopSelectionWatch>(gdk_display_get_clipboard(display), check, [weak, holdsValues] {
        auto session = weak.lock();
        return session && session->agentActs && holdsValues();
    });
}

void BrowserSession::keepCopied(const nlohmann::json& copy) {
    auto text = copy.find("text");
    auto origin = copy.find("origin");
    if (!copy.is_object() || text == copy.end() || !text->is_string()) return;
    CopiedText kept;
    kept.text = text->get<std::string>();
    kept.origin = origin != copy.end() && origin->is_string() ? origin->get<std::string>() : "null";
    // Whatever redaction would hide, and anything out of a field that fill
    // typed stored values into, even a part no redaction recognises.
    auto ref = copy.find("ref");
    kept.holdsStored = redact(kept.text) != kept.text ||
                       (ref != copy.end() && ref->is_string() && typedIntoFields.holdsTyped(ref->get<std::string>()));
    copied = std::move(kept);
}

Task<std::optional<nlohmann::json>> BrowserSession::offerCopied(std::optional<std::string> ref) {
    auto keep = shared_from_this();
    if (!copied) co_return std::nullopt;
    CopiedText copy = *copied;
    nlohmann::json offer = offerOf(copy.text);
    if (copy.holdsStored) {
        std::string here = co_await agentValue<std::string>("origin", originArguments(ref), &decodeCopyOrigin);
        if (here == "null" || here != copy.origin) {
            throw BrowserError::element(
                BrowserError::ElementFailure::disabled,
                "The copied text holds a stored value, which is pasted only into pages of the site it was copied "
                "from; this page is of another site, so nothing was pasted. Fill the field with the value's "
                "reference instead.");
        }
        // The page agent pastes only into a document that still has it.
        offer["origin"] = copy.origin;
    }
    co_return offer;
}

} // namespace vesk
