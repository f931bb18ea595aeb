// The recorder card on a real session and a flow store in a temporary
// folder: naming, recording by acting on a loopback page, saving, a save
// that fails and keeps the recording, and the warning for a name whose file
// holds a saved flow.

#include "BrowserCore/Flows/FlowStore.h"
#include "BrowserUI/PanelHarness.h"
#include "BrowserUI/SidePanel/Recorder.h"
#include "Support/LoopbackServer.h"

#include <fstream>

using namespace vesk;
using namespace vesk::test;

namespace {

std::string refNamed(const PageSnapshot& page, const std::string& name) {
    for (const auto& element : page.elements) {
        if (element.name == name) return element.ref;
    }
    ADD_FAILURE() << "no element named " << name;
    return "e0";
}

bool fieldHoldsFocus(Gtk::Widget& field) {
    GtkWidget* focus = gtk_root_get_focus(GTK_ROOT(field.get_root()->gobj()));
    return focus && (focus == field.gobj() || gtk_widget_is_ancestor(focus, field.gobj()));
}

void startNaming(ui::Recorder& card) {
    ASSERT_TRUE(spinUntil([&] { return card.recordAFlowButton() != nullptr; }));
    click(*card.recordAFlowButton());
    ASSERT_TRUE(spinUntil([&] { return card.nameField() != nullptr; }));
}

} // namespace

TEST(Recorder, RecordsAFlowOnThePageAndKeepsOneWhoseSaveFailed) {
    PanelHarness harness;
    LoopbackServer server;
    server.serve("/", PanelHarness::page("recorder.html"));
    auto session = PanelHarness::session();
    FlowStore flows(harness.folder / "Flows", harness.folder / "Flows");
    auto& card = harness.show<ui::Recorder>(session, flows, std::make_shared<ui::UnsavedRecordings>());

    // Before any page: the recording has no step, and nothing is saved.
    startNaming(card);
    card.nameField()->set_text("empty");
    pressReturn(*card.nameField());
    ASSERT_TRUE(spinUntil([&] { return card.stopButton() != nullptr; }));
    click(*card.stopButton());
    ASSERT_TRUE(spinUntil([&] { return card.failure() == "no step was recorded"; }));

    PageSnapshot page = runTask(session->navigate(server.url("/")));
    auto record = [&](const std::string& name) {
        startNaming(card);
        EXPECT_FALSE(card.failure());
        EXPECT_TRUE(fieldHoldsFocus(*card.nameField()));
        card.nameField()->set_text(" \t ");
        EXPECT_FALSE(card.recordButton()->get_sensitive());
        pressReturn(*card.nameField());
        card.nameField()->set_text(name);
        click(*card.recordButton());
        ASSERT_TRUE(spinUntil([&] { return card.stopButton() != nullptr; }));
        runTask(session->click(refNamed(page, "Sign in")));
        ASSERT_TRUE(spinUntil([&] { return (*session->recording)->steps.size() == 2; }));
        click(*card.stopButton());
    };

    record("Sign in");
    ASSERT_TRUE(spinUntil([&] { return flows.flows().size() == 1; })) << card.failure().value_or("no failure");
    EXPECT_EQ(flows.flows()[0].name, "Sign in");
    EXPECT_EQ(flows.flows()[0].stepCount, 2u); // the opening navigate and the click

    // The warning follows the name's file: other case and punctuation share it.
    startNaming(card);
    for (const auto& [name, warns] : {std::pair{"SIGN IN!", true}, {"Sign in", true}, {"Sign up", false}}) {
        card.nameField()->set_text(name);
        EXPECT_EQ(card.warningLabel()->get_visible(), warns) << name;
    }
    click(*card.cancelButton());
    ASSERT_TRUE(spinUntil([&] { return card.recordAFlowButton() != nullptr; }));
    EXPECT_FALSE(session->isRecording());

    // A file that is not a flow holds the name's file: the save fails, the flow stays.
    std::ofstream(harness.folder / "Flows" / "sign-in-again.json") << "not a flow";
    record("Sign in again");
    ASSERT_TRUE(spinUntil([&] { return card.unsaved() != nullptr; }));
    EXPECT_EQ(card.failure().value_or("").rfind("sign-in-again.json", 0), 0u);
    // The card offers to save it under another name, and says so.
    EXPECT_TRUE(card.failure().value_or("").ends_with("Save the flow under another name")) << *card.failure();
    EXPECT_EQ(card.unsaved()->steps.size(), 2u);
    ASSERT_TRUE(spinUntil([&] { return card.nameField() != nullptr; }));
    PanelHarness::picture(card, "recorder-unsaved");
    card.nameField()->set_text("Sign in, second");
    click(*card.recordButton());
    ASSERT_TRUE(spinUntil([&] { return flows.flows().size() == 2 && !card.unsaved(); }));
    EXPECT_FALSE(card.failure());
    EXPECT_EQ(flows.flowNamed("Sign in, second")->steps.size(), 2u);
}

TEST(Recorder, KeepsItsButtonsAtTheRightEdgeOfTheCard) {
    PanelHarness harness;
    auto session = PanelHarness::session();
    FlowStore flows(harness.folder / "Flows", harness.folder / "Flows");
    auto& card = harness.show<ui::Recorder>(session, flows, std::make_shared<ui::UnsavedRecordings>());
    // Where a widget's right edge lies and how far its row stands from the card's two sides.
    auto bounds = [&](Gtk::Widget& widget) {
        graphene_rect_t out;
        EXPECT_TRUE(gtk_widget_compute_bounds(widget.gobj(), GTK_WIDGET(card.gobj()), &out));
        return out;
    };
    auto atRightEdge = [&](Gtk::Widget& button) {
        waitUntilDrawn(card);
        graphene_rect_t own = bounds(button), row = bounds(*button.get_parent());
        EXPECT_FLOAT_EQ(own.origin.x + own.size.width, row.origin.x + row.size.width);
        EXPECT_FLOAT_EQ(row.origin.x, card.get_width() - (row.origin.x + row.size.width)) << "the row spans the card";
    };

    startNaming(card);
    card.nameField()->set_text("A name long enough to fill most of the card's width");
    atRightEdge(*card.recordButton());
    card.nameField()->set_text("Short");
    atRightEdge(*card.recordButton());
    click(*card.recordButton());
    ASSERT_TRUE(spinUntil([&] { return card.stopButton() != nullptr; }));
    atRightEdge(*card.stopButton());
}
