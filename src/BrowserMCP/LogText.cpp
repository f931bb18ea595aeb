#include "BrowserMCP/PageRendering.h"

#include "Platform/Text.h"

namespace vesk::PageRendering {

namespace {

constexpr std::size_t consoleTextLimit = 300;
constexpr std::size_t requestURLLimit = 300;

std::string windowPrefix(const std::optional<std::string>& window) {
    return window ? *window + " " : "";
}

} // namespace

std::string consoleLine(const ConsoleMessage& message) {
    return windowPrefix(message.window) + std::string(ConsoleMessage::levelName(message.level)) + " " +
           PageRendering::quoted(text::cut(message.text, consoleTextLimit));
}

std::string requestLine(const NetworkRequest& request) {
    std::string outcome;
    if (request.status) outcome = std::to_string(*request.status);
    else if (request.error) outcome = *request.error;
    else outcome = "network error";
    return windowPrefix(request.window) + request.method + " " + PageRendering::quoted(text::cut(request.url, requestURLLimit)) + " " +
           outcome + " " + std::to_string(request.milliseconds) + " ms";
}

std::string console(const std::vector<ConsoleMessage>& messages, std::size_t dropped) {
    if (messages.empty()) return "Nothing new in the console.";
    Lines lines;
    lines.reserve(messages.size());
    for (const auto& message : messages) lines.push_back(consoleLine(message));
    const std::string heading =
        dropped == 0 ? std::string("Console:\n")
                     : "Console (the last " + std::to_string(messages.size()) + " messages; " +
                           std::to_string(dropped) + " older ones were not kept):\n";
    return heading + pageContent(lines);
}

std::string network(const std::vector<NetworkRequest>& requests, std::size_t dropped, bool failedOnly) {
    const std::string word = failedOnly ? "failed requests" : "requests";
    if (requests.empty()) return "No new " + word + ".";
    Lines lines;
    lines.reserve(requests.size());
    for (const auto& request : requests) lines.push_back(requestLine(request));
    std::string heading = word;
    heading[0] = static_cast<char>(heading[0] - 'a' + 'A');
    heading += dropped == 0 ? std::string(":\n") : " (" + std::to_string(dropped) + " older requests were not kept):\n";
    return heading + pageContent(lines);
}

} // namespace vesk::PageRendering
