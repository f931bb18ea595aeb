#include "BrowserCore/Profiles/ProfileStore.h"

#include "BrowserCore/Profiles/ProfileError.h"
#include "BrowserCore/Profiles/ProfileStoreChange.h"
#include "BrowserCore/Profiles/SecretAccounts.h"
#include "BrowserCore/Secrets/SiteKey.h"
#include "Platform/TextOrder.h"

#include <algorithm>
#include <system_error>

namespace vesk {

namespace {

bool hasID(const BrowserProfile& profile, const ProfileID& id) { return profile.id == id; }

std::vector<BrowserProfile>::iterator withID(std::vector<BrowserProfile>& list, const ProfileID& id) {
    return std::find_if(list.begin(), list.end(), [&](const BrowserProfile& p) { return hasID(p, id); });
}

bool holds(const std::vector<BrowserProfile>& list, const ProfileID& id) {
    return std::any_of(list.begin(), list.end(), [&](const BrowserProfile& p) { return hasID(p, id); });
}

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

Task<BrowserProfile> ProfileStore::createProfile(std::string name) {
    std::string trimmed = text::trimmedBlanks(name);
    if (trimmed.empty()) throw ProfileError::emptyName();
    auto change = co_await beginChange();
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
    co_return profile;
}

Task<void> ProfileStore::selectProfile(std::optional<BrowserProfile> profile) {
    std::optional<ProfileID> id = profile ? std::optional<ProfileID>(profile->id) : std::nullopt;
    // Choosing what is chosen changes nothing, and waits for no lock.
    if (id == *currentID) co_return;
    auto change = co_await beginChange();
    choose(id);
    // Not undone when saving fails: the session already uses the profile.
    saveProfiles();
}

void ProfileStore::choose(const std::optional<ProfileID>& id) {
    currentID.set(id);
    fileCurrent_ = id;
    applyCurrentProfile();
}

Task<void> ProfileStore::deleteProfile(BrowserProfile profile) {
    // The store's own record names every value the profile has; the copy
    // passed in may be older.
    std::vector<BrowserProfile::Variable> variables = profile.variables;
    for (const auto& stored : *profiles) {
        if (!hasID(stored, profile.id)) continue;
        for (const auto& variable : stored.variables) {
            if (std::find(variables.begin(), variables.end(), variable) == variables.end()) variables.push_back(variable);
        }
    }
    if (*currentID && **currentID == profile.id) {
        auto change = co_await beginChange();
        choose(std::nullopt);
        saveProfiles();
    }
    // Gone in memory even when the file keeps it.
    auto remove = [&] {
        // Current in another process: the file no longer names it.
        if (fileCurrent_ == profile.id) fileCurrent_.reset();
        auto remaining = *profiles;
        std::erase_if(remaining, [&](const BrowserProfile& p) { return hasID(p, profile.id); });
        profiles.set(std::move(remaining));
        auto unassigned = *credentials;
        for (auto& credential : unassigned) std::erase(credential.profileIDs, profile.id);
        credentials.set(std::move(unassigned));
    };
    SecretWrites writes;
    for (const auto& variable : variables) {
        writes.emplace_back(SecretAccounts::variable(profile.id, variable.site, variable.name), std::nullopt);
    }
    std::optional<std::string> refusal;
    try {
        refusal = co_await stagedSave(std::move(writes), true, [&] {
            remove();
            saveProfiles();
            return true;
        });
    } catch (const ProfileError& error) {
        if (error.kind() != ProfileError::Kind::tooManyClaims) remove();
        throw;
    } catch (const std::system_error&) {
        remove();
        throw;
    }
    // The profile is gone all the same; a keychain that kept its values is
    // reported once its website data is gone too.
    co_await websiteData_.remove(profile.id);
    if (refusal) throw ProfileError::secretsNotErased("profile", *refusal);
}

Task<void> ProfileStore::setVariable(std::string name, std::string value, std::string siteText, ProfileID profileID) {
    if (!isIdentifier(name)) throw ProfileError::invalidVariable(name);
    auto site = siteKeyFromText(siteText);
    if (!site) throw ProfileError::invalidSite(siteText);
    if (!holds(*profiles, profileID)) co_return;

    const std::string account = SecretAccounts::variable(profileID, *site, name);
    const BrowserProfile::Variable variable{name, *site};
    auto list = *profiles;
    const auto& known = withID(list, profileID)->variables;
    if (std::find(known.begin(), known.end(), variable) != known.end()) {
        // Only the value changes, in one write.
        secrets_->write(value, account);
    } else {
        // A new variable's value is staged until the record names it.
        co_await stagedSave(SecretWrites(1, {account, value}), false, [&] {
            auto now = *profiles;
            auto profile = withID(now, profileID);
            // Another process deleted the profile meanwhile: as for a
            // profile never there, nothing is reported, and the value goes.
            if (profile == now.end()) return false;
            auto& variables = profile->variables;
            if (std::find(variables.begin(), variables.end(), variable) == variables.end()) {
                variables.push_back(variable);
                std::sort(variables.begin(), variables.end(), [](const auto& a, const auto& b) {
                    return a.site != b.site ? a.site < b.site : a.name < b.name;
                });
            }
            auto before = *profiles;
            profiles.set(std::move(now));
            try {
                saveProfiles();
            } catch (...) {
                profiles.set(std::move(before));
                throw;
            }
            return true;
        });
    }
    if (*currentID == profileID && holds(*profiles, profileID)) syncSession();
}

Task<void> ProfileStore::removeVariable(std::string name, std::string site, ProfileID profileID) {
    if (!holds(*profiles, profileID)) co_return;
    // Gone in memory even when the file keeps it; the session follows.
    auto remove = [&] {
        auto list = *profiles;
        auto profile = withID(list, profileID);
        if (profile == list.end()) return false;
        std::erase(profile->variables, BrowserProfile::Variable{name, site});
        profiles.set(std::move(list));
        return true;
    };
    try {
        co_await stagedSave(SecretWrites(1, {SecretAccounts::variable(profileID, site, name), std::nullopt}), false, [&] {
            if (!remove()) return false;
            saveProfiles();
            return true;
        });
    } catch (const ProfileError& error) {
        if (error.kind() != ProfileError::Kind::unreadableSecrets && error.kind() != ProfileError::Kind::tooManyClaims) {
            remove();
            if (*currentID == profileID) syncSession();
        }
        throw;
    } catch (const std::system_error&) {
        remove();
        if (*currentID == profileID) syncSession();
        throw;
    }
    if (*currentID == profileID) syncSession();
}

} // namespace vesk
