#include "BrowserCore/Profiles/ProfileStore.h"

#include "BrowserCore/Profiles/ProfileError.h"
#include "BrowserCore/Profiles/ProfileStoreChange.h"
#include "BrowserCore/Profiles/SecretAccounts.h"
#include "BrowserCore/Secrets/SiteKey.h"
#include "Platform/TextOrder.h"

#include <algorithm>

namespace vesk {

namespace {

bool hasID(const BrowserProfile& profile, const ProfileID& id) { return profile.id == id; }

} // namespace

std::optional<BrowserProfile> ProfileStore::currentProfile() const {
    if (!*currentID) return std::nullopt;
    for (const auto& profile : *profiles) {
        if (profile.id == **currentID) return profile;
    }
    return std::nullopt;
}

std::optional<BrowserProfile> ProfileStore::profileNamed(std::string_view name) const {
    for (const auto& profile : *profiles) {
        if (text::equalIgnoringCase(profile.name, name)) return profile;
    }
    return std::nullopt;
}

BrowserProfile ProfileStore::createProfile(const std::string& name) {
    std::string trimmed = text::trimmedBlanks(name);
    if (trimmed.empty()) throw ProfileError::emptyName();
    Change change(*this);
    if (profileNamed(trimmed)) throw ProfileError::duplicate(trimmed);

    BrowserProfile profile{newProfileID(), trimmed, {}};
    auto list = *profiles;
    list.push_back(profile);
    std::stable_sort(list.begin(), list.end(), [](const BrowserProfile& a, const BrowserProfile& b) {
        return text::standardCompare(a.name, b.name) < 0;
    });
    profiles.set(std::move(list));
    try {
        saveProfiles();
    } catch (...) {
        auto restored = *profiles;
        std::erase_if(restored, [&](const BrowserProfile& p) { return hasID(p, profile.id); });
        profiles.set(std::move(restored));
        throw;
    }
    return profile;
}

void ProfileStore::selectProfile(const std::optional<BrowserProfile>& profile) {
    Change change(*this);
    std::optional<ProfileID> id = profile ? std::optional<ProfileID>(profile->id) : std::nullopt;
    if (id == *currentID) return;
    currentID.set(id);
    fileCurrent_ = id;
    applyCurrentProfile();
    // Not undone when saving fails: the session already uses the profile.
    saveProfiles();
}

Task<void> ProfileStore::deleteProfile(BrowserProfile profile) {
    // The store's own record names every value the profile has; the copy
    // passed in may be older.
    std::vector<BrowserProfile::Variable> variables = profile.variables;
    {
        Change change(*this);
        if (*currentID && **currentID == profile.id) selectProfile(std::nullopt);
        for (const auto& stored : *profiles) {
            if (!hasID(stored, profile.id)) continue;
            for (const auto& variable : stored.variables) {
                if (std::find(variables.begin(), variables.end(), variable) == variables.end()) {
                    variables.push_back(variable);
                }
            }
        }
        // Current in another process: the file no longer names it.
        if (fileCurrent_ == profile.id) fileCurrent_.reset();
        auto remaining = *profiles;
        std::erase_if(remaining, [&](const BrowserProfile& p) { return hasID(p, profile.id); });
        profiles.set(std::move(remaining));
        auto unassigned = *credentials;
        for (auto& credential : unassigned) std::erase(credential.profileIDs, profile.id);
        credentials.set(std::move(unassigned));
        saveProfiles();
    }
    // The profile is gone all the same; a keychain that kept its values is
    // reported once its website data is gone too.
    std::optional<std::string> refusal;
    for (const auto& variable : variables) {
        eraseSecret(SecretAccounts::variable(profile.id, variable.site, variable.name), refusal);
    }
    co_await websiteData_.remove(profile.id);
    if (refusal) throw ProfileError::secretsNotErased("profile", *refusal);
}

void ProfileStore::setVariable(const std::string& name, const std::string& value, const std::string& siteText,
                               const ProfileID& profileID) {
    if (!isIdentifier(name)) throw ProfileError::invalidVariable(name);
    auto site = siteKeyFromText(siteText);
    if (!site) throw ProfileError::invalidSite(siteText);
    Change change(*this);
    auto list = *profiles;
    auto profile = std::find_if(list.begin(), list.end(), [&](const BrowserProfile& p) { return hasID(p, profileID); });
    if (profile == list.end()) return;

    std::string account = SecretAccounts::variable(profileID, *site, name);
    secrets_->write(value, account);
    BrowserProfile::Variable variable{name, *site};
    auto& variables = profile->variables;
    if (std::find(variables.begin(), variables.end(), variable) == variables.end()) {
        variables.push_back(variable);
        std::sort(variables.begin(), variables.end(), [](const auto& a, const auto& b) {
            return a.site != b.site ? a.site < b.site : a.name < b.name;
        });
        auto before = *profiles;
        profiles.set(std::move(list));
        try {
            saveProfiles();
        } catch (...) {
            profiles.set(std::move(before));
            try {
                secrets_->write(std::nullopt, account);
            } catch (const std::exception&) {
            }
            throw;
        }
    }
    if (*currentID == profileID) syncSession();
}

void ProfileStore::removeVariable(const std::string& name, const std::string& site, const ProfileID& profileID) {
    Change change(*this);
    auto list = *profiles;
    auto profile = std::find_if(list.begin(), list.end(), [&](const BrowserProfile& p) { return hasID(p, profileID); });
    if (profile == list.end()) return;
    secrets_->write(std::nullopt, SecretAccounts::variable(profileID, site, name));
    std::erase(profile->variables, BrowserProfile::Variable{name, site});
    profiles.set(std::move(list));
    if (*currentID == profileID) syncSession();
    saveProfiles();
}

} // namespace vesk
