#pragma once

// A message of a script injected into a page, as the web process extension
// delivers it to the page's own web view: the frame it came from and whether
// that is the page's main frame are the web process's word, never the page's.

#include <nlohmann/json.hpp>
#include <webkit/webkit.h>

#include <optional>
#include <string>

namespace vesk {

struct PageMessage {
    std::string frame;  // the frame's id, as the frame channel and scans give it
    bool mainFrame = false;
    std::string channel;  // "console", "network", "person" or "frame"
    nlohmann::json body;  // as the script posted it

    // None for a message that is not one of these or is malformed.
    static std::optional<PageMessage> from(WebKitUserMessage* message);
};

} // namespace vesk
