#include "BrowserCore/Profiles/ProfileStore.h"

#include "BrowserCore/Profiles/ProfileError.h"
#include "BrowserCore/Profiles/ProfileStoreChange.h"
#include "Platform/AtomicFile.h"
#include "Platform/LinkedFile.h"
#include "Platform/ProcessIdentity.h"
#include "Platform/RegularFile.h"
#include "Platform/TildePath.h"

#include <glib.h>

#include <algorithm>
#include <set>
#include <stdexcept>
#include <sys/stat.h>
#include <system_error>
#include <utility>

namespace vesk {

namespace {

// A file whose owner may not write it was closed to changes on purpose: it
// is never replaced, though this process (run by root, say) could.
bool ownerMayNotWrite(const std::filesystem::path& file) {
    struct stat status {};
    return ::stat(file.c_str(), &status) == 0 && S_ISREG(status.st_mode) && (status.st_mode & S_IWUSR) == 0;
}

} // namespace

ProfileStore::Change::Change(ProfileStore& store, std::unique_ptr<FileLock> lock, std::exception_ptr refusal)
    : store_(store), lock_(std::move(lock)) {
    if (store_.openChange_) throw std::logic_error("A change of the profile store began inside another.");
    store_.openChange_ = this;
    store_.saveRefusal_ = std::move(refusal);
    // A file that could not be read at start is never taken in nor replaced.
    if (!lock_ || store_.unreadable_) return;
    DiskState disk = store_.readDisk();
    if (disk.exists && !disk.saved) {
        store_.saveRefusal_ = std::make_exception_ptr(ProfileError::unreadableFile(store_.file_.string()));
        return;
    }
    // A file that went missing is written again from what this process has.
    if (disk.saved) store_.adopt(disk);
}

ProfileStore::Change::~Change() {
    lock_.reset();
    store_.openChange_ = nullptr;
    store_.saveRefusal_ = nullptr;
    Push push = std::exchange(store_.pending_, Push::nothing);
    try {
        if (push == Push::profile) store_.applyCurrentProfile();
        else if (push == Push::values) store_.syncSession();
    } catch (const std::exception& error) {
        // The change is made and saved; only the session missed it.
        g_warning("The session did not take the profile's values: %s", error.what());
    }
}

Task<std::unique_ptr<ProfileStore::Change>> ProfileStore::beginChange() {
    std::weak_ptr<int> alive = alive_;
    std::unique_ptr<FileLock> lock;
    std::exception_ptr refusal;
    std::filesystem::path saved = file_;
    try {
        // The lock lies beside the file that saves replace, so that every
        // data folder linked to one file takes the same lock.
        saved = savedFile();
        std::filesystem::path lockPath = saved;
        lockPath += ".lock";
        lock = co_await FileLock::take(lockPath, lockPatience);
        if (ownerMayNotWrite(saved)) refusal = std::make_exception_ptr(ProfileError::readOnlyFile(saved.string()));
    } catch (const CancellationError&) {
        throw;
    } catch (const FileLock::Busy&) {
        refusal = std::make_exception_ptr(ProfileError::busyFile(file_.string()));
    } catch (const std::system_error& error) {
        // Named where the lock failed: beside the file a link leads to.
        refusal = std::make_exception_ptr(ProfileError::unlockable(saved.string(), error.code().message(),
                                                                   saved == file_ ? std::string() : file_.string()));
    } catch (...) {
        refusal = std::current_exception();
    }
    // The store went while the change waited: nothing of it is touched.
    if (alive.expired()) throw CancellationError();
    co_return std::make_unique<Change>(*this, std::move(lock), refusal);
}

ProfileStore::ProfileStore(std::filesystem::path folder, std::unique_ptr<SecretStore> secrets, WebsiteData& websiteData)
    : file_(std::move(folder) / "profiles.json"),
      secrets_(std::move(secrets)),
      websiteData_(websiteData),
      process_(currentProcessIdentity()) {
    load();
    started_ = detach([this] { return removeLeftovers(); });
}

ProfileStore::~ProfileStore() = default;

void ProfileStore::load() {
    DiskState disk = readDisk();
    if (!disk.saved) {
        unreadable_ = disk.exists;
        if (unreadable_) unreadableReason_ = disk.problem;
        return;
    }
    profiles.set(disk.saved->profiles);
    credentials.set(disk.saved->credentials.value_or(std::vector<Credential>{}));
    currentID.set(disk.saved->current);
    fileCurrent_ = disk.saved->current;
    claims_ = disk.saved->claims;
    otherClaims_ = disk.saved->otherClaims;
    known_ = disk.bytes;
    knownClaims_ = claims_;
    if (!otherClaims_.values.empty()) {
        g_warning("%s lists %zu saves under way in a form this Vesk does not read; they are left alone, and "
                  "nothing they name is touched",
                  file_.c_str(), otherClaims_.values.size());
    }
}

// What a process that ended in the middle of a change left behind: the
// temporary file of a save, the saves it claimed, and the website data of a
// profile it was removing (the file says which profiles exist). Decided
// under the lock, on the file as it is then, so that a profile another
// process has just made keeps its data; the keychain is asked once the lock
// is released. Nothing is settled while the file cannot be read.
Task<void> ProfileStore::removeLeftovers() {
    if (!g_file_test(file_.parent_path().c_str(), G_FILE_TEST_IS_DIR)) co_return;
    removeInterruptedSaves(file_.parent_path());
    // A save through a link leaves its temporary file beside the linked file.
    try {
        if (auto linked = savedFile(); linked.parent_path() != file_.parent_path()) {
            removeInterruptedSaves(linked.parent_path());
        }
    } catch (const ProfileError&) {
        // A link that leads to no file: no save went through it.
    }
    std::weak_ptr<int> alive = alive_;
    std::vector<ProfilesFile::Claim> ended;
    try {
        auto change = co_await beginChange();
        if (!change->isLocked() || saveRefusal_ || unreadable_ || !known_) co_return;
        std::set<std::string> kept;
        for (const auto& profile : *profiles) kept.insert(profile.id);
        websiteData_.removeLeftovers(kept);
        ended = takeOverEndedClaims();
    } catch (const CancellationError&) {
        co_return;
    } catch (const std::exception& error) {
        g_warning("The saves an ended Vesk left under way stay so until the next start: %s", error.what());
        co_return;
    }
    co_await settle(std::move(ended));
    if (alive.expired()) co_return;
    std::vector<ProfileID> tagged;
    for (const auto& credential : *credentials) {
        if (credential.secretsTag) tagged.push_back(credential.id);
    }
    if (tagged.empty()) co_return;
    if (auto problem = co_await untag(std::move(tagged))) {
        g_warning("Values an earlier Vesk kept apart stay there until the next start: %s", problem->c_str());
    }
}

ProfileStore::DiskState ProfileStore::readDisk() const {
    DiskState disk;
    FileContents contents = readRegularFile(file_);
    disk.exists = contents.outcome != FileContents::Outcome::missing;
    disk.problem = std::move(contents.problem);
    if (!contents.wasRead()) return disk;
    disk.bytes = std::move(contents.bytes);
    // The file as this process last read or wrote it is not decoded again
    // (it may list many claims): only its claims are taken in again.
    if (known_ == disk.bytes) {
        disk.saved = ProfilesFile::Saved{};
        disk.saved->claims = knownClaims_;
        disk.saved->otherClaims = otherClaims_;
        return disk;
    }
    try {
        disk.saved = ProfilesFile::decode(disk.bytes);
    } catch (const ProfilesFile::Undecodable& error) {
        disk.problem = error.what();
    }
    return disk;
}

// The records of the file replace those in memory; the current profile is
// this process's own choice and stays, while the file keeps the choice last
// made in any process.
void ProfileStore::adopt(const DiskState& disk) {
    // Those of a change whose save failed go.
    claims_ = disk.saved->claims;
    otherClaims_ = disk.saved->otherClaims;
    if (known_ == disk.bytes) return;
    known_ = disk.bytes;
    knownClaims_ = claims_;
    fileCurrent_ = disk.saved->current;
    bool changed = profiles.set(disk.saved->profiles);
    changed = credentials.set(disk.saved->credentials.value_or(std::vector<Credential>{})) || changed;
    if (changed) applyCurrentProfile();
}

void ProfileStore::reload() {
    if (unreadable_ || openChange_) return;
    DiskState disk = readDisk();
    if (disk.saved) adopt(disk);
}

void ProfileStore::saveProfiles() {
    if (unreadable_) throw ProfileError::unreadableFile(file_.string());
    if (saveRefusal_) std::rethrow_exception(saveRefusal_);
    auto folder = file_.parent_path();
    if (g_mkdir_with_parents(folder.c_str(), 0700) != 0) {
        throw std::system_error(errno, std::generic_category(), "Could not make the folder " + folder.string());
    }
    ProfilesFile::Saved saved{fileCurrent_, *profiles, *credentials, claims_, otherClaims_};
    std::string bytes = ProfilesFile::encode(saved);
    std::filesystem::path written = savedFile();
    if (beforeFileWrite_) beforeFileWrite_();
    writeAtomically(written, bytes);
    known_ = std::move(bytes);
    knownClaims_ = claims_;
}

std::filesystem::path ProfileStore::savedFile() const {
    try {
        return linkedFile(file_);
    } catch (const BrokenLink& broken) {
        throw ProfileError::brokenLink(file_.string(), broken.target, broken.leadsNowhere);
    }
}

std::optional<std::string> ProfileStore::unreadableNote() const {
    if (!unreadable_) return std::nullopt;
    return tildePath(file_) + " could not be read (" + unreadableReason_ +
           "), so no saved profile or credential is known. The file is left untouched: fix or move it and restart";
}

void ProfileStore::setSession(std::weak_ptr<BrowserSession> session) {
    setSession(std::make_shared<SessionLink>(std::move(session)));
}

void ProfileStore::setSession(std::shared_ptr<ProfileSession> session) {
    session_ = std::move(session);
    sessionChanged_.emit();
    applyCurrentProfile();
}

std::shared_ptr<BrowserSession> ProfileStore::session() const {
    auto link = std::dynamic_pointer_cast<SessionLink>(session_);
    return link ? link->session() : nullptr;
}

void ProfileStore::applyCurrentProfile() {
    if (openChange_) {
        pending_ = Push::profile;
        return;
    }
    if (session_ && session_->isAlive()) {
        auto current = currentProfile();
        session_->useProfile(current ? BrowserSession::Profile::persistent(current->id)
                                     : BrowserSession::Profile::ephemeral());
    }
    syncSession();
}

bool ProfileStore::isIdentifier(std::string_view name) {
    if (name.empty() || g_ascii_isdigit(name.front())) return false;
    for (char c : name) {
        if (!g_ascii_isalnum(c) && c != '_') return false;
    }
    return true;
}

} // namespace vesk
