// A page that shows a stored value everywhere it can: in its title, address,
// text, attributes, frame names, console, requests, dialogs and downloads.
// No tool's answer carries the value, only its ${NAME}.

#include "BrowserCore/Flows/FlowStore.h"
#include "BrowserCore/Profiles/ProfileStore.h"
#include "BrowserCore/Secrets/SiteKey.h"
#include "BrowserCore/Secrets/TOTP.h"
#include "BrowserCore/Session/BrowserSession.h"
#include "BrowserMCP/AgentActivity.h"
#include "BrowserMCP/MCPServer.h"
#include "Support/LoopbackServer.h"
#include "Support/MainLoop.h"
#include "Support/ProfileDoubles.h"

#include <glib.h>
#include <gtest/gtest.h>

using namespace vesk;
using namespace vesk::test;

namespace {

std::string fixture(const std::string& name) {
    gchar* text = nullptr;
    std::string path = std::string(SESSION_PAGES) + "/" + name;
    EXPECT_TRUE(g_file_get_contents(path.c_str(), &text, nullptr, nullptr)) << path;
    std::string page = text ? text : "";
    g_free(text);
    return page;
}

// Calls tools as an agent would, keeping every text of their answers.
struct Agent {
    MCPServer& mcp;
    std::string answers;

    // The first text of the answer.
    std::string call(const std::string& name, Json arguments = Json::object()) {
        Json request = {{"jsonrpc", "2.0"}, {"id", 1}, {"method", "tools/call"}};
        request["params"] = {{"name", name}, {"arguments", arguments}};
        auto reply = runTask(mcp.handle(request.dump()));
        Json result = reply ? Json::parse(*reply)["result"] : Json();
        for (const auto& item : result.value("content", Json::array())) answers += item.value("text", "") + "\n";
        return result.value("content", Json::array()).empty() ? std::string() : result["content"][0].value("text", "");
    }
};

// The session's own record of the element with that name, its values as they are.
PageElement elementNamed(BrowserSession& session, const std::string& name) {
    PageSnapshot page = *session.currentSnapshot();
    for (const auto& element : page.elements) {
        if (element.name == name) return element;
    }
    ADD_FAILURE() << "no element " << name;
    return PageElement{.ref = "e0"};
}

std::filesystem::path scratchFolder() {
    gchar* made = g_dir_make_tmp("vesk-hostile-XXXXXX", nullptr);
    std::filesystem::path folder = made;
    g_free(made);
    return folder;
}

// A session whose agent server keeps its profiles in a folder of its own,
// removed at the end.
struct ProfiledServer {
    std::filesystem::path folder = scratchFolder();
    std::shared_ptr<BrowserSession> session = BrowserSession::create({.settleTimeout = seconds(2)});
    WebsiteData websiteData{folder / "data", folder / "cache"};
    ProfileStore profiles{folder, std::make_unique<test::MemorySecretStore>(), websiteData};
    AgentActivity activity;
    MCPServer mcp{session.get(), activity, nullptr, &profiles};

    ~ProfiledServer() { std::filesystem::remove_all(folder); }
};

} // namespace

TEST(HostilePageTools, NoAnswerCarriesAStoredValueThePagePlanted) {
    if (!gtk_is_initialized()) GTEST_SKIP() << "needs a display: run in scripts/test-session";
    LoopbackServer server;
    server.serve("/planted", fixture("planted.html"));
    LoopbackServer::Response file;
    file.body = "hunter2-xyz";
    file.contentType = "text/plain";
    server.serve("/planted-file", file);
    BrowserSession::Options options;
    options.settleTimeout = seconds(2);
    auto session = BrowserSession::create(options);
    std::string site = *siteKeyOfURL(server.url("/"));
    // Another site's values are hidden too, a quote and a backslash included.
    session->setVariables({{site, {{"TOKEN", "hunter2-xyz"}}}, {"example.com", {{"QUOTED", "pa\"ss\\word"}}}});
    AgentActivity activity;
    MCPServer mcp(session.get(), activity, nullptr, nullptr);

    std::string answers;
    auto call = [&](const std::string& name, Json arguments = Json::object()) {
        Json request = {{"jsonrpc", "2.0"}, {"id", 1}, {"method", "tools/call"}};
        request["params"] = {{"name", name}, {"arguments", arguments}};
        auto reply = runTask(mcp.handle(request.dump()));
        EXPECT_TRUE(reply);
        answers += reply.value_or("") + "\n";
        return reply ? Json::parse(*reply)["result"] : Json();
    };
    auto refNamed = [&](const std::string& name) {
        PageSnapshot page = *session->currentSnapshot();
        for (const auto& element : page.elements) {
            if (element.name.find(name) != std::string::npos) return element.ref;
        }
        ADD_FAILURE() << "no element " << name;
        return std::string("e0");
    };

    call("navigate", {{"url", server.url("/planted?hunter2-xyz")}});
    call("snapshot");
    call("find", {{"text", "code"}});
    call("click", {{"ref", refNamed("Pay")}});
    call("click", {{"ref", refNamed("Get it")}});
    call("snapshot");
    call("console");
    call("network");
    call("evaluate", {{"script", "return [document.title, location.href, window.quoted, {[document.title]: 1}]"}});
    call("evaluate", {{"script", "throw new Error(document.title)"}});
    call("wait_for", {{"text", "never there"}, {"timeout_seconds", 0}});
    call("fill", {{"ref", refNamed("Token")}, {"text", "${NOWHERE}"}});

    EXPECT_EQ(answers.find("hunter2"), std::string::npos) << answers;
    EXPECT_EQ(answers.find("HUNTER2"), std::string::npos);
    EXPECT_EQ(answers.find("ss\\\\\\\\word"), std::string::npos);
    EXPECT_NE(answers.find("${TOKEN}"), std::string::npos);
    EXPECT_NE(answers.find("${QUOTED}"), std::string::npos);
}

TEST(HostilePageTools, NoAnswerCarriesAStoredValueEscapedOrCutShort) {
    if (!gtk_is_initialized()) GTEST_SKIP() << "needs a display: run in scripts/test-session";
    LoopbackServer server;
    server.serve("/escaped", fixture("escaped.html"));
    BrowserSession::Options options;
    options.settleTimeout = seconds(2);
    auto session = BrowserSession::create(options);
    session->setVariables({{*siteKeyOfURL(server.url("/")),
                            {{"quoty.password", R"(Qu"ot\ed-Secret-77)"}, {"acme.password", "Tr0ub4dor&3"}}}});
    gchar* made = g_dir_make_tmp("vesk-escaped-XXXXXX", nullptr);
    std::filesystem::path folder = made;
    g_free(made);
    FlowStore flows(folder, folder);
    AgentActivity activity;
    MCPServer mcp(session.get(), activity, &flows, nullptr);

    Agent agent{mcp, {}};
    const std::string& answers = agent.answers;
    auto call = [&](const std::string& name, Json arguments = Json::object()) { return agent.call(name, arguments); };
    auto refOf = [&](const std::string& name) { return elementNamed(*session, name).ref; };

    call("navigate", {{"url", server.url("/escaped")}});
    call("snapshot");
    EXPECT_NE(call("fill", {{"ref", refOf("Amount")}, {"text", "${quoty.password}"}})
                  .find(R"(did not take "${quoty.password}": it takes a number.)"),
              std::string::npos);
    // The field keeps the first 6 characters: it shows its reference.
    EXPECT_NE(call("fill", {{"ref", refOf("Short")}, {"text", "${acme.password}"}}).find(R"(value="${acme.password}")"),
              std::string::npos);
    EXPECT_NE(call("snapshot").find(R"(textbox "Short" value="${acme.password}")"), std::string::npos);
    call("console");
    call("evaluate", {{"script", "return JSON.stringify({ password: window.planted })"}});
    call("evaluate", {{"script", "return { nested: JSON.stringify([JSON.stringify(window.planted)]) }"}});
    call("evaluate", {{"script", "throw new Error(JSON.stringify({ password: window.planted }))"}});
    call("evaluate", {{"script", "return document.body.innerHTML"}});
    // Nested deeper than a parsed value can be walked (the program crashed).
    EXPECT_NE(call("evaluate", {{"script", "let a = []; for (let i = 0; i < 25000; i++) a = [a]; "
                                           "return [JSON.stringify(window.planted), a]"}})
                  .find(R"(| ["\"${quoty.password}\"",[[[)"),
              std::string::npos);
    Flow flow{"escaped", {{.action = FlowStep::Action::fill,
                           .target = Locator{.role = "spinbutton", .name = "Amount", .index = 0},
                           .value = "${quoty.password}"}}};
    EXPECT_NE(call("run_flow", {{"flow", flow.encoded()}}).find(R"(did not take "${quoty.password}")"),
              std::string::npos);
    flow.steps = {{.action = FlowStep::Action::select, .target = Locator{.role = "combobox", .name = "Size", .index = 0},
                   .value = "${quoty.password}"}};
    EXPECT_NE(call("run_flow", {{"flow", flow.encoded()}}).find(R"(has no option "${quoty.password}")"), std::string::npos);
    flow.steps = {{.action = FlowStep::Action::press, .value = "${quoty.password}"}};
    EXPECT_NE(call("run_flow", {{"flow", flow.encoded()}}).find(R"(does not know the key "${quoty.password}")"),
              std::string::npos);
    std::filesystem::remove_all(folder);

    for (const char* shown : {"Secret-77", "Tr0ub"}) EXPECT_EQ(answers.find(shown), std::string::npos) << answers;
    EXPECT_NE(answers.find(R"(\"password\":\"${quoty.password}\")"), std::string::npos) << answers;
}

TEST(HostilePageTools, NoAnswerCarriesATypedValueHoweverThePageWritesItNorAStartOfIt) {
    if (!gtk_is_initialized()) GTEST_SKIP() << "needs a display: run in scripts/test-session";
    LoopbackServer server;
    server.serve("/echoed", fixture("echoed.html"));
    server.serve("/api", "ok");
    // A file named as the page asks: "name=" and the name, percent-encoded.
    server.handle("/file", [](const LoopbackServer::Request& request) {
        return LoopbackServer::Response{.body = "x", .contentType = "application/octet-stream",
                                        .headers = {{"Content-Disposition", "attachment; filename*=UTF-8''" +
                                                                                request.query.substr(5)}}};
    });
    BrowserSession::Options options;
    options.settleTimeout = seconds(2);
    auto session = BrowserSession::create(options);
    // Each letter pair of the values occurs in no answer but through them.
    session->setVariables({{*siteKeyOfURL(server.url("/")),
                            {{"PW", "Kq&Zx w+Vj\"%/<*~\u00e9"}, {"FILE", "Qg&Jx w+Fz\"<*~?|\u00e9"}}}});
    AgentActivity activity;
    MCPServer mcp(session.get(), activity, nullptr, nullptr);

    Agent agent{mcp, {}};
    const std::string& answers = agent.answers;
    auto call = [&](const std::string& name, Json arguments = Json::object()) { return agent.call(name, arguments); };
    auto refOf = [&](const std::string& name) { return elementNamed(*session, name).ref; };

    call("navigate", {{"url", server.url("/echoed")}});
    call("fill", {{"ref", refOf("Password")}, {"text", "${PW}"}});
    // The field keeps the first 7 characters, and the page echoes them.
    call("fill", {{"ref", refOf("Short")}, {"text", "${PW}"}});
    call("fill", {{"ref", refOf("File name")}, {"text", "${FILE}"}});
    call("snapshot");
    call("network");
    call("console");
    call("evaluate", {{"script", "return [window.shown, document.title, location.href, document.body.innerHTML]"}});
    call("navigate", {{"url", elementNamed(*session, "Get the file").href.value_or("")}});

    std::string lower = answers;
    for (char& c : lower) c = static_cast<char>(g_ascii_tolower(c));
    for (const char* pair : {"kq", "zx", "vj", "qg", "jx", "fz"}) EXPECT_EQ(lower.find(pair), std::string::npos) << pair;
    for (const char* shown : {"You typed ${PW}", "/echoed?v=${PW}#${PW}", "/api?pw=${PW}", "Downloaded: \"${FILE}\""}) {
        EXPECT_NE(answers.find(shown), std::string::npos) << shown << "\n" << answers;
    }
}

// Values typed on a page whose words begin like them: only a stored value,
// or the start of one that a field kept, is replaced; the page's words,
// Vesk's own and the references it writes read as written.
TEST(HostilePageTools, OnlyStoredValuesAndStartsFieldsKeptAreReplaced) {
    if (!gtk_is_initialized()) GTEST_SKIP() << "needs a display: run in scripts/test-session";
    LoopbackServer server;
    server.serve("/words", fixture("own-words.html"));
    server.serve("/kept", fixture("kept.html"));
    ProfiledServer served;
    auto& [folder, session, websiteData, profiles, activity, mcp] = served;
    const std::string site = server.url("/");
    auto profile = runTask(profiles.createProfile("Work"));
    for (const auto& [name, value] : std::map<std::string, std::string>{
             {"NOTE", "Elements#42"}, {"SUMMER", "Summer2024!"}, {"TYPED", "abcdefgh"}, {"SHOWN", "abcdef"},
             {"CODE", "Zq7&Wk p+Xv3"}}) {
        runTask(profiles.setVariable(name, value, site, profile.id));
    }
    for (const auto& [name, password] : std::map<std::string, std::string>{{"acme", "Password123!"}, {"github", "GitHub-2024!"}}) {
        auto credential = runTask(profiles.addCredential(name, {site}, "ann", password, {}));
        runTask(profiles.assignCredential(credential.id, true, profile.id));
    }

    Agent agent{mcp, {}};
    auto call = [&](const std::string& name, Json arguments = Json::object()) { return agent.call(name, arguments); };
    auto refOf = [&](const std::string& name) { return elementNamed(*session, name).ref; };
    call("use_profile", {{"name", "Work"}});
    call("navigate", {{"url", server.url("/words")}});
    call("fill", {{"ref", refOf("Password")}, {"text", "${acme.password}"}});
    for (const char* text : {"${github.password}", "${NOTE}", "${SUMMER}", "${TYPED}"}) {
        call("fill", {{"ref", refOf("Note")}, {"text", text}});
    }
    EXPECT_NE(call("fill", {{"ref", refOf("Note")}, {"text", "${nosuch.password}"}}).find("so ${nosuch.password} was not"),
              std::string::npos);
    const std::string page = call("snapshot");
    for (const char* shown : {"Elements (3):", R"(textbox "Password" type=password)", R"(textbox "${acme.password}")",
                              "| Summertime offers", "| Code ${SHOWN}"}) {
        EXPECT_NE(page.find(shown), std::string::npos) << shown << "\n" << page;
    }
    EXPECT_NE(call("find", {{"text", "Summertime"}}).find("Lines of text (1):\n| Summertime offers"), std::string::npos);
    const std::string listed = call("list_profiles");
    for (const char* shown : {"credentials ${acme.user|password} on ", ", ${github.user|password} on "}) {
        EXPECT_NE(listed.find(shown), std::string::npos) << shown << "\n" << listed;
    }

    // A field that keeps 8 of 12 characters, the page showing them back and
    // copying 5 of them into another field: both starts are hidden.
    call("navigate", {{"url", server.url("/kept")}});
    call("fill", {{"ref", refOf("Code")}, {"text", "${CODE}"}});
    const std::string kept = call("snapshot");
    for (const char* shown : {"/kept#${CODE}", "| You typed ${CODE}, preview ${CODE}"}) {
        EXPECT_NE(kept.find(shown), std::string::npos) << shown << "\n" << kept;
    }

    std::string lower = agent.answers;
    for (char& c : lower) c = static_cast<char>(g_ascii_tolower(c));
    for (const char* value : {"password123", "github-2024", "elements#", "summer2024", "abcdef", "zq7"}) {
        EXPECT_EQ(lower.find(value), std::string::npos) << value << "\n" << agent.answers;
    }
}

// The boxes of a code form keep a digit or a letter or two of what is typed
// into them: so few characters are in ordinary words, and another site's
// page reads as written.
TEST(HostilePageTools, BoxesThatKeepACharacterOrTwoHideNoOrdinaryWords) {
    if (!gtk_is_initialized()) GTEST_SKIP() << "needs a display: run in scripts/test-session";
    LoopbackServer server;
    server.serve("/code", fixture("code-boxes.html"));
    ProfiledServer served;
    auto& [folder, session, websiteData, profiles, activity, mcp] = served;
    const auto now = std::chrono::system_clock::time_point(std::chrono::seconds(1700000000));
    session->now = [now] { return now; };
    const std::string key = "JBSWY3DPEHPK3PXP";
    auto profile = runTask(profiles.createProfile("Work"));
    auto acme = runTask(profiles.addCredential("acme", {server.url("/")}, "ann", "Ml7#xq-Pz", key));
    runTask(profiles.assignCredential(acme.id, true, profile.id));
    const std::string code = TOTP::parse(key)->code(now);
    server.serve("/shop", "<title>Shop</title><p>Page " + code.substr(0, 1) + " of 10</p><p>Size: M</p><p>500 ml</p>");

    Agent agent{mcp, {}};
    auto refOf = [&](const std::string& name) { return elementNamed(*session, name).ref; };
    agent.call("use_profile", {{"name", "Work"}});
    agent.call("navigate", {{"url", server.url("/code")}});
    agent.call("fill", {{"ref", refOf("Digit 1")}, {"text", "${acme.otp}"}});
    EXPECT_EQ(elementNamed(*session, "Digit 6").value, code.substr(5)) << "the page spread the code";
    agent.call("fill", {{"ref", refOf("Character 1 of your password")}, {"text", "${acme.password}"}});
    agent.call("fill", {{"ref", refOf("Characters 1 and 2 of your password")}, {"text", "${acme.password}"}});
    agent.call("navigate", {{"url", server.url("/shop", "localhost")}});
    const std::string page = agent.call("snapshot");
    const std::vector<std::string> words{"| Page " + code.substr(0, 1) + " of 10", "| Size: M", "| 500 ml"};
    for (const auto& shown : words) {
        EXPECT_NE(page.find(shown), std::string::npos) << shown << "\n" << page;
    }
}

// A page text that could not be checked for stored values is withheld, and
// its heading counts none of it.
TEST(HostilePageTools, AWithheldTextIsNotCounted) {
    if (!gtk_is_initialized()) GTEST_SKIP() << "needs a display: run in scripts/test-session";
    LoopbackServer server;
    server.serve("/withheld", "<title>Long</title><p>" + std::string(40, 'a') + "c</p>");
    auto session = BrowserSession::create({});
    // A search that runs away on the page's text, and not on the answer.
    Redaction slow = Redaction::compile("((?:a+)+b)", {"X"}, 0);
    slow.timeLimit = 1;
    session->redaction.set(slow);
    AgentActivity activity;
    MCPServer mcp(session.get(), activity, nullptr, nullptr);
    Agent agent{mcp, {}};
    agent.call("navigate", {{"url", server.url("/withheld")}});
    EXPECT_NE(agent.call("snapshot").find("Text (withheld):\n| " + std::string(redactionFailureNotice) + "\n"),
              std::string::npos)
        << agent.answers;
}

TEST(HostilePageTools, NoAnswerCarriesATypedValueTypesetWithOtherSpacesHyphensOrLetters) {
    if (!gtk_is_initialized()) GTEST_SKIP() << "needs a display: run in scripts/test-session";
    LoopbackServer server;
    server.serve("/typeset", fixture("typeset.html"));
    BrowserSession::Options options;
    options.settleTimeout = seconds(2);
    auto session = BrowserSession::create(options);
    session->setVariables({{*siteKeyOfURL(server.url("/")), {{"NAME", "Zo\u00EB Qvarnstr\u00F6m"}}}});
    AgentActivity activity;
    MCPServer mcp(session.get(), activity, nullptr, nullptr);
    Agent agent{mcp, {}};

    agent.call("navigate", {{"url", server.url("/typeset")}});
    agent.call("fill", {{"ref", elementNamed(*session, "Name").ref}, {"text", "${NAME}"}});
    agent.call("snapshot");
    // The source writes "&nbsp;" and "&shy;".
    agent.call("evaluate", {{"script", "return window.source"}});

    std::string lower = agent.answers;
    for (char& c : lower) c = static_cast<char>(g_ascii_tolower(c));
    EXPECT_EQ(lower.find("qvar"), std::string::npos) << agent.answers;
    for (const char* shown : {"Card: ${NAME}", "Hyphenated: ${NAME}", "Index: ${NAME}", "<p>Card: ${NAME}</p>"}) {
        EXPECT_NE(agent.answers.find(shown), std::string::npos) << shown << "\n" << agent.answers;
    }
}
