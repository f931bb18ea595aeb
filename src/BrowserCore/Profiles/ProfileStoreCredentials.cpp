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

struct SecretWrite {
    std::string account;
    std::optional<std::string> value;
    std::optional<std::string> before;  // what the account held
};

// Puts back what the accounts held; a failure here cannot be helped and must
// not hide the one being reported.
void restore(SecretStore& secrets, const std::vector<SecretWrite>& writes, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        try {
            secrets.write(writes[i].before, writes[i].account);
        } catch (const std::exception&) {
        }
    }
}

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
    return secrets_->read(SecretAccounts::credential(id, "user"));
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

    std::vector<SecretWrite> writes{{SecretAccounts::credential(id, "user"), user, {}}};
    if (password) writes.push_back({SecretAccounts::credential(id, "password"), *password, {}});
    if (key) {
        writes.push_back({SecretAccounts::credential(id, "otp"),
                          key->empty() ? std::nullopt : std::optional<std::string>(*key), {}});
    }
    // The keychain is asked before the lock is taken: it may wait for the
    // person to unlock it. Undoing means writing back what was there; a
    // value that cannot be read now could not be put back, so nothing is
    // written at all. An item that holds no text is replaced: its bytes are
    // what goes back.
    for (auto& write : writes) {
        auto found = secrets_->lookup(write.account);
        if (found.failed() && !found.notText) throw ProfileError::unreadableSecrets(*found.failure);
        write.before = found.value ? found.value : found.notText;
    }
    for (std::size_t i = 0; i < writes.size(); ++i) {
        try {
            secrets_->write(writes[i].value, writes[i].account);
        } catch (...) {
            restore(*secrets_, writes, i);
            throw;
        }
    }

    std::weak_ptr<int> alive = alive_;
    std::exception_ptr failure;
    Credential saved{id, trimmed, sites, false, false, {}};
    try {
        auto change = co_await beginChange();
        // Another process may have taken the name meanwhile.
        if (duplicate()) throw ProfileError::duplicateCredential(trimmed);
        auto existing = std::find_if(credentials->begin(), credentials->end(),
                                     [&](const Credential& credential) { return credential.id == id; });
        if (existing != credentials->end()) {
            saved.global = existing->global;
            saved.profileIDs = existing->profileIDs;
        }
        saved.hasOTP = key ? !key->empty() : (existing != credentials->end() && existing->hasOTP);
        auto list = *credentials;
        std::erase_if(list, [&](const Credential& credential) { return credential.id == id; });
        list.push_back(saved);
        std::stable_sort(list.begin(), list.end(), [](const Credential& a, const Credential& b) {
            return text::standardCompare(a.name, b.name) < 0;
        });
        saveCredentials(std::move(list));
        syncSession();
    } catch (...) {
        failure = std::current_exception();
    }
    if (failure) {
        // Undone once the lock is released; a store that is gone undoes nothing.
        if (!alive.expired()) restore(*secrets_, writes, writes.size());
        std::rethrow_exception(failure);
    }
    co_return saved;
}

Task<void> ProfileStore::deleteCredential(ProfileID id) {
    auto has = [&] {
        return std::any_of(credentials->begin(), credentials->end(),
                           [&](const Credential& credential) { return credential.id == id; });
    };
    if (!has()) co_return;
    {
        auto change = co_await beginChange();
        auto list = *credentials;
        auto found =
            std::find_if(list.begin(), list.end(), [&](const Credential& credential) { return credential.id == id; });
        if (found == list.end()) co_return;
        list.erase(found);
        saveCredentials(std::move(list));
        syncSession();
    }
    // Erased once the record is gone and the lock released.
    std::optional<std::string> refusal;
    for (const char* field : {"user", "password", "otp"}) eraseSecret(SecretAccounts::credential(id, field), refusal);
    if (refusal) throw ProfileError::secretsNotErased("credential", *refusal);
}

void ProfileStore::eraseSecret(const std::string& account, std::optional<std::string>& refusal) {
    try {
        secrets_->write(std::nullopt, account);
    } catch (const KeychainError& error) {
        if (!refusal) refusal = error.detail().empty() ? "error " + std::to_string(error.status()) : error.detail();
    } catch (const std::exception& error) {
        if (!refusal) refusal = error.what();
    }
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
            auto user = secrets_->lookup(SecretAccounts::credential(credential.id, "user"));
            auto password = secrets_->lookup(SecretAccounts::credential(credential.id, "password"));
            std::optional<TOTP> key;
            std::optional<std::string> keyFailure;
            if (credential.hasOTP) {
                auto text = secrets_->lookup(SecretAccounts::credential(credential.id, "otp"));
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
