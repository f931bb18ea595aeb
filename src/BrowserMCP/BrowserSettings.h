#pragma once

// The six timings the person can change: kept in the user defaults as one
// JSON value, always inside fixed ranges, and pushed into the session's
// options, the activity log and the agent server whenever they change.

#include "Platform/Observable.h"
#include "Platform/UserDefaults.h"

#include <sigc++/sigc++.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace vesk {

class AgentActivity;
class BrowserSession;
class MCPServer;

class BrowserSettings {
public:
    // Seconds.
    struct Timings {
        double settleQuiet = 0.3;
        double settleTimeout = 5;
        double navigationTimeout = 30;
        double stepTimeout = 5;
        double runPause = 120;
        double commandTimeout = 60;

        // Each field moved into its range; a value that is not a finite
        // number becomes the field's default.
        Timings clamped() const;

        // The JSON object of the six fields. A missing (or null) key takes
        // its default; a value of another type, or text that is not such an
        // object, gives none.
        static std::optional<Timings> decode(std::string_view json);
        std::string encoded() const;

        bool operator==(const Timings&) const = default;
    };

    // The user-defaults key of the stored timings.
    static constexpr const char* defaultsKey = "timings";

    // Reads and clamps the stored timings; writes and pushes nothing.
    explicit BrowserSettings(UserDefaults& defaults);

    const Timings& timings() const { return timings_.get(); }
    // Clamps the value, and when it differs from the current one stores it,
    // writes it to the user defaults and pushes it.
    void setTimings(Timings value);
    // Changes single fields the same way.
    template <typename Change>
    void modifyTimings(Change&& change) {
        Timings value = timings_.get();
        std::forward<Change>(change)(value);
        setTimings(value);
    }
    // Told after a change; also when a value was clamped back to the current one,
    // so that a field showing the refused value can show the kept one again.
    sigc::signal<void()>& timingsChanged() { return timings_.changed(); }

    // Remembers where the timings go and pushes them at once. Any of the
    // three may be absent. The session is held weakly; the activity log and
    // the server must stay alive while attached (attach again without them
    // before they go).
    void attach(std::weak_ptr<BrowserSession> session, AgentActivity* activity, MCPServer* server);

private:
    void push();

    UserDefaults& defaults_;
    Observable<Timings> timings_;
    std::weak_ptr<BrowserSession> session_;
    AgentActivity* activity_ = nullptr;
    MCPServer* server_ = nullptr;
};

} // namespace vesk
