#pragma once

#include <webkit/webkit.h>

#include <functional>
#include <optional>
#include <string>

namespace vesk {

// The window a script message came from: its id ("main", "w1", …) and
// whether it is the only window open.
struct WindowLabel {
    std::string id;
    bool alone = false;

    bool operator==(const WindowLabel&) const = default;
};

// Names the window of the web view that sent a message (nullptr when none is
// known); none for a web view that is no window of the session.
using WindowLabeller = std::function<std::optional<WindowLabel>(WebKitWebView* sender)>;

} // namespace vesk
