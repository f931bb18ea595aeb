#pragma once

// The desktop's primary selection: what a middle click pastes, which every
// program of the desktop may read. WebKit puts there the text of each
// selection a page's document gets (the person's, a page script's, the
// agent's keys'), from this program's main loop, and offers no way to keep
// it off. This watch looks at each text WebKit offers there and, before the
// main loop can answer any other program, puts in its place the text that
// `shown` gives for it: a selection holding stored values reaches the
// desktop only with their references. Another program taking the desktop's
// selection leaves the pages' own selections as they are.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include <gdk/gdk.h>

namespace vesk {

class PrimarySelectionWatch {
public:
    // `shown` answers what the desktop may hold for a text: the text itself,
    // another text, or none when the text could not be checked (the desktop
    // then holds nothing).
    using Shown = std::function<std::optional<std::string>(std::string_view)>;

    // Watches the primary selection of the default display, if there is one.
    explicit PrimarySelectionWatch(Shown shown);
    ~PrimarySelectionWatch();
    PrimarySelectionWatch(const PrimarySelectionWatch&) = delete;
    PrimarySelectionWatch& operator=(const PrimarySelectionWatch&) = delete;

private:
    static void changed(GdkClipboard* selection, PrimarySelectionWatch* watch);

    Shown shown_;
    GdkClipboard* selection_ = nullptr;
    gulong handler_ = 0;
    bool replacing_ = false;
};

} // namespace vesk
