#include "BrowserCore/Session/CopiedText.h"

#include <glib.h>

#include <vector>

namespace vesk {

bool pastesCopiedText(std::string_view key) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : key) {
        if (c == '+') {
            parts.push_back(std::move(part));
            part.clear();
        } else {
            part += c;
        }
    }
    parts.push_back(std::move(part));
    std::string last = parts.back();
    parts.pop_back();
    bool control = false, shift = false, other = false;
    for (const auto& modifier : parts) {
        gchar* folded = g_ascii_strdown(g_strstrip(g_strdup(modifier.c_str())), -1);
        std::string name = folded;
        g_free(folded);
        if (name == "control" || name == "ctrl" || name == "meta" || name == "command" || name == "cmd" || name == "super") {
            control = true;
        } else if (name == "shift") {
            shift = true;
        } else {
            other = true;
        }
    }
    if (other) return false;
    if (control && !shift) return last == "v";
    gchar* folded = g_ascii_strdown(last.c_str(), -1);
    bool insert = std::string_view(folded) == "insert";
    g_free(folded);
    return shift && !control && insert;
}

} // namespace vesk
