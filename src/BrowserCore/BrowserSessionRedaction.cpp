// What leaves the session for the agent passes through here, so that a
// stored value a page shows back reaches the agent only as its ${NAME}.

#include "BrowserCore/BrowserSession.h"
#include "Platform/Text.h"

namespace vesk {

std::string BrowserSession::redact(std::string_view text) const {
    std::string kept = text::prefix(text::validUtf8(text), redactionLimit);
    return redactSecrets(std::move(kept));
}

std::string BrowserSession::redactSecrets(std::string text) const {
    // No secret value is known to the session until the profile store pushes
    // values with a pattern to hide them by.
    return text;
}

PageElement BrowserSession::redactElement(PageElement element) const {
    auto pass = [&](std::string& field) { field = redact(field); };
    auto passOptional = [&](std::optional<std::string>& field) {
        if (field) field = redact(*field);
    };
    pass(element.ref);
    pass(element.role);
    pass(element.name);
    pass(element.tag);
    passOptional(element.context);
    passOptional(element.frame);
    passOptional(element.value);
    passOptional(element.href);
    passOptional(element.type);
    passOptional(element.options);
    return element;
}

PageSnapshot BrowserSession::redactSnapshot(PageSnapshot snapshot) const {
    snapshot.url = redact(snapshot.url);
    snapshot.title = redact(snapshot.title);
    for (auto& element : snapshot.elements) element = redactElement(std::move(element));
    std::set<std::string> onScreen;
    for (const auto& ref : snapshot.onScreen) onScreen.insert(redact(ref));
    snapshot.onScreen = std::move(onScreen);
    snapshot.text = redact(snapshot.text);
    if (snapshot.mainText) snapshot.mainText = redact(*snapshot.mainText);
    if (snapshot.aroundText) snapshot.aroundText = redact(*snapshot.aroundText);
    if (snapshot.cover) {
        snapshot.cover->name = redact(snapshot.cover->name);
        for (auto& ref : snapshot.cover->refs) ref = redact(ref);
    }
    for (auto& file : snapshot.downloads) {
        file.name = redact(file.name);
        file.path = redact(file.path);
        if (file.type) file.type = redact(*file.type);
    }
    for (auto& frame : snapshot.unansweredFrames) frame = redact(frame);
    return snapshot;
}

ActionResult BrowserSession::redactActionResult(ActionResult result) const {
    result.url = redact(result.url);
    result.title = redact(result.title);
    for (auto& element : result.changes.added) element = redactElement(std::move(element));
    for (auto& ref : result.changes.removed) ref = redact(ref);
    for (auto& element : result.changes.changed) element = redactElement(std::move(element));
    for (auto& element : result.suggestions) element = redactElement(std::move(element));
    for (auto& dialog : result.dialogs) dialog.message = redact(dialog.message);
    for (auto& request : result.failedRequests) {
        request.method = redact(request.method);
        request.url = redact(request.url);
        if (request.error) request.error = redact(*request.error);
        if (request.window) request.window = redact(*request.window);
    }
    result.window = redact(result.window);
    return result;
}

} // namespace vesk
