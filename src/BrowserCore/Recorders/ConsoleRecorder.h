#pragma once

#include "BrowserCore/Recorders/KeptRecords.h"
#include "BrowserCore/Recorders/WindowLabel.h"
#include "BrowserCore/Records/ConsoleMessage.h"

#include <jsc/jsc.h>
#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace vesk {

// Keeps the console output and uncaught errors that the main frames of the
// session's windows post on the "console" channel: at most the last 100
// messages of at most 2000 characters each, until the next take, plus a count
// of errors per window that is never reset.
class ConsoleRecorder {
public:
    static constexpr std::size_t messageLimit = 100;
    static constexpr std::size_t textLimit = 2000;  // user-perceived characters

    struct Taken {
        std::vector<ConsoleMessage> messages;  // oldest first
        std::int64_t leftOut = 0;              // dropped from the front since the last take
    };

    // Names the sending window; until it is set every message is ignored.
    WindowLabeller window;

    // A "console" message: its body {"level", "text"} as the capture script
    // posted it, the web view it came from and whether it came from that
    // view's main frame, as the web process tells (never the page). A body
    // of any other shape, a level other than "log", "warn" and "error", a
    // message not from a main frame or from an unknown sender is dropped.
    void receive(const nlohmann::json& body, WebKitWebView* sender, bool fromMainFrame);

    // Hands over the kept messages and empties the list. The messages keep
    // their window ids only when some message came while several windows were
    // open.
    Taken take();

    // All "error" messages ever recorded, of every window: a console mark.
    std::int64_t errorCount() const;
    // The "error" messages ever recorded for one window (0 when none).
    std::int64_t errorsOf(std::string_view window) const;
    const std::map<std::string, std::int64_t, std::less<>>& errors() const { return errors_; }

    const std::deque<ConsoleMessage>& messages() const { return kept_.records(); }
    std::int64_t leftOut() const { return kept_.leftOut(); }
    bool severalWindows() const { return kept_.severalWindows(); }

private:
    KeptRecords<ConsoleMessage, messageLimit> kept_;
    std::map<std::string, std::int64_t, std::less<>> errors_;
};

} // namespace vesk
