#pragma once

// Hiding secret values in texts for the agent: the stored values found
// however their characters are written, or one compiled pattern with one
// capture group per name (the one-time codes), and the walk that replaces
// each match by the "${NAME}" it stands for.

#include "BrowserCore/Secrets/HiddenValues.h"
#include "BrowserCore/Secrets/KeptStarts.h"
#include "BrowserCore/Secrets/TOTP.h"

#include <unicode/regex.h>
#include <unicode/unistr.h>

#include <chrono>
#include <functional>
#include <map>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
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

    // How many readings of characters one search for stored values may make,
    // per character of the text: pages' sources and scripts need fewer than
    // one, and this bounds a text made to make the search run away at a
    // quarter of a second or so.
    static constexpr std::size_t defaultStepsPerCharacter = 64;

    // Group i (from 1) stands for the name names[i - 1]. Null when the
    // pattern did not compile: nothing can be checked then.
    std::shared_ptr<const icu::RegexPattern> pattern;
    // Or the stored values, value of rank i named names[i].
    std::shared_ptr<const HiddenValues> values;
    std::vector<std::string> names;
    // The names whose references ("${NAME}") a text may hold as they stand,
    // whatever value their letters hold; null when none is.
    std::shared_ptr<const std::set<std::string>> references;
    // A value holds "${", so it may span a reference: texts are then
    // searched whole.
    bool valueHoldsReference = false;
    int32_t timeLimit = defaultTimeLimit;
    std::size_t stepsPerCharacter = defaultStepsPerCharacter;

    // Compiles a pattern text; one that does not compile gives a redaction
    // without a pattern, which withholds every text.
    static Redaction compile(const std::string& pattern, std::vector<std::string> names, uint32_t flags);

    // The replacement of the stretches between matches; none when a stretch
    // could not be checked.
    using Between = std::function<std::optional<icu::UnicodeString>(const icu::UnicodeString&)>;

    // `text` with every match, left to right and non-overlapping, replaced by
    // "${NAME}" of its value or of its first participating group; the
    // stretches between matches (and the whole text when nothing matches)
    // pass through `between`. None when the text could not be checked: no
    // values and no pattern, no matcher, a search that failed or ran out of
    // time part-way, or a stretch that `between` could not check.
    std::optional<icu::UnicodeString> replace(const icu::UnicodeString& text, const Between& between) const;

    // Compared by the identity of the compiled pattern or values.
    bool operator==(const Redaction&) const = default;
};

// The forms in which `value` is looked for, each of its characters in any
// of its escapes: as it is, with its runs of white space as single spaces
// and without white space at either end, and as a downloaded file's name
// shows it.
std::vector<std::string> secretValueForms(std::string_view value);

// The stored values of a table site → name → value, all sites together,
// longer values first; none when every value is empty. Each start in `kept`
// that is still a proper start of a value of its name is hidden as a value
// of that name would be. The references of every name of the table, and of
// each field of a credential in it, are passed over.
std::optional<Redaction> secretsRedaction(const std::map<std::string, std::map<std::string, std::string>>& variables,
                                          const std::deque<KeptStart>& kept = {});

// The pattern of the codes of every key of a table site → credential → key at
// the 30-second step holding `now` and the step before it, each standing
// alone and named "<credential>.otp"; none without keys.
std::optional<Redaction> oneTimeCodeRedaction(const std::map<std::string, std::map<std::string, TOTP>>& keys,
                                              std::chrono::system_clock::time_point now);

// `text` cut to its first `limit` user-perceived characters, with every code
// of `codes` replaced first and every value of `secrets` in the stretches
// between codes, each reference to a name either knows left as it stands;
// none when either could not check the text.
std::optional<std::string> checkedText(std::string_view text, std::size_t limit, const std::optional<Redaction>& secrets,
                                       const std::optional<Redaction>& codes);

// The same, with `redactionFailureNotice` alone for a text that could not be
// checked.
std::string redactText(std::string_view text, std::size_t limit, const std::optional<Redaction>& secrets,
                       const std::optional<Redaction>& codes);

// The UTF-8 text of a UTF-16 text, and back.
std::string utf8(const icu::UnicodeString& text);
icu::UnicodeString utf16(std::string_view text);

} // namespace vesk
