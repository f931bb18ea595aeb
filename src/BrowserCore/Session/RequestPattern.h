#pragma once

// What a request wait looks for among the requests that ended: a method and
// a part of the URL ("GET /api"), or a part of the URL alone.

#include "BrowserCore/Records/NetworkRequest.h"
#include "BrowserCore/Session/StatusClass.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

namespace vesk {

struct RequestPattern {
    std::optional<std::string> method;  // upper case
    std::string urlPart;

    // Two pieces split at spaces of which the first is letters only give a
    // method and a URL part; any other text is a URL part as a whole.
    static RequestPattern parse(std::string_view text);

    // The method, in any case, equals the pattern's (when it has one) and
    // the URL contains the URL part (case-sensitive).
    bool matches(const NetworkRequest& request) const;
};

// What one look at the ended requests found.
struct RequestCheck {
    enum class Outcome { noMatch, answered, wrongStatus };
    Outcome outcome = Outcome::noMatch;
    // For wrongStatus: what the last matching request got, its status in
    // decimal, else its error, else "network error".
    std::string got;
};

// Looks at the requests that ended after `mark` (an earlier value of
// `ended`), as far as `recent` still holds them: answered when one that
// matches has a status of the wanted class, wrongStatus when some match but
// none has.
RequestCheck checkRequests(const std::deque<NetworkRequest>& recent, std::int64_t ended, std::int64_t mark,
                           const RequestPattern& pattern, const StatusClass& wanted);

} // namespace vesk
