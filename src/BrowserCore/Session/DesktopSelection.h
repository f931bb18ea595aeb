#pragma once

// The desktop's selections: the primary selection (what a middle click
// pastes) and the clipboard, which every program of the desktop may read.
// WebKit puts there, from this program's main loop, the text of each
// selection a page's document gets and each copy a page makes, and offers no
// way to keep them off. A watch looks at each content this program offers on
// one of them and, before the main loop can answer any other program, puts
// in its place what the desktop may read of it:
// - while contents are checked, the text as `check` gives it; a content
//   whose text holds nothing to hide keeps its other text forms (markup,
//   addresses) once they are read and hold nothing to hide either, else it
//   is offered as plain text alone; a content without text stays only if it
//   is an image.
// - whatever its size, a text the desktop can read without stopping this
//   program: GTK serves a text given to it as a string, once the transfer
//   takes more than one X request (256 KiB), by closing its stream to the
//   reader from inside the main loop and waiting there for the reader's
//   answer, which only that loop can take in. Such a text is offered as
//   bytes instead, at most `textLimit` of them.

#include "Platform/GRef.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <gdk/gdk.h>

namespace vesk {

class DesktopSelectionWatch {
public:
    // What the desktop may hold for a text: the text itself, another text,
    // or none when the text could not be checked (the selection then holds
    // nothing).
    using Check = std::function<std::optional<std::string>(std::string_view)>;
    // Whether contents are checked now; none means always.
    using Checking = std::function<bool()>;

    // A quarter of what one X request carries with the big-requests
    // extension (16 MiB), which the last part of a transfer of bytes takes
    // whole; pages of text far longer than a person selects.
    static constexpr std::size_t textLimit = 4 * 1024 * 1024;

    DesktopSelectionWatch(GdkClipboard* selection, Check check, Checking checking = {});
    ~DesktopSelectionWatch();
    DesktopSelectionWatch(const DesktopSelectionWatch&) = delete;
    DesktopSelectionWatch& operator=(const DesktopSelectionWatch&) = delete;

private:
    struct Reading;
    static void changed(GdkClipboard* selection, DesktopSelectionWatch* watch);
    void offer(GdkContentProvider* content);
    void readOtherForms(const GRef<GdkContentProvider>& content, const GRef<GdkContentProvider>& offered,
                        std::vector<std::string> forms, std::string text, bool checked);
    static void finish(const Reading& reading);

    Check check_;
    Checking checking_;
    GdkClipboard* selection_ = nullptr;
    gulong handler_ = 0;
    // Held by the readings still running, which outlive a watch that goes.
    std::shared_ptr<DesktopSelectionWatch*> self_;
};

// WebKit collapses the selection of the page that last offered one as soon
// as another program owns the desktop's primary selection; this keeps the
// pages' selections as they are. Connected once per display, before any page.
void keepPagesSelections(GdkClipboard* primary);

} // namespace vesk
