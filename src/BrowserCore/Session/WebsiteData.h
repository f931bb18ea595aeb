#pragma once

// Where each saved profile keeps its website data (cookies, storage, cache):
// a data folder and a cache folder named after the profile's UUID, used by
// one WebKit network session per profile for the life of the process.
// Cookies are kept in a SQLite store in the data folder, so that a profile's
// sign-ins last from one run to the next. The temporary profile keeps
// nothing on disk.

#include "BrowserCore/Session/BrowserSession.h"
#include "Platform/GRef.h"
#include "Platform/Task.h"

#include <webkit/webkit.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>

namespace vesk {

class WebsiteData {
public:
    // The folders "Vesk/WebsiteData" in the user's data and cache folders.
    static WebsiteData& standard();

    WebsiteData(std::filesystem::path dataRoot, std::filesystem::path cacheRoot);

    // The network session of a profile: for a saved profile the same one on
    // every call, made on first use; for the temporary profile a new one
    // that keeps nothing.
    GRef<WebKitNetworkSession> networkSession(const BrowserSession::Profile& profile);

    // Removes everything the profile's website data holds, through its
    // network session when one was made, and then its folders. Call it once
    // no page uses the profile. Failures are not reported: what cannot be
    // removed now is removed by removeLeftovers at a later start.
    Task<void> remove(std::string uuid);

    // Removes the folders named after a UUID that `kept` does not hold
    // (upper-case UUIDs). Other folders stay.
    void removeLeftovers(const std::set<std::string>& kept);

    std::filesystem::path dataFolder(const std::string& uuid) const { return dataRoot_ / uuid; }
    std::filesystem::path cacheFolder(const std::string& uuid) const { return cacheRoot_ / uuid; }

private:
    std::filesystem::path dataRoot_;
    std::filesystem::path cacheRoot_;
    // Two sessions on one folder would fight over its files.
    std::map<std::string, GRef<WebKitNetworkSession>> sessions_;
};

} // namespace vesk
