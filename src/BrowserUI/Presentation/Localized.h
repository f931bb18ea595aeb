#pragma once

// The texts of the views. Every text a view shows is looked up by its
// English wording, the key, in the "vesk" gettext catalog; a text that embeds
// values is one key with placeholders, "%lld" for a count and "%@" for a
// text, filled in order after the lookup.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace vesk::ui {

inline constexpr const char* textDomain = "vesk";

// The catalog's text for the key, or the key itself when it has none.
std::string localized(const char* key);

// The catalog's text for the key with its placeholders filled in order by
// `values` (counts already written as text). A placeholder without a value
// is left out.
std::string localized(const char* key, std::initializer_list<std::string_view> values);

// The catalog's plural form for `count` of a key with one "%lld", filled in.
std::string localizedCount(const char* key, std::int64_t count);

// Fills the placeholders of a text that was already looked up.
std::string fillPlaceholders(std::string_view text, std::initializer_list<std::string_view> values);

} // namespace vesk::ui
