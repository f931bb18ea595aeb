#include "BrowserCore/Records/ConsoleMessage.h"

#include "BrowserCore/Records/SameText.h"

namespace vesk {

std::string_view ConsoleMessage::levelName(Level level) {
    switch (level) {
    case Level::log: return "log";
    case Level::warn: return "warn";
    case Level::error: return "error";
    }
    return "log";
}

std::optional<ConsoleMessage::Level> ConsoleMessage::levelNamed(std::string_view name) {
    for (Level level : {Level::log, Level::warn, Level::error}) {
        if (levelName(level) == name) return level;
    }
    return std::nullopt;
}

bool ConsoleMessage::operator==(const ConsoleMessage& other) const {
    return level == other.level && sameText(text, other.text) && sameOptionalText(window, other.window);
}

} // namespace vesk
