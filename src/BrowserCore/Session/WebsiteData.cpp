#include "BrowserCore/Session/WebsiteData.h"

#include "Platform/Async.h"

#include <glib.h>

#include <system_error>

namespace vesk {

WebsiteData& WebsiteData::standard() {
    static WebsiteData data(std::filesystem::path(g_get_user_data_dir()) / "Vesk" / "WebsiteData",
                            std::filesystem::path(g_get_user_cache_dir()) / "Vesk" / "WebsiteData");
    return data;
}

WebsiteData::WebsiteData(std::filesystem::path dataRoot, std::filesystem::path cacheRoot)
    : dataRoot_(std::move(dataRoot)), cacheRoot_(std::move(cacheRoot)) {}

GRef<WebKitNetworkSession> WebsiteData::networkSession(const BrowserSession::Profile& profile) {
    if (profile.isEphemeral()) {
        return GRef<WebKitNetworkSession>::adopt(webkit_network_session_new_ephemeral());
    }
    const std::string& uuid = *profile.uuid();
    auto& session = sessions_[uuid];
    if (!session) {
        auto data = dataFolder(uuid);
        session = GRef<WebKitNetworkSession>::adopt(
            webkit_network_session_new(data.c_str(), cacheFolder(uuid).c_str()));
        // Without a store of its own WebKit keeps cookies in memory only.
        auto cookies = data / "cookies.sqlite";
        webkit_cookie_manager_set_persistent_storage(webkit_network_session_get_cookie_manager(session.get()),
                                                     cookies.c_str(), WEBKIT_COOKIE_PERSISTENT_STORAGE_SQLITE);
    }
    return session;
}

Task<void> WebsiteData::remove(std::string uuid) {
    auto found = sessions_.find(uuid);
    if (found != sessions_.end()) {
        GRef<WebKitNetworkSession> session = std::move(found->second);
        sessions_.erase(found);
        // The network process holds the files open: have it drop what it
        // keeps before the folders go.
        WebKitWebsiteDataManager* manager = webkit_network_session_get_website_data_manager(session.get());
        auto cleared = co_await gAsync([&](GAsyncReadyCallback callback, gpointer data) {
            webkit_website_data_manager_clear(manager, WEBKIT_WEBSITE_DATA_ALL, 0, nullptr, callback, data);
        });
        GError* error = nullptr;
        webkit_website_data_manager_clear_finish(manager, cleared.get(), &error);
        g_clear_error(&error);
    }
    std::error_code ignored;
    std::filesystem::remove_all(dataFolder(uuid), ignored);
    std::filesystem::remove_all(cacheFolder(uuid), ignored);
}

void WebsiteData::removeLeftovers(const std::set<std::string>& kept) {
    for (const auto& root : {dataRoot_, cacheRoot_}) {
        std::error_code error;
        std::filesystem::directory_iterator entries(root, error);
        for (; !error && entries != std::filesystem::directory_iterator(); entries.increment(error)) {
            const auto& entry = *entries;
            std::string name = entry.path().filename().string();
            std::string upper = name;
            for (char& c : upper) c = g_ascii_toupper(c);
            if (!g_uuid_string_is_valid(name.c_str()) || kept.contains(upper) || sessions_.contains(upper)) continue;
            std::error_code ignored;
            std::filesystem::remove_all(entry.path(), ignored);
        }
    }
}

} // namespace vesk
