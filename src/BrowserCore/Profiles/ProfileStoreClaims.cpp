// Saves that change keychain values as well as records. The records and the
// values cannot change in one step, so such a save keeps what it writes or
// takes away under staging accounts of its own (SecretAccounts::Staged),
// claimed in the profiles file before any is written; the values' own
// accounts change only around the write of the record that claims the save
// done. A process that ends in the middle leaves the claim, and the next
// start finishes the save from it when the record was written, and undoes
// it when not. A start erases nothing but staging accounts, and writes a
// value's own account only from a staging account: whatever a file claims,
// no other account is touched. The claim of a process that still runs the
// program is left alone, so that no start settles a save another Vesk is
// making.

#include "BrowserCore/Profiles/ProfileStore.h"

#include "BrowserCore/Profiles/ProfileError.h"
#include "BrowserCore/Profiles/ProfileStoreChange.h"
#include "BrowserCore/Profiles/SecretAccounts.h"
#include "Platform/KeychainError.h"
#include "Platform/ProcessIdentity.h"

#include <glib.h>

#include <algorithm>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace vesk {

namespace {

using Claim = ProfilesFile::Claim;

std::string reason(const std::exception& error) {
    if (auto* keychain = dynamic_cast<const KeychainError*>(&error)) return keychain->reason();
    return error.what();
}

} // namespace

Task<std::optional<std::string>> ProfileStore::stagedSave(SecretWrites writes, bool erasesMayFail,
                                                         std::function<bool()> record) {
    struct Step {
        std::string account;
        std::optional<std::string> value;   // put under the account; none: taken away
        std::optional<std::string> before;  // what a value taken away was
        std::string staging;                // where the value, or what was taken, is kept meanwhile
        bool staged = false;                // written there
        bool kept = false;                  // the keychain would not let go of it: left alone
        bool taken = false;                 // the account is erased
        bool put = false;                   // the value is under the account
    };
    std::optional<std::string> refusal;
    auto refuse = [&](const std::string& why) {
        if (!refusal) refusal = why;
    };
    const std::string save = newProfileID();
    std::vector<Step> steps;
    // The keychain is asked before any lock is taken: it may wait for the
    // person to unlock it. An item that holds no text keeps its bytes.
    for (auto& [account, value] : writes) {
        Step step{account, std::move(value)};
        if (!step.value) {
            auto found = secrets_->lookup(account);
            if (found.failed() && !found.notText) {
                if (!erasesMayFail) throw ProfileError::unreadableSecrets(*found.failure);
                refuse(*found.failure);
                continue;
            }
            step.before = found.value ? found.value : found.notText;
        }
        if (step.value || step.before) step.staging = SecretAccounts::staging({save, step.value.has_value(), account});
        steps.push_back(std::move(step));
    }
    std::vector<std::string> claimed;
    for (const auto& step : steps) {
        if (!step.staging.empty()) claimed.push_back(step.staging);
    }
    std::weak_ptr<int> alive = alive_;
    if (!claimed.empty()) {
        auto change = co_await beginChange();
        std::size_t listed = claimed.size() + otherClaims_.accounts;
        for (const auto& claim : claims_) listed += claim.accounts.size();
        if (listed > ProfilesFile::mostClaimedAccounts) {
            throw ProfileError::tooManyClaims(file_.string(), ProfilesFile::mostClaimedAccounts);
        }
        claims_.push_back({process_, save, claimed, false});
        try {
            saveProfiles();
        } catch (...) {
            claims_.pop_back();
            throw;
        }
    }

    // Every value is staged before any account of a value changes.
    std::exception_ptr failure;
    try {
        for (auto& step : steps) {
            if (step.staging.empty()) continue;
            try {
                secrets_->write(step.value ? step.value : step.before, step.staging);
                step.staged = true;
            } catch (const std::exception& error) {
                if (step.value || !erasesMayFail) throw;
                step.kept = true;
                refuse(reason(error));
            }
        }
        for (auto& step : steps) {
            if (step.value || step.kept) continue;
            try {
                secrets_->write(std::nullopt, step.account);
                step.taken = true;
            } catch (const std::exception& error) {
                if (!erasesMayFail) throw;
                refuse(reason(error));
            }
        }
    } catch (...) {
        failure = std::current_exception();
    }
    // The record and the claim that it is written go in one write of the file.
    auto markSaved = [&](bool saved) {
        auto ours = std::find_if(claims_.begin(), claims_.end(), [&](const Claim& claim) { return claim.save == save; });
        if (ours != claims_.end()) ours->saved = saved;
        else if (!claimed.empty()) claims_.push_back({process_, save, claimed, saved});
    };
    bool recorded = false;
    if (!failure) {
        try {
            auto change = co_await beginChange();
            markSaved(true);
            try {
                recorded = record();
            } catch (...) {
                markSaved(false);
                throw;
            }
            if (!recorded) markSaved(false);
        } catch (...) {
            failure = std::current_exception();
        }
    }

    // Undone: what was taken goes back, and what was staged goes; a value
    // that could not be put back stays staged and claimed for a later start.
    // A store that is gone undoes nothing, and a later start does it.
    if (!recorded) {
        if (alive.expired()) {
            if (failure) std::rethrow_exception(failure);
            co_return std::nullopt;
        }
        std::vector<std::string> settled;
        for (auto& step : steps) {
            bool keep = false;
            if (step.taken && step.before) {
                try {
                    secrets_->write(step.before, step.account);
                } catch (const std::exception&) {
                    keep = true;
                }
            }
            if (step.staged && !keep) {
                try {
                    secrets_->write(std::nullopt, step.staging);
                } catch (const std::exception&) {
                    keep = true;
                }
            }
            if (!step.staging.empty() && !keep) settled.push_back(step.staging);
        }
        co_await release(Settled(1, {save, std::move(settled)}));
        if (failure) std::rethrow_exception(failure);
        co_return std::nullopt;
    }

    // Finished: the values go under their own accounts. One the keychain
    // refuses now stays staged, with the claim that the record is written,
    // for the next start to put in place.
    std::exception_ptr unfinished;
    for (auto& step : steps) {
        if (!step.value) continue;
        try {
            secrets_->write(step.value, step.account);
            step.put = true;
        } catch (const std::exception&) {
            unfinished = std::current_exception();
            break;
        }
    }
    std::vector<std::string> settled;
    for (auto& step : steps) {
        if (step.staging.empty() || (step.value && !step.put)) continue;
        if (step.staged) {
            try {
                secrets_->write(std::nullopt, step.staging);
            } catch (const std::exception&) {
                continue;
            }
        }
        settled.push_back(step.staging);
    }
    co_await release(Settled(1, {save, std::move(settled)}));
    if (unfinished) std::rethrow_exception(unfinished);
    co_return refusal;
}

Task<void> ProfileStore::release(Settled settled) {
    std::unordered_map<std::string_view, std::unordered_set<std::string_view>> done;
    for (const auto& [save, accounts] : settled) {
        if (!accounts.empty()) done[save].insert(accounts.begin(), accounts.end());
    }
    if (done.empty()) co_return;
    std::weak_ptr<int> alive = alive_;
    try {
        auto change = co_await beginChange();
        bool changed = false;
        for (auto& claim : claims_) {
            auto found = done.find(claim.save);
            if (claim.process != process_ || found == done.end()) continue;
            changed = std::erase_if(claim.accounts, [&](const std::string& account) {
                          return found->second.contains(account);
                      }) > 0 || changed;
        }
        std::erase_if(claims_, [](const Claim& claim) { return claim.accounts.empty(); });
        if (changed) saveProfiles();
    } catch (const CancellationError&) {
    } catch (const std::exception& error) {
        // Left in the file, the claim is settled at a start after this
        // process has ended.
        if (!alive.expired()) g_warning("The profiles file kept the claim of a save: %s", error.what());
    }
}

std::vector<Claim> ProfileStore::takeOverEndedClaims() {
    std::unordered_map<std::string_view, bool> runs;
    std::vector<bool> ended;
    std::unordered_set<std::string_view> running;
    for (const auto& claim : claims_) {
        auto [known, fresh] = runs.try_emplace(claim.process);
        if (fresh) known->second = claim.process == process_ || sameProgramRuns(claim.process);
        ended.push_back(!known->second);
        if (known->second) running.insert(claim.accounts.begin(), claim.accounts.end());
    }
    std::vector<Claim> taken;
    for (std::size_t i = 0; i < claims_.size(); ++i) {
        if (!ended[i]) continue;
        Claim& claim = claims_[i];
        // An account that a running save claims too is its, whatever
        // another claim says.
        std::erase_if(claim.accounts, [&](const std::string& account) { return running.contains(account); });
        claim.process = process_;
        taken.push_back(claim);
    }
    std::erase_if(claims_, [](const Claim& claim) { return claim.accounts.empty(); });
    if (!taken.empty()) saveProfiles();
    return taken;
}

Task<void> ProfileStore::settle(std::vector<Claim> claims) {
    if (claims.empty()) co_return;
    // One listing tells which staging accounts hold anything, so that the
    // keychain is asked only about those, however many a file claims.
    auto held = secrets_->accounts();
    if (!held) {
        g_warning("The keychain could not be listed: the saves an ended Vesk left under way stay so until the next start");
        co_return;
    }
    std::unordered_set<std::string> present(held->begin(), held->end());
    Settled settled;
    for (const auto& claim : claims) {
        auto& done = settled.emplace_back(claim.save, std::vector<std::string>{}).second;
        for (const auto& account : claim.accounts) {
            if (!present.contains(account) || settleStaged(account, claim.saved)) done.push_back(account);
        }
    }
    co_await release(std::move(settled));
}

// A save whose record was written is finished: its new values go under
// their accounts. One whose record was not is undone: what it took away
// goes back, unless something has been put there since. Either way the
// staging account goes; nothing is done while the keychain cannot read it.
bool ProfileStore::settleStaged(const std::string& account, bool forward) {
    auto staged = SecretAccounts::parseStaging(account);
    if (!staged) return true;
    auto kept = secrets_->lookup(account);
    if (kept.failed() && !kept.notText) return false;
    auto value = kept.value ? kept.value : kept.notText;
    try {
        if (value && staged->isNew == forward) {
            bool put = true;
            if (!forward) {
                auto now = secrets_->lookup(staged->account);
                if (now.failed() && !now.notText) return false;
                put = !now.value && !now.notText;
            }
            if (put) secrets_->write(value, staged->account);
        }
        secrets_->write(std::nullopt, account);
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

} // namespace vesk
