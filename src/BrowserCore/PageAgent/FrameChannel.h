#pragma once

// The road to a subframe: a page message to the web process extension,
// which runs the request in that frame and answers (outcome, text).

#include "BrowserCore/PageAgent/FrameInfo.h"
#include "Platform/Task.h"

#include <webkit/webkit.h>

#include <cstdint>
#include <string>

namespace vesk {

struct FrameAnswerText {
    std::uint32_t outcome = 0;
    std::string text;
};

// Sends `message` (floating or owned; it is consumed) to the page of `view`
// and gives back the extension's answer. Throws BrowserError::script when the
// message cannot be delivered or the answer is malformed.
Task<FrameAnswerText> sendToFrame(WebKitWebView* view, WebKitUserMessage* message);

// The frame's numeric id as the web process knows it.
std::uint64_t webProcessFrameID(const FrameInfo& frame);

} // namespace vesk
