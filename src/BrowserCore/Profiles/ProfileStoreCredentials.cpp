#include "BrowserCore/Profiles/ProfileStore.h"

#include "BrowserCore/Profiles/ProfileError.h"
#include "BrowserCore/Profiles/ProfileStoreChange.h"
#include "BrowserCore/Profiles/SecretAccounts.h"
#include "BrowserCore/Secrets/SiteKey.h"
#include "Platform/KeychainError.h"
#include "Platform/TextOrder.h"

#include <algorithm>

namespace vesk {

namespace {

bool isOffered(const Credential& credential, const ProfileID& profile) {
    return credential.global ||
           std::find(credential.profileIDs.begin(), credential.profileIDs.end(), profile) != credential.profileIDs.end();
}

} // namespace

Task<Credential> ProfileStore::addCredential(std::string name, std::vector<std::string> sites, std::string user,
                                             std::optional<std::string> password, std::optional<std::string> otpKey) {
    return saveCredential(newProfileID(), std::move(name), std::move(sites), std::move(user), std::move(password),
                          otpKey.value_or(""));
}

Task<Credential> ProfileStore::updateCredential(ProfileID id, std::string name, std::vector<std::string> sites,
                                                std::string user, std::optional<std::string> password,
                                                std::optional<std::string> otpKey) {
    return saveCredential(std::move(id), std::move(name), std::move(sites), std::move(user), std::move(password),
                          std::move(otpKey));
}

std::optional<std::string> ProfileStore::storedUser(const ProfileID& id) {
    for (const auto& credential : *credentials) {
        if (credential.id == id) return lookupField(credential, "user").value;
    }
    return std::nullopt;
}

Task<Credential> ProfileStore::saveCredential(ProfileID id, std::string name, std::vector<std::string> siteTexts,
                                              std::string user, std::optional<std::string> password,
                                              std::optional<std::string> otpKey) {
    std::string trimmed = text::trimmedBlanks(name);
    if (!isIdentifier(trimmed)) throw ProfileError::invalidCredentialName(trimmed);
    auto duplicate = [&] {
        return std::any_of(credentials->begin(), credentials->end(), [&](const Credential& other) {
            return other.id != id && text::equalIgnoringCase(other.name, trimmed);
        });
    };
    if (duplicate()) throw ProfileError::duplicateCredential(trimmed);
    std::vector<std::string> sites;
    for (const auto& siteText : siteTexts) {
        auto site = siteKeyFromText(siteText);
        if (!site) throw ProfileError::invalidSite(siteText);
        if (std::find(sites.begin(), sites.end(), *site) == sites.end()) sites.push_back(*site);
    }
    if (sites.empty()) throw ProfileError::noSite();
    std::optional<std::string> key;
    if (otpKey) {
        key = text::trimmedWhiteSpace(*otpKey);
        if (!key->empty() && !TOTP::parse(*key)) throw ProfileError::invalidOTPKey();
    }

    // Values an earlier version kept apart are moved back first, so that
    // this save changes the credential's own accounts only.
    auto existing = [&]() -> std::optional<Credential> {
        for (const auto& credential : *credentials) {
            if (credential.id == id) return credential;
        }
        return std::nullopt;
    };
    if (auto before = existing(); before && before->secretsTag) {
        auto problem = co_await untag(std::vector<ProfileID>(1, id));
        if (auto after = existing(); after && after->secretsTag) {
            throw ProfileError::unreadableSecrets(problem.value_or("the values are kept under other accounts"));
        }
    }
    SecretWrites writes{{SecretAccounts::credential(id, "user"), user}};
    if (password) writes.emplace_back(SecretAccounts::credential(id, "password"), *password);
    if (key) writes.emplace_back(SecretAccounts::credential(id, "otp"), key->empty() ? std::nullopt : key);

    Credential saved{id, trimmed, sites, false, false, {}};
    co_await stagedSave(std::move(writes), false, [&] {
        // Another process may have taken the name meanwhile.
        if (duplicate()) throw ProfileError::duplicateCredential(trimmed);
        auto list = *credentials;
        auto now = std::find_if(list.begin(), list.end(), [&](const Credential& credential) { return credential.id == id; });
        saved.hasOTP = key ? !key->empty() : now != list.end() && now->hasOTP;
        if (now != list.end()) {
            saved.global = now->global;
            saved.profileIDs = now->profileIDs;
            list.erase(now);
        }
        list.push_back(saved);
        std::stable_sort(list.begin(), list.end(), [](const Credential& a, const Credential& b) {
            return text::standardCompare(a.name, b.name) < 0;
        });
        saveCredentials(std::move(list));
        return true;
    });
    syncSession();
    co_return saved;
}

Task<void> ProfileStore::deleteCredential(ProfileID id) {
    auto found = [&]() -> std::optional<Credential> {
        for (const auto& credential : *credentials) {
            if (credential.id == id) return credential;
        }
        return std::nullopt;
    };
    auto credential = found();
    if (!credential) co_return;
    if (credential->secretsTag) {
        auto problem = co_await untag(std::vector<ProfileID>(1, id));
        credential = found();
        if (!credential) co_return;
        if (credential->secretsTag) {
            throw ProfileError::unreadableSecrets(problem.value_or("the values are kept under other accounts"));
        }
    }
    SecretWrites writes;
    for (const char* field : SecretAccounts::credentialFields) {
        writes.emplace_back(SecretAccounts::credential(id, field), std::nullopt);
    }
    auto refusal = co_await stagedSave(std::move(writes), true, [&] {
        auto list = *credentials;
        std::erase_if(list, [&](const Credential& credential) { return credential.id == id; });
        saveCredentials(std::move(list));
        return true;
    });
    syncSession();
    if (refusal) throw ProfileError::secretsNotErased("credential", *refusal);
}

Task<void> ProfileStore::changeCredential(ProfileID id, std::function<void(Credential&)> change) {
    auto has = std::any_of(credentials->begin(), credentials->end(),
                           [&](const Credential& credential) { return credential.id == id; });
    if (!has) co_return;
    auto under = co_await beginChange();
    auto list = *credentials;
    auto found = std::find_if(list.begin(), list.end(), [&](const Credential& credential) { return credential.id == id; });
    if (found == list.end()) co_return;
    change(*found);
    saveCredentials(std::move(list));
    syncSession();
}

void ProfileStore::saveCredentials(std::vector<Credential> list) {
    // A failed save puts every credential back in its place.
    auto remembered = *credentials;
    credentials.set(std::move(list));
    try {
        saveProfiles();
    } catch (...) {
        credentials.set(std::move(remembered));
        throw;
    }
}

Task<void> ProfileStore::assignCredential(ProfileID credentialID, bool assigned, ProfileID profileID) {
    return changeCredential(std::move(credentialID), [assigned, profileID](Credential& credential) {
        std::erase(credential.profileIDs, profileID);
        if (assigned) credential.profileIDs.push_back(profileID);
    });
}

Task<void> ProfileStore::setCredentialGlobal(ProfileID id, bool global) {
    return changeCredential(std::move(id), [global](Credential& credential) { credential.global = global; });
}

void ProfileStore::syncSession() {
    if (openChange_) {
        if (pending_ == Push::nothing) pending_ = Push::values;
        return;
    }
    if (!session_ || !session_->isAlive()) return;
    ProfileSession::Variables variables;
    ProfileSession::OTPKeys otpKeys;
    // What the keychain holds but could not give, so that a fill says so.
    ProfileSession::Variables unreadable;
    auto put = [&](const std::string& site, const std::string& name, const SecretStore::Lookup& found) {
        auto& table = variables[site];
        if (found.value) table[name] = *found.value;
        else table.erase(name);
        if (found.failure) unreadable[site][name] = *found.failure;
    };
    if (auto current = currentProfile()) {
        for (const auto& variable : current->variables) {
            put(variable.site, variable.name,
                secrets_->lookup(SecretAccounts::variable(current->id, variable.site, variable.name)));
        }
        for (const auto& credential : *credentials) {
            if (!isOffered(credential, current->id)) continue;
            auto user = lookupField(credential, "user");
            auto password = lookupField(credential, "password");
            std::optional<TOTP> key;
            std::optional<std::string> keyFailure;
            if (credential.hasOTP) {
                auto text = lookupField(credential, "otp");
                if (text.value) key = TOTP::parse(*text.value);
                keyFailure = text.failure;
            }
            for (const auto& site : credential.sites) {
                put(site, credential.name + ".user", user);
                put(site, credential.name + ".password", password);
                if (key) otpKeys[site].insert_or_assign(credential.name, *key);
                if (keyFailure) unreadable[site][credential.name + ".otp"] = *keyFailure;
            }
        }
    }
    session_->setVariables(std::move(variables));
    session_->setOTPKeys(std::move(otpKeys));
    session_->setUnreadableValues(std::move(unreadable));
}

} // namespace vesk
