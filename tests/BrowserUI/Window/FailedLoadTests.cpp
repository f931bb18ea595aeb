// Addresses a person types that cannot be opened: the start view and the top
// bar say why and keep what was typed.

#include "BrowserUI/Window/StartView.h"
#include "BrowserUI/WindowHarness.h"
#include "Support/ClosedPort.h"
#include "Support/PlainServer.h"

#include <gtest/gtest.h>

using namespace vesk;
using namespace vesk::test;

TEST(FailedLoads, TheStartViewKeepsAnAddressThatCannotBeOpenedAndSaysWhy) {
    if (!gtk_is_initialized()) GTEST_SKIP() << "no display";
    WindowHarness harness;
    PlainServer plain;
    ClosedPort closed;
    ui::StartView* start = harness.view().startView();
    bool pageShown = false;
    // Without a scheme the address gets https://, whose handshake fails.
    for (const auto& [typed, reason] : {std::pair{"localhost:" + std::to_string(plain.port()) + "/x", "TLS"},
                                        std::pair{closed.url("/nothing"), "Could not connect"},
                                        std::pair{std::string("http://127.0.0.1:1/nothing"), "does not open port 1"}}) {
        start->addressField().set_text(typed);
        start->submitAddress();
        ASSERT_TRUE(spinUntil([&] {
            pageShown = pageShown || harness.view().pageView();
            return harness.view().startView() != start || (start->failureText() && !*harness.session->isLoading);
        })) << typed;
        ASSERT_EQ(harness.view().startView(), start) << typed << ": the start view gave way";
        EXPECT_FALSE(pageShown) << typed;
        EXPECT_TRUE(start->failureText()->starts_with("Navigation failed: ")) << *start->failureText();
        EXPECT_NE(start->failureText()->find(reason), std::string::npos) << *start->failureText();
        EXPECT_EQ(start->addressField().get_text().raw(), typed);
    }

    // The failure stays until the session moves on: the agent's page replaces it.
    static_cast<void>(runTask(harness.session->navigate(harness.server.url("/"))));
    ASSERT_TRUE(spinUntil([&] { return harness.view().pageView() != nullptr; }));
    EXPECT_EQ(harness.view().startView(), nullptr);
}

TEST(FailedLoads, TheTopBarShowsAFailedLoadAndKeepsWhatWasTyped) {
    ON_PRIVATE_DISPLAY();
    auto* input = RealInput::get();
    WindowHarness harness;
    ClosedPort closed;
    ASSERT_TRUE(harness.openInBar(harness.server.url("/")));
    input->focus(GTK_WIDGET(harness.window->gobj()));
    input->key("l", "Control_L");
    ASSERT_TRUE(spinUntil([&] { return harness.bar().addressFocused(); }));
    input->type(closed.url("/x"));
    input->key("Return");
    ASSERT_TRUE(spinUntil([&] { return harness.bar().failureText() && !*harness.session->isLoading; }));
    EXPECT_TRUE(harness.bar().failureText()->starts_with("Navigation failed: Could not connect"))
        << *harness.bar().failureText();
    // The field keeps what was typed, and shows it alone when the page
    // takes the keyboard: the address of the page still loaded is not drawn
    // over it.
    EXPECT_EQ(harness.bar().addressField().get_text().raw(), closed.url("/x"));
    gtk_widget_grab_focus(GTK_WIDGET(harness.session->page->get()));
    ASSERT_TRUE(spinUntil([&] { return !harness.bar().addressFocused(); }));
    EXPECT_FALSE(harness.bar().showsFormattedAddress());
    EXPECT_EQ(harness.bar().addressField().get_text().raw(), closed.url("/x"));

    // Once the page's address changes, the field follows it again.
    static_cast<void>(runTask(harness.session->navigate(harness.server.url("/second"))));
    EXPECT_EQ(harness.bar().addressField().get_text().raw(), harness.server.url("/second"));
    ASSERT_TRUE(spinUntil([&] { return harness.bar().showsFormattedAddress(); }));

    // The text the field selects on focus does not show through the address
    // drawn over it once the page takes the keyboard.
    input->key("l", "Control_L");
    ASSERT_TRUE(spinUntil([&] { return harness.bar().addressFocused(); }));
    gtk_widget_grab_focus(GTK_WIDGET(harness.session->page->get()));
    ASSERT_TRUE(spinUntil([&] { return harness.bar().showsFormattedAddress(); }));
    int from = 0, to = 0;
    EXPECT_FALSE(harness.bar().addressField().get_selection_bounds(from, to));

    // A port the browser does not open fails the same way, over the page.
    input->key("l", "Control_L");
    ASSERT_TRUE(spinUntil([&] { return harness.bar().addressFocused(); }));
    input->type("http://127.0.0.1:1/x");
    input->key("Return");
    ASSERT_TRUE(spinUntil([&] {
        auto failure = harness.bar().failureText();
        return failure && failure->find("does not open port 1") != std::string::npos && !*harness.session->isLoading;
    })) << harness.bar().failureText().value_or("no failure line");
    EXPECT_EQ(harness.session->url.get(), harness.server.url("/second"));
}

TEST(FailedLoads, AnAddressTypedOverOneStillLoadingShowsOnlyItsOwnEnd) {
    if (!gtk_is_initialized()) GTEST_SKIP() << "no display";
    WindowHarness harness;
    harness.server.serve("/held", {.hold = true});
    // Both loads have ended once the page is shown and nothing waits.
    auto bothEnded = [&](const std::string& url) {
        return spinUntil([&] {
            return harness.session->url.get() == url && !*harness.session->isLoading && !harness.session->waitingFor;
        });
    };
    auto typeOverHeld = [&](Gtk::Entry& field, const std::function<void()>& submit, const std::string& url) {
        std::size_t held = harness.server.hits("/held");
        field.set_text(harness.server.url("/held"));
        submit();
        ASSERT_TRUE(spinUntil([&] { return harness.server.hits("/held") > held; }));
        field.set_text(url);
        submit();
        ASSERT_TRUE(bothEnded(url));
    };

    // The start view gives way to the page of the address typed last.
    ui::StartView* start = harness.view().startView();
    typeOverHeld(start->addressField(), [&] { start->submitAddress(); }, harness.server.url("/"));
    ASSERT_TRUE(spinUntil([&] { return !harness.view().startView() || start->failureText(); }));
    EXPECT_EQ(harness.view().startView(), nullptr) << *start->failureText();

    // The top bar shows no failure for the load the person replaced.
    typeOverHeld(harness.bar().addressField(), [&] { harness.bar().submitAddress(); }, harness.server.url("/second"));
    EXPECT_EQ(harness.bar().failureText(), std::nullopt);
}
