// Where the keyboard is inside a page, for the window to tell a screen
// reader, which cannot reach into the page itself.

#include "BrowserCore/Session/BrowserSession.h"

namespace vesk {

Task<std::optional<BrowserSession::FocusedControl>> BrowserSession::focusedControl(WebKitWebView* view) {
    std::optional<nlohmann::json> value;
    try {
        // A page too busy to answer leaves the reader as it was.
        value = co_await answerInTime([this, view] { return agentCallIn(view, "focused", nlohmann::json::object()); });
    } catch (const std::exception&) {
        co_return std::nullopt;
    }
    if (!value || !value->is_object()) co_return std::nullopt;
    auto text = [&](const char* key) {
        auto found = value->find(key);
        return found != value->end() && found->is_string() ? redact(found->get<std::string>()) : std::string();
    };
    FocusedControl control{text("role"), text("name")};
    if (control.role.empty() && control.name.empty()) co_return std::nullopt;
    co_return control;
}

} // namespace vesk
