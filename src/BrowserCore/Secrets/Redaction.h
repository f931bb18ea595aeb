#pragma once

// Hiding secret values in texts for the agent: one compiled pattern with one
// capture group per (name, value) pair, and the walk that replaces each match
// by the "${NAME}" of the group it took.

#include "BrowserCore/Secrets/MatchStarts.h"
#include "BrowserCore/Secrets/TOTP.h"

#include <unicode/regex.h>
#include <unicode/unistr.h>

#include <chrono>
#include <functional>
#include <map>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vesk {

// What stands in place of a text that could not be checked for stored
// values: such a text is never passed on, whole or in part.
inline constexpr std::string_view redactionFailureNotice =
    "[Withheld: this text could not be checked for stored values.]";

struct Redaction {
    // How long one search for the next match may run, in ICU's units of
    // ten thousand steps of its match engine: a hundred times what a search
    // through 200,000 characters needs, yet a bound on a pattern that would
    // run away.
    static constexpr int32_t defaultTimeLimit = 30000;

    // Group i (from 1) stands for the value whose name is names[i - 1].
    // Null when the pattern did not compile: nothing can be checked then.
    std::shared_ptr<const icu::RegexPattern> pattern;
    std::vector<std::string> names;
    int32_t timeLimit = defaultTimeLimit;
    // Where a match can begin, when the pattern is made of literal forms;
    // none: anywhere.
    std::shared_ptr<const MatchStarts> starts;

    // Compiles a pattern text; one that does not compile gives a redaction
    // without a pattern, which withholds every text.
    static Redaction compile(const std::string& pattern, std::vector<std::string> names, uint32_t flags);

    // The replacement of the stretches between matches; none when a stretch
    // could not be checked.
    using Between = std::function<std::optional<icu::UnicodeString>(const icu::UnicodeString&)>;

    // `text` with every match, left to right and non-overlapping, replaced by
    // "${NAME}" of its first participating group; the stretches between
    // matches (and the whole text when nothing matches) pass through
    // `between`. None when the text could not be checked: no pattern, no
    // matcher, a search that failed or ran out of time part-way, or a
    // stretch that `between` could not check.
    std::optional<icu::UnicodeString> replace(const icu::UnicodeString& text, const Between& between) const;

    // Compared by the identity of the compiled pattern.
    bool operator==(const Redaction&) const = default;
};

// The pattern text that matches a text literally, whatever it holds.
std::string escapedPattern(std::string_view text);

// One capture group holding the forms in which pages show `value`: as is,
// with white space collapsed, percent-encoded three ways (each keeping the
// characters of `base` and a few more), form-encoded with "+" for spaces,
// escaped as in a JSON string (also with non-ASCII or "/" escaped, and
// twice), escaped as in HTML source, and cut short by "…". Forms of fewer than 4 characters match only where no
// letter or number touches them.
std::string secretValuePattern(std::string_view value, std::string_view base);
// Those forms, before duplicates are dropped and the forms sorted.
std::vector<std::string> secretValueForms(std::string_view value, std::string_view base);

// The first 4 to (at most) 199 characters of `form`, fewer than all of it,
// when "…" follows at once; the "…" is left out of the match. `form` has 5
// characters or more.
std::string truncatedValuePattern(std::string_view form);

// The secret pattern of every non-empty value of a table site → name → value,
// all sites together, longer values first; none when there is no such value.
std::optional<Redaction> secretsRedaction(const std::map<std::string, std::map<std::string, std::string>>& variables);

// The pattern of the codes of every key of a table site → credential → key at
// the 30-second step holding `now` and the step before it, each standing
// alone and named "<credential>.otp"; none without keys.
std::optional<Redaction> oneTimeCodeRedaction(const std::map<std::string, std::map<std::string, TOTP>>& keys,
                                              std::chrono::system_clock::time_point now);

// `text` cut to its first `limit` user-perceived characters, with every code
// of `codes` replaced first and every value of `secrets` in the stretches
// between codes; `redactionFailureNotice` alone when either could not check
// the text.
std::string redactText(std::string_view text, std::size_t limit, const std::optional<Redaction>& secrets,
                       const std::optional<Redaction>& codes);

// The UTF-8 text of a UTF-16 text, and back.
std::string utf8(const icu::UnicodeString& text);
icu::UnicodeString utf16(std::string_view text);

} // namespace vesk
