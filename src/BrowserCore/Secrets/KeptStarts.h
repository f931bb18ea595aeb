#pragma once

// The starts of stored values that fields kept. A field may keep only a start
// of what fill typed into it (a maxlength, a script that trims it), and the
// page may show that start anywhere: each such start is hidden as a form of
// its value for the rest of the session. No other start of a value is.

#include <cstddef>
#include <deque>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace vesk {

struct KeptStart {
    std::string name;   // of the stored value
    std::string start;  // its first characters
    bool operator==(const KeptStart&) const = default;
};

// What a field that holds `held` kept of `written` typed with its references
// replaced by `values`: the start of the value in which `held` ends, as typed
// (and as held, where the field left out its line breaks). None when `held`
// is not a start of what was typed (letter case and line breaks aside), is
// all of it, or ends outside a value; nor for a one-time code, which is
// hidden as a code; nor for a start shorter than a value cut short by "…"
// is found from (HiddenValues::shortestCut characters), which ordinary words
// hold (one or two letters a box of a code form kept).
std::vector<KeptStart> startsKept(std::string_view written, const std::map<std::string, std::string>& values,
                                  std::string_view held);

// Whether `start` is a proper start of `value`, as typed or as a field that
// leaves out line breaks holds it: a start kept of a value that changed since
// is no longer hidden.
bool begins(const KeptStart& start, std::string_view value);

class KeptStarts {
public:
    // Adds a start; false when it was there already.
    bool add(KeptStart start);
    const std::deque<KeptStart>& all() const { return starts_; }

    // Starts kept at most of one value, and in all: the latest are kept. A
    // page can only add starts of the values typed into it, so it cannot
    // push out those of another value.
    static constexpr std::size_t keptOfAValue = 8;
    static constexpr std::size_t kept = 256;

private:
    std::deque<KeptStart> starts_;
};

} // namespace vesk
