#include "BrowserMCP/PageRendering.h"

#include "Platform/Text.h"

namespace vesk::PageRendering {

std::optional<std::string> windowContext(const std::vector<BrowserSession::Window>& windows, bool hadSeparateWindow) {
    const BrowserSession::Window* active = nullptr;
    for (const auto& window : windows) {
        if (window.isActive) {
            active = &window;
            break;
        }
    }
    if (windows.size() < 2 || !active) {
        if (!hadSeparateWindow) return std::nullopt;
        return "This happened in the main page: the separate window it had opened is closed, and commands act on the "
               "main page.";
    }
    const std::string lead = active->id == BrowserSession::mainWindowID
                                 ? std::string("This happened in the main page, not in a window it opened.")
                                 : "This happened in " + text::validUtf8(active->id) + ", a separate window the page opened.";
    Lines lines;
    lines.reserve(windows.size());
    for (const auto& window : windows) {
        lines.push_back(std::string(window.isActive ? "*" : " ") + " " + window.id + " " + shortURL(window.url, ""));
    }
    return lead + " Commands act on the window marked *; the window tool switches to another or closes one.\n" +
           pageContent(lines);
}

} // namespace vesk::PageRendering
