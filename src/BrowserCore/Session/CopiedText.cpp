#include "BrowserCore/Session/CopiedText.h"

#include <glib.h>

#include <vector>

namespace vesk {

namespace {

// The part as the page agent reads a modifier or a key's name: without
// surrounding spaces, in any case.
std::string folded(const std::string& part) {
    gchar* copy = g_strdup(part.c_str());
    gchar* lower = g_ascii_strdown(g_strstrip(copy), -1);
    std::string text = lower;
    g_free(lower);
    g_free(copy);
    return text;
}

} // namespace

bool pastesCopiedText(std::string_view key) {
    std::vector<std::string> parts{""};
    for (char c : key) {
        if (c == '+') parts.emplace_back();
        else parts.back() += c;
    }
    const std::string last = parts.back();
    parts.pop_back();
    bool control = false, shift = false;
    for (const auto& part : parts) {
        std::string name = folded(part);
        if (name == "control" || name == "ctrl" || name == "meta" || name == "command" || name == "cmd" ||
            name == "super") {
            control = true;
        } else if (name == "shift") {
            shift = true;
        } else {
            return false;
        }
    }
    // A single character is taken as it is: "V" is Shift+v.
    if (control && !shift) return last == "v";
    return shift && !control && folded(last) == "insert";
}

} // namespace vesk
