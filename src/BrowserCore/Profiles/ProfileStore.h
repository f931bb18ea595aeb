#pragma once

// The saved profiles, the credentials and the choice of the current profile.
// Records are kept in profiles.json in the store's folder, secret values in
// the secret store. The store tells the browser session which profile's
// website data to use and pushes every value the current profile may type
// into it.
//
// Every Vesk that an agent starts is a process of its own, all on one file.
// So each change runs under an advisory lock on a file beside profiles.json
// and is made to the records on disk at that moment, taking in what other
// processes saved since; a change whose file cannot be locked or read is
// refused at its save, with the undo that a failed save calls for. A change
// waits for the lock without holding up the main loop, so its operation is
// a task; the lock is held only while the file is read and written, never
// while the keychain is asked (which may wait for the person to unlock it).
//
// Operations: ProfileStore.cpp (file and session), ProfileStoreProfiles.cpp
// (profiles and variables), ProfileStoreCredentials.cpp (credentials and the
// push into the session), ProfileStoreClaims.cpp (saves that change keychain
// values, safe against a kill), ProfileStoreTags.cpp (values an earlier
// version kept apart).

#include "BrowserCore/Profiles/BrowserProfile.h"
#include "BrowserCore/Profiles/ProfileSession.h"
#include "BrowserCore/Profiles/ProfilesFile.h"
#include "BrowserCore/Session/WebsiteData.h"
#include "Platform/Observable.h"
#include "Platform/SecretStore.h"
#include "Platform/Task.h"

#include <sigc++/sigc++.h>

#include <chrono>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace vesk {

class ProfileStore {
public:
    // Loads `folder`/profiles.json. A missing file is a fresh start; a file
    // that cannot be read or decoded leaves the store empty and refusing
    // every save, the file untouched. Then what an interrupted change left
    // is settled: temporary files of a save go and, after a clean load, the
    // website data of profiles that no longer exist; the saves of processes
    // that ended are finished or undone; values an earlier version kept
    // under tagged accounts move back to their own.
    ProfileStore(std::filesystem::path folder, std::unique_ptr<SecretStore> secrets,
                 WebsiteData& websiteData = WebsiteData::standard());
    ~ProfileStore();
    ProfileStore(const ProfileStore&) = delete;
    ProfileStore& operator=(const ProfileStore&) = delete;

    Observable<std::vector<BrowserProfile>> profiles;
    Observable<std::vector<Credential>> credentials;
    Observable<std::optional<ProfileID>> currentID;  // none: the temporary profile

    const std::filesystem::path& file() const { return file_; }
    bool unreadable() const { return unreadable_; }
    // When the file could not be read at start: a sentence (without its full
    // stop) that says so, why, and that it is left untouched.
    std::optional<std::string> unreadableNote() const;
    SecretStore& secrets() { return *secrets_; }

    // The session the store serves, kept weakly; setting it applies the
    // current profile to it.
    void setSession(std::weak_ptr<BrowserSession> session);
    // The same with any receiver of the pushes, such as a stand-in.
    void setSession(std::shared_ptr<ProfileSession> session);
    // The browser session, when one is set and alive.
    std::shared_ptr<BrowserSession> session() const;
    sigc::signal<void()>& sessionChanged() { return sessionChanged_; }

    // Takes in what other processes saved since the file was last read or
    // written. Never throws; a file that cannot be read now changes nothing.
    void reload();

    // Profiles and variables (ProfileStoreProfiles.cpp). The operations that
    // change anything are tasks, and take their arguments by value.
    std::optional<BrowserProfile> currentProfile() const;
    // Case-insensitive, not trimmed.
    std::optional<BrowserProfile> profileNamed(std::string_view name) const;
    // Creates and saves a profile; does not select it.
    Task<BrowserProfile> createProfile(std::string name);
    // None selects the temporary profile.
    Task<void> selectProfile(std::optional<BrowserProfile> profile);
    // Removes the profile (the store's own record of it), its assignments,
    // its values and, once no page uses it, its website data. The profile
    // goes even when the keychain keeps its values; that is then reported
    // as ProfileError::secretsNotErased.
    Task<void> deleteProfile(BrowserProfile profile);
    Task<void> setVariable(std::string name, std::string value, std::string siteText, ProfileID profileID);
    // `site` as stored in the variable.
    Task<void> removeVariable(std::string name, std::string site, ProfileID profileID);

    // Credentials (ProfileStoreCredentials.cpp). A password or key of none
    // keeps the stored one; an empty or blank key removes it.
    Task<Credential> addCredential(std::string name, std::vector<std::string> sites, std::string user,
                                   std::optional<std::string> password, std::optional<std::string> otpKey);
    Task<Credential> updateCredential(ProfileID id, std::string name, std::vector<std::string> sites, std::string user,
                                      std::optional<std::string> password, std::optional<std::string> otpKey);
    std::optional<std::string> storedUser(const ProfileID& id);
    // The record goes even when the keychain keeps its values; that is then
    // reported as ProfileError::secretsNotErased.
    Task<void> deleteCredential(ProfileID id);
    Task<void> assignCredential(ProfileID credentialID, bool assigned, ProfileID profileID);
    Task<void> setCredentialGlobal(ProfileID id, bool global);
    // Pushes the current profile's variables and credentials into the session.
    void syncSession();

    // How long a change waits for another process to finish saving (less in
    // a test that holds the lock itself and waits it out).
    std::chrono::milliseconds lockPatience{5000};

    // Whether what the start settles (see above) is settled.
    bool settled() const { return started_.isDone(); }

    // A name of a variable or credential: [A-Za-z_][A-Za-z0-9_]*.
    static bool isIdentifier(std::string_view name);

    // For tests: the identity the store's claims carry in place of this
    // process's (one of a process that ended, to play it), and what is
    // called before each write of the file (where a test stops the process).
    void standIn(std::string processIdentity, std::function<void()> beforeFileWrite) {
        process_ = std::move(processIdentity);
        beforeFileWrite_ = std::move(beforeFileWrite);
    }

private:
    class Change;

    void load();
    Task<void> removeLeftovers();
    // Reads the file as it is now; none when it is missing, an error when it
    // exists but cannot be read or decoded.
    struct DiskState {
        bool exists = false;
        std::string bytes;
        std::optional<ProfilesFile::Saved> saved;
        std::string problem;  // why it could not be read or decoded
    };
    DiskState readDisk() const;
    void adopt(const DiskState& disk);
    // Waits for the file's lock, then takes in the file as it is; see Change.
    Task<std::unique_ptr<Change>> beginChange();
    void saveProfiles();
    // The file saves replace: profiles.json, or the file it is a symbolic
    // link to, so that the link stays. Throws ProfileError::brokenLink when
    // the link leads to no file.
    std::filesystem::path savedFile() const;
    void applyCurrentProfile();
    // The selection itself, inside a change.
    void choose(const std::optional<ProfileID>& id);
    Task<Credential> saveCredential(ProfileID id, std::string name, std::vector<std::string> sites, std::string user,
                                    std::optional<std::string> password, std::optional<std::string> otpKey);
    Task<void> changeCredential(ProfileID id, std::function<void(Credential&)> change);
    // Puts `list` in place of the credentials and saves; when the save fails
    // the credentials before are put back and the error goes on.
    void saveCredentials(std::vector<Credential> list);
    // Values that a change of the records puts under their accounts (a
    // value) or takes away from them (none), in order (ProfileStoreClaims.cpp).
    using SecretWrites = std::vector<std::pair<std::string, std::optional<std::string>>>;
    // Changes the values and, within a change of its own, runs `record`,
    // which changes the records and saves them (or throws), or gives false
    // to drop the whole save; so that a process stopped at any point leaves,
    // once the next start has settled its claim, the records and their
    // values both as they were or both as they are now. A failure undoes
    // the values and goes on. When `erasesMayFail`, a value the keychain
    // does not let go of stays where it is, and the first such refusal is
    // given; else it fails the save. Pushes nothing into the session.
    Task<std::optional<std::string>> stagedSave(SecretWrites writes, bool erasesMayFail, std::function<bool()> record);
    // A change of its own that gives up the staging accounts each save of
    // this process settled; never throws.
    using Settled = std::vector<std::pair<std::string, std::vector<std::string>>>;
    Task<void> release(Settled settled);
    // Within the start's change: the claims of processes that ended, made
    // this process's, without the accounts a running process claims.
    std::vector<ProfilesFile::Claim> takeOverEndedClaims();
    // Finishes or undoes the saves of those claims from what their staging
    // accounts hold, and gives the claims up.
    Task<void> settle(std::vector<ProfilesFile::Claim> claims);
    bool settleStaged(const std::string& account, bool forward);
    // Values that an earlier version kept under tagged accounts
    // (ProfileStoreTags.cpp): a credential's field, read from there while
    // its record has the tag; and the move of those of the credentials
    // `ids` back to their own accounts, giving the first reason one stayed.
    SecretStore::Lookup lookupField(const Credential& credential, const char* field);
    Task<std::optional<std::string>> untag(std::vector<ProfileID> ids);

    std::filesystem::path file_;
    bool unreadable_ = false;
    std::string unreadableReason_;
    std::unique_ptr<SecretStore> secrets_;
    WebsiteData& websiteData_;
    std::shared_ptr<ProfileSession> session_;
    sigc::signal<void()> sessionChanged_;
    // Gone with the store: a change that waited for the lock touches nothing then.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);

    // The file's bytes as this process last read or wrote them, and the
    // claims they hold.
    std::optional<std::string> known_;
    std::vector<ProfilesFile::Claim> knownClaims_;
    // The current profile as the file holds it: a change writes it back as
    // it is, and only a selection here changes it, so that a change made by
    // one process never undoes the choice a person made in another.
    std::optional<ProfileID> fileCurrent_;
    // The claims of saves under way as the file holds them, taken in at each change.
    std::vector<ProfilesFile::Claim> claims_;
    // Those in a form this version does not write, as the file last read or
    // written held them: written back as they are.
    ProfilesFile::OtherClaims otherClaims_;
    std::string process_;
    std::function<void()> beforeFileWrite_;
    Task<void> started_;
    // The change under way, why its save must fail, and what it is to push
    // into the session once the lock is released.
    Change* openChange_ = nullptr;
    std::exception_ptr saveRefusal_;
    enum class Push { nothing, values, profile };
    Push pending_ = Push::nothing;
};

} // namespace vesk
