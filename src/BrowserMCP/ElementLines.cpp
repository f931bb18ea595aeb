#include "BrowserMCP/PageRendering.h"

#include "Platform/Text.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <cstdint>
#include <limits>
#include <unordered_map>

namespace vesk::PageRendering {

namespace {

constexpr std::size_t coverControlLimit = 10;

} // namespace

std::string elementLine(const PageElement& element, std::string_view base, const NameSet* duplicates) {
    std::string line = "[" + element.ref + "] " + element.role + " " + PageRendering::quoted(element.name);
    if (element.context) line += " in " + PageRendering::quoted(*element.context);
    if (element.frame) line += " (frame " + *element.frame + ")";
    if (element.type) line += " type=" + *element.type;
    if (element.value && !element.value->empty()) line += " value=" + PageRendering::quoted(*element.value);
    if (element.options) line += " options=" + PageRendering::quoted(*element.options);
    if (element.checked == true) line += " (checked)";
    if (element.required == true) line += " (required)";
    if (element.disabled == true) line += " (disabled)";
    if (element.href) {
        // A named link's target only tells the agent something when other
        // links share its name.
        const bool hidden = !element.name.empty() && duplicates && !duplicates->contains(text::canonical(element.name));
        if (!hidden) line += " -> " + shortURL(*element.href, base);
    }
    return line;
}

NameSet duplicateLinkNames(const std::vector<PageElement>& elements) {
    NameSet seen;
    NameSet duplicates;
    for (const auto& element : elements) {
        if (!element.href) continue;
        std::string name = text::canonical(element.name);
        if (!seen.insert(name).second) duplicates.insert(std::move(name));
    }
    return duplicates;
}

Lines coverLines(std::string_view name, const std::vector<std::string>& refs, const PageSnapshot& page) {
    std::unordered_map<std::string_view, const PageElement*> byRef;
    for (const auto& element : page.elements) byRef.try_emplace(element.ref, &element);

    std::vector<const PageElement*> controls;
    for (const auto& ref : refs) {
        if (controls.size() == coverControlLimit) break;
        auto found = byRef.find(ref);
        if (found != byRef.end()) controls.push_back(found->second);
    }

    const std::string lead = name.empty() ? "A dialog or notice" : "The dialog or notice " + PageRendering::quoted(name);
    std::string first = "Covered: " + lead + " lies over the page, and what it covers cannot be reached until it is closed";
    if (controls.empty()) first += ".";
    else if (controls.size() < refs.size()) first += "; its first controls:";
    else first += "; its controls:";

    Lines lines{first};
    const NameSet duplicates = duplicateLinkNames(page.elements);
    for (const auto* control : controls) lines.push_back(elementLine(*control, page.url, &duplicates));
    return lines;
}

Lines elementList(std::string_view title, const std::vector<PageElement>& elements, std::string_view base,
                  const NameSet* duplicates, std::size_t cap) {
    if (elements.empty()) return {};

    struct Entry {
        std::size_t count;
        std::string line;
    };
    std::vector<Entry> entries;
    for (std::size_t i = 0; i < elements.size();) {
        const PageElement& element = elements[i];
        std::size_t run = 1;
        if (element.disabled == true) {
            while (i + run < elements.size() && elements[i + run].disabled == true &&
                   elements[i + run].role == element.role) {
                ++run;
            }
        }
        if (run >= 3) {
            const PageElement& last = elements[i + run - 1];
            entries.push_back({run, "[" + element.ref + " to " + last.ref + "] " + std::to_string(run) + " " +
                                        element.role + ", all disabled: " + PageRendering::quoted(element.name) + " to " +
                                        PageRendering::quoted(last.name)});
            i += run;
        } else {
            entries.push_back({1, elementLine(element, base, duplicates)});
            ++i;
        }
    }

    const std::size_t shown = std::min(cap, entries.size());
    Lines lines;
    if (entries.size() > cap) {
        std::size_t covered = 0;
        for (std::size_t i = 0; i < shown; ++i) covered += entries[i].count;
        lines.push_back(std::string(title) + " (" + std::to_string(elements.size()) + ", first " +
                        std::to_string(covered) + "; call snapshot for the rest):");
    } else {
        lines.push_back(std::string(title) + ":");
    }
    for (std::size_t i = 0; i < shown; ++i) lines.push_back(std::move(entries[i].line));
    return lines;
}

namespace {

struct RefNumber {
    std::string_view prefix;
    std::optional<std::uint64_t> number;
};

// Splits a ref at its first numeric character; the number is the rest read
// as a plain decimal integer, when it is one.
RefNumber splitRef(std::string_view ref) {
    const auto* data = reinterpret_cast<const uint8_t*>(ref.data());
    const auto length = static_cast<int32_t>(ref.size());
    int32_t i = 0;
    while (i < length) {
        const int32_t start = i;
        UChar32 c;
        U8_NEXT(data, i, length, c);
        if (c >= 0 && (U_GET_GC_MASK(c) & U_GC_N_MASK) != 0) {
            i = start;
            break;
        }
    }
    RefNumber result{ref.substr(0, static_cast<std::size_t>(i)), std::nullopt};
    const std::string_view digits = ref.substr(static_cast<std::size_t>(i));
    if (digits.empty()) return result;
    std::uint64_t number = 0;
    constexpr std::uint64_t largest = std::numeric_limits<std::int64_t>::max();
    for (char c : digits) {
        if (c < '0' || c > '9') return result;
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (number > (largest - digit) / 10) return result;
        number = number * 10 + digit;
    }
    result.number = number;
    return result;
}

} // namespace

std::vector<std::string> refRanges(const std::vector<std::string>& refs) {
    struct Range {
        std::string_view first;
        std::string_view last;
        RefNumber lastParts;
        std::size_t length;
    };
    std::vector<Range> ranges;
    for (const auto& ref : refs) {
        RefNumber parts = splitRef(ref);
        if (!ranges.empty()) {
            Range& range = ranges.back();
            if (parts.number && range.lastParts.number && *parts.number == *range.lastParts.number + 1 &&
                parts.prefix == range.lastParts.prefix) {
                range.last = ref;
                range.lastParts = parts;
                ++range.length;
                continue;
            }
        }
        ranges.push_back({ref, ref, parts, 1});
    }
    std::vector<std::string> texts;
    texts.reserve(ranges.size());
    for (const auto& range : ranges) {
        texts.push_back(range.length == 1 ? std::string(range.first)
                                          : std::string(range.first) + "-" + std::string(range.last));
    }
    return texts;
}

} // namespace vesk::PageRendering
