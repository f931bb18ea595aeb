#include "BrowserUI/Presentation/Formatters.h"

#include "BrowserUI/Presentation/Localized.h"

#include <glib.h>

#include <chrono>
#include <cmath>

namespace vesk::ui {

std::string formatStepCount(std::int64_t count) {
    return localizedCount("%lld steps", count);
}

std::string formatMinutesSeconds(Duration duration) {
    auto whole = std::chrono::duration_cast<std::chrono::seconds>(duration).count();
    if (whole < 0) whole = 0;
    auto secondsPart = whole % 60;
    return std::to_string(whole / 60) + (secondsPart < 10 ? ":0" : ":") + std::to_string(secondsPart);
}

std::string formatShortDuration(double seconds) {
    if (seconds < 1.0) return std::to_string(std::llround(seconds * 1000)) + " ms";
    char buffer[G_ASCII_DTOSTR_BUF_SIZE];
    return std::string(g_ascii_formatd(buffer, sizeof buffer, "%.1f", seconds)) + " s";
}

} // namespace vesk::ui
