#include "BrowserCore/Profiles/SecretAccounts.h"

#include <glib.h>

#include <algorithm>

namespace vesk::SecretAccounts {

namespace {

constexpr std::string_view stagingPrefix = "vesk-save/";
constexpr std::size_t uuidLength = 36;

// A UUID as the store writes it: upper case, hyphenated.
bool isStoredUUID(std::string_view text) {
    return text.size() == uuidLength && parseProfileID(std::string(text)) == text;
}

bool isName(std::string_view name) {
    if (name.empty() || g_ascii_isdigit(name.front())) return false;
    return std::all_of(name.begin(), name.end(), [](char c) { return g_ascii_isalnum(c) || c == '_'; });
}

// Takes `part` and the slash after it off the front of `text`.
std::optional<std::string_view> takeComponent(std::string_view& text) {
    auto slash = text.find('/');
    if (slash == std::string_view::npos) return std::nullopt;
    auto part = text.substr(0, slash);
    text.remove_prefix(slash + 1);
    return part;
}

} // namespace

bool isTag(std::string_view text) {
    return text.size() == 8 &&
           std::all_of(text.begin(), text.end(), [](char c) { return g_ascii_isdigit(c) || (c >= 'A' && c <= 'F'); });
}

bool isValueAccount(std::string_view account) {
    std::string_view rest = account;
    auto first = takeComponent(rest);
    if (!first) return false;
    if (*first == "credential") {
        auto id = takeComponent(rest);
        return id && isStoredUUID(*id) &&
               std::any_of(std::begin(credentialFields), std::end(credentialFields),
                           [&](const char* field) { return rest == field; });
    }
    // A site key holds no slash, so the name is all that follows it.
    auto site = takeComponent(rest);
    return isStoredUUID(*first) && site && !site->empty() && isName(rest);
}

std::string staging(const Staged& staged) {
    return std::string(stagingPrefix) + staged.save + (staged.isNew ? "/new/" : "/old/") + staged.account;
}

std::optional<Staged> parseStaging(std::string_view account) {
    if (!account.starts_with(stagingPrefix)) return std::nullopt;
    std::string_view rest = account.substr(stagingPrefix.size());
    auto save = takeComponent(rest);
    auto role = takeComponent(rest);
    if (!save || !role || !isStoredUUID(*save) || (*role != "new" && *role != "old") || !isValueAccount(rest)) {
        return std::nullopt;
    }
    return Staged{std::string(*save), *role == "new", std::string(rest)};
}

} // namespace vesk::SecretAccounts
