#include "BrowserUI/Presentation/CredentialDraft.h"

#include <glib.h>

#include <utility>

namespace vesk::ui {

CredentialDraft CredentialDraft::editing(const Credential& credential, const std::optional<std::string>& storedUser) {
    CredentialDraft draft;
    draft.name = credential.name;
    for (const auto& site : credential.sites)
        draft.sites += (draft.sites.empty() ? "" : ", ") + site;
    draft.user = storedUser.value_or("");
    return draft;
}

std::vector<std::string> CredentialDraft::siteList() const {
    std::vector<std::string> pieces;
    std::string piece;
    for (const char* at = sites.c_str(); *at; at = g_utf8_next_char(at)) {
        gunichar c = g_utf8_get_char(at);
        if (c == ',' || g_unichar_isspace(c)) {
            if (!piece.empty()) pieces.push_back(std::exchange(piece, {}));
        } else {
            piece.append(at, static_cast<std::size_t>(g_utf8_next_char(at) - at));
        }
    }
    if (!piece.empty()) pieces.push_back(piece);
    return pieces;
}

bool CredentialDraft::canSave(bool isNew) const {
    return !name.empty() && !siteList().empty() && !user.empty() && (!isNew || !password.empty());
}

std::optional<std::string> CredentialDraft::passwordUpdate() const {
    if (password.empty()) return std::nullopt;
    return password;
}

std::optional<std::string> CredentialDraft::otpKeyUpdate() const {
    if (removesOTP) return std::string();
    if (otpKey.empty()) return std::nullopt;
    return otpKey;
}

std::string credentialReferences(const Credential& credential) {
    std::string references = "${" + credential.name + ".user} ${" + credential.name + ".password}";
    if (credential.hasOTP) references += " ${" + credential.name + ".otp}";
    return references;
}

} // namespace vesk::ui
