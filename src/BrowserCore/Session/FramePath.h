#pragma once

// The way down from the top window to a subframe, frame by frame, as the
// page agents of the frames on the way know it. Hover adds up where each
// frame lies; the actions that focus an element give each frame on the way
// the focus first, as a person's click into the subframe does.

#include "BrowserCore/PageAgent/FrameInfo.h"
#include "Platform/Task.h"

#include <gtk/gtk.h>
#include <webkit/webkit.h>

#include <optional>
#include <string>
#include <vector>

namespace vesk {

class BrowserSession;

// One level of the way: the frame that holds the next one down (none: the
// main frame), and the index of that next one among the holder's frames.
struct FrameHop {
    std::optional<FrameInfo> holder;
    int index = 0;
};

// The levels from the main frame of `view` down to `frame`, outermost first.
// Throws the page agents' failures, and a script error naming `command` when
// a frame on the way has not made itself known.
Task<std::vector<FrameHop>> framesOnTheWay(BrowserSession& session, WebKitWebView* view, FrameInfo frame,
                                           std::string command);

// Each holder on the way focuses the frame element of the next frame down,
// so that the engine lets script in `frame` take the focus.
Task<void> focusFramesOnTheWay(BrowserSession& session, WebKitWebView* view, FrameInfo frame,
                               std::string command);

} // namespace vesk
