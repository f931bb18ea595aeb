// Values of credentials that an earlier version kept under tagged accounts
// (SecretAccounts::tagged), named by a tag in the credential's record. They
// are read from there while the record has the tag, and moved back to the
// credential's own accounts at the next start; a file copied elsewhere
// before the move still finds them there.

#include "BrowserCore/Profiles/ProfileStore.h"

#include "BrowserCore/Profiles/ProfileStoreChange.h"
#include "BrowserCore/Profiles/SecretAccounts.h"
#include "Platform/KeychainError.h"

#include <algorithm>
#include <utility>

namespace vesk {

SecretStore::Lookup ProfileStore::lookupField(const Credential& credential, const char* field) {
    if (credential.secretsTag) {
        auto kept = secrets_->lookup(SecretAccounts::tagged(credential.id, *credential.secretsTag, field));
        if (kept.value || kept.failed() || kept.notText) return kept;
    }
    return secrets_->lookup(SecretAccounts::of(credential, field));
}

Task<std::optional<std::string>> ProfileStore::untag(std::vector<ProfileID> ids) {
    std::optional<std::string> problem;
    std::vector<std::pair<ProfileID, std::string>> moved;
    const auto list = *credentials;
    for (const auto& credential : list) {
        if (!credential.secretsTag || std::find(ids.begin(), ids.end(), credential.id) == ids.end()) continue;
        const std::string& tag = *credential.secretsTag;
        std::vector<std::pair<const char*, std::string>> found;
        bool readable = true;
        for (const char* field : SecretAccounts::credentialFields) {
            auto kept = secrets_->lookup(SecretAccounts::tagged(credential.id, tag, field));
            if (kept.failed() && !kept.notText) {
                if (!problem) problem = *kept.failure;
                readable = false;
                break;
            }
            if (auto value = kept.value ? kept.value : kept.notText) found.emplace_back(field, *value);
        }
        if (!readable) continue;
        // Every value is under its own account before any tagged one goes,
        // so that a process stopped on the way finds each in one or the other.
        try {
            for (const auto& [field, value] : found) secrets_->write(value, SecretAccounts::credential(credential.id, field));
            for (const auto& [field, value] : found) {
                secrets_->write(std::nullopt, SecretAccounts::tagged(credential.id, tag, field));
            }
        } catch (const KeychainError& error) {
            if (!problem) problem = error.reason();
            continue;
        }
        moved.emplace_back(credential.id, tag);
    }
    if (moved.empty()) co_return problem;
    try {
        auto change = co_await beginChange();
        auto now = *credentials;
        bool changed = false;
        for (auto& credential : now) {
            if (credential.secretsTag &&
                std::find(moved.begin(), moved.end(), std::pair{credential.id, *credential.secretsTag}) != moved.end()) {
                credential.secretsTag.reset();
                changed = true;
            }
        }
        if (changed) saveCredentials(std::move(now));
        syncSession();
    } catch (const CancellationError&) {
        throw;
    } catch (const std::exception& error) {
        if (!problem) problem = error.what();
    }
    co_return problem;
}

} // namespace vesk
