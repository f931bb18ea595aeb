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
        if (credential.id == id) return secrets_->read(SecretAccounts::of(credential, "user"));
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

    // A credential the store has gets accounts of its own for the values:
    // the record that names them is saved once they hold every value, and
    // the old ones go after it, so that a change stopped at any point leaves
    // the credential as it was or as it is now. A new credential takes the
    // accounts of its id, which nothing names yet.
    std::optional<Credential> existing;
    for (const auto& credential : *credentials) {
        if (credential.id == id) existing = credential;
    }
    const std::optional<std::string> tag = existing ? std::optional<std::string>(newSecretsTag()) : std::nullopt;
    // The value the credential holds now, which the new accounts keep. The
    // keychain is asked before any lock is taken: it may wait for the
    // person to unlock it. An item that holds no text keeps its bytes.
    auto kept = [&](const char* field) -> std::optional<std::string> {
        auto found = secrets_->lookup(SecretAccounts::of(*existing, field));
        if (found.failed() && !found.notText) throw ProfileError::unreadableSecrets(*found.failure);
        return found.value ? found.value : found.notText;
    };
    std::vector<std::pair<std::string, std::string>> values{{SecretAccounts::credential(id, "user", tag), user}};
    auto keep = [&](const char* field, const std::optional<std::string>& value) {
        if (value) values.emplace_back(SecretAccounts::credential(id, field, tag), *value);
    };
    keep("password", password ? password : existing ? kept("password") : std::nullopt);
    keep("otp", key ? (key->empty() ? std::nullopt : key) : existing && existing->hasOTP ? kept("otp") : std::nullopt);
    std::vector<std::string> accounts;
    for (const auto& value : values) accounts.push_back(value.first);

    std::weak_ptr<int> alive = alive_;
    co_await claimForWriting(accounts);
    std::size_t written = 0;
    std::exception_ptr failure;
    try {
        for (; written < values.size(); ++written) secrets_->write(values[written].second, values[written].first);
    } catch (...) {
        failure = std::current_exception();
    }
    Credential saved{id, trimmed, sites, false, false, {}, tag};
    saved.hasOTP = key ? !key->empty() : existing && existing->hasOTP;
    std::vector<std::string> replaced;  // the accounts of the record this one replaces
    if (!failure) {
        try {
            auto change = co_await beginChange();
            // Another process may have taken the name meanwhile.
            if (duplicate()) throw ProfileError::duplicateCredential(trimmed);
            auto list = *credentials;
            auto now = std::find_if(list.begin(), list.end(), [&](const Credential& credential) { return credential.id == id; });
            if (now != list.end()) {
                saved.global = now->global;
                saved.profileIDs = now->profileIDs;
                for (const char* field : SecretAccounts::credentialFields) {
                    auto old = SecretAccounts::of(*now, field);
                    if (old != SecretAccounts::of(saved, field)) replaced.push_back(old);
                }
                list.erase(now);
            }
            list.push_back(saved);
            std::stable_sort(list.begin(), list.end(), [](const Credential& a, const Credential& b) {
                return text::standardCompare(a.name, b.name) < 0;
            });
            unclaim(accounts, false);
            claim(replaced, true);
            saveCredentials(std::move(list));
            syncSession();
        } catch (...) {
            failure = std::current_exception();
            replaced.clear();
        }
    }
    if (failure) {
        // Undone once the lock is released; a store that is gone undoes nothing.
        if (!alive.expired()) {
            for (std::size_t i = 0; i < written; ++i) {
                try {
                    secrets_->write(std::nullopt, values[i].first);
                } catch (const std::exception&) {
                }
            }
            co_await release(accounts, false);
        }
        std::rethrow_exception(failure);
    }
    // Values that stay are erased at a later start.
    co_await erase(std::move(replaced));
    co_return saved;
}

Task<void> ProfileStore::deleteCredential(ProfileID id) {
    auto has = [&] {
        return std::any_of(credentials->begin(), credentials->end(),
                           [&](const Credential& credential) { return credential.id == id; });
    };
    if (!has()) co_return;
    std::vector<std::string> accounts;
    {
        auto change = co_await beginChange();
        auto list = *credentials;
        auto found =
            std::find_if(list.begin(), list.end(), [&](const Credential& credential) { return credential.id == id; });
        if (found == list.end()) co_return;
        for (const char* field : SecretAccounts::credentialFields) accounts.push_back(SecretAccounts::of(*found, field));
        list.erase(found);
        claim(accounts, true);
        saveCredentials(std::move(list));
        syncSession();
    }
    // Erased once the record is gone and the lock released.
    if (auto refusal = co_await erase(std::move(accounts))) throw ProfileError::secretsNotErased("credential", *refusal);
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
            auto user = secrets_->lookup(SecretAccounts::of(credential, "user"));
            auto password = secrets_->lookup(SecretAccounts::of(credential, "password"));
            std::optional<TOTP> key;
            std::optional<std::string> keyFailure;
            if (credential.hasOTP) {
                auto text = secrets_->lookup(SecretAccounts::of(credential, "otp"));
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
