#include "BrowserCore/Recorders/ConsoleRecorder.h"

#include "BrowserCore/PageAgent/ScriptMessageBody.h"
#include "Platform/Text.h"

namespace vesk {

namespace {

// The capture script marks what it posts from a main frame: the message
// itself carries no frame.
bool fromMainFrame(const nlohmann::json& body) {
    auto found = body.find("mainFrame");
    return found != body.end() && found->is_boolean() && found->get<bool>();
}

} // namespace

void ConsoleRecorder::receive(JSCValue* body, WebKitWebView* sender) { receive(scriptMessageBody(body), sender); }

void ConsoleRecorder::receive(const nlohmann::json& body, WebKitWebView* sender) {
    if (!body.is_object() || !fromMainFrame(body)) return;
    auto label = window ? window(sender) : std::nullopt;
    if (!label) return;
    auto levelValue = body.find("level");
    auto textValue = body.find("text");
    if (levelValue == body.end() || !levelValue->is_string() || textValue == body.end() || !textValue->is_string()) return;
    auto level = ConsoleMessage::levelNamed(levelValue->get_ref<const std::string&>());
    if (!level) return;

    if (*level == ConsoleMessage::Level::error) ++errors_[label->id];
    if (!label->alone) severalWindows_ = true;
    auto text = text::prefix(text::validUtf8(textValue->get_ref<const std::string&>()), textLimit);
    if (messages_.size() >= messageLimit) {
        messages_.pop_front();
        ++leftOut_;
    }
    messages_.push_back(ConsoleMessage{*level, std::move(text), label->id});
}

ConsoleRecorder::Taken ConsoleRecorder::take() {
    Taken taken{std::vector<ConsoleMessage>(messages_.begin(), messages_.end()), leftOut_};
    if (!severalWindows_) {
        for (auto& message : taken.messages) message.window.reset();
    }
    messages_.clear();
    leftOut_ = 0;
    severalWindows_ = false;
    return taken;
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
