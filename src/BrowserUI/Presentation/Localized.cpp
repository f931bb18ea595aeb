#include "BrowserUI/Presentation/Localized.h"

#include <glib.h>

namespace vesk::ui {

std::string localized(const char* key) {
    return g_dgettext(textDomain, key);
}

std::string localized(const char* key, std::initializer_list<std::string_view> values) {
    return fillPlaceholders(g_dgettext(textDomain, key), values);
}

std::string localizedCount(const char* key, std::int64_t count) {
    // One key serves as singular and plural: a catalog with plural forms
    // decides the wording, without one the key itself is filled in.
    unsigned long n = count < 0 ? 0UL - static_cast<unsigned long>(count) : static_cast<unsigned long>(count);
    return fillPlaceholders(g_dngettext(textDomain, key, key, n), {std::to_string(count)});
}

std::string fillPlaceholders(std::string_view text, std::initializer_list<std::string_view> values) {
    static constexpr std::string_view count = "%lld", value = "%@";
    std::string filled;
    auto next = values.begin();
    std::size_t at = 0;
    while (at < text.size()) {
        std::string_view rest = text.substr(at);
        std::size_t length = rest.starts_with(count) ? count.size() : rest.starts_with(value) ? value.size() : 0;
        if (length == 0) {
            filled += text[at++];
            continue;
        }
        if (next != values.end()) filled += *next++;
        at += length;
    }
    return filled;
}

} // namespace vesk::ui
