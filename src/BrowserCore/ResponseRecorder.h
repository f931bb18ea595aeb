#pragma once

#include <functional>
#include <map>
#include <string>

#include <webkit/webkit.h>

namespace vesk {

// Follows the page's navigations and responses: the HTTP failures of main
// documents, downloads and HTTP logins.
class ResponseRecorder {
public:
    using Variables = std::map<std::string, std::string>;

    // HTTP status (400 to 599) by URL without fragment, main frame only.
    std::map<std::string, int> failed;
    // The variables that apply to a site; empty until the session sets it.
    std::function<Variables(const std::string& site)> variables = [](const std::string&) { return Variables{}; };

    // Becomes the navigation delegate of a page's web view.
    void attach(WebKitWebView* view);
};

} // namespace vesk
