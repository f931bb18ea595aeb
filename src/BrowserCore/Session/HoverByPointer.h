#pragma once

// The pointer path of a hover: the act pipeline runs it in place of sending
// "hover" to the page agent as an action.

#include "Platform/Task.h"

#include <string>

namespace vesk {

class BrowserSession;

// Asks the page agent where the element with `ref` shows, moves the active
// web view's pointer there, and waits up to 1 s for the element to come
// under it. Throws BrowserError::noPage for a web view in no window, the page
// agent's failures unchanged, and an "obscured" element failure when the
// element never comes under the pointer.
Task<void> hoverByPointer(BrowserSession& session, std::string ref);

} // namespace vesk
