#pragma once

// The session's own clipboard: the text that the last copy or cut key took
// in a page. It never reaches the desktop's clipboard; a paste hands it to
// the paste event of the page it goes into, and nowhere else.

#include <string>
#include <string_view>

namespace vesk {

struct CopiedText {
    std::string text;
    // The origin of the document it was copied from.
    std::string origin;
    // It holds a stored value, or came from a field one was typed into: it
    // is pasted only into documents of its own origin.
    bool holdsStored = false;
};

// Whether the key, written as press takes it, pastes: Control (or Meta)
// with v, or Shift+Insert.
bool pastesCopiedText(std::string_view key);

} // namespace vesk
