// How long one page agent "scan" of a page with 2,000 interactive elements
// (a table, the same rows as a grid of divs, that grid with its rows placed
// by transforms, and that grid again with a click listener of the page's on
// every cell, every row and its box, under 200 rules that show the pointer
// hand under the pointer) takes inside the page, timed there with
// performance.now(), for the first (cold) scan of the document and for the
// scans after it, with the CPU time of the page's thread beside each (which a
// busy machine disturbs far less than the clock). It should stay well under
// 100 ms. It also prints how many tokens (characters / 4) the agent reads of
// each page's compact and full snapshot. Run it under a display:
//   scripts/test-session build/benchmarks/ScanBenchmark

#include "BrowserCore/Records/PageRecords.h"
#include "BrowserCore/Session/BrowserSession.h"
#include "BrowserMCP/PageRendering.h"
#include "Platform/Text.h"

#include <gio/gio.h>
#include <gtk/gtk.h>
#include <webkit/webkit.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

namespace {

// 250 rows of 8 controls each, with text around them, a header and a footer:
// the shape of an admin table or a long shop listing.
std::string benchmarkPage() {
    std::string html = "<!doctype html><html><head><title>Orders</title><style>"
                       "td{padding:4px} .sr-only{position:absolute;width:1px;height:1px;overflow:hidden;clip:rect(0 0 0 0)}"
                       "</style></head><body><header><nav><a href=/>Home</a> <a href=/orders>Orders</a></nav></header>"
                       "<main><h1>Orders</h1><table>";
    for (int i = 0; i < 250; i++) {
        auto n = std::to_string(i);
        html += "<tr><td>Order " + n + "</td><td>Customer " + n + " <span class=sr-only>id " + n + "</span></td>"
                "<td><a href=/orders/" + n + ">Open</a></td>"
                "<td><button>Edit</button></td><td><button aria-label='Delete order " + n + "'>&times;</button></td>"
                "<td><label><input type=checkbox> Paid</label></td>"
                "<td><label for=q" + n + ">Quantity</label><input id=q" + n + " value=" + n + "></td>"
                "<td><select aria-label=Status><option>New</option><option>Sent</option><option>Done</option></select></td>"
                "<td><input type=date aria-label='Due date'></td>"
                "<td><div role=button tabindex=0>More</div></td></tr>";
    }
    html += "</table></main><footer><p>Footer text</p></footer></body></html>";
    return html;
}

// The same number of rows drawn as data-grid libraries draw them: rows of
// flex cells with roving focus, sortable headers and a pager of inline
// blocks, whose text the walk keeps apart by reading their layout.
std::string gridPage() {
    std::string html = "<!doctype html><html><head><title>Orders</title><style>"
                       ".row{display:flex} .row>*{width:110px;padding:4px} .pager a{display:inline-block;padding:2px 6px}"
                       "</style></head><body><main><h1>Orders</h1><div role=grid aria-label=Orders><div role=row class=row>";
    for (const char* column : {"Order", "Customer", "Status", "Total", "Due", ""}) {
        html += std::string("<div role=columnheader aria-sort=none>") + column + "</div>";
    }
    html += "</div>";
    for (int i = 0; i < 250; i++) {
        auto n = std::to_string(i);
        html += "<div role=row class=row aria-selected=false><div role=gridcell tabindex=-1>Order " + n + "</div>"
                "<div role=gridcell tabindex=-1><span>Customer</span> <b>" + n + "</b></div>"
                "<div role=gridcell tabindex=-1><span class=chip style='display:inline-flex'>Sent</span></div>"
                "<div role=gridcell tabindex=-1>" + n + ".00</div><div role=gridcell tabindex=-1>2024-12-31</div>"
                "<div role=gridcell><button>Edit</button><button aria-label='Delete order " + n + "'>&times;</button></div></div>";
    }
    html += "</div><nav class=pager><a href=#1>1</a><a href=#2>2</a><a href=#3>3</a></nav></main></body></html>";
    return html;
}

// The grid again as virtual-scrolling grids draw it: every row placed on
// screen by a transform, in the reverse of the document's order, which the
// walk reads in the order shown.
std::string placedGridPage() {
    std::string html = gridPage();
    html.replace(html.find(".row{display:flex}"), 18,
                 ".row{display:flex} .rows{position:relative;height:7500px} .rows>.row{position:absolute;left:0;right:0}");
    const std::string headerEnd = "aria-sort=none></div></div>";
    html.insert(html.find(headerEnd) + headerEnd.size(), "<div class=rows>");
    html.insert(html.find("</div><nav class=pager>"), "</div>");
    for (int i = 0, at = 0; i < 250; i++) {
        at = static_cast<int>(html.find("<div role=row class=row aria-selected=false>", at));
        std::string placed = "<div role=row class=row aria-selected=false style='transform:translateY(" +
                             std::to_string((249 - i) * 30) + "px)'>";
        html.replace(at, 44, placed);
        at += static_cast<int>(placed.size());
    }
    return html;
}

// The grid of divs as a script drives it: a click listener on every cell,
// every row and the grid's box, and a style sheet of many :hover rules.
std::string listenedGridPage() {
    std::string rules;
    for (int i = 0; i < 200; i++) rules += ".menu-" + std::to_string(i) + " a:hover, .card-" + std::to_string(i) + ":hover{cursor:pointer}";
    std::string html = gridPage();
    html.insert(html.find("</style>"), rules);
    return html + "<script>for (const el of document.querySelectorAll('[role=row], [role=gridcell], [role=grid]')) "
                  "el.addEventListener('click', () => {});</script>";
}

// Runs `body` in the agent's world and waits for its text.
std::string callInAgentWorld(WebKitWebView* view, const char* body) {
    struct Outcome {
        bool done = false;
        std::string text;
    } outcome;
    webkit_web_view_call_async_javascript_function(
        view, body, -1, nullptr, "Vesk", nullptr, nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
            auto* o = static_cast<Outcome*>(data);
            GError* error = nullptr;
            JSCValue* value = webkit_web_view_call_async_javascript_function_finish(WEBKIT_WEB_VIEW(source), result, &error);
            if (error) {
                o->text = std::string("error: ") + error->message;
                g_error_free(error);
            } else {
                char* text = jsc_value_to_string(value);
                o->text = text;
                g_free(text);
                g_object_unref(value);
            }
            o->done = true;
        },
        &outcome);
    while (!outcome.done) g_main_context_iteration(nullptr, TRUE);
    return outcome.text;
}

// CPU time, in milliseconds, used so far by the main threads of the web
// processes this program started, where the page's scripts run. Unlike the
// page's own clock it hardly depends on how busy the machine is; the engine's
// collector and compiler threads are not counted.
double mainThreadMs(long id, double tick) {
    std::ifstream file("/proc/" + std::to_string(id) + "/task/" + std::to_string(id) + "/stat");
    std::string line;
    if (!std::getline(file, line)) return 0;
    std::istringstream rest(line.substr(line.rfind(')') + 2));
    std::string field;
    long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && rest >> field; i++) {
        if (i == 14) utime = std::stol(field);
        if (i == 15) stime = std::stol(field);
    }
    return static_cast<double>(utime + stime) * tick;
}

double webProcessCpuMs() {
    struct Process {
        long parent = 0;
        std::string name;
        double ms = 0;
    };
    std::map<long, Process> processes;
    const double tick = 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string id = entry.path().filename();
        if (id.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream file(entry.path() / "stat");
        std::string line;
        if (!std::getline(file, line)) continue;
        auto open = line.find('('), close = line.rfind(')');
        if (open == std::string::npos || close == std::string::npos) continue;
        std::istringstream rest(line.substr(close + 2));
        std::string field;
        Process process;
        process.name = line.substr(open + 1, close - open - 1);
        long utime = 0, stime = 0;
        for (int i = 3; i <= 15 && rest >> field; i++) {
            if (i == 4) process.parent = std::stol(field);
            if (i == 14) utime = std::stol(field);
            if (i == 15) stime = std::stol(field);
        }
        process.ms = static_cast<double>(utime + stime) * tick;
        processes[std::stol(id)] = process;
    }
    double total = 0;
    const long self = getpid();
    for (const auto& [id, process] : processes) {
        if (process.name.rfind("WebKitWebProces", 0) != 0) continue;
        for (long up = process.parent; up > 1 && processes.contains(up); up = processes[up].parent) {
            if (up == self) {
                total += mainThreadMs(id, tick);
                break;
            }
        }
    }
    return total;
}

constexpr int warmRuns = 20;

// The first scan of a document runs cold: the engine has compiled none of the
// agent's code for it yet and has no computed style kept for any element.
constexpr const char* firstScan = R"JS(
    const start = performance.now();
    const reply = __agent.call('scan', {floor: 0});
    const ms = performance.now() - start;
    const scan = JSON.parse(reply).value;
    return `first scan of ${scan.elements.length} elements (${scan.onScreen.length} on screen, ` +
        `${scan.text.length} characters of text, reply ${reply.length} characters): ${ms.toFixed(1)} ms`;
)JS";

constexpr const char* laterScans = R"JS(
    const times = [];
    for (let i = 0; i < 20; i++) {
        const start = performance.now();
        __agent.call('scan', {floor: 0});
        times.push(performance.now() - start);
    }
    times.sort((a, b) => a - b);
    return `next 20 scans: median ${times[10].toFixed(1)} ms, fastest ${times[0].toFixed(1)} ms, ` +
        `slowest ${times[19].toFixed(1)} ms`;
)JS";

constexpr const char* oneFind = R"JS(
    const start = performance.now();
    JSON.parse(__agent.call('find', {role: 'button', name: 'Edit', index: 200, floor: 0}));
    return `find of the 201st "Edit" button: ${(performance.now() - start).toFixed(1)} ms`;
)JS";

constexpr const char* scanReply = "return JSON.stringify(JSON.parse(__agent.call('scan', {floor: 0})).value);";

// The snapshot texts the agent reads of the page, as tokens.
void reportTokens(WebKitWebView* view) {
    const vesk::PageSnapshot page = nlohmann::json::parse(callInAgentWorld(view, scanReply)).get<vesk::PageSnapshot>();
    auto tokens = [](const std::string& text) { return vesk::text::characterCount(text) / 4; };
    std::printf("snapshot tokens: compact %zu, full %zu\n", tokens(vesk::PageRendering::snapshot(page, true)),
                tokens(vesk::PageRendering::snapshot(page, false)));
}

// Runs one measurement and prints it with the page thread's CPU time.
void report(WebKitWebView* view, const char* script, int scans) {
    double before = webProcessCpuMs();
    std::string text = callInAgentWorld(view, script);
    double cpu = webProcessCpuMs() - before;
    std::printf("%s; page thread CPU %.0f ms%s\n", text.c_str(), cpu / scans, scans > 1 ? " a scan" : "");
}

} // namespace

int main() {
    if (!gtk_init_check()) {
        std::fprintf(stderr, "ScanBenchmark needs a display: run it in scripts/test-session\n");
        return 1;
    }
    // The page agent and the listener notes, as the session installs them.
    WebKitUserContentManager* manager = webkit_user_content_manager_new();
    WebKitUserScript* script = webkit_user_script_new_for_world(
        vesk::BrowserSession::agentScript().c_str(), WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
        WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, vesk::BrowserSession::worldName, nullptr, nullptr);
    webkit_user_content_manager_add_script(manager, script);
    webkit_user_script_unref(script);
    script = webkit_user_script_new(vesk::BrowserSession::listenerScript().c_str(), WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
                                    WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
    webkit_user_content_manager_add_script(manager, script);
    webkit_user_script_unref(script);
    auto* view = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "user-content-manager", manager, nullptr));
    GtkWindow* window = GTK_WINDOW(gtk_window_new());
    gtk_window_set_default_size(window, 1280, 900);
    gtk_window_set_child(window, GTK_WIDGET(view));
    gtk_window_present(window);

    bool loaded = false;
    g_signal_connect(view, "load-changed", G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent event, bool* done) {
                         if (event == WEBKIT_LOAD_FINISHED) *done = true;
                     }),
                     &loaded);
    for (const auto& [name, html] : {std::pair{"table", benchmarkPage()}, std::pair{"grid of divs", gridPage()},
                                     std::pair{"grid of rows placed by transforms", placedGridPage()},
                                     std::pair{"grid with the page's listeners", listenedGridPage()}}) {
        std::printf("%s:\n", name);
        loaded = false;
        webkit_web_view_load_html(view, html.c_str(), "http://127.0.0.1/orders");
        while (!loaded) g_main_context_iteration(nullptr, TRUE);
        report(view, firstScan, 1);
        report(view, laterScans, warmRuns);
        report(view, oneFind, 1);
        reportTokens(view);
    }
    gtk_window_destroy(window);
    g_object_unref(manager);
    return 0;
}
