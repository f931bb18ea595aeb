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

Credential ProfileStore::addCredential(const std::string& name, const std::vector<std::string>& sites,
                                       const std::string& user, const std::optional<std::string>& password,
                                       const std::optional<std::string>& otpKey) {
    return saveCredential(newProfileID(), name, sites, user, password, otpKey.value_or(""));
}

Credential ProfileStore::updateCredential(const ProfileID& id, const std::string& name,
                                          const std::vector<std::string>& sites, const std::string& user,
                                          const std::optional<std::string>& password,
                                          const std::optional<std::string>& otpKey) {
    return saveCredential(id, name, sites, user, password, otpKey);
}

std::optional<std::string> ProfileStore::storedUser(const ProfileID& id) {
    return secrets_->read(SecretAccounts::credential(id, "user"));
}

Credential ProfileStore::saveCredential(const ProfileID& id, const std::string& name,
                                        const std::vector<std::string>& siteTexts, const std::string& user,
                                        const std::optional<std::string>& password,
                                        const std::optional<std::string>& otpKey) {
    std::string trimmed = text::trimmedBlanks(name);
    if (!isIdentifier(trimmed)) throw ProfileError::invalidCredentialName(trimmed);
    Change change(*this);
    for (const auto& other : *credentials) {
        if (other.id != id && text::equalIgnoringCase(other.name, trimmed)) {
            throw ProfileError::duplicateCredential(trimmed);
        }
    }
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

    auto existing = std::find_if(credentials->begin(), credentials->end(),
                                 [&](const Credential& credential) { return credential.id == id; });
    bool hasOTP = key ? !key->empty() : (existing != credentials->end() && existing->hasOTP);

    std::vector<SecretWrite> writes{{SecretAccounts::credential(id, "user"), user, {}}};
    if (password) writes.push_back({SecretAccounts::credential(id, "password"), *password, {}});
    if (key) {
        writes.push_back({SecretAccounts::credential(id, "otp"),
                          key->empty() ? std::nullopt : std::optional<std::string>(*key), {}});
    }
    // Undoing means writing back what was there; a value that cannot be read
    // now could not be put back, so nothing is written at all. An item that
    // holds no text is replaced: its bytes are what goes back.
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

    Credential saved = existing != credentials->end() ? *existing : Credential{id, {}, {}, false, false, {}};
    saved.name = trimmed;
    saved.sites = sites;
    saved.hasOTP = hasOTP;
    auto list = *credentials;
    std::erase_if(list, [&](const Credential& credential) { return credential.id == id; });
    list.push_back(saved);
    std::stable_sort(list.begin(), list.end(), [](const Credential& a, const Credential& b) {
        return text::standardCompare(a.name, b.name) < 0;
    });
    try {
        saveCredentials(std::move(list));
    } catch (...) {
        restore(*secrets_, writes, writes.size());
        throw;
    }
    syncSession();
    return saved;
}

void ProfileStore::deleteCredential(const ProfileID& id) {
    Change change(*this);
    auto list = *credentials;
    auto found = std::find_if(list.begin(), list.end(), [&](const Credential& credential) { return credential.id == id; });
    if (found == list.end()) return;
    list.erase(found);
    saveCredentials(std::move(list));
    std::optional<std::string> refusal;
    for (const char* field : {"user", "password", "otp"}) eraseSecret(SecretAccounts::credential(id, field), refusal);
    syncSession();
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

void ProfileStore::changeCredential(const ProfileID& id, const std::function<void(Credential&)>& change) {
    Change under(*this);
    auto list = *credentials;
    auto found = std::find_if(list.begin(), list.end(), [&](const Credential& credential) { return credential.id == id; });
    if (found == list.end()) return;
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

void ProfileStore::assignCredential(const ProfileID& credentialID, bool assigned, const ProfileID& profileID) {
    changeCredential(credentialID, [&](Credential& credential) {
        std::erase(credential.profileIDs, profileID);
        if (assigned) credential.profileIDs.push_back(profileID);
    });
}

void ProfileStore::setCredentialGlobal(const ProfileID& id, bool global) {
    changeCredential(id, [&](Credential& credential) { credential.global = global; });
}

void ProfileStore::syncSession() {
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
