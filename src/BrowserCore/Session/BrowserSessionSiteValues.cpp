// Which stored values a page or frame may receive: those of its own site and
// of that site's parent domains, with the current one-time codes.

#include "BrowserCore/Session/BrowserSession.h"
#include "BrowserCore/Secrets/SiteKey.h"
#include "BrowserCore/Secrets/SiteValues.h"

namespace vesk {

std::map<std::string, std::string> BrowserSession::mergedForHost(
    const std::string& site, const std::map<std::string, std::map<std::string, std::string>>& table) {
    return mergedForSite(site, table);
}

std::optional<std::string> BrowserSession::siteForRef(const std::optional<std::string>& ref) const {
    // A value typed into a frame of another origin reaches that frame's site.
    if (ref) {
        if (auto frame = frameForRef(*ref); frame && !frame->isMain && !frame->host.empty()) {
            return siteKey(frame->scheme, frame->host, frame->port == 0 ? std::nullopt : std::optional<int>(frame->port));
        }
    }
    WebKitWebView* view = activeView();
    const char* uri = view ? webkit_web_view_get_uri(view) : nullptr;
    if (!uri || !*uri) return std::nullopt;
    return siteKeyOfURL(uri);
}

std::map<std::string, std::string> BrowserSession::siteValues(const std::optional<std::string>& ref) const {
    auto site = siteForRef(ref);
    if (!site) return {};
    // One instant for every code of the lookup.
    return valuesForSite(*site, *variables, *otpKeys, now());
}

void BrowserSession::rebuildRedaction() {
    redaction.set(buildRedaction(*variables, keptStarts.all()));
}

} // namespace vesk
