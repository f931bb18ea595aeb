// The frames on the way down to a subframe. Each subframe's page agent
// knows its own index path under the top window; the holder at each level is
// the announced frame whose path is that prefix.

#include "BrowserCore/Session/FramePath.h"
#include "BrowserCore/Session/BrowserSession.h"

#include <algorithm>

namespace vesk {

namespace {

std::vector<int> decodePath(const nlohmann::json& value) {
    if (!value.is_array()) throw RecordDecodingError("the value is not a list");
    std::vector<int> path;
    for (const auto& index : value) {
        if (!index.is_number_integer()) throw RecordDecodingError("an index is not a whole number");
        path.push_back(index.get<int>());
    }
    return path;
}

// Made outside the coroutines: GCC 12 cannot keep a braced JSON literal in
// a coroutine frame.
nlohmann::json noArguments() {
    return nlohmann::json::object();
}

nlohmann::json indexArguments(int index) {
    return nlohmann::json{{"index", index}};
}

// The subframe of the view that lies at `path` under the top window, among
// those that announced themselves; none when none answers for it.
Task<std::optional<FrameInfo>> frameAtPath(BrowserSession& session, WebKitWebView* view, std::vector<int> path) {
    auto known = session.frames.known.find(view);
    if (known == session.frames.known.end()) co_return std::nullopt;
    std::vector<FrameInfo> candidates;
    for (const auto& frame : known->second) {
        if (std::none_of(candidates.begin(), candidates.end(), [&](const FrameInfo& seen) { return seen.id == frame.id; })) {
            candidates.push_back(frame.info);
        }
    }
    for (const auto& frame : candidates) {
        try {
            if (co_await session.agentValue<std::vector<int>>("framePath", noArguments(), &decodePath, frame) == path) {
                co_return frame;
            }
        } catch (const std::exception&) {
            // A frame that is gone or busy is not the one.
        }
    }
    co_return std::nullopt;
}

} // namespace

Task<std::vector<FrameHop>> framesOnTheWay(BrowserSession& session, WebKitWebView* view, FrameInfo frame,
                                           std::string command) {
    auto keep = session.shared_from_this();
    GRef<WebKitWebView> keepView = GRef<WebKitWebView>::retain(view);
    std::vector<int> path = co_await session.agentValue<std::vector<int>>("framePath", noArguments(), &decodePath, frame);
    std::vector<FrameHop> hops;
    for (std::size_t depth = 0; depth < path.size(); ++depth) {
        FrameHop hop{std::nullopt, path[depth]};
        if (depth > 0) {
            hop.holder = co_await frameAtPath(session, view, std::vector<int>(path.begin(), path.begin() + depth));
            if (!hop.holder) throw BrowserError::script(command + " could not find the frames that hold the element");
        }
        hops.push_back(std::move(hop));
    }
    co_return hops;
}

Task<void> focusFramesOnTheWay(BrowserSession& session, WebKitWebView* view, FrameInfo frame, std::string command) {
    auto keep = session.shared_from_this();
    std::vector<FrameHop> hops = co_await framesOnTheWay(session, view, frame, std::move(command));
    for (const FrameHop& hop : hops) {
        co_await session.agentCall("focusFrame", indexArguments(hop.index), hop.holder);
    }
}

} // namespace vesk
