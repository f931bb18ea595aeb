#include "BrowserMCP/BrowserSettings.h"

#include "BrowserMCP/AgentActivity.h"
#include "BrowserMCP/MCPServer.h"
#include "SessionDouble.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>

using namespace vesk;
using Timings = BrowserSettings::Timings;

namespace {

class BrowserSettingsTest : public testing::Test {
protected:
    std::filesystem::path folder;

    void SetUp() override {
        gchar* made = g_dir_make_tmp("vesk-settings-XXXXXX", nullptr);
        ASSERT_NE(made, nullptr);
        folder = made;
        g_free(made);
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    void store(const std::string& json) {
        UserDefaults defaults(folder);
        ASSERT_TRUE(defaults.setString("timings", json));
    }
    std::optional<std::string> stored() { return UserDefaults(folder).string("timings"); }
    Timings readAtStart() {
        UserDefaults defaults(folder);
        return BrowserSettings(defaults).timings();
    }
};

} // namespace

TEST_F(BrowserSettingsTest, DefaultsWhenNothingIsStoredAndNothingWritten) {
    EXPECT_EQ(readAtStart(), (Timings{0.3, 5, 30, 5, 120, 60}));
    EXPECT_FALSE(std::filesystem::exists(folder / "defaults.ini"));
}

TEST_F(BrowserSettingsTest, MissingKeysTakeTheirDefaults) {
    store(R"({"runPause":10})");
    Timings expected;
    expected.runPause = 10;
    EXPECT_EQ(readAtStart(), expected);
}

TEST_F(BrowserSettingsTest, StoredValuesOutOfRangeAreClampedButNotRewritten) {
    store(R"({"settleQuiet":9,"commandTimeout":0})");
    Timings read = readAtStart();
    EXPECT_EQ(read.settleQuiet, 5);
    EXPECT_EQ(read.commandTimeout, 1);
    EXPECT_EQ(stored(), R"({"settleQuiet":9,"commandTimeout":0})");
}

TEST_F(BrowserSettingsTest, UnreadableDataGivesAllDefaults) {
    for (const char* json : {"not json", "[1,2]", R"({"runPause":"10","settleQuiet":1})", R"({"stepTimeout":true})",
                             R"({"runPause":1e400,"settleQuiet":1})"}) {
        store(json);
        EXPECT_EQ(readAtStart(), Timings{}) << json;
    }
}

TEST_F(BrowserSettingsTest, AValueThatIsNotAFiniteNumberBecomesItsDefault) {
    UserDefaults defaults(folder);
    BrowserSettings settings(defaults);
    settings.modifyTimings([](Timings& t) {
        t.stepTimeout = std::numeric_limits<double>::quiet_NaN();
        t.navigationTimeout = -std::numeric_limits<double>::infinity();
        t.commandTimeout = 90;
    });
    EXPECT_EQ(settings.timings().stepTimeout, 5);
    EXPECT_EQ(settings.timings().navigationTimeout, 30);
    EXPECT_EQ(settings.timings().commandTimeout, 90);
    EXPECT_EQ(Timings::decode(*stored()), settings.timings());
}

TEST_F(BrowserSettingsTest, AChangeIsClampedStoredAndPushed) {
    UserDefaults defaults(folder);
    BrowserSettings settings(defaults);
    AgentActivity activity;
    MCPServer server(std::make_unique<test::SessionDouble>(), activity, nullptr, nullptr);
    settings.attach({}, &activity, &server);

    int changes = 0;
    settings.timingsChanged().connect([&] { ++changes; });
    settings.modifyTimings([](Timings& t) { t.runPause = 2; });
    EXPECT_EQ(settings.timings().runPause, 5);
    EXPECT_EQ(activity.runPause.get(), 5);
    EXPECT_EQ(changes, 1);
    auto written = Timings::decode(*stored());
    ASSERT_TRUE(written);
    EXPECT_EQ(written->runPause, 5);

    settings.modifyTimings([](Timings& t) { t.commandTimeout = 1000; });
    EXPECT_EQ(server.commandTimeout(), seconds(900));
    EXPECT_EQ(Timings::decode(*stored())->commandTimeout, 900);
}

TEST_F(BrowserSettingsTest, AnUnchangedValueWritesAndPushesNothing) {
    UserDefaults defaults(folder);
    BrowserSettings settings(defaults);
    AgentActivity activity;
    settings.attach({}, &activity, nullptr);
    activity.runPause.set(77); // so that a push would show

    int changes = 0;
    settings.timingsChanged().connect([&] { ++changes; });
    settings.setTimings(Timings{});
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(activity.runPause.get(), 77);
    EXPECT_FALSE(stored());

    // A value clamped back to the current one is refused: observers hear of
    // it, so a field can show the kept value again, but nothing is written.
    settings.modifyTimings([](Timings& t) { t.settleQuiet = 9; });
    settings.modifyTimings([](Timings& t) { t.settleQuiet = 12; });
    EXPECT_EQ(settings.timings().settleQuiet, 5);
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(activity.runPause.get(), 120); // the first change pushed
}

TEST_F(BrowserSettingsTest, AttachPushesIntoWhatIsThere) {
    store(R"({"runPause":300,"commandTimeout":30})");
    UserDefaults defaults(folder);
    BrowserSettings settings(defaults);
    AgentActivity activity;
    MCPServer server(std::make_unique<test::SessionDouble>(), activity, nullptr, nullptr);

    settings.attach({}, &activity, nullptr);
    EXPECT_EQ(activity.runPause.get(), 300);
    EXPECT_EQ(server.commandTimeout(), seconds(60));
    settings.attach({}, &activity, &server);
    EXPECT_EQ(server.commandTimeout(), seconds(30));
}

TEST_F(BrowserSettingsTest, TimingsSurviveARestart) {
    {
        UserDefaults defaults(folder);
        BrowserSettings settings(defaults);
        settings.setTimings(Timings{1, 2, 3, 4, 50, 600});
    }
    EXPECT_EQ(readAtStart(), (Timings{1, 2, 3, 4, 50, 600}));
    // A reset is a change like any other and is stored.
    {
        UserDefaults defaults(folder);
        BrowserSettings settings(defaults);
        settings.setTimings(Timings{});
    }
    EXPECT_EQ(readAtStart(), Timings{});
    EXPECT_TRUE(stored());
}
