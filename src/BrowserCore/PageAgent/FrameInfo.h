#pragma once

#include <webkit/webkit.h>

#include <string>

namespace vesk {

// A frame of a web view, as its page agent announced it. The web view is
// held by identity only. The origin comes from the frame's own location as
// the page agent's isolated world sees it, which no page script can change.
struct FrameInfo {
    std::string id;
    WebKitWebView* view = nullptr;
    bool isMain = false;
    std::string scheme;
    std::string host;
    int port = 0;  // 0 when the origin has no explicit port

    bool operator==(const FrameInfo&) const = default;
};

} // namespace vesk
