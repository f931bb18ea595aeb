#include "BrowserUI/Presentation/ProfileRows.h"

#include <glib.h>

#include <algorithm>

namespace vesk::ui {

ProfileCredentials credentialsOf(const std::vector<Credential>& credentials, const ProfileID& profile) {
    ProfileCredentials lists;
    for (const Credential& credential : credentials) {
        bool assigned = std::find(credential.profileIDs.begin(), credential.profileIDs.end(), profile) !=
                        credential.profileIDs.end();
        (credential.global || assigned ? lists.shown : lists.offered).push_back(credential);
    }
    return lists;
}

bool canSaveVariable(std::string_view name, std::string_view value, std::string_view site) {
    return !name.empty() && !value.empty() && !site.empty();
}

std::string variableKey(std::string_view name) {
    gchar* upper = g_utf8_strup(name.data(), static_cast<gssize>(name.size()));
    std::string key(upper);
    g_free(upper);
    return key;
}

} // namespace vesk::ui
