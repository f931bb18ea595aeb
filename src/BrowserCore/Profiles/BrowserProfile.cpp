#include "BrowserCore/Profiles/BrowserProfile.h"


#include <glib.h>

namespace vesk {

namespace {

std::string upper(std::string text) {
    for (char& c : text) c = g_ascii_toupper(c);
    return text;
}

} // namespace

ProfileID newProfileID() {
    gchar* text = g_uuid_string_random();
    std::string id = upper(text);
    g_free(text);
    return id;
}

std::optional<ProfileID> parseProfileID(const std::string& text) {
    if (!g_uuid_string_is_valid(text.c_str())) return std::nullopt;
    return upper(text);
}

} // namespace vesk
