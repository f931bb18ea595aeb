#include "BrowserUI/Presentation/CredentialDraft.h"
#include "BrowserUI/Presentation/ProfileRows.h"

#include <gtest/gtest.h>

using namespace vesk;
using namespace vesk::ui;

TEST(CredentialDraft, SplitsSitesAtCommasAndWhiteSpace) {
    const std::vector<std::string> two{"a.example", "b.example:8080"};
    for (const char* typed : {"a.example, b.example:8080", "a.example b.example:8080", "a.example,,b.example:8080",
                              " a.example\t,\nb.example:8080 "}) {
        CredentialDraft draft{.sites = typed};
        EXPECT_EQ(draft.siteList(), two) << typed;
    }
    EXPECT_TRUE(CredentialDraft{.sites = " , ,"}.siteList().empty());
}

TEST(CredentialDraft, SaveRuleAndEditUpdates) {
    CredentialDraft draft{.name = "bank", .sites = "bank.example", .user = "ann"};
    EXPECT_FALSE(draft.canSave(/*isNew=*/true));
    EXPECT_TRUE(draft.canSave(/*isNew=*/false));
    draft.password = "secret";
    EXPECT_TRUE(draft.canSave(true));
    for (auto blankOut : {&CredentialDraft::name, &CredentialDraft::user}) {
        CredentialDraft without = draft;
        without.*blankOut = "";
        EXPECT_FALSE(without.canSave(false));
    }
    EXPECT_FALSE((CredentialDraft{.name = "bank", .sites = ", ", .user = "ann"}.canSave(false)));

    // An edit keeps what was left blank, stores what was typed, and removes the key when asked.
    CredentialDraft edit{.name = "bank", .sites = "bank.example", .user = "ann"};
    EXPECT_EQ(edit.passwordUpdate(), std::nullopt);
    EXPECT_EQ(edit.otpKeyUpdate(), std::nullopt);
    edit.password = "new";
    edit.otpKey = "JBSWY3DPEHPK3PXP";
    EXPECT_EQ(edit.passwordUpdate(), "new");
    EXPECT_EQ(edit.otpKeyUpdate(), "JBSWY3DPEHPK3PXP");
    edit.removesOTP = true;
    EXPECT_EQ(edit.otpKeyUpdate(), "");

    Credential stored{.id = "C", .name = "bank", .sites = {"bank.example", "localhost:3000"}, .hasOTP = true};
    CredentialDraft opened = CredentialDraft::editing(stored, "ann");
    EXPECT_EQ(opened.sites, "bank.example, localhost:3000");
    EXPECT_EQ(opened.user, "ann");
    EXPECT_TRUE(opened.password.empty() && opened.otpKey.empty() && !opened.removesOTP);
    EXPECT_EQ(credentialReferences(stored), "${bank.user} ${bank.password} ${bank.otp}");
    stored.hasOTP = false;
    EXPECT_EQ(credentialReferences(stored), "${bank.user} ${bank.password}");
}

TEST(ProfileRows, ShownAndOfferedCredentialsAndTheVariableRule) {
    std::vector<Credential> credentials{
        {.id = "1", .name = "anywhere", .global = true},
        {.id = "2", .name = "mine", .profileIDs = {"P", "Q"}},
        {.id = "3", .name = "theirs", .profileIDs = {"Q"}},
    };
    auto lists = credentialsOf(credentials, "P");
    ASSERT_EQ(lists.shown.size(), 2u);
    EXPECT_EQ(lists.shown[0].name, "anywhere");
    EXPECT_EQ(lists.shown[1].name, "mine");
    ASSERT_EQ(lists.offered.size(), 1u);
    EXPECT_EQ(lists.offered[0].name, "theirs");

    EXPECT_TRUE(canSaveVariable("k", "v", "s"));
    EXPECT_FALSE(canSaveVariable("", "v", "s"));
    EXPECT_FALSE(canSaveVariable("k", "", "s"));
    EXPECT_FALSE(canSaveVariable("k", "v", ""));
    EXPECT_EQ(variableKey("api_key2"), "API_KEY2");
}
