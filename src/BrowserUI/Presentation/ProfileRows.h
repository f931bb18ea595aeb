#pragma once

// The rules of the profiles panel apart from its widgets: which credentials
// a profile shows and which it is offered, and the variable form's save rule.

#include "BrowserCore/Profiles/BrowserProfile.h"

#include <string>
#include <string_view>
#include <vector>

namespace vesk::ui {

struct ProfileCredentials {
    // Global, or assigned to the profile.
    std::vector<Credential> shown;
    // Every other one, which the "+ credential" menu offers.
    std::vector<Credential> offered;
};
ProfileCredentials credentialsOf(const std::vector<Credential>& credentials, const ProfileID& profile);

// Key, value and site all typed (as typed, not trimmed).
bool canSaveVariable(std::string_view name, std::string_view value, std::string_view site);
// The key as the store receives it: the whole text in upper case.
std::string variableKey(std::string_view name);

} // namespace vesk::ui
