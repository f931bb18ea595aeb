#include "BrowserCore/Recorders/ConsoleRecorder.h"

#include "Platform/Text.h"

namespace vesk {

void ConsoleRecorder::receive(const nlohmann::json& body, WebKitWebView* sender, bool fromMainFrame) {
    if (!fromMainFrame || !body.is_object()) return;
    auto label = window ? window(sender) : std::nullopt;
    if (!label) return;
    const std::string* levelText = textAt(body, "level");
    const std::string* message = textAt(body, "text");
    if (!levelText || !message) return;
    auto level = ConsoleMessage::levelNamed(*levelText);
    if (!level) return;

    if (*level == ConsoleMessage::Level::error) ++errors_[label->id];
    kept_.add(ConsoleMessage{*level, text::prefix(text::validUtf8(*message), textLimit), label->id}, label->alone);
}

ConsoleRecorder::Taken ConsoleRecorder::take() {
    auto [messages, leftOut] = kept_.take();
    return {std::move(messages), leftOut};
}

std::int64_t ConsoleRecorder::errorCount() const {
    std::int64_t sum = 0;
    for (const auto& [id, count] : errors_) sum += count;
    return sum;
}

std::int64_t ConsoleRecorder::errorsOf(std::string_view window) const {
    auto found = errors_.find(window);
    return found == errors_.end() ? 0 : found->second;
}

} // namespace vesk
