// The profile store on a temporary folder, an in-memory secret store and a
// session stand-in.

#include "BrowserCore/Profiles/ProfileError.h"
#include "BrowserCore/Profiles/ProfileStore.h"
#include "BrowserCore/Profiles/SecretAccounts.h"
#include "Platform/ProcessIdentity.h"
#include "Support/ChildProcess.h"
#include "Support/MainLoop.h"
#include "Support/ProfileDoubles.h"

#include <glib.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <sstream>

using namespace vesk;
namespace fs = std::filesystem;

namespace {

const std::string otpKey = "JBSWY3DPEHPK3PXP";
const std::string unknownID = "6F1C8E2A-0000-4000-8000-0000000000FF";

class ProfileStoreTest : public testing::Test {
protected:
    fs::path folder = [] {
        gchar* made = g_dir_make_tmp("vesk-profiles-XXXXXX", nullptr);
        fs::path path(made);
        g_free(made);
        return path;
    }();
    WebsiteData websiteData{folder / "data", folder / "cache"};
    test::MemorySecretStore* secrets = nullptr;
    std::shared_ptr<test::ProfileSessionDouble> session = std::make_shared<test::ProfileSessionDouble>();
    std::unique_ptr<ProfileStore> store = open();

    void TearDown() override { fs::remove_all(folder); }

    // Another process's store on the same folder and secrets; the store last
    // made keeps those secrets, so it must outlive the next call. The tests
    // that hold the lock wait out its patience: it is short here.
    std::unique_ptr<ProfileStore> open() {
        auto owned = std::make_unique<test::MemorySecretStore>();
        if (secrets) owned->values = secrets->values;
        secrets = owned.get();
        auto made = std::make_unique<ProfileStore>(folder, std::move(owned), websiteData);
        made->setSession(session);
        made->lockPatience = std::chrono::milliseconds(300);
        return made;
    }
    // A store on this folder and `keychain`, as another process has it.
    std::unique_ptr<ProfileStore> sharing(test::MemorySecretStore& keychain) {
        auto made = std::make_unique<ProfileStore>(folder, std::make_unique<test::SharedSecretStore>(keychain), websiteData);
        made->setSession(session);
        return made;
    }
    std::string fileText() const {
        std::stringstream text;
        text << std::ifstream(folder / "profiles.json").rdbuf();
        return text.str();
    }
    void writeFile(const std::string& text) { std::ofstream(folder / "profiles.json") << text; }
    // A change of a store, run to its end.
    template <typename T>
    static T run(Task<T> change) {
        return test::runTask(std::move(change));
    }
    template <typename Operation>
    static std::string failure(Operation operation) {
        try {
            operation();
        } catch (const std::exception& error) {
            return error.what();
        }
        return "no failure";
    }
    template <typename Operation>
    static std::optional<ProfileError::Kind> kind(Operation operation) {
        try {
            operation();
        } catch (const ProfileError& error) {
            return error.kind();
        }
        return std::nullopt;
    }
};

TEST_F(ProfileStoreTest, TheFileIsCompactHoldsNoValueAndReadsBackTheSame) {
    auto profile = run(store->createProfile("Shop/EU"));
    run(store->setVariable("TOKEN", "t0k", "localhost:3000", profile.id));
    run(store->addCredential("Login", {"example.com"}, "ann", "pw", otpKey));
    std::string text = fileText();
    EXPECT_EQ(text.find_first_of(" \n"), std::string::npos);
    EXPECT_NE(text.find("\"Shop\\/EU\""), std::string::npos);
    EXPECT_EQ(text.find("current"), text.find("t0k")) << "neither a current key nor a value";
    run(store->selectProfile(profile));
    auto again = open();
    EXPECT_EQ(*again->profiles, *store->profiles);
    EXPECT_EQ(*again->credentials, *store->credentials);
    EXPECT_EQ(*again->currentID, profile.id);

    writeFile(R"({"current":")" + unknownID + R"(","profiles":[],"extra":1})");
    again = open();
    EXPECT_FALSE(again->currentProfile());
    run(again->createProfile("B"));
    EXPECT_NE(fileText().find(R"("current":")" + unknownID + R"(","profiles":[)"), std::string::npos);
    EXPECT_TRUE(fileText().ends_with(R"("variables":[]}],"credentials":[]})")) << "and nothing unknown";
}

TEST_F(ProfileStoreTest, AFileItCannotDecodeIsNeverReplaced) {
    for (std::string text : std::vector<std::string>{"not json", R"({"credentials":[]})",
                                                     R"({"profiles":[{"id":"x","name":"A","variables":[]}]})"}) {
        writeFile(text);
        store = open();
        EXPECT_TRUE(store->unreadable()) << text;
        EXPECT_EQ(failure([&] { run(store->createProfile("B")); }),
                  ProfileError::unreadableFile((folder / "profiles.json").string()).what());
        EXPECT_EQ(fileText(), text);
    }
}

// Files that would hang the start (a pipe, a device) or crash it (nesting
// that overflows the stack) or fill the memory: each could not be read, and
// stays exactly as it was.
TEST_F(ProfileStoreTest, AFileThatCouldHangOrCrashTheStartIsOneThatCouldNotBeRead) {
    const fs::path file = folder / "profiles.json";
    const std::string deep = R"({"profiles":[],"extra":)" + std::string(200000, '[') + std::string(200000, ']') + "}";
    const std::string twice = R"({"profiles":[{"id":")" + unknownID + R"(","name":"Alpha","variables":[]},{"id":")" +
                              unknownID + R"(","name":"Beta","variables":[]}]})";
    std::string claims = R"({"profiles":[],"claims":[{"process":"x","save":"y","accounts":["a")";
    for (std::size_t i = 0; i < ProfilesFile::mostClaimedAccounts; ++i) claims += R"(,"a")";
    claims += "]}]}";
    for (const std::string& text : {deep, twice, claims}) {
        writeFile(text);
        store = open();
        EXPECT_TRUE(store->unreadable()) << text.substr(0, 40);
        EXPECT_EQ(fileText(), text);
    }
    EXPECT_NE(store->unreadableNote()->find("it lists 200001 keychain accounts of saves under way"), std::string::npos);
    writeFile(R"({"profiles":[],"credentials":[{"id":")" + unknownID + R"(","name":"A","sites":["a.com"],"hasOTP":false,)"
              R"("global":false,"profileIDs":[]},{"id":")" + unknownID + R"(","name":"B","sites":["b.com"],)"
              R"("hasOTP":false,"global":false,"profileIDs":[]}]})");
    store = open();
    EXPECT_TRUE(store->unreadable()) << "two credentials of one id";

    fs::remove(file);
    ASSERT_EQ(mkfifo(file.c_str(), 0600), 0);
    store = open();
    EXPECT_TRUE(store->unreadable());
    EXPECT_NE(failure([&] { run(store->createProfile("A")); }), "no failure");
    EXPECT_TRUE(fs::is_fifo(file));

    fs::remove(file);
    fs::create_symlink("/dev/zero", file);
    store = open();
    EXPECT_TRUE(store->unreadable());
    EXPECT_TRUE(fs::is_symlink(file));

    fs::remove(file);
    writeFile("{}");
    fs::resize_file(file, 3ull << 30);  // sparse: no disk is used
    store = open();
    EXPECT_TRUE(store->unreadable());
    EXPECT_EQ(fs::file_size(file), 3ull << 30);
}

// Only a name no person gives a file is taken for one an ended save left.
TEST_F(ProfileStoreTest, TemporaryFilesOfAnInterruptedSaveGoAtTheNextStartAndThePersonsFilesStay) {
    const std::vector<std::string> persons{"profiles.json.backup", "profiles.json.2024v2", "profiles.json.a1B2c3",
                                           ".vesk-save-a1B2c3d"};
    for (const auto& name : persons) std::ofstream(folder / name) << "{}";
    std::ofstream(folder / ".vesk-save-a1B2c3") << "{";
    store = open();
    run(store->createProfile("A"));
    EXPECT_FALSE(fs::exists(folder / ".vesk-save-a1B2c3"));
    for (const auto& name : persons) EXPECT_TRUE(fs::exists(folder / name)) << name;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(!name.starts_with(".vesk-save-") || name == ".vesk-save-a1B2c3d") << "the save left " << name;
    }
}

TEST_F(ProfileStoreTest, NamesAreTrimmedUniqueAndSortedLikeAPersonWould) {
    run(store->createProfile("item 10"));
    EXPECT_EQ(run(store->createProfile(" \t Item 2\u00A0")).name, "Item 2");
    EXPECT_EQ(failure([&] { run(store->createProfile("  ITEM 2")); }), "There is already a profile named \"ITEM 2\"");
    EXPECT_EQ(kind([&] { run(store->createProfile(" \t ")); }), ProfileError::Kind::emptyName);
    EXPECT_EQ(store->profiles->at(0).name, "Item 2");

    auto id = store->profiles->at(0).id;
    EXPECT_EQ(kind([&] { run(store->setVariable("9A", "v", "a.com", id)); }), ProfileError::Kind::invalidVariable);
    EXPECT_EQ(failure([&] { run(store->setVariable("A", "v", " http:// ", id)); }),
              ProfileError::invalidSite(" http:// ").what());
    for (auto [name, site] : {std::pair{"Z", "b.com"}, {"_Y", "https://a.com/x"}, {"B", "b.com"}, {"B", "b.com"}}) {
        run(store->setVariable(name, std::string(name) + site, site, id));
    }
    EXPECT_EQ(store->profiles->at(0).variables,
              (std::vector<BrowserProfile::Variable>{{"_Y", "a.com"}, {"B", "b.com"}, {"Z", "b.com"}}));
}

TEST_F(ProfileStoreTest, CredentialsAreValidatedBeforeAnythingIsWritten) {
    EXPECT_EQ(failure([&] { run(store->addCredential(" 1x ", {"a.com"}, "u", "p", {})); }),
              ProfileError::invalidCredentialName("1x").what());
    EXPECT_EQ(failure([&] { run(store->addCredential("L", {"a.com", "http://"}, "u", "p", {})); }),
              ProfileError::invalidSite("http://").what());
    EXPECT_EQ(kind([&] { run(store->addCredential("L", {}, "u", "p", {})); }), ProfileError::Kind::noSite);
    EXPECT_EQ(kind([&] { run(store->addCredential("L", {"a.com"}, "u", "p", "no key!")); }),
              ProfileError::Kind::invalidOTPKey);
    EXPECT_TRUE(secrets->values.empty());

    auto saved =
        run(store->addCredential(" Login ", {"a.com", "https://A.com", "b.com"}, "", "p", "\n" + otpKey + " "));
    auto account = [&](const char* field) { return "credential/" + saved.id + "/" + field; };
    EXPECT_EQ(saved.sites, (std::vector<std::string>{"a.com", "b.com"}));
    EXPECT_EQ(secrets->values.at(account("user")), "");
    EXPECT_EQ(secrets->values.at(account("otp")), otpKey);
    EXPECT_EQ(failure([&] { run(store->addCredential("LOGIN", {"a.com"}, "u", "p", {})); }),
              ProfileError::duplicateCredential("LOGIN").what());
    auto current = [&](const char* field) { return SecretAccounts::of(store->credentials->at(0), field); };
    run(store->updateCredential(saved.id, "LOGIN", {"a.com"}, "ann", std::nullopt, std::nullopt));
    EXPECT_EQ(secrets->values.at(current("password")), "p");
    EXPECT_TRUE(store->credentials->at(0).hasOTP);
    run(store->updateCredential(saved.id, "LOGIN", {"a.com"}, "ann", std::nullopt, " \t"));
    EXPECT_FALSE(store->credentials->at(0).hasOTP);
    EXPECT_FALSE(secrets->values.contains(current("otp")));
    EXPECT_EQ(secrets->values.size(), 2u) << "the values of the record replaced are gone";
}

TEST_F(ProfileStoreTest, TheSessionGetsWhatTheCurrentProfileMayTypeAndNothingOnTheTemporaryOne) {
    auto a = run(store->createProfile("A"));
    auto b = run(store->createProfile("B"));
    run(store->setVariable("TOKEN", "t", "a.com", a.id));
    auto mine = run(store->addCredential("Mine", {"a.com", "b.com"}, "ann", "pw", {}));
    auto all = run(store->addCredential("All", {"c.com"}, "bob", "pw2", otpKey));
    run(store->setCredentialGlobal(all.id, true));
    run(store->assignCredential(mine.id, true, a.id));
    run(store->assignCredential(mine.id, true, a.id));
    EXPECT_EQ(store->credentials->at(1).profileIDs, std::vector<ProfileID>{a.id});
    EXPECT_TRUE(session->variables.empty());

    run(store->selectProfile(a));
    EXPECT_EQ(session->used.back(), BrowserSession::Profile::persistent(a.id));
    EXPECT_EQ(session->variables,
              (ProfileSession::Variables{{"a.com", {{"TOKEN", "t"}, {"Mine.user", "ann"}, {"Mine.password", "pw"}}},
                                         {"b.com", {{"Mine.user", "ann"}, {"Mine.password", "pw"}}},
                                         {"c.com", {{"All.user", "bob"}, {"All.password", "pw2"}}}}));
    EXPECT_EQ(session->otpKeys.at("c.com").at("All"), *TOTP::parse(otpKey));
    run(store->selectProfile(b));
    EXPECT_EQ(session->variables.size(), 1u) << "only the global credential";
    run(store->selectProfile(a));
    EXPECT_TRUE(session->unreadable.empty());
    // A value the keychain could not give is named to the session, with why.
    secrets->unreadable = {"credential/" + mine.id + "/password", a.id + "/a.com/TOKEN"};
    store->syncSession();
    EXPECT_EQ(session->unreadable, (ProfileSession::Variables{{"a.com", {{"Mine.password", "the keychain is locked"},
                                                                         {"TOKEN", "the keychain is locked"}}},
                                                              {"b.com", {{"Mine.password", "the keychain is locked"}}}}));
    EXPECT_FALSE(session->variables.at("a.com").contains("Mine.password"));
    secrets->unreadable = {};
    run(store->deleteCredential(mine.id));
    EXPECT_FALSE(session->variables.contains("b.com"));
    EXPECT_TRUE(session->unreadable.empty());
}

TEST_F(ProfileStoreTest, FailedSavesUndoWhatEachOperationCallsFor) {
    auto kept = run(store->createProfile("Kept"));
    run(store->setVariable("OLD", "o", "a.com", kept.id));
    auto login = run(store->addCredential("Login", {"a.com"}, "u", "p", {}));
    auto other = run(store->createProfile("Other"));
    run(store->setVariable("MINE", "m", "a.com", other.id));
    run(store->assignCredential(login.id, true, other.id));
    fs::create_directories(websiteData.dataFolder(other.id));
    auto profiles = *store->profiles;
    auto credentials = *store->credentials;
    auto values = secrets->values;
    // From now on every save refuses.
    fs::remove(folder / "profiles.json");
    fs::create_directory(folder / "profiles.json");

    EXPECT_NE(failure([&] { run(store->createProfile("New")); }), "no failure");
    EXPECT_NE(failure([&] { run(store->setVariable("NEW", "n", "a.com", kept.id)); }), "no failure");
    EXPECT_NE(failure([&] { run(store->updateCredential(login.id, "Login", {"b.com"}, "u2", "p2", otpKey)); }),
              "no failure");
    EXPECT_NE(failure([&] { run(store->deleteCredential(login.id)); }), "no failure");
    EXPECT_NE(failure([&] { run(store->assignCredential(login.id, true, kept.id)); }), "no failure");
    EXPECT_EQ(*store->profiles, profiles);
    EXPECT_EQ(*store->credentials, credentials);
    EXPECT_EQ(secrets->values, values);
    // The deletion of a profile not in use stays in memory, its assignments
    // with it; its values and website data stay.
    EXPECT_NE(failure([&] { run(store->deleteProfile(other)); }), "no failure");
    EXPECT_EQ(store->profiles->size(), 1u);
    EXPECT_TRUE(store->credentials->at(0).profileIDs.empty());
    EXPECT_EQ(secrets->values, values);
    EXPECT_TRUE(fs::exists(websiteData.dataFolder(other.id)));

    run(store->setVariable("OLD", "o2", "a.com", kept.id));
    EXPECT_EQ(secrets->values.at(kept.id + "/a.com/OLD"), "o2") << "an existing variable needs no save";
    EXPECT_NE(failure([&] { run(store->selectProfile(kept)); }), "no failure");
    EXPECT_EQ(session->used.back(), BrowserSession::Profile::persistent(kept.id));
    EXPECT_NE(failure([&] { run(store->removeVariable("OLD", "a.com", kept.id)); }), "no failure");
    EXPECT_TRUE(store->profiles->at(0).variables.empty());
    EXPECT_NE(failure([&] { run(store->deleteProfile(kept)); }), "no failure");
    EXPECT_FALSE(*store->currentID) << "the temporary profile is current";
    EXPECT_EQ(store->profiles->size(), 1u) << "and the profile is still there";
}

// The keychain may wait for the person to unlock it: no process waits on
// the profiles file's lock meanwhile.
TEST_F(ProfileStoreTest, TheKeychainIsNeverAskedWhileTheFileIsLocked) {
    const std::string lock = (folder / "profiles.json.lock").string();
    int calls = 0;
    std::vector<int> underLock;
    secrets->onCall = [&] {
        ++calls;
        int probe = ::open(lock.c_str(), O_RDWR | O_CLOEXEC);
        if (probe >= 0 && ::flock(probe, LOCK_EX | LOCK_NB) != 0) underLock.push_back(calls);
        if (probe >= 0) ::close(probe);
    };
    auto profile = run(store->createProfile("P"));
    run(store->selectProfile(profile));
    run(store->setVariable("A", "1", "a.com", profile.id));
    auto login = run(store->addCredential("Login", {"a.com"}, "u", "p", otpKey));
    run(store->assignCredential(login.id, true, profile.id));
    run(store->updateCredential(login.id, "Login", {"a.com"}, "u2", "p2", std::nullopt));
    run(store->removeVariable("A", "a.com", profile.id));
    run(store->deleteCredential(login.id));
    run(store->deleteProfile(profile));
    EXPECT_GT(calls, 20);
    EXPECT_EQ(underLock, std::vector<int>{}) << "the calls made while the lock was held, counted from 1";
}

// A person keeps the file in a folder of their own and links it from the
// data folder: saves replace that file in its folder, and take the lock and
// sweep the leftovers of a save there, where every folder linked to it does.
// A link that leads to no file gets nothing written.
TEST_F(ProfileStoreTest, ALinkedFileIsSavedWhereItLiesAndTheLinkStays) {
    const fs::path own = folder / "own" / "vesk.json", link = folder / "profiles.json";
    fs::create_directories(own.parent_path());
    std::ofstream(own) << R"({"profiles":[],"credentials":[]})";
    std::ofstream(own.parent_path() / ".vesk-save-a1B2c3") << "{";
    fs::create_symlink("own/vesk.json", link);
    store = open();
    run(store->createProfile("A"));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_NE(fileText().find(R"("name":"A")"), std::string::npos);
    EXPECT_FALSE(fs::exists(own.parent_path() / ".vesk-save-a1B2c3"));
    int held = ::open((own.string() + ".lock").c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    EXPECT_EQ(kind([&] { run(store->createProfile("B")); }), ProfileError::Kind::busyFile);
    ::close(held);

    // The linked file gone, then a folder in its place.
    fs::remove(own);
    EXPECT_EQ(failure([&] { run(store->createProfile("C")); }),
              link.string() + " is a link to own/vesk.json, which leads to no file, so nothing was changed. Point the "
                              "link at a file, or remove it");
    fs::create_directory(own);
    EXPECT_EQ(failure([&] { run(store->createProfile("D")); }),
              link.string() + " is a link to own/vesk.json, which is not a file, so nothing was changed. Point the "
                              "link at a file, or remove it");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_TRUE(fs::is_empty(own));
    fs::remove(own);
    store = open();
    EXPECT_EQ(kind([&] { run(store->createProfile("E")); }), ProfileError::Kind::brokenLink);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_FALSE(fs::exists(own));
}

// Another process keeps the lock: the change waits for it, then is refused
// as its save, undone, with nothing written. A lock that fails for another
// reason says that reason.
TEST_F(ProfileStoreTest, AChangeThatCannotHaveTheLockIsRefusedAndSaysWhy) {
    run(store->createProfile("Kept"));
    const std::string text = fileText();
    int held = ::open((folder / "profiles.json.lock").c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    EXPECT_EQ(failure([&] { run(store->createProfile("New")); }),
              (folder / "profiles.json").string() +
                  " is being saved by another Vesk, so nothing was changed. Try again");
    ::close(held);
    EXPECT_EQ(store->profiles->size(), 1u);
    EXPECT_EQ(fileText(), text);

    fs::remove(folder / "profiles.json.lock");
    fs::create_directory(folder / "profiles.json.lock");
    EXPECT_EQ(failure([&] { run(store->createProfile("New")); }),
              (folder / "profiles.json").string() +
                  " could not be locked for saving, so nothing was changed: Is a directory. Check the file system that "
                  "holds it, or move the data folder to another");
    EXPECT_EQ(fileText(), text);
}

namespace {

// A folder no process may write, root's included: immutable where the file
// system allows it, else closed by its mode (enough for any other user).
// Gives the reason a write there fails with, or none when it cannot be made.
std::optional<std::string> closeToWriting(const fs::path& folder, bool closed = true) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    int flags = 0;
    bool immutable = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = closed ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
    immutable = immutable && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    if (fd >= 0) ::close(fd);
    if (immutable) return std::generic_category().message(EPERM);
    if (::geteuid() == 0) return std::nullopt;
    fs::permissions(folder, closed ? fs::perms::owner_read | fs::perms::owner_exec : fs::perms::owner_all);
    return std::generic_category().message(EACCES);
}

// Opens the folder again when the test ends, however it ends.
struct ClosedFolder {
    fs::path folder;
    ~ClosedFolder() { closeToWriting(folder, false); }
};

} // namespace

// A save keeps the file's permissions, in the data folder and through a link.
// A file its owner may not write is left as it is, and so is a linked file in
// a folder that cannot be written, the text naming that folder.
TEST_F(ProfileStoreTest, ASaveKeepsTheFilesModeAndWhatCannotBeWrittenIsLeftAndNamed) {
    const fs::path file = folder / "profiles.json";
    const auto ownerOnly = fs::perms::owner_read | fs::perms::owner_write;
    auto mode = [](const fs::path& path) { return fs::status(path).permissions(); };
    run(store->createProfile("A"));
    fs::permissions(file, ownerOnly);
    run(store->createProfile("B"));
    EXPECT_EQ(mode(file), ownerOnly);

    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    std::string text = fileText();
    EXPECT_EQ(failure([&] { run(store->createProfile("C")); }),
              file.string() + " is read-only, so it was not replaced and nothing was changed. Give its owner write "
                              "permission and try again");
    EXPECT_EQ(fileText(), text);
    EXPECT_EQ(mode(file), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_EQ(store->profiles->size(), 2u);

    // The file moved into a folder of the person's own, which then cannot be
    // written: first with no lock there yet, then with one.
    const fs::path own = folder / "own" / "vesk.json";
    fs::create_directories(own.parent_path());
    fs::rename(file, own);
    fs::permissions(own, ownerOnly);
    fs::create_symlink("own/vesk.json", file);
    ClosedFolder closed{own.parent_path()};
    auto reason = closeToWriting(closed.folder);
    if (!reason) GTEST_SKIP() << "no folder here can be closed to root's writes";
    store = open();
    EXPECT_EQ(failure([&] { run(store->createProfile("D")); }),
              own.string() + " could not be locked for saving, so nothing was changed: " + *reason +
                  ". Check its folder " + own.parent_path().string() + " and the file system that holds it, or point " +
                  file.string() + " at a file in another folder");
    closeToWriting(closed.folder, false);
    run(store->createProfile("D"));
    EXPECT_EQ(mode(own), ownerOnly);
    closeToWriting(closed.folder);
    text = fileText();
    EXPECT_EQ(failure([&] { run(store->createProfile("E")); }),
              "No file could be made in the folder " + own.parent_path().string() + " to save " + own.string() + ": " +
                  *reason);
    EXPECT_EQ(fileText(), text);
    EXPECT_EQ(store->profiles->size(), 3u);
}

TEST_F(ProfileStoreTest, AKeychainThatRefusesOrCannotReadLeavesWhatItHeld) {
    auto login = run(store->addCredential("Login", {"a.com"}, "u", "p", otpKey));
    auto values = secrets->values;
    auto account = [&](const char* field) { return "credential/" + login.id + "/" + field; };

    secrets->refusingFields = {"password"};
    EXPECT_EQ(failure([&] { run(store->updateCredential(login.id, "Login", {"a.com"}, "u2", "p2", "")); }),
              "The keychain did not store the value: User interaction is not allowed.");
    EXPECT_EQ(secrets->values, values) << "the user name written first goes again";

    secrets->refusingFields = {};
    secrets->unreadable = {account("otp")};  // taken away, so read first
    EXPECT_EQ(failure([&] { run(store->updateCredential(login.id, "Login", {"a.com"}, "u2", "p2", "")); }),
              "The keychain could not read the values stored now, so nothing was changed: the keychain is locked. "
              "Unlock the keychain and try again");
    EXPECT_EQ(secrets->values, values);

    // An item that holds no text stays when a save fails, and goes when one
    // is saved.
    secrets->unreadable = {};
    secrets->values[account("password")] = "\xff";
    secrets->notText = {account("password")};
    secrets->refusingFields = {"password"};
    EXPECT_NE(failure([&] { run(store->updateCredential(login.id, "Login", {"a.com"}, "u", "p2", "")); }),
              "no failure");
    EXPECT_EQ(secrets->values.at(account("password")), "\xff");
    secrets->refusingFields = {};
    run(store->updateCredential(login.id, "Login", {"a.com"}, "u", "p2", std::nullopt));
    const Credential saved = store->credentials->at(0);
    EXPECT_EQ(secrets->values.at(SecretAccounts::of(saved, "password")), "p2");
    values = secrets->values;

    secrets->refusingFields = {"password"};
    EXPECT_EQ(failure([&] { run(store->deleteCredential(login.id)); }),
              "The credential was deleted, but the keychain did not erase its values: User interaction is not "
              "allowed. Remove the items of the service Vesk with the desktop's passwords tool");
    secrets->refusingFields = {};
    EXPECT_TRUE(store->credentials->empty());
    EXPECT_FALSE(secrets->values.contains(SecretAccounts::of(saved, "otp")));

    // A profile goes as well, and so does its website data; what the keychain
    // kept is said.
    auto profile = run(store->createProfile("P"));
    run(store->setVariable("A", "1", "a.com", profile.id));
    fs::create_directories(websiteData.dataFolder(profile.id));
    secrets->refusing = {profile.id + "/a.com/A"};
    EXPECT_EQ(failure([&] { run(store->deleteProfile(profile)); }),
              "The profile was deleted, but the keychain did not erase its values: User interaction is not allowed. "
              "Remove the items of the service Vesk with the desktop's passwords tool");
    EXPECT_TRUE(store->profiles->empty());
    EXPECT_FALSE(fs::exists(websiteData.dataFolder(profile.id)));
}

TEST_F(ProfileStoreTest, DeletingAProfileRemovesAllTheStoreKnowsOfItAndLeftoversGoAtStart) {
    auto profile = run(store->createProfile("P"));
    auto stale = profile;
    run(store->setVariable("A", "1", "a.com", profile.id));
    auto login = run(store->addCredential("Login", {"a.com"}, "u", "p", {}));
    run(store->assignCredential(login.id, true, profile.id));
    run(store->selectProfile(profile));
    for (const auto& uuid : {profile.id, unknownID, std::string("not-a-profile")}) {
        fs::create_directories(websiteData.dataFolder(uuid));
        fs::create_directories(websiteData.cacheFolder(uuid));
    }

    run(store->deleteProfile(stale));
    EXPECT_FALSE(secrets->values.contains(profile.id + "/a.com/A")) << "the copy passed in had no variables";
    EXPECT_EQ(session->used.back(), BrowserSession::Profile::ephemeral());
    EXPECT_TRUE(store->credentials->at(0).profileIDs.empty());
    EXPECT_FALSE(fs::exists(websiteData.dataFolder(profile.id)) || fs::exists(websiteData.cacheFolder(profile.id)));

    std::string text = fileText();
    writeFile("garbage");
    store = open();
    EXPECT_TRUE(fs::exists(websiteData.dataFolder(unknownID))) << "kept while the file cannot be read";
    writeFile(text);
    store = open();
    EXPECT_FALSE(fs::exists(websiteData.dataFolder(unknownID)) || fs::exists(websiteData.cacheFolder(unknownID)));
    EXPECT_TRUE(fs::exists(websiteData.dataFolder("not-a-profile")));
}

TEST_F(ProfileStoreTest, TwoProcessesOnOneFileLoseNothingOfEachOther) {
    auto other = open();
    auto first = run(store->createProfile("First"));
    run(store->addCredential("Login", {"a.com"}, "u", "p", {}));
    run(other->selectProfile(run(other->createProfile("Second"))));
    EXPECT_EQ(kind([&] { run(other->createProfile("first")); }), ProfileError::Kind::duplicate);
    run(store->setVariable("A", "1", "a.com", first.id));

    // One chooses a profile, the other adds a credential: the file keeps both.
    run(other->selectProfile(first));
    run(store->addCredential("Other", {"b.com"}, "u", "p", {}));
    EXPECT_EQ(*store->currentID, std::nullopt) << "each process keeps its own choice";

    auto fresh = open();
    EXPECT_EQ(*fresh->currentID, first.id);
    EXPECT_EQ(fresh->credentials->size(), 2u);
    ASSERT_EQ(fresh->profiles->size(), 2u);
    EXPECT_EQ(fresh->profiles->at(0).variables.size(), 1u);
    store->reload();
    EXPECT_EQ(*store->profiles, *fresh->profiles);
}

} // namespace

namespace {

// Where a process that is killed stops: nothing it would write after is written.
struct Stopped {};

std::string valueOf(const test::MemorySecretStore& keychain, const std::string& account) {
    auto found = keychain.values.find(account);
    return found == keychain.values.end() ? "(none)" : found->second;
}

std::set<std::string> accountsOf(const test::MemorySecretStore& keychain) {
    std::set<std::string> held;
    for (const auto& [account, value] : keychain.values) held.insert(account);
    return held;
}

// The account of a credential's value, as the desktop's tools find it.
std::string own(const Credential& credential, const char* field) { return "credential/" + credential.id + "/" + field; }

// What the keychain holds for each credential, as a person reads it: name,
// sites and the values under the credential's own accounts.
using World = std::set<std::vector<std::string>>;

World worldOf(const ProfileStore& store, const test::MemorySecretStore& keychain) {
    World world;
    for (const auto& credential : *store.credentials) {
        std::vector<std::string> seen{credential.name};
        seen.insert(seen.end(), credential.sites.begin(), credential.sites.end());
        for (const char* field : {"user", "password"}) seen.push_back(valueOf(keychain, own(credential, field)));
        seen.push_back(credential.hasOTP ? valueOf(keychain, own(credential, "otp")) : "(no key)");
        world.insert(seen);
    }
    return world;
}

} // namespace

// A process killed at any write of a change (of the file or the keychain):
// after a restart every credential is whole as it was or as the change made
// it, every value lies under the credential's own accounts and nothing else
// is left in the keychain.
TEST_F(ProfileStoreTest, ACredentialChangeKilledAtAnyWriteLeavesItWholeAndNoValueBehind) {
    using Change = std::function<void(ProfileStore&, const Credential&)>;
    const std::vector<std::string> old{"Old", "a.com", "ann", "old-pw", otpKey};
    const std::string newKey = "GEZDGNBVGY3TQOJQ";
    auto with = [&](std::size_t at, std::string value) {
        auto changed = old;
        changed[at] = std::move(value);
        return World{changed};
    };
    const std::vector<std::tuple<const char*, Change, World>> changes{
        {"add", [](ProfileStore& s, const Credential&) { run(s.addCredential("Added", {"c.com"}, "cy", "c-pw", otpKey)); },
         World{old, {"Added", "c.com", "cy", "c-pw", otpKey}}},
        {"edit the user",
         [](ProfileStore& s, const Credential& c) { run(s.updateCredential(c.id, "Old", {"a.com"}, "bob", {}, {})); },
         with(2, "bob")},
        {"edit the password",
         [](ProfileStore& s, const Credential& c) { run(s.updateCredential(c.id, "Old", {"a.com"}, "ann", "new-pw", {})); },
         with(3, "new-pw")},
        {"edit the key",
         [&](ProfileStore& s, const Credential& c) { run(s.updateCredential(c.id, "Old", {"a.com"}, "ann", {}, newKey)); },
         with(4, newKey)},
        {"remove the key",
         [](ProfileStore& s, const Credential& c) { run(s.updateCredential(c.id, "Old", {"a.com"}, "ann", {}, "")); },
         with(4, "(no key)")},
        {"rename with a new password and sites",
         [](ProfileStore& s, const Credential& c) { run(s.updateCredential(c.id, "New", {"b.com"}, "bob", "new-pw", {})); },
         World{{"New", "b.com", "bob", "new-pw", otpKey}}},
        {"delete", [](ProfileStore& s, const Credential& c) { run(s.deleteCredential(c.id)); }, World{}},
    };
    for (const auto& [what, change, after] : changes) {
        for (int stop = 1;; ++stop) {
            fs::remove(folder / "profiles.json");
            test::MemorySecretStore keychain;
            Credential before = run(sharing(keychain)->addCredential("Old", {"a.com"}, "ann", "old-pw", otpKey));
            auto killed = sharing(keychain);
            int writes = 0;
            auto write = [&, stop = stop] {
                if (++writes >= stop) throw Stopped{};
            };
            killed->standIn("ended", write);
            keychain.onWrite = write;
            bool finished = false;
            try {
                change(*killed, before);
                finished = true;
            } catch (const Stopped&) {
            }
            keychain.onWrite = nullptr;

            auto restarted = sharing(keychain);
            ASSERT_TRUE(test::spinUntil([&] { return restarted->settled(); }));
            const World world = worldOf(*restarted, keychain);
            EXPECT_TRUE(world == World{old} || world == after) << what << ", killed at write " << stop;
            std::set<std::string> named;
            for (const auto& credential : *restarted->credentials) {
                for (const char* field : {"user", "password"}) named.insert(own(credential, field));
                if (credential.hasOTP) named.insert(own(credential, "otp"));
            }
            EXPECT_EQ(accountsOf(keychain), named) << what << ", killed at write " << stop;
            EXPECT_EQ(fileText().find("claims"), std::string::npos) << fileText();
            if (finished) break;
        }
    }
}

// A start erases what a killed process left, but never the values of a save
// that another running process is making at that moment.
TEST_F(ProfileStoreTest, AStartSparesTheValuesOfASaveAnotherProcessIsMaking) {
    test::MemorySecretStore keychain;
    auto running = sharing(keychain);
    Credential kept = run(running->addCredential("Kept", {"a.com"}, "ann", "pw", {}));
    {
        auto killed = sharing(keychain);
        int fileWrites = 0;
        killed->standIn("ended", [&] {
            if (++fileWrites < 2) return;  // killed after its values, before its record
            keychain.onWrite = [] { throw Stopped{}; };
            throw Stopped{};
        });
        EXPECT_THROW(run(killed->addCredential("Lost", {"l.com"}, "lee", "lost-pw", {})), Stopped);
    }
    ASSERT_EQ(keychain.values.size(), 4u) << "the killed save left its values";

    std::unique_ptr<ProfileStore> started;
    int writes = 0;
    keychain.onWrite = [&] {
        // Starts once the running save has written its user name, before its password.
        if (++writes == 2) started = sharing(keychain);
    };
    Credential changed = run(running->updateCredential(kept.id, "Kept", {"a.com"}, "ann", "pw2", {}));
    keychain.onWrite = nullptr;
    ASSERT_TRUE(started);
    EXPECT_EQ(valueOf(keychain, SecretAccounts::of(changed, "user")), "ann");
    EXPECT_EQ(valueOf(keychain, SecretAccounts::of(changed, "password")), "pw2");
    EXPECT_EQ(accountsOf(keychain),
              (std::set<std::string>{SecretAccounts::of(changed, "user"), SecretAccounts::of(changed, "password")}));
    started->reload();
    EXPECT_EQ(*started->credentials, *running->credentials);
}

// Every data folder shares the one keychain, so a profiles file copied into
// another folder names the same values: a change made in one folder is what
// the other reads. And whatever a file claims, a start touches only what a
// save staged.
TEST_F(ProfileStoreTest, ACopiedFileSharesItsValuesAndNoClaimTouchesWhatNoSaveStaged) {
    test::MemorySecretStore keychain;
    auto a = sharing(keychain);
    auto profile = run(a->createProfile("P"));
    run(a->setVariable("TOKEN", "t", "a.com", profile.id));
    auto bank = run(a->addCredential("bank", {"a.com"}, "ann", "pw", otpKey));
    run(a->assignCredential(bank.id, true, profile.id));
    run(a->selectProfile(profile));
    keychain.values["other/program"] = "theirs";
    fs::create_directories(folder / "copy");
    fs::copy_file(folder / "profiles.json", folder / "copy" / "profiles.json");
    {
        ProfileStore b(folder / "copy", std::make_unique<test::SharedSecretStore>(keychain), websiteData);
        run(b.updateCredential(bank.id, "bank", {"a.com"}, "ann", "new-pw", {}));
    }
    a = sharing(keychain);
    EXPECT_EQ(session->variables.at("a.com").at("bank.password"), "new-pw");
    EXPECT_EQ(session->variables.at("a.com").at("bank.user"), "ann");
    const auto kept = keychain.values;

    // Claims of A's values, of another program's item, of a process that is
    // not a Vesk (pid 1, a sleep) over values only they staged, of many
    // accounts, and claims in no form a save writes.
    test::Process sleeper(g_subprocess_new(G_SUBPROCESS_FLAGS_NONE, nullptr, "sleep", "600", nullptr));
    ASSERT_TRUE(sleeper);
    const int sleeping = std::atoi(g_subprocess_get_identifier(sleeper.get()));
    auto save = [](int n) { return "0F1C8E2A-0000-4000-8000-00000000000" + std::to_string(n); };
    auto staged = [&](int n, const char* role, const std::string& account) {
        return "vesk-save/" + save(n) + "/" + role + "/" + account;
    };
    const std::string user = "credential/" + bank.id + "/user", password = "credential/" + bank.id + "/password";
    auto claims = nlohmann::json::array({
        {{"process", "ended"}, {"save", save(1)}, {"accounts", {user, password, "other/program"}}, {"saved", true}},
        {{"process", "ended"}, {"save", save(2)}, {"accounts", {staged(2, "old", password), staged(2, "new", user)}}},
        {{"process", processIdentity(1)}, {"save", save(3)}, {"accounts", {staged(3, "new", user)}}},
        {{"process", processIdentity(sleeping)}, {"save", save(4)}, {"accounts", {staged(4, "old", password)}}}});
    claims.push_back({{"process", "ended"}, {"save", save(5)}, {"accounts", nlohmann::json::array()}});
    for (int i = 0; i < 100000; ++i) {
        claims.back()["accounts"].push_back(staged(5, "new", profile.id + "/a.com/V" + std::to_string(i)));
    }
    keychain.values[staged(3, "new", user)] = "mallory";
    keychain.values[staged(4, "old", password)] = "stale";
    // Claims in no form a save writes stay in the file as they were, through
    // the start and later saves, for the version that wrote them.
    const std::string others = R"({"process":5},"x",{"process":"ended","save":")" + save(6) +
                               R"(","accounts":["vesk-save\/)" + save(6) + R"(\/moved\/credential\/)" + bank.id +
                               R"(\/otp"],"kind":"é"})";
    auto file = nlohmann::json::parse(fileText());
    file["claims"] = claims;
    std::string text = file.dump();
    text.insert(text.find(R"("claims":[)") + 10, others + ",");
    writeFile(text);
    a = sharing(keychain);
    ASSERT_TRUE(test::spinUntil([&] { return a->settled(); }));
    EXPECT_FALSE(a->unreadable());
    EXPECT_EQ(a->credentials->size(), 1u);
    EXPECT_EQ(keychain.values, kept) << "only what the claims of ended processes staged is gone";
    EXPECT_EQ(session->variables.at("a.com").at("bank.password"), "new-pw");
    for (int round = 0; round < 2; ++round) {
        EXPECT_NE(fileText().find(R"(,"claims":[)" + others + ","), std::string::npos) << fileText();
        const auto written = nlohmann::json::parse(fileText())["claims"];
        ASSERT_EQ(written.size(), 4u);
        EXPECT_EQ(written[3], claims[0]) << "nor a claim of accounts no save stages";
        run(a->updateCredential(bank.id, "bank", {"a.com"}, "ann", "newer-pw", {}));
    }
}

// A save another Vesk is making, known by its process's id and start time:
// a start leaves its claim and what it staged. The same id with another start
// time is another process that took the id once the Vesk ended: its claim is
// settled.
TEST_F(ProfileStoreTest, AStartLeavesTheSaveOfARunningVeskAndSettlesThatOfAReusedID) {
    run(store->createProfile("P"));
    test::ProgramCopy copy;
    const std::string running = processIdentity(copy.pid());
    ASSERT_FALSE(running.empty());
    const std::string reused = running.substr(0, running.rfind('/') + 1) + "1";
    const std::string mine = "0F1C8E2A-0000-4000-8000-000000000001", theirs = "0F1C8E2A-0000-4000-8000-000000000002";
    auto staged = [](const std::string& save) { return "vesk-save/" + save + "/new/" + unknownID + "/a.com/V"; };
    secrets->values[staged(mine)] = "being saved";
    secrets->values[staged(theirs)] = "left";
    auto file = nlohmann::json::parse(fileText());
    file["claims"] = {{{"process", running}, {"save", mine}, {"accounts", {staged(mine)}}},
                      {{"process", reused}, {"save", theirs}, {"accounts", {staged(theirs)}}}};
    writeFile(file.dump());
    store = open();
    ASSERT_TRUE(test::spinUntil([&] { return store->settled(); }));
    EXPECT_EQ(secrets->values, (std::map<std::string, std::string>{{staged(mine), "being saved"}}));
    const auto claims = nlohmann::json::parse(fileText())["claims"];
    ASSERT_EQ(claims.size(), 1u) << fileText();
    EXPECT_EQ(claims[0]["process"], running);
}

// A file whose credential an earlier version tagged: read from the tagged
// accounts, moved back to the credential's own at the start (also when a
// start before was killed at any write of the keychain), the tag gone. A
// copy of the file made before the move still reads.
TEST_F(ProfileStoreTest, ValuesAnEarlierVersionKeptUnderATagMoveBackAtTheStart) {
    const std::string bank = "6F1C8E2A-0000-4000-8000-00000000000B", shop = "6F1C8E2A-0000-4000-8000-00000000000C";
    const std::string tagged = R"({"current":")" + shop + R"(","profiles":[{"id":")" + shop +
                               R"(","name":"Shop","variables":[]}],"credentials":[{"id":")" + bank +
                               R"(","name":"bank","sites":["a.com"],"hasOTP":true,"global":false,"profileIDs":[")" +
                               shop + R"("],"secretsTag":"ED98E6C8"}]})";
    const std::map<std::string, std::string> values{{"user", "ann"}, {"password", "pw"}, {"otp", otpKey}};
    fs::create_directories(folder / "copy");
    std::ofstream(folder / "copy" / "profiles.json") << tagged;
    test::MemorySecretStore keychain;
    for (int stop = 1;; ++stop) {
        writeFile(tagged);
        keychain.values.clear();
        for (const auto& [field, value] : values) keychain.values["credential/" + bank + "/ED98E6C8/" + field] = value;
        int writes = 0;
        keychain.onWrite = [&, stop = stop] {
            if (++writes >= stop) throw Stopped{};
        };
        sharing(keychain);
        keychain.onWrite = nullptr;
        const bool finished = writes < stop;

        session->variables.clear();
        auto restarted = sharing(keychain);
        ASSERT_TRUE(test::spinUntil([&] { return restarted->settled(); }));
        EXPECT_EQ(session->variables.at("a.com"),
                  (std::map<std::string, std::string>{{"bank.user", "ann"}, {"bank.password", "pw"}}))
            << "killed at write " << stop;
        EXPECT_EQ(session->otpKeys.at("a.com").at("bank"), *TOTP::parse(otpKey));
        std::map<std::string, std::string> own;
        for (const auto& [field, value] : values) own["credential/" + bank + "/" + field] = value;
        EXPECT_EQ(keychain.values, own) << "killed at write " << stop;
        EXPECT_EQ(fileText().find("secretsTag"), std::string::npos);
        if (finished) break;
    }
    session->variables.clear();
    ProfileStore copy(folder / "copy", std::make_unique<test::SharedSecretStore>(keychain), websiteData);
    copy.setSession(session);
    EXPECT_EQ(session->variables.at("a.com").at("bank.password"), "pw");
}
