#include "BrowserCore/Secrets/Redaction.h"

#include "BrowserCore/Records/WhiteSpace.h"
#include "BrowserCore/Secrets/VariableNames.h"
#include "Platform/Text.h"

#include <glib.h>

#include <algorithm>
#include <cmath>
#include <set>

namespace vesk {

namespace {

std::string joinedPieces(const std::vector<std::string>& pieces, std::string_view separator) {
    std::string out;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (i) out += separator;
        out += pieces[i];
    }
    return out;
}

std::optional<icu::UnicodeString> unchanged(const icu::UnicodeString& stretch) { return stretch; }

std::optional<icu::UnicodeString> secretsPass(const std::optional<Redaction>& secrets, const icu::UnicodeString& text) {
    if (!secrets) return text;
    return secrets->replace(text, unchanged);
}

constexpr std::string_view noLetterBefore = "(?<![\\p{L}\\p{N}])";
constexpr std::string_view noLetterAfter = "(?![\\p{L}\\p{N}])";

} // namespace

std::string utf8(const icu::UnicodeString& text) {
    std::string out;
    text.toUTF8String(out);
    return out;
}

icu::UnicodeString utf16(std::string_view text) {
    return icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
}

Redaction Redaction::compile(const std::string& pattern, std::vector<std::string> names, uint32_t flags) {
    UErrorCode status = U_ZERO_ERROR;
    UParseError where{};
    std::shared_ptr<const icu::RegexPattern> compiled(icu::RegexPattern::compile(utf16(pattern), flags, where, status));
    if (U_FAILURE(status) || !compiled) {
        g_warning("a redaction pattern did not compile (%s): texts are withheld", u_errorName(status));
        compiled.reset();
    }
    Redaction redaction;
    redaction.pattern = std::move(compiled);
    redaction.names = std::move(names);
    return redaction;
}

std::optional<icu::UnicodeString> Redaction::replace(const icu::UnicodeString& text, const Between& between) const {
    struct Found {
        int32_t start;
        int32_t end;
        std::size_t name;
    };
    // The next match at or after `from`, none at the end; false when the
    // search failed.
    std::function<bool(int32_t, std::optional<Found>&)> next;
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexMatcher> matcher;
    std::optional<EscapedText> escaped;
    if (values) {
        escaped.emplace(text, values->holdsBackslash());
        std::size_t stepLimit = stepsPerCharacter * static_cast<std::size_t>(std::max<int32_t>(text.length(), 1024));
        next = [&, stepLimit](int32_t from, std::optional<Found>& found) {
            auto result = values->find(*escaped, from, stepLimit);
            if (result.exhausted) return false;
            found.reset();
            if (result.match) found = Found{result.match->start, result.match->end, result.match->rank};
            return true;
        };
    } else if (pattern) {
        matcher.reset(pattern->matcher(text, status));
        if (U_FAILURE(status) || !matcher) return std::nullopt;
        matcher->setTimeLimit(timeLimit, status);
        if (U_FAILURE(status)) return std::nullopt;
        next = [&](int32_t, std::optional<Found>& found) {
            found.reset();
            if (!matcher->find(status)) return U_SUCCESS(status);
            int32_t start = matcher->start(status);
            int32_t end = matcher->end(status);
            // The first group that took part names the match.
            std::size_t taken = names.size();
            for (int32_t group = 1; group <= matcher->groupCount() && U_SUCCESS(status); ++group) {
                if (matcher->start(group, status) != -1) {
                    taken = static_cast<std::size_t>(group - 1);
                    break;
                }
            }
            found = Found{start, end, taken};
            return U_SUCCESS(status);
        };
    } else {
        return std::nullopt;
    }

    icu::UnicodeString out;
    int32_t position = 0;
    // Every stretch passes `between`, and any failure withholds the whole
    // text: a part of it is never given out unchecked.
    auto append = [&](int32_t from, int32_t to) {
        auto stretch = between(text.tempSubString(from, to - from));
        if (stretch) out += *stretch;
        return stretch.has_value();
    };
    std::optional<Found> found;
    // A search that stops with an error (out of time, out of memory) is not
    // the end of the text.
    for (int32_t from = 0; from <= text.length(); ) {
        if (!next(from, found)) return std::nullopt;
        if (!found) break;
        from = found->end > found->start ? found->end : text.moveIndex32(found->start, 1);
        if (found->name >= names.size()) continue;
        if (!append(position, found->start)) return std::nullopt;
        out += utf16("${" + names[found->name] + "}");
        position = found->end;
    }
    if (!append(position, text.length())) return std::nullopt;
    return out;
}

std::vector<std::string> secretValueForms(std::string_view value) {
    std::vector<std::string> forms{std::string(value), joinedPieces(splitAtWhiteSpace(value), " ")};
    // A file downloaded under the value's name: WebKit writes each character
    // that some file systems cannot hold as "_". (A name with "/" keeps only
    // its last part, which is no longer the value.)
    std::string named(value);
    for (char& c : named) {
        if (static_cast<unsigned char>(c) < 0x20 || std::string_view("\"*:<>?\\|~\x7F").find(c) != std::string_view::npos) {
            c = '_';
        }
    }
    forms.push_back(std::move(named));
    std::sort(forms.begin(), forms.end());
    forms.erase(std::unique(forms.begin(), forms.end()), forms.end());
    std::erase(forms, std::string());
    return forms;
}

std::optional<Redaction> secretsRedaction(const std::map<std::string, std::map<std::string, std::string>>& variables,
                                          const std::deque<KeptStart>& kept) {
    struct Pair {
        std::string name;
        std::string value;
        std::size_t length;
    };
    // Every site's values: a page may show a value of another site too.
    std::vector<Pair> pairs;
    auto references = std::make_shared<std::set<std::string>>();
    for (const auto& [site, values] : variables) {
        for (const auto& [name, value] : values) {
            if (!value.empty()) pairs.push_back({name, value, text::characterCount(value)});
            references->insert(name);
            if (auto dot = name.find('.'); dot != std::string::npos) {
                for (const char* field : {".user", ".password", ".otp"}) references->insert(name.substr(0, dot) + field);
            }
        }
    }
    if (pairs.empty()) return std::nullopt;
    // A start a field kept is hidden as long as it still begins a value of
    // its name, as a value of its own.
    const auto stored = static_cast<std::ptrdiff_t>(pairs.size());
    for (const auto& start : kept) {
        if (std::any_of(pairs.begin(), pairs.begin() + stored,
                        [&](const Pair& pair) { return pair.name == start.name && begins(start, pair.value); })) {
            pairs.push_back({start.name, start.start, text::characterCount(start.start)});
        }
    }
    // Longer values first, so that a value holding another is hidden whole;
    // of two names with one value, the one that sorts last shows.
    std::stable_sort(pairs.begin(), pairs.end(), [](const Pair& a, const Pair& b) {
        if (a.length != b.length) return a.length > b.length;
        if (a.value != b.value) return a.value > b.value;
        return a.name > b.name;
    });
    auto values = std::make_shared<HiddenValues>();
    Redaction redaction;
    for (const auto& pair : pairs) {
        auto rank = static_cast<uint32_t>(redaction.names.size());
        for (const auto& form : secretValueForms(pair.value)) values->add(form, rank);
        redaction.names.push_back(pair.name);
        redaction.valueHoldsReference = redaction.valueHoldsReference || pair.value.find("${") != std::string::npos;
    }
    redaction.values = std::move(values);
    redaction.references = std::move(references);
    return redaction;
}

std::optional<Redaction> oneTimeCodeRedaction(const std::map<std::string, std::map<std::string, TOTP>>& keys,
                                              std::chrono::system_clock::time_point now) {
    struct Entry {
        std::string credential;
        const TOTP* key;
    };
    std::vector<Entry> entries;
    for (const auto& [site, credentials] : keys) {
        for (const auto& [credential, key] : credentials) entries.push_back({credential, &key});
    }
    if (entries.empty()) return std::nullopt;
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return a.credential < b.credential; });

    // The current step and the one before it, both hidden.
    double since = std::chrono::duration<double>(now.time_since_epoch()).count();
    auto step = std::chrono::system_clock::time_point(std::chrono::duration_cast<std::chrono::system_clock::duration>(
        std::chrono::duration<double>(std::floor(since / 30.0) * 30.0)));
    auto previous = step - std::chrono::seconds(30);
    std::string alternatives;
    std::vector<std::string> names;
    for (const auto& entry : entries) {
        for (auto at : {step, previous}) {
            if (!names.empty()) alternatives += "|";
            alternatives += "(" + entry.key->code(at) + ")";
            names.push_back(entry.credential + ".otp");
        }
    }
    return Redaction::compile(std::string(noLetterBefore) + "(?:" + alternatives + ")" + std::string(noLetterAfter),
                              std::move(names), 0);
}

std::optional<std::string> checkedText(std::string_view text, std::size_t limit, const std::optional<Redaction>& secrets,
                                       const std::optional<Redaction>& codes) {
    std::string kept = text::prefix(text::validUtf8(text), limit);
    if (kept.empty() || (!secrets && !codes)) return kept;
    // Codes first: the secret pattern then works on the stretches between
    // them, so no secret match spans a code.
    auto redacted = [&](const std::string& stretch) -> std::optional<std::string> {
        icu::UnicodeString unicode = utf16(stretch);
        auto out = codes ? codes->replace(unicode, [&](const icu::UnicodeString& between) {
            return secretsPass(secrets, between);
        })
                         : secretsPass(secrets, unicode);
        if (!out) return std::nullopt;
        return utf8(*out);
    };
    // A reference to a known value stands as it is; values are looked for
    // only between such references.
    if (kept.find("${") == std::string::npos || (secrets && secrets->valueHoldsReference)) return redacted(kept);
    auto known = [&](const std::string& name) {
        if (secrets && secrets->references && secrets->references->contains(name)) return true;
        return codes && std::find(codes->names.begin(), codes->names.end(), name) != codes->names.end();
    };
    std::string out;
    for (const auto& piece : cutAtReferences(kept, known)) {
        if (piece.reference) {
            out += piece.text;
        } else if (auto stretch = redacted(piece.text)) {
            out += *stretch;
        } else {
            return std::nullopt;
        }
    }
    return out;
}

std::string redactText(std::string_view text, std::size_t limit, const std::optional<Redaction>& secrets,
                       const std::optional<Redaction>& codes) {
    return checkedText(text, limit, secrets, codes).value_or(std::string(redactionFailureNotice));
}

} // namespace vesk
