#pragma once

#include "BrowserCore/Recorders/KeptRecords.h"
#include "BrowserCore/Recorders/WindowLabel.h"
#include "BrowserCore/Records/NetworkRequest.h"

#include <jsc/jsc.h>
#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace vesk {

// Keeps the requests that the main frames of the session's windows report on
// the "network" channel: the last 100 until the next take, the last 100 for
// "since" queries, and a count of every request ever recorded, whose values
// are the network marks.
class NetworkRecorder {
public:
    static constexpr std::size_t requestLimit = 100;
    static constexpr std::size_t urlLimit = 2000;    // user-perceived characters
    static constexpr std::size_t methodLimit = 20;   // user-perceived characters

    struct Taken {
        std::vector<NetworkRequest> requests;  // oldest first
        std::int64_t leftOut = 0;              // dropped from the front since the last take
    };

    // Names the sending window; until it is set every message is ignored.
    WindowLabeller window;

    // A "network" message: its body {"method", "url", "ms", "status",
    // "error"} as the request watcher posted it, the web view it came from
    // and whether it came from that view's main frame, as the web process
    // tells (never the page). A body without a method, URL and integral ms,
    // a message not from a main frame or from an unknown sender is dropped.
    void receive(const nlohmann::json& body, WebKitWebView* sender, bool fromMainFrame);

    // Hands over the kept requests and empties that list; `recent` and
    // `ended` stay. Requests keep their window ids only when some request came
    // while several windows were open.
    Taken take();

    // The number of requests recorded since the recorder was made; only grows.
    std::int64_t ended() const { return ended_; }

    // The failed requests among those that ended after `mark` (an earlier
    // value of `ended`), oldest first; with a window, only that window's. At
    // most the last 100 requests are looked at.
    std::vector<NetworkRequest> failedRequests(std::int64_t mark,
                                               const std::optional<std::string>& window = std::nullopt) const;

    // Forgets the requests kept for "since" queries (a profile switch);
    // `ended` keeps counting, so marks taken before stay valid.
    void clearRecent() { recent_.clear(); }

    const std::deque<NetworkRequest>& requests() const { return kept_.records(); }
    const std::deque<NetworkRequest>& recent() const { return recent_; }
    std::int64_t leftOut() const { return kept_.leftOut(); }
    bool severalWindows() const { return kept_.severalWindows(); }

private:
    KeptRecords<NetworkRequest, requestLimit> kept_;
    std::deque<NetworkRequest> recent_;
    std::int64_t ended_ = 0;
};

} // namespace vesk
