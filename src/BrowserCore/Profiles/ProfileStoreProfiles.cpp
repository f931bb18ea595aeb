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
    std::vector<std::string> accounts;
    {
        auto change = co_await beginChange();
        if (*currentID && **currentID == profile.id) {
            choose(std::nullopt);
            saveProfiles();
        }
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
        for (const auto& variable : variables) {
            accounts.push_back(SecretAccounts::variable(profile.id, variable.site, variable.name));
        }
        claim(accounts, true);
        saveProfiles();
    }
    // The profile is gone all the same; a keychain that kept its values is
    // reported once its website data is gone too.
    auto refusal = co_await erase(std::move(accounts));
    co_await websiteData_.remove(profile.id);
    if (refusal) throw ProfileError::secretsNotErased("profile", *refusal);
}

Task<void> ProfileStore::setVariable(std::string name, std::string value, std::string siteText, ProfileID profileID) {
    if (!isIdentifier(name)) throw ProfileError::invalidVariable(name);
    auto site = siteKeyFromText(siteText);
    if (!site) throw ProfileError::invalidSite(siteText);
    if (!holds(*profiles, profileID)) co_return;

    // The keychain is written before the lock is taken: it may wait for the
    // person to unlock it. A value no record names yet is claimed first, so
    // that a process stopped before its record is saved leaves none behind.
    const std::string account = SecretAccounts::variable(profileID, *site, name);
    const std::vector<std::string> claimed = {account};
    const BrowserProfile::Variable variable{name, *site};
    auto list = *profiles;
    const auto& known = withID(list, profileID)->variables;
    const bool claiming = std::find(known.begin(), known.end(), variable) == known.end();
    if (claiming) co_await claimForWriting(claimed);
    std::weak_ptr<int> alive = alive_;
    std::exception_ptr failure;
    try {
        secrets_->write(value, account);
    } catch (...) {
        failure = std::current_exception();
    }
    // Refused by the keychain: nothing else has changed.
    if (failure) {
        if (claiming && !alive.expired()) co_await release(claimed, false);
        std::rethrow_exception(failure);
    }
    bool gone = false;
    try {
        auto change = co_await beginChange();
        list = *profiles;
        auto profile = withID(list, profileID);
        // Another process deleted the profile meanwhile: as for a profile
        // never there, nothing is reported, and the value goes.
        gone = profile == list.end();
        auto* variables = gone ? nullptr : &profile->variables;
        bool added = variables && std::find(variables->begin(), variables->end(), variable) == variables->end();
        if (added) {
            variables->push_back(variable);
            std::sort(variables->begin(), variables->end(), [](const auto& a, const auto& b) {
                return a.site != b.site ? a.site < b.site : a.name < b.name;
            });
        }
        if (claiming && !gone) unclaim(claimed, false);
        if (added || (claiming && !gone)) {
            auto before = *profiles;
            profiles.set(std::move(list));
            try {
                saveProfiles();
            } catch (...) {
                profiles.set(std::move(before));
                throw;
            }
        }
        if (!gone && *currentID == profileID) syncSession();
    } catch (...) {
        failure = std::current_exception();
    }
    if (!failure && !gone) co_return;
    // Undone once the lock is released; a store that is gone undoes nothing.
    if (!alive.expired()) {
        try {
            secrets_->write(std::nullopt, account);
        } catch (const std::exception&) {
        }
        if (claiming) co_await release(claimed, false);
    }
    if (failure) std::rethrow_exception(failure);
}

Task<void> ProfileStore::removeVariable(std::string name, std::string site, ProfileID profileID) {
    if (!holds(*profiles, profileID)) co_return;
    secrets_->write(std::nullopt, SecretAccounts::variable(profileID, site, name));
    auto change = co_await beginChange();
    auto list = *profiles;
    auto profile = withID(list, profileID);
    if (profile == list.end()) co_return;
    std::erase(profile->variables, BrowserProfile::Variable{name, site});
    profiles.set(std::move(list));
    if (*currentID == profileID) syncSession();
    saveProfiles();
}

} // namespace vesk
