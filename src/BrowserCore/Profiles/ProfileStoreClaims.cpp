// The keychain accounts a change writes or erases, claimed in the profiles
// file before the keychain is touched, so that a process that ends in the
// middle of a change never leaves a value that nothing names: the next start
// erases what a process that ended claimed and no record names. A claim of a
// process that still runs is left alone, so that no start takes the values
// of a save that another Vesk is making.

#include "BrowserCore/Profiles/ProfileStore.h"

#include "BrowserCore/Profiles/ProfileError.h"
#include "BrowserCore/Profiles/ProfileStoreChange.h"
#include "BrowserCore/Profiles/SecretAccounts.h"
#include "Platform/KeychainError.h"
#include "Platform/ProcessIdentity.h"

#include <glib.h>

#include <algorithm>
#include <set>

namespace vesk {

namespace {

using Claim = ProfilesFile::Claim;

bool holdsAny(const Claim& claim, const std::vector<std::string>& accounts) {
    return std::any_of(accounts.begin(), accounts.end(), [&](const std::string& account) {
        return std::find(claim.accounts.begin(), claim.accounts.end(), account) != claim.accounts.end();
    });
}

} // namespace

std::string ProfileStore::newSecretsTag() {
    gchar* tag = g_strdup_printf("%08X", g_random_int());
    std::string text(tag);
    g_free(tag);
    return text;
}

std::set<std::string> ProfileStore::namedAccounts() const {
    std::set<std::string> named;
    for (const auto& profile : *profiles) {
        for (const auto& variable : profile.variables) {
            named.insert(SecretAccounts::variable(profile.id, variable.site, variable.name));
        }
    }
    for (const auto& credential : *credentials) {
        for (const char* field : SecretAccounts::credentialFields) named.insert(SecretAccounts::of(credential, field));
    }
    return named;
}

void ProfileStore::claim(const std::vector<std::string>& accounts, bool erasing) {
    if (!accounts.empty()) claims_.push_back({process_, accounts, erasing});
}

bool ProfileStore::unclaim(const std::vector<std::string>& accounts, bool erasing) {
    bool changed = false;
    for (auto& claim : claims_) {
        if (claim.process != process_ || claim.erasing != erasing) continue;
        changed = std::erase_if(claim.accounts, [&](const std::string& account) {
                      return std::find(accounts.begin(), accounts.end(), account) != accounts.end();
                  }) > 0 || changed;
    }
    std::erase_if(claims_, [](const Claim& claim) { return claim.accounts.empty(); });
    return changed;
}

Task<void> ProfileStore::claimForWriting(std::vector<std::string> accounts) {
    auto change = co_await beginChange();
    // Another Vesk is erasing one of them now: written meanwhile, the value
    // would go.
    for (const auto& other : claims_) {
        if (other.erasing && other.process != process_ && holdsAny(other, accounts) && processRuns(other.process)) {
            throw ProfileError::busyFile(file_.string());
        }
    }
    claim(accounts, false);
    saveProfiles();
}

Task<void> ProfileStore::release(std::vector<std::string> accounts, bool erasing) {
    if (accounts.empty()) co_return;
    std::weak_ptr<int> alive = alive_;
    try {
        auto change = co_await beginChange();
        if (unclaim(accounts, erasing)) saveProfiles();
    } catch (const std::exception& error) {
        // Left in the file, the claim is settled at a start after this
        // process has ended.
        if (!alive.expired()) g_warning("The profiles file kept a claim of keychain accounts: %s", error.what());
    }
}

Task<std::optional<std::string>> ProfileStore::erase(std::vector<std::string> accounts) {
    std::optional<std::string> refusal;
    std::vector<std::string> erased;
    for (const auto& account : accounts) {
        try {
            secrets_->write(std::nullopt, account);
            erased.push_back(account);
        } catch (const KeychainError& error) {
            if (!refusal) refusal = error.detail().empty() ? "error " + std::to_string(error.status()) : error.detail();
        } catch (const std::exception& error) {
            if (!refusal) refusal = error.what();
        }
    }
    co_await release(std::move(erased), true);
    co_return refusal;
}

// Within the change of the start's sweep: the claims of processes that
// ended give way to a claim of this process on every account of theirs that
// no record names and no running process claims.
std::vector<std::string> ProfileStore::takeOverEndedClaims() {
    const std::set<std::string> named = namedAccounts();
    std::set<std::string> running;
    std::vector<bool> ended;
    for (const auto& claim : claims_) {
        ended.push_back(!processRuns(claim.process));
        if (!ended.back()) running.insert(claim.accounts.begin(), claim.accounts.end());
    }
    std::set<std::string> orphans;
    std::vector<Claim> kept;
    for (std::size_t i = 0; i < claims_.size(); ++i) {
        if (!ended[i]) {
            kept.push_back(claims_[i]);
            continue;
        }
        for (const auto& account : claims_[i].accounts) {
            if (!named.contains(account) && !running.contains(account)) orphans.insert(account);
        }
    }
    if (kept.size() == claims_.size()) return {};
    claims_ = std::move(kept);
    std::vector<std::string> erasing(orphans.begin(), orphans.end());
    claim(erasing, true);
    saveProfiles();
    return erasing;
}

} // namespace vesk
