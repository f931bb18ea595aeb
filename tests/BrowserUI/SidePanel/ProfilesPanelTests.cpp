// The profiles and credentials panels on a real profile store in a
// temporary folder with the test session's keychain: profiles, variables
// offered to the page's site, and a credential with a 2FA key saved, edited,
// assigned and deleted.

#include "BrowserCore/Profiles/ProfileStore.h"
#include "BrowserCore/Secrets/SiteKey.h"
#include "BrowserUI/PanelHarness.h"
#include "BrowserUI/Settings/CredentialForm.h"
#include "BrowserUI/Settings/CredentialsPanel.h"
#include "BrowserUI/SidePanel/ProfilesPanel.h"
#include "Platform/Keychain.h"
#include "Support/LoopbackServer.h"

#include <gtkmm/checkbutton.h>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace vesk;
using namespace vesk::test;

namespace {

struct Profiles {
    WebsiteData data;
    ProfileStore store;
    explicit Profiles(const std::filesystem::path& folder)
        : data(folder / "data", folder / "cache"), store(folder, std::make_unique<Keychain>("VeskPanelTests"), data) {}
};

} // namespace

TEST(ProfilesPanel, CreatesProfilesAndOffersTheirVariablesToThePagesSite) {
    PanelHarness harness;
    LoopbackServer server;
    server.serve("/", "<title>Shop</title><p>Shop</p>");
    auto session = PanelHarness::session();
    Profiles profiles(harness.folder);
    profiles.store.setSession(session);
    auto& panel = harness.show<ui::ProfilesPanel>(session, profiles.store);

    panel.newProfileField().set_text("Work");
    pressReturn(panel.newProfileField());
    ASSERT_EQ(profiles.store.profiles->size(), 1u);
    EXPECT_EQ(*profiles.store.currentID, profiles.store.profiles->front().id);
    EXPECT_EQ(panel.newProfileField().get_text(), "");
    // The store refuses a name that differs only in case; the text stays.
    panel.newProfileField().set_text(" work ");
    pressReturn(panel.newProfileField());
    EXPECT_EQ(panel.failure(), "There is already a profile named \"work\"");
    EXPECT_EQ(panel.newProfileField().get_text(), " work ");

    // A form opened on a page starts on the page's site.
    const ProfileID home = runTask(profiles.store.createProfile("Home")).id;
    runTask(session->navigate(server.url("/")));
    const std::string site = *siteKeyOfURL(server.url("/"));
    panel.openVariableForm(home);
    ASSERT_TRUE(spinUntil([&] { return panel.variableForm(home) != nullptr; }));
    ui::VariableForm* form = panel.variableForm(home);
    EXPECT_EQ(form->siteField().get_text().raw(), site);
    form->keyField().set_text("api_key");
    EXPECT_FALSE(form->saveButton().get_sensitive());
    form->valueField().set_text("s3cret");
    EXPECT_TRUE(form->saveButton().get_sensitive());
    click(form->saveButton());
    auto homeProfile = [&] {
        return *std::find_if(profiles.store.profiles->begin(), profiles.store.profiles->end(),
                             [&](const BrowserProfile& p) { return p.id == home; });
    };
    ASSERT_EQ(homeProfile().variables.size(), 1u);
    EXPECT_EQ(homeProfile().variables[0].name, "API_KEY");
    EXPECT_FALSE(panel.failure());
    // The form stays, emptied but for its site.
    // (A new form may lie where the old one did: wait for its empty field.)
    ASSERT_TRUE(spinUntil([&] { return panel.variableForm(home) && panel.variableForm(home)->keyField().get_text().empty(); }));
    form = panel.variableForm(home);
    EXPECT_EQ(form->keyField().get_text(), "");
    EXPECT_EQ(form->valueField().get_text(), "");
    EXPECT_EQ(form->siteField().get_text().raw(), site);

    // In use, the profile offers the value to the site.
    runTask(profiles.store.selectProfile(homeProfile()));
    EXPECT_EQ(session->variables->at(site).at("API_KEY"), "s3cret");
    PanelHarness::picture(panel, "profiles-panel");
}

TEST(CredentialsPanel, SavesEditsAssignsAndDeletesACredentialWithA2FAKey) {
    PanelHarness harness;
    auto session = PanelHarness::session();
    Profiles profiles(harness.folder);
    profiles.store.setSession(session);
    BrowserProfile work = runTask(profiles.store.createProfile("Work"));
    runTask(profiles.store.selectProfile(work));
    auto& panel = harness.show<ui::CredentialsPanel>(profiles.store);

    click(panel.addButton());
    ASSERT_TRUE(spinUntil([&] { return panel.form() != nullptr; }));
    EXPECT_FALSE(panel.addButton().get_sensitive());
    ui::CredentialForm* form = panel.form();
    form->nameField().set_text("my_bank");
    form->sitesField().set_text("bank.example  login.bank.example,");
    form->userField().set_text("ann");
    EXPECT_FALSE(form->saveButton().get_sensitive()); // a new credential needs its password
    form->passwordField().set_text("pw");
    form->otpKeyField().set_text("JBSWY3DPEHPK3PXP");
    pressReturn(form->userField());
    ASSERT_EQ(profiles.store.credentials->size(), 1u);
    Credential saved = profiles.store.credentials->front();
    EXPECT_EQ(saved.sites, (std::vector<std::string>{"bank.example", "login.bank.example"}));
    EXPECT_TRUE(saved.hasOTP);
    ASSERT_TRUE(spinUntil([&] { return panel.form() == nullptr; }));
    PanelHarness::picture(panel, "credentials-panel");

    // Edit: the stored user is shown, never the password; the 2FA key is removed.
    panel.edit(saved.id);
    ASSERT_TRUE(spinUntil([&] { return panel.form() != nullptr; }));
    form = panel.form();
    EXPECT_EQ(form->userField().get_text(), "ann");
    EXPECT_EQ(form->passwordField().get_text(), "");
    ASSERT_NE(form->removeOTPToggle(), nullptr);
    form->removeOTPToggle()->set_active(true);
    EXPECT_FALSE(form->otpKeyField().get_sensitive());
    EXPECT_TRUE(form->saveButton().get_sensitive()); // an edit keeps its password
    click(form->saveButton());
    EXPECT_FALSE(profiles.store.credentials->front().hasOTP);
    EXPECT_EQ(profiles.store.storedUser(saved.id), "ann");

    // Assigned through the profiles panel's menu, it reaches the session.
    auto& profilesPanel = harness.show<ui::ProfilesPanel>(session, profiles.store);
    profilesPanel.assign(profiles.store.credentials->front(), true, work);
    EXPECT_EQ(profiles.store.credentials->front().profileIDs, std::vector<ProfileID>{work.id});
    EXPECT_EQ(session->variables->at("bank.example").at("my_bank.password"), "pw");

    panel.askToDelete(saved.id);
    panel.confirmDeletion(saved.id);
    EXPECT_TRUE(profiles.store.credentials->empty());
    EXPECT_FALSE(panel.failure());
    EXPECT_FALSE(session->variables->contains("bank.example"));
}

TEST(CredentialsPanel, AnOpenFormKeepsWhatWasTypedAndItsFailureWhenThePanelDrawsAgain) {
    PanelHarness harness;
    Profiles profiles(harness.folder);
    const Credential alpha = runTask(profiles.store.addCredential("alpha", {"a.example"}, "ann", "pw", ""));
    auto& panel = harness.show<ui::CredentialsPanel>(profiles.store);

    click(panel.addButton());
    ASSERT_TRUE(spinUntil([&] { return panel.form() != nullptr; }));
    ui::CredentialForm* form = panel.form();
    form->nameField().set_text("Alpha");
    form->sitesField().set_text("b.example");
    form->userField().set_text("bob");
    form->passwordField().set_text("secret");
    form->otpKeyField().set_text("JBSWY3DPEHPK3PXP");
    click(form->saveButton());
    ASSERT_EQ(form->failure(), "There is already a credential named \"Alpha\"");

    // Ticking "global" on the other row draws the panel, and the form, again.
    bool gone = false;
    form->signal_destroy().connect([&] { gone = true; });
    panel.setGlobal(alpha.id, true);
    ASSERT_TRUE(spinUntil([&] { return gone && panel.form() != nullptr; }));
    form = panel.form();
    EXPECT_EQ(form->nameField().get_text(), "Alpha");
    EXPECT_EQ(form->sitesField().get_text(), "b.example");
    EXPECT_EQ(form->userField().get_text(), "bob");
    EXPECT_EQ(form->passwordField().secret(), "secret");
    EXPECT_EQ(form->otpKeyField().secret(), "JBSWY3DPEHPK3PXP");
    EXPECT_EQ(form->failure(), "There is already a credential named \"Alpha\"");
    EXPECT_TRUE(form->saveButton().get_sensitive());

    // Cancelled and opened again, the form starts empty.
    click(form->cancelButton());
    ASSERT_TRUE(spinUntil([&] { return panel.form() == nullptr; }));
    click(panel.addButton());
    ASSERT_TRUE(spinUntil([&] { return panel.form() != nullptr; }));
    EXPECT_EQ(panel.form()->nameField().get_text(), "");
    EXPECT_FALSE(panel.form()->failure());
}

namespace {

// Whether another process holds the lock on `path` now.
bool lockIsHeld(const std::string& path) {
    int descriptor = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (descriptor < 0) return false;
    bool held = ::flock(descriptor, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(descriptor);
    return held;
}

} // namespace

// Another process holds the profiles file's lock for three seconds: the new
// profile waits for it while the window goes on drawing, then is saved.
TEST(ProfilesPanel, AChangeWaitingForTheLockLeavesTheWindowDrawing) {
    PanelHarness harness;
    auto session = PanelHarness::session();
    Profiles profiles(harness.folder);
    auto& panel = harness.show<ui::ProfilesPanel>(session, profiles.store);

    const std::string lock = (harness.folder / "profiles.json.lock").string();
    const gchar* holder[] = {"flock", lock.c_str(), "sleep", "3", nullptr};
    GPid pid = 0;
    ASSERT_TRUE(g_spawn_async(nullptr, const_cast<gchar**>(holder), nullptr,
                              GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD), nullptr, nullptr, &pid,
                              nullptr));
    auto ended = std::make_shared<bool>(false);
    g_child_watch_add_full(
        G_PRIORITY_DEFAULT, pid,
        [](GPid child, gint, gpointer data) {
            **static_cast<std::shared_ptr<bool>*>(data) = true;
            g_spawn_close_pid(child);
        },
        new std::shared_ptr<bool>(ended), [](gpointer data) { delete static_cast<std::shared_ptr<bool>*>(data); });
    ASSERT_TRUE(spinUntil([&] { return lockIsHeld(lock); }));

    struct Count {
        ProfileStore& store;
        int framesWhileWaiting = 0;
    } count{profiles.store};
    GtkWidget* window = GTK_WIDGET(panel.get_root()->gobj());
    guint tick = gtk_widget_add_tick_callback(
        window,
        [](GtkWidget*, GdkFrameClock*, gpointer data) -> gboolean {
            auto* count = static_cast<Count*>(data);
            if (count->store.profiles->empty()) ++count->framesWhileWaiting;
            return G_SOURCE_CONTINUE;
        },
        &count, nullptr);
    panel.newProfileField().set_text("Work");
    pressReturn(panel.newProfileField());
    EXPECT_TRUE(profiles.store.profiles->empty()) << "the change waits for the lock";
    ASSERT_TRUE(spinUntil([&] { return profiles.store.profiles->size() == 1; }));
    gtk_widget_remove_tick_callback(window, tick);
    EXPECT_GT(count.framesWhileWaiting, 30) << "about 180 in three seconds";
    EXPECT_FALSE(panel.failure());
    EXPECT_EQ(profiles.store.currentProfile()->name, "Work");
    spinUntil([&] { return *ended; });
}
