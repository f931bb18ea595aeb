// The profile tools: list the saved profiles with what each may type, and
// switch the browser to one. Names and sites were chosen by people or pages,
// so they reach the agent only inside the page-content wrapper; no secret
// value is ever part of an answer.

#include "BrowserMCP/MCPServer.h"

#include "BrowserCore/Profiles/ProfileStore.h"
#include "BrowserMCP/PageRendering.h"
#include "BrowserMCP/ToolArguments.h"
#include "BrowserMCP/ToolError.h"
#include "Platform/TextOrder.h"

#include <algorithm>

namespace vesk {

namespace {

std::string joinedNames(const std::vector<std::string>& parts, const std::string& separator) {
    std::string text;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) text += separator;
        text += parts[i];
    }
    return text;
}

Json profileItemList(std::string text) {
    Json items = Json::array();
    items.push_back(textItem(std::move(text)));
    return items;
}

} // namespace

ProfileStore& MCPServer::profileStore(const std::string& tool) const {
    if (!profiles_) throw ToolError::notAvailable(tool);
    return *profiles_;
}

Task<void> MCPServer::useProfile(std::optional<std::string> name, bool create) {
    ProfileStore& store = profileStore("use_profile");
    store.reload();
    // Blanks around a name never make it another one: " temporary" is the
    // temporary profile, " Work" the profile Work.
    std::string wanted = name ? text::trimmedBlanks(*name) : std::string();
    if (!name || text::equalIgnoringCase(wanted, "temporary")) {
        co_await store.selectProfile(std::nullopt);
        co_return;
    }
    if (auto found = store.profileNamed(wanted)) {
        co_await store.selectProfile(found);
        co_return;
    }
    if (!create) throw ToolError::unknownProfile(*name, store.unreadableNote());
    BrowserProfile made = co_await store.createProfile(*name);
    co_await store.selectProfile(made);
}

std::string MCPServer::credentialText(const Credential& credential) {
    std::string fields = credential.hasOTP ? "user|password|otp" : "user|password";
    return "${" + credential.name + "." + fields + "} on " + joinedNames(credential.sites, " and ") +
           (credential.global ? " (global)" : "");
}

std::string MCPServer::profileLine(const BrowserProfile& profile) const {
    const ProfileStore& store = *profiles_;
    std::vector<std::string> credentials;
    for (const auto& credential : *store.credentials) {
        bool assigned = std::find(credential.profileIDs.begin(), credential.profileIDs.end(), profile.id) !=
                        credential.profileIDs.end();
        if (credential.global || assigned) credentials.push_back(credentialText(credential));
    }
    std::vector<std::string> variables;
    for (const auto& variable : profile.variables) variables.push_back("${" + variable.name + "} on " + variable.site);

    bool current = store.currentProfile() && store.currentProfile()->id == profile.id;
    // Names and sites come from a file: a line break in one must not start a
    // line of its own, nor a direction character make one look like another.
    const std::string line =
        std::string(current ? "*" : " ") + " " + profile.name + ": " +
        (variables.empty() ? "no variables" : "variables " + joinedNames(variables, ", ")) + "; " +
        (credentials.empty() ? "no credentials" : "credentials " + joinedNames(credentials, ", "));
    return PageRendering::listedName(line);
}

Json MCPServer::listProfilesTool() {
    ProfileStore& store = profileStore("list_profiles");
    store.reload();
    PageRendering::Lines lines{std::string(store.currentProfile() ? " " : "*") +
                               " temporary: keeps nothing, every start is a clean browser; no credentials"};
    for (const auto& profile : *store.profiles) lines.push_back(profileLine(profile));
    std::string text = "Profiles, the one in use marked with *:\n" + PageRendering::pageContent(lines);
    if (auto note = store.unreadableNote()) text += "\nThe profiles file " + *note + ".";
    return profileItemList(std::move(text));
}

Task<Json> MCPServer::useProfileTool(Json arguments) {
    co_await useProfile(stringArgument("name", arguments), flagArgument("create", arguments));
    auto current = profileStore("use_profile").currentProfile();
    if (!current) co_return profileItemList("Now using the temporary profile. The page is blank; navigate to continue.");
    co_return profileItemList("Now using the profile below. The page is blank; navigate to continue.\n" +
                       PageRendering::pageContent({PageRendering::quoted(PageRendering::listedName(current->name))}));
}

} // namespace vesk
