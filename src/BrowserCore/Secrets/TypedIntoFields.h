#pragma once

// The fields into which stored values were typed. A field may keep only a
// start of what was typed (a maxlength field, a script that trims it), which
// mixes text the agent wrote with pieces of values; so while a field holds a
// start of what was typed into it, the agent sees the text as it wrote it,
// with its references, in place of the field's value.

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

namespace vesk {

class TypedIntoFields {
public:
    // `typed` went into the field `ref`: `written` with its references
    // replaced. A text typed as written makes the field one like any other.
    void remember(const std::string& ref, std::string written, std::string typed);

    // What to show for the value of the field `ref`: the text as written
    // while `value` is a non-empty start of what was typed into it (also when
    // the field left out its line breaks, or the scan collapsed its white
    // space or cut it with "…"); none otherwise.
    std::optional<std::string> shown(const std::string& ref, std::string_view value) const;

    // Whether stored values were typed into the field `ref`.
    bool holdsTyped(const std::string& ref) const;

    // Fields remembered at most: the latest are kept.
    static constexpr std::size_t kept = 64;

private:
    struct Field {
        std::string ref;
        std::string written;
        std::string typed;
    };
    std::deque<Field> fields_;
};

} // namespace vesk
