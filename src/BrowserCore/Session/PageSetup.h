#pragma once

#include "BrowserCore/Session/BrowserSession.h"

#include <memory>

namespace vesk {

// Builds a web view configured as every page of the session is: the user
// agent, the profile's website data, the injected scripts, the message
// handlers and the preferences.
namespace PageSetup {

// `related` is the view that opened a popup, or null for the page itself.
GRef<WebKitWebView> makeWebView(std::weak_ptr<BrowserSession> session, const BrowserSession::Profile& profile,
                                WebKitWebView* related);

// The user agent: WebKit's own platform part, then the application name.
const std::string& userAgent();

} // namespace PageSetup

} // namespace vesk
