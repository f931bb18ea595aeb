#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vesk {

// One console output or uncaught error of a page's main frame.
struct ConsoleMessage {
    enum class Level { log, warn, error };

    Level level = Level::log;
    std::string text;
    std::optional<std::string> window;  // id of the window that produced it

    // "log", "warn", "error".
    static std::string_view levelName(Level level);
    // The level of one of those three texts; none for any other text.
    static std::optional<Level> levelNamed(std::string_view name);

    // Field by field; canonically equivalent texts are equal.
    bool operator==(const ConsoleMessage& other) const;
};

} // namespace vesk
