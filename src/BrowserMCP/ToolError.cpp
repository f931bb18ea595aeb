#include "BrowserMCP/ToolError.h"

#include <unicode/measfmt.h>
#include <unicode/measunit.h>
#include <unicode/measure.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <cmath>
#include <cstdio>
#include <memory>

namespace vesk {

namespace {

std::string quotedName(const std::string& name) { return "\"" + name + "\""; }

// A name as a JSON string, with a \u escape for each character that listings
// hide or break a line at: what an agent passes to name exactly that one.
std::string escapedName(const std::string& name) {
    std::string out = "\"";
    const auto* data = reinterpret_cast<const uint8_t*>(name.data());
    const auto length = static_cast<int32_t>(name.size());
    for (int32_t i = 0; i < length;) {
        const int32_t start = i;
        UChar32 c;
        U8_NEXT(data, i, length, c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (u_charType(c) == U_CONTROL_CHAR || u_hasBinaryProperty(c, UCHAR_BIDI_CONTROL) || c == 0x2028 ||
                   c == 0x2029) {
            // All of them lie in the first plane, so four digits write each.
            char escape[7];
            std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
            out += escape;
        } else {
            out.append(name, static_cast<std::size_t>(start), static_cast<std::size_t>(i - start));
        }
    }
    return out + "\"";
}

} // namespace

ToolError ToolError::unknownTool(const std::string& name) { return {Kind::unknownTool, "Unknown tool: " + name}; }

ToolError ToolError::missingArgument(const std::string& argument) {
    return {Kind::missingArgument, "Missing required argument: " + argument};
}

ToolError ToolError::oneOf(const std::vector<std::string>& arguments) {
    std::string names;
    for (const auto& argument : arguments) {
        if (!names.empty()) names += ", ";
        names += argument;
    }
    return {Kind::oneOf, "Give exactly one of " + names};
}

ToolError ToolError::invalidFlow(const std::string& detail) {
    return {Kind::invalidFlow, "The flow is not valid JSON for a flow: " + detail};
}

ToolError ToolError::unknownFlow(const std::string& name) {
    return {Kind::unknownFlow, "No saved flow is named " + quotedName(name) + ". Call list_flows to see the saved ones."};
}

ToolError ToolError::ambiguousFlow(const std::string& shown, const std::vector<std::string>& names) {
    std::string written;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) written += i + 1 == names.size() ? " and " : ", ";
        written += escapedName(names[i]);
    }
    return {Kind::ambiguousFlow, "Several saved flows read " + quotedName(shown) + " as list_flows shows them: " + written +
                                     ". Give the name of the one you mean as written here."};
}

ToolError ToolError::unknownProfile(const std::string& name, const std::optional<std::string>& unreadableFile) {
    if (unreadableFile) {
        return {Kind::unknownProfile, "No profile is named " + quotedName(name) + ": the profiles file " +
                                          *unreadableFile + "."};
    }
    return {Kind::unknownProfile, "No profile is named " + quotedName(name) +
                                      ". Call list_profiles to see them, or pass create: true to make it."};
}

ToolError ToolError::noSuchStep(const std::string& argument, std::int64_t count) {
    return {Kind::noSuchStep, argument + " must be a step number from 1 to " + std::to_string(count) +
                                  ", as the report numbers the flow's steps."};
}

ToolError ToolError::tookTooLong(const std::string& tool, Duration limit, const std::string& waitingFor, bool acting) {
    const char* closing = acting ? "It was given up on, but the action may still reach the page later; take a snapshot to "
                                   "see where it is before trying it again."
                                 : "It was given up on and the page may still be busy; take a snapshot to see where it is.";
    return {Kind::tookTooLong,
            tool + " did not return within " + formatLimit(limit) + ": it was waiting for " + waitingFor + ". " + closing};
}

ToolError ToolError::notRecording() { return {Kind::notRecording, "Nothing is being recorded. Call record_start first."}; }

ToolError ToolError::invalidIndex() { return {Kind::invalidIndex, "index must be a whole number from 0."}; }

ToolError ToolError::notAvailable(const std::string& tool) {
    return {Kind::notAvailable, "The tool " + tool + " is not available yet: it was not run."};
}

std::string formatLimit(Duration limit) {
    auto total = std::llround(toSeconds(limit));
    if (total < 0) total = 0;
    auto minutes = total / 60;
    auto seconds = total % 60;

    UErrorCode status = U_ZERO_ERROR;
    icu::MeasureFormat format(icu::Locale::getDefault(), UMEASFMT_WIDTH_WIDE, status);
    std::vector<icu::Measure> measures;
    if (U_SUCCESS(status) && minutes > 0) {
        measures.emplace_back(icu::Formattable(static_cast<int64_t>(minutes)), icu::MeasureUnit::createMinute(status), status);
    }
    // A zero limit still names its unit: "0 seconds".
    if (U_SUCCESS(status) && (seconds > 0 || minutes == 0)) {
        measures.emplace_back(icu::Formattable(static_cast<int64_t>(seconds)), icu::MeasureUnit::createSecond(status), status);
    }
    icu::UnicodeString text;
    icu::FieldPosition position(icu::FieldPosition::DONT_CARE);
    if (U_SUCCESS(status)) {
        format.formatMeasures(measures.data(), static_cast<int32_t>(measures.size()), text, position, status);
    }
    if (U_FAILURE(status)) {
        // Without locale data the units are written in English.
        std::string fallback;
        if (minutes > 0) fallback = std::to_string(minutes) + (minutes == 1 ? " minute" : " minutes");
        if (seconds > 0 || minutes == 0) {
            if (!fallback.empty()) fallback += ", ";
            fallback += std::to_string(seconds) + (seconds == 1 ? " second" : " seconds");
        }
        return fallback;
    }
    std::string out;
    text.toUTF8String(out);
    return out;
}

} // namespace vesk
