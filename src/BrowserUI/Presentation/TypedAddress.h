#pragma once

// What a person types in an address field, turned into a URL and loaded.
// There is no search: whatever is typed is taken as an address.

#include "Platform/Task.h"

#include <optional>
#include <string>
#include <string_view>

namespace vesk {

class BrowserSession;

namespace ui {

// The address to load for a typed text: none when the text is only blanks
// and tabs; the text trimmed of them when it holds "://" or starts with
// "about:" or "data:" (exactly, case-sensitive); else "https://" and the
// trimmed text. Throws BrowserError::invalidURL with the trimmed text when
// that address does not parse as a URL.
std::optional<std::string> typedAddress(std::string_view text);

// Loads the typed text's address in the session and waits for the page to
// load and settle; nothing for an empty text. The session's errors pass
// through unchanged.
Task<void> openAddress(BrowserSession& session, std::string text);

} // namespace ui
} // namespace vesk
