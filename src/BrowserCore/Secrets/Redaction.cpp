#include "BrowserCore/Secrets/Redaction.h"

#include "BrowserCore/Records/WhiteSpace.h"
#include "BrowserCore/Secrets/MatchStarts.h"
#include "Platform/Text.h"

#include <glib.h>
#include <nlohmann/json.hpp>
#include <unicode/brkiter.h>
#include <unicode/locid.h>

#include <algorithm>
#include <cmath>
#include <set>

namespace vesk {

namespace {

// The user-perceived characters of a UTF-8 text, each as its own text.
std::vector<std::string> characters(std::string_view text) {
    icu::UnicodeString unicode = utf16(text);
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> breaks(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    std::vector<std::string> out;
    if (U_FAILURE(status)) {
        // Without break rules, code points are the nearest thing.
        for (int32_t i = 0; i < unicode.length(); i = unicode.moveIndex32(i, 1)) {
            out.push_back(utf8(unicode.tempSubString(i, unicode.moveIndex32(i, 1) - i)));
        }
        return out;
    }
    breaks->setText(unicode);
    int32_t start = breaks->first();
    for (int32_t end = breaks->next(); end != icu::BreakIterator::DONE; start = end, end = breaks->next()) {
        out.push_back(utf8(unicode.tempSubString(start, end - start)));
    }
    return out;
}

std::string percentEncoded(std::string_view value, std::string_view allowed) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : value) {
        if (c < 0x80 && allowed.find(static_cast<char>(c)) != std::string_view::npos) {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back('%');
            out.push_back(hex[c >> 4]);
            out.push_back(hex[c & 0x0F]);
        }
    }
    return out;
}

std::string replacedAll(std::string text, std::string_view from, std::string_view to) {
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

// The text as a JSON string shows it, without the quotes around it: quote,
// backslash and control characters escaped, and with `asciiOnly` every other
// character beyond ASCII as \uXXXX too (as many servers write JSON).
std::string jsonEscaped(std::string_view text, bool asciiOnly) {
    std::string quoted = nlohmann::json(std::string(text)).dump(-1, ' ', asciiOnly, nlohmann::json::error_handler_t::replace);
    return quoted.substr(1, quoted.size() - 2);
}

// The text with each of `signs` written as its HTML character reference.
std::string htmlEscaped(std::string_view text, std::string_view signs) {
    std::string out;
    for (char c : text) {
        if (signs.find(c) == std::string_view::npos) {
            out += c;
        } else if (c == '&') {
            out += "&amp;";
        } else if (c == '<') {
            out += "&lt;";
        } else if (c == '>') {
            out += "&gt;";
        } else {
            out += "&quot;";
        }
    }
    return out;
}

std::string joined(const std::vector<std::string>& pieces, std::string_view separator) {
    std::string out;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (i) out += separator;
        out += pieces[i];
    }
    return out;
}

constexpr std::string_view baseCharacters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

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
    return Redaction{std::move(compiled), std::move(names)};
}

std::optional<icu::UnicodeString> Redaction::replace(const icu::UnicodeString& text, const Between& between) const {
    if (!pattern) return std::nullopt;
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexMatcher> matcher(pattern->matcher(text, status));
    if (U_FAILURE(status) || !matcher) return std::nullopt;
    matcher->setTimeLimit(timeLimit, status);
    if (U_FAILURE(status)) return std::nullopt;
    icu::UnicodeString out;
    int32_t position = 0;
    // Every stretch passes `between`, and any failure withholds the whole
    // text: a part of it is never given out unchecked.
    auto append = [&](int32_t from, int32_t to) {
        auto stretch = between(text.tempSubString(from, to - from));
        if (stretch) out += *stretch;
        return stretch.has_value();
    };
    // The next match at or after `from`, as a search would find it: with
    // known starts, the pattern is tried only where a match can begin, each
    // try seeing the whole text around it.
    int32_t from = 0;
    auto next = [&]() -> bool {
        if (!starts) return matcher->find(status);
        for (int32_t at = from; at < text.length(); at = text.moveIndex32(at, 1)) {
            if (!starts->couldStartAt(text, at)) continue;
            matcher->region(at, text.length(), status);
            matcher->useTransparentBounds(true);
            matcher->useAnchoringBounds(false);
            if (matcher->lookingAt(status)) return true;
            if (U_FAILURE(status)) return false;
        }
        return false;
    };
    while (next()) {
        int32_t start = matcher->start(status);
        int32_t end = matcher->end(status);
        from = end > start ? end : text.moveIndex32(start, 1);
        std::optional<std::size_t> taken;
        for (int32_t group = 1; group <= matcher->groupCount() && U_SUCCESS(status); ++group) {
            if (matcher->start(group, status) != -1) {
                taken = static_cast<std::size_t>(group - 1);
                break;
            }
        }
        if (U_FAILURE(status)) return std::nullopt;
        if (!taken || *taken >= names.size()) continue;
        if (!append(position, start)) return std::nullopt;
        out += utf16("${" + names[*taken] + "}");
        position = end;
    }
    // A search that stops with an error (out of time, out of memory) is not
    // the end of the text.
    if (U_FAILURE(status)) return std::nullopt;
    if (!append(position, text.length())) return std::nullopt;
    return out;
}

std::string escapedPattern(std::string_view text) {
    std::string out;
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7F) {
            static constexpr char hex[] = "0123456789ABCDEF";
            out += "\\x{";
            out.push_back(hex[c >> 4]);
            out.push_back(hex[c & 0x0F]);
            out += "}";
        } else if (c < 0x80 && !g_ascii_isalnum(c) && c != ' ') {
            // Every ASCII sign, special or not, is quoted: a quoted sign
            // always stands for itself.
            out.push_back('\\');
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    return out;
}

std::vector<std::string> secretValueForms(std::string_view value, std::string_view base) {
    std::string unreserved = std::string(base) + "-._~";
    std::string component = std::string(base) + "-._~!*'()";
    std::string form = std::string(base) + "-._*";
    std::string formEncoded = percentEncoded(value, form);
    std::string json = jsonEscaped(value, false);
    return {
        std::string(value),
        joined(splitAtWhiteSpace(value), " "),
        percentEncoded(value, unreserved),
        percentEncoded(value, component),
        formEncoded,
        replacedAll(formEncoded, "%20", "+"),
        // Inside JSON: once, as JSON.stringify writes it, with every
        // non-ASCII character escaped, and a JSON text inside a JSON string.
        json,
        jsonEscaped(value, true),
        jsonEscaped(json, false),
        // With "/" escaped too, as PHP writes JSON.
        replacedAll(json, "/", "\\/"),
        // As a page's HTML source shows it (innerHTML, outerHTML): in text,
        // in an attribute, and in an attribute where "<" and ">" stay.
        htmlEscaped(value, "&<>"),
        htmlEscaped(value, "&\"<>"),
        htmlEscaped(value, "&\""),
    };
}

std::string secretValuePattern(std::string_view value, std::string_view base) {
    std::vector<std::string> candidates = secretValueForms(value, base);
    struct Form {
        std::string text;
        std::size_t length;
    };
    std::vector<Form> forms;
    std::set<std::string> seen;
    for (auto& candidate : candidates) {
        if (candidate.empty() || !seen.insert(candidate).second) continue;
        std::size_t length = text::characterCount(candidate);
        forms.push_back({std::move(candidate), length});
    }
    std::sort(forms.begin(), forms.end(), [](const Form& a, const Form& b) {
        if (a.length != b.length) return a.length > b.length;
        return a.text > b.text;
    });

    std::vector<std::string> alternatives;
    for (const auto& f : forms) {
        if (f.length >= 4) alternatives.push_back(escapedPattern(f.text));
    }
    for (const auto& f : forms) {
        if (f.length >= 5) alternatives.push_back(truncatedValuePattern(f.text));
    }
    for (const auto& f : forms) {
        if (f.length < 4) {
            alternatives.push_back(std::string(noLetterBefore) + escapedPattern(f.text) + std::string(noLetterAfter));
        }
    }
    return "(" + joined(alternatives, "|") + ")";
}

namespace {

// The pattern of any prefix of chars[from, to), the longest tried first.
// Optional groups nested one per character would do, but ICU refuses to
// nest groups about a hundred deep; so a long stretch is taken chunk by
// chunk: the whole first chunk followed by any prefix of the rest, or else a
// shorter prefix of that chunk. Both try the same lengths in the same order.
std::string prefixPattern(const std::vector<std::string>& chars, std::size_t from, std::size_t to) {
    constexpr std::size_t chunk = 16;
    if (to - from <= chunk) {
        std::string nested;
        for (std::size_t i = to; i > from; --i) nested = "(?:" + escapedPattern(chars[i - 1]) + nested + ")?";
        return nested;
    }
    std::string whole;
    for (std::size_t i = from; i < from + chunk; ++i) whole += escapedPattern(chars[i]);
    return "(?:" + whole + prefixPattern(chars, from + chunk, to) + "|" +
           prefixPattern(chars, from, from + chunk - 1) + ")";
}

} // namespace

std::string truncatedValuePattern(std::string_view form) {
    auto chars = characters(form);
    std::string head;
    for (std::size_t i = 0; i < std::min<std::size_t>(4, chars.size()); ++i) head += escapedPattern(chars[i]);
    std::size_t stop = chars.empty() ? 0 : std::min<std::size_t>(chars.size() - 1, 199);
    return head + (stop > 4 ? prefixPattern(chars, 4, stop) : std::string()) + "(?=\u2026)";
}

std::optional<Redaction> secretsRedaction(
    const std::map<std::string, std::map<std::string, std::string>>& variables) {
    struct Pair {
        std::string name;
        std::string value;
        std::size_t length;
    };
    // Every site's values: a page may show a value of another site too.
    std::vector<Pair> pairs;
    for (const auto& [site, values] : variables) {
        for (const auto& [name, value] : values) {
            if (!value.empty()) pairs.push_back({name, value, text::characterCount(value)});
        }
    }
    if (pairs.empty()) return std::nullopt;
    // Longer values first, so that a value holding another is hidden whole;
    // of two names with one value, the one that sorts last shows.
    std::stable_sort(pairs.begin(), pairs.end(), [](const Pair& a, const Pair& b) {
        if (a.length != b.length) return a.length > b.length;
        if (a.value != b.value) return a.value > b.value;
        return a.name > b.name;
    });
    std::string pattern;
    std::vector<std::string> names;
    auto starts = std::make_shared<MatchStarts>();
    for (const auto& pair : pairs) {
        if (!names.empty()) pattern += "|";
        pattern += secretValuePattern(pair.value, baseCharacters);
        names.push_back(pair.name);
        // Every alternative of a value begins with the head of one of its
        // forms, whole or cut short.
        for (const auto& form : secretValueForms(pair.value, baseCharacters)) starts->add(form);
    }
    Redaction redaction = Redaction::compile(pattern, std::move(names), UREGEX_CASE_INSENSITIVE);
    redaction.starts = std::move(starts);
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

std::string redactText(std::string_view text, std::size_t limit, const std::optional<Redaction>& secrets,
                       const std::optional<Redaction>& codes) {
    std::string kept = text::prefix(text::validUtf8(text), limit);
    if (kept.empty() || (!secrets && !codes)) return kept;
    icu::UnicodeString unicode = utf16(kept);
    // Codes first: the secret pattern then works on the stretches between
    // them, so no secret match spans a code.
    auto redacted = codes ? codes->replace(unicode, [&](const icu::UnicodeString& stretch) {
        return secretsPass(secrets, stretch);
    })
                          : secretsPass(secrets, unicode);
    return redacted ? utf8(*redacted) : std::string(redactionFailureNotice);
}

} // namespace vesk
