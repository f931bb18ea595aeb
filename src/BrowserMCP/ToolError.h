#pragma once

// The agent server's own failures. The message is the text the agent reads.

#include "BrowserMCP/Json.h"
#include "Platform/Clock.h"

#include <cstdint>
#include <stdexcept>
#include <optional>
#include <string>
#include <vector>

namespace vesk {

class ToolError : public std::runtime_error {
public:
    enum class Kind {
        unknownTool,
        missingArgument,
        oneOf,
        invalidFlow,
        unknownFlow,
        ambiguousFlow,
        unknownProfile,
        noSuchStep,
        tookTooLong,
        notRecording,
        invalidIndex,
        notAvailable,
    };

    static ToolError unknownTool(const std::string& name);
    static ToolError missingArgument(const std::string& argument);
    static ToolError oneOf(const std::vector<std::string>& arguments);
    static ToolError invalidFlow(const std::string& detail);
    static ToolError unknownFlow(const std::string& name);
    // `shown`, as the agent gave it, reads as each of `names` does in list_flows.
    static ToolError ambiguousFlow(const std::string& shown, const std::vector<std::string>& names);
    // `unreadableFile`: the profile store's note of a profiles file it could not read.
    static ToolError unknownProfile(const std::string& name, const std::optional<std::string>& unreadableFile = {});
    static ToolError noSuchStep(const std::string& argument, std::int64_t count);
    static ToolError tookTooLong(const std::string& tool, Duration limit, const std::string& waitingFor, bool acting);
    static ToolError notRecording();
    static ToolError invalidIndex();
    // A tool of the table whose work this build cannot do yet.
    static ToolError notAvailable(const std::string& tool);

    Kind kind() const { return kind_; }

private:
    ToolError(Kind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}

    Kind kind_;
};

// A failure that still hands the agent content items after its text, such
// as a recording whose save failed, so that nothing the agent made is lost.
class ToolFailure : public std::runtime_error {
public:
    ToolFailure(const std::string& message, Json items) : std::runtime_error(message), items_(std::move(items)) {}
    // A JSON array of content items.
    const Json& items() const { return items_; }

private:
    Json items_;
};

// A time limit as the agent reads it: whole minutes and seconds with wide
// unit names in the current locale, units of zero left out
// ("1 minute", "1 minute, 10 seconds").
std::string formatLimit(Duration limit);

} // namespace vesk
