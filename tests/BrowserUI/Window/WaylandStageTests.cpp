// The windows a Wayland compositor lists for the program, as weston's log of
// its clients' requests shows them: while the window shows, the pages no
// window shows still load, draw and act, and the desktop lists the window
// alone; and a program whose input ends asks for no window on its way out.
// Runs under a weston of its own (tests/BrowserUI/with-weston).

#include "BrowserUI/WindowHarness.h"
#include "Support/ChildProcess.h"

#include <gdk/wayland/gdkwayland.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <fstream>
#include <map>

using namespace vesk;
using namespace vesk::test;

namespace {

// The xdg toplevels that weston's clients have mapped, read from the
// requests weston logged: a toplevel is mapped once its surface has a
// buffer committed, until the buffer is taken away or the toplevel goes.
class MappedToplevels {
public:
    struct Toplevel {
        std::string appId;
        std::string title;
        auto operator<=>(const Toplevel&) const = default;
        friend void PrintTo(const Toplevel& toplevel, std::ostream* out) {
            *out << "app id \"" << toplevel.appId << "\", title \"" << toplevel.title << "\"";
        }
    };

    explicit MappedToplevels(std::string path) : path_(std::move(path)) {}

    // Reads what weston logged since the last call; the display's requests
    // reach weston first.
    std::vector<Toplevel> now() {
        gdk_display_sync(gdk_display_get_default());
        std::ifstream log(path_);
        log.seekg(read_);
        std::string line;
        while (std::getline(log, line) && !log.eof()) {
            read_ += static_cast<std::streamoff>(line.size() + 1);
            take(line);
        }
        std::vector<Toplevel> mapped;
        for (const auto& [key, toplevel] : toplevels_) {
            auto surface = surfaces_.find({key.first, toplevel.surface});
            if (surface != surfaces_.end() && surface->second.mapped) mapped.push_back({toplevel.appId, toplevel.title});
        }
        std::sort(mapped.begin(), mapped.end());
        return mapped;
    }

private:
    using Key = std::pair<std::string, std::string>;  // client, object id
    struct Surface {
        std::optional<bool> attached;  // a buffer attached since the last commit
        bool mapped = false;
    };
    struct Open {
        std::string surface;
        std::string appId, title;
    };

    // A request, as weston logs it:
    //   [time][proto] client 0x55d0 rq xdg_toplevel@31.set_title("Vesk")
    void take(const std::string& line) {
        auto from = line.find("client "), request = line.find(" rq ");
        if (from == std::string::npos || request == std::string::npos) return;
        const std::string client = line.substr(from + 7, request - from - 7);
        const std::string call = line.substr(request + 4);
        auto at = call.find('@'), dot = call.find('.'), open = call.find('(');
        if (at == std::string::npos || dot < at || open < dot || call.back() != ')') return;
        const std::string interface = call.substr(0, at), id = call.substr(at + 1, dot - at - 1);
        const std::string name = call.substr(dot + 1, open - dot - 1);
        const std::string args = call.substr(open + 1, call.size() - open - 2);
        std::vector<std::string> objects;
        for (auto mark = args.find('@'); mark != std::string::npos; mark = args.find('@', mark + 1)) {
            objects.push_back(args.substr(mark + 1, args.find_first_not_of("0123456789", mark + 1) - mark - 1));
        }
        auto first = args.find('"'), last = args.rfind('"');
        std::string string = first < last ? args.substr(first + 1, last - first - 1) : "";
        if (interface == "xdg_wm_base" && name == "get_xdg_surface" && objects.size() == 2) {
            xdgSurfaces_[{client, objects[0]}] = objects[1];
        } else if (interface == "xdg_surface" && name == "get_toplevel" && objects.size() == 1) {
            std::string surface = xdgSurfaces_[{client, id}];
            toplevels_[{client, objects[0]}] = Open{surface, "", ""};
            surfaces_[{client, surface}].mapped = false;
        } else if (interface == "xdg_toplevel" && name == "set_app_id") {
            toplevels_[{client, id}].appId = string;
        } else if (interface == "xdg_toplevel" && name == "set_title") {
            toplevels_[{client, id}].title = string;
        } else if (interface == "xdg_toplevel" && name == "destroy") {
            toplevels_.erase({client, id});
        } else if (interface == "wl_surface" && name == "attach") {
            surfaces_[{client, id}].attached = args.rfind("nil", 0) != 0;
        } else if (interface == "wl_surface" && name == "commit") {
            Surface& surface = surfaces_[{client, id}];
            if (surface.attached) surface.mapped = *surface.attached;
            surface.attached.reset();
        } else if (interface == "wl_surface" && name == "destroy") {
            surfaces_.erase({client, id});
        }
    }

    std::string path_;
    std::streamoff read_ = 0;
    std::map<Key, std::string> xdgSurfaces_;
    std::map<Key, Open> toplevels_;
    std::map<Key, Surface> surfaces_;
};

const char* stagedPage = R"(<!doctype html><title>Staged</title>
<button onclick="this.textContent = 'Pressed'">Press</button>
<script>frames = 0; (function count() { frames++; requestAnimationFrame(count); })();</script>)";

int framesOf(BrowserSession& session) {
    return std::atoi(runTask(session.evaluate("return frames")).value_or("0").c_str());
}

std::string fileText(const std::string& path) {
    gchar* text = nullptr;
    gsize size = 0;
    std::string read = g_file_get_contents(path.c_str(), &text, &size, nullptr) ? std::string(text, size) : "";
    g_free(text);
    return read;
}

} // namespace

TEST(OnWayland, TheDesktopListsTheApplicationsWindowAloneWhilePagesDrawUnseen) {
    const char* logged = std::getenv("VESK_TEST_WAYLAND_LOG");
    if (!logged) GTEST_SKIP() << "runs under a compositor of its own (ctest -R WaylandStage)";
    ASSERT_TRUE(GDK_IS_WAYLAND_DISPLAY(gdk_display_get_default()));
    MappedToplevels desktop(logged);
    const std::vector<MappedToplevels::Toplevel> vesk{{"app.vesk.Vesk", "Vesk"}};
    auto application = Gtk::Application::create("app.vesk.Vesk", Gio::Application::Flags::NON_UNIQUE);
    ASSERT_TRUE(application->register_application());

    auto harness = std::make_unique<WindowHarness>(nullptr, true, application.get());
    auto& session = *harness->session;
    harness->server.serve("/staged", stagedPage);
    ASSERT_TRUE(harness->openInBar(harness->server.url("/")));
    session.ensureWindowDelegate();
    // Two windows: the sheet shows the second, the first lies on the stage.
    runTask(session.evaluate("window.open('/staged', 'one'); window.open('/popup', 'two')"));
    ASSERT_TRUE(spinUntil([&] { return session.popups->size() == 2 && harness->view().sheet(); }));
    // (The sheet that showed the first gives it back once the loop is idle.)
    WebKitWebView* staged = session.popups->front().get();
    ASSERT_TRUE(spinUntil([&] { return session.stages->contains(staged); }));
    ASSERT_TRUE(spinUntil([&] {
        const char* uri = webkit_web_view_get_uri(staged);
        return uri && uri == harness->server.url("/staged") && !webkit_web_view_is_loading(staged);
    }));

    // It draws and acts as a shown page does.
    session.selectWindow("w1");
    int frames = framesOf(session);
    ASSERT_TRUE(spinUntil([&] { return framesOf(session) > frames + 30; }));
    EXPECT_EQ(runTask(session.evaluate("return document.visibilityState")), "\"visible\"");
    PageSnapshot snapshot = runTask(session.scan());
    static_cast<void>(runTask(session.click(snapshot.elements.at(0).ref)));
    EXPECT_EQ(runTask(session.evaluate("return document.querySelector('button').textContent")), "\"Pressed\"");
    EXPECT_FALSE(runTask(session.screenshot()).empty());

    EXPECT_EQ(desktop.now(), vesk) << "the window alone, while it shows";

    // The window closed, a window of the program's own stands in for it,
    // as the program.
    harness->window.reset();
    ASSERT_TRUE(spinUntil([&] { return !desktop.now().empty(); }));
    EXPECT_EQ(desktop.now(), vesk);
    EXPECT_EQ(runTask(session.evaluate("return document.title")), "\"Staged\"");
    harness.reset();
}

// The program as an agent starts it: once its input ends, it closes its
// window and asks the desktop for no other. What a program asks for as it
// ends may never reach the compositor, so the requests it made, as its
// Wayland library traces them, are read as well as what weston lists.
TEST(OnWayland, AProgramWhoseInputEndsAsksForNoWindowOnItsWayOut) {
    const char* logged = std::getenv("VESK_TEST_WAYLAND_LOG");
    const char* program = std::getenv("VESK_BINARY");
    if (!logged || !program) GTEST_SKIP() << "runs under a compositor of its own (ctest -R WaylandStage)";
    LoopbackServer server;
    server.serve("/", "<!doctype html><title>Page</title><p>A page");
    MappedToplevels desktop(logged);
    const std::string replies = std::string(logged) + ".replies", requests = std::string(logged) + ".requests";
    GSubprocessLauncher* launcher = g_subprocess_launcher_new(G_SUBPROCESS_FLAGS_STDIN_PIPE);
    g_subprocess_launcher_set_stdout_file_path(launcher, replies.c_str());
    g_subprocess_launcher_set_stderr_file_path(launcher, requests.c_str());
    g_subprocess_launcher_setenv(launcher, "WAYLAND_DEBUG", "client", TRUE);
    Process vesk(g_subprocess_launcher_spawn(launcher, nullptr, program, nullptr));
    g_object_unref(launcher);
    ASSERT_TRUE(vesk);
    nlohmann::json navigate{{"name", "navigate"}, {"arguments", {{"url", server.url("/")}}}};
    std::string input = R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{"protocolVersion":"2024-11-05",)"
                        R"("capabilities":{},"clientInfo":{"name":"test","version":"1"}}})" "\n"
                        R"({"jsonrpc":"2.0","method":"notifications/initialized"})" "\n" +
                        nlohmann::json{{"jsonrpc", "2.0"}, {"id", 2}, {"method", "tools/call"}, {"params", navigate}}.dump() +
                        "\n";
    GOutputStream* stdinPipe = g_subprocess_get_stdin_pipe(vesk.get());
    ASSERT_TRUE(g_output_stream_write_all(stdinPipe, input.data(), input.size(), nullptr, nullptr, nullptr));
    ASSERT_TRUE(spinUntil([&] { return fileText(replies).find(R"("id":2)") != std::string::npos; }, seconds(60)));
    const std::vector<MappedToplevels::Toplevel> window{{"app.vesk.Vesk", "Vesk"}};
    ASSERT_TRUE(spinUntil([&] { return desktop.now() == window; }));

    const std::size_t before = fileText(requests).size();
    g_output_stream_close(stdinPipe, nullptr, nullptr);
    bool ended = false;
    g_subprocess_wait_async(
        vesk.get(), nullptr, [](GObject*, GAsyncResult*, gpointer done) { *static_cast<bool*>(done) = true; }, &ended);
    ASSERT_TRUE(spinUntil([&] { return ended; }, seconds(30)));
    EXPECT_TRUE(g_subprocess_get_successful(vesk.get()));
    const std::string asked = fileText(requests).substr(before);
    EXPECT_EQ(asked.find(".get_toplevel("), std::string::npos) << asked;
    auto listed = desktop.now();
    EXPECT_TRUE(listed.empty() || listed == window) << "no window but the program's own";
}
