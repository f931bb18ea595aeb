#include "BrowserUI/Settings/NumberRow.h"

#include "BrowserMCP/BrowserSettings.h"

#include <glib.h>
#include <gtest/gtest.h>
#include <gtkmm/init.h>

#include <filesystem>

using namespace vesk;
using Timings = BrowserSettings::Timings;

namespace {

struct TemporaryDefaults {
    std::filesystem::path folder = [] {
        gchar* made = g_dir_make_tmp("vesk-rows-XXXXXX", nullptr);
        std::filesystem::path path = made;
        g_free(made);
        return path;
    }();
    UserDefaults defaults{folder};
    ~TemporaryDefaults() { std::filesystem::remove_all(folder); }
};

// What a row commits for the typed text, through real settings kept in a key file.
double commitThroughSettings(BrowserSettings& settings, double Timings::*field, const char* typed, double scale) {
    if (auto value = ui::committedNumber(typed, scale)) {
        settings.modifyTimings([&](Timings& timings) { timings.*field = *value; });
    }
    return settings.timings().*field;
}

} // namespace

TEST(NumberRow, ConvertsByScaleAndIsClampedBySettings) {
    TemporaryDefaults store;
    BrowserSettings settings(store.defaults);
    EXPECT_EQ(ui::shownNumber(settings.timings().settleQuiet, 1000), "300");

    EXPECT_DOUBLE_EQ(commitThroughSettings(settings, &Timings::settleQuiet, "250", 1000), 0.25);
    EXPECT_EQ(ui::shownNumber(settings.timings().settleQuiet, 1000), "250");
    EXPECT_DOUBLE_EQ(commitThroughSettings(settings, &Timings::settleTimeout, "900", 1), 60);
    EXPECT_DOUBLE_EQ(commitThroughSettings(settings, &Timings::runPause, "2", 1), 5);
    EXPECT_DOUBLE_EQ(commitThroughSettings(settings, &Timings::commandTimeout, "letters", 1), 60);

    // Kept in the key file: a new settings object reads what was committed.
    BrowserSettings reread(store.defaults);
    EXPECT_DOUBLE_EQ(reread.timings().settleQuiet, 0.25);
    EXPECT_DOUBLE_EQ(reread.timings().runPause, 5);
}

TEST(NumberRow, TheFieldCommitsOnReturnAndShowsWhatIsStored) {
    if (!gdk_display_get_default()) GTEST_SKIP() << "needs a display";
    Gtk::init_gtkmm_internals();
    TemporaryDefaults store;
    BrowserSettings settings(store.defaults);
    ui::NumberRow::Binding binding{
        [&] { return settings.timings().settleTimeout; },
        [&](double value) { settings.modifyTimings([&](Timings& timings) { timings.settleTimeout = value; }); },
    };
    auto* row = Gtk::make_managed<ui::NumberRow>("quiet wait", "", binding, "s", 1);
    Gtk::Entry& field = row->field();
    EXPECT_EQ(field.get_text(), "5");

    const std::pair<const char*, const char*> typedAndShown[] = {{"900", "60"}, {"abc", "60"}, {" 7 ", "7"}};
    for (const auto& [typed, shown] : typedAndShown) {
        field.set_text(typed);
        g_signal_emit_by_name(field.gobj(), "activate"); // Return
        EXPECT_EQ(field.get_text(), shown) << typed;
    }
    EXPECT_DOUBLE_EQ(settings.timings().settleTimeout, 7);
    // A change made elsewhere reaches the field when the row is told.
    settings.setTimings(Timings());
    row->refresh();
    EXPECT_EQ(field.get_text(), "5");
    g_object_ref_sink(row->gobj());
    g_object_unref(row->gobj());
}
