#include "Platform/UserDefaults.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace vesk;

namespace {

class UserDefaultsTest : public testing::Test {
protected:
    std::filesystem::path root;

    void SetUp() override {
        gchar* made = g_dir_make_tmp("vesk-defaults-XXXXXX", nullptr);
        ASSERT_NE(made, nullptr);
        root = made;
        g_free(made);
    }
    void TearDown() override { std::filesystem::remove_all(root); }
};

} // namespace

TEST_F(UserDefaultsTest, ValuesSurviveAReopenWhateverTheyHold) {
    auto folder = root / "config" / "Vesk"; // made on the first write
    const std::string awkward = "{\"a\": \"x=y\\n\"}\n  [group]\n#not a comment\tCafé";
    {
        UserDefaults defaults(folder);
        EXPECT_FALSE(defaults.string("timings"));
        EXPECT_TRUE(defaults.setString("timings", awkward));
        EXPECT_TRUE(defaults.setString("other", ""));
    }
    UserDefaults reopened(folder);
    EXPECT_EQ(reopened.string("timings"), awkward);
    EXPECT_EQ(reopened.string("other"), "");
    EXPECT_TRUE(reopened.remove("timings"));
    EXPECT_FALSE(UserDefaults(folder).string("timings"));
    EXPECT_EQ(UserDefaults(folder).string("other"), "");
}

TEST_F(UserDefaultsTest, AnUnreadableFileIsAnEmptyStoreAndIsReplaced) {
    {
        std::ofstream file(root / "defaults.ini");
        file << "this is [not a key file\n\x01\x02";
    }
    UserDefaults defaults(root);
    EXPECT_FALSE(defaults.string("timings"));
    EXPECT_TRUE(defaults.setString("timings", "{}"));
    EXPECT_EQ(UserDefaults(root).string("timings"), "{}");
}

TEST_F(UserDefaultsTest, AFailedWriteKeepsTheValueInMemory) {
    // A file where the folder should be makes the write fail.
    std::ofstream(root / "blocked").put('x');
    UserDefaults defaults(root / "blocked");
    EXPECT_FALSE(defaults.setString("timings", "{}"));
    EXPECT_EQ(defaults.string("timings"), "{}");
}

TEST_F(UserDefaultsTest, TheStandardStoreLivesInTheUserConfigFolder) {
    EXPECT_EQ(UserDefaults::standard().file(),
              std::filesystem::path(g_get_user_config_dir()) / "Vesk" / "defaults.ini");
}
