#pragma once

// The records that the page agent's replies decode into. Each decoder reads a
// JSON object: listed keys are required unless optional, other keys are
// ignored, and a missing key or a value of the wrong type throws
// RecordDecodingError naming the key.

#include "BrowserCore/Records/PageRecords.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <vector>

namespace vesk {

// The reply of "scan": the frame's snapshot, the highest ref number its page
// agent has handed out, the id of the frame that answered and the URL its
// document was loaded from; where the frame lies under the top window (its
// index among its window's frames at each level, outermost first; none when
// it did not say) and the indexes of its own frames that its document hides.
struct Scan {
    PageSnapshot snapshot;
    long lastRef = 0;
    std::string frame;
    std::string loadedFrom;
    std::optional<std::vector<int>> path;
    std::vector<int> hiddenFrames;

    static Scan decode(const nlohmann::json& json);
};

// The reply of "status": what keeps the page from being at rest.
struct Status {
    std::string readyState;
    double quietMs = 0;
    bool animating = false;
    std::optional<std::string> mutated;
    std::optional<std::string> animated;

    static Status decode(const nlohmann::json& json);
};

// The reply of "find": the element found and the highest ref number handed
// out after the search.
struct Found {
    std::string ref;
    bool usedSelector = false;
    long lastRef = 0;

    static Found decode(const nlohmann::json& json);
};

// The reply of "hover": where the element shows, in CSS pixels of the page's
// visible area, from its top left corner.
struct PointerPoint {
    double x = 0;
    double y = 0;

    static PointerPoint decode(const nlohmann::json& json);
};

} // namespace vesk
