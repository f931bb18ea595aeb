#include "BrowserCore/Profiles/ProfileError.h"

#include <filesystem>

namespace vesk {

namespace {

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

// A detail is followed by a sentence of ours: without its own full stop.
std::string clause(std::string detail) {
    while (!detail.empty() && (detail.back() == '.' || detail.back() == ' ')) detail.pop_back();
    return detail;
}

} // namespace

ProfileError ProfileError::duplicate(const std::string& name) {
    return {Kind::duplicate, "There is already a profile named " + quoted(name)};
}

ProfileError ProfileError::invalidVariable(const std::string& name) {
    return {Kind::invalidVariable, quoted(name) + " is not a variable name: use letters, digits and underscores"};
}

ProfileError ProfileError::invalidSite(const std::string& site) {
    return {Kind::invalidSite, quoted(site) + " is not a site: give a URL, or a host such as localhost:3000"};
}

ProfileError ProfileError::unreadableFile(const std::string& path) {
    return {Kind::unreadableFile, path + " could not be read, so it was not replaced and the profiles were not saved. "
                                         "Fix or move the file and restart"};
}

ProfileError ProfileError::invalidCredentialName(const std::string& name) {
    return {Kind::invalidCredentialName,
            quoted(name) + " is not a credential name: use letters, digits and underscores, not starting with a digit"};
}

ProfileError ProfileError::duplicateCredential(const std::string& name) {
    return {Kind::duplicateCredential, "There is already a credential named " + quoted(name)};
}

ProfileError ProfileError::emptyName() { return {Kind::emptyName, "A profile needs a name"}; }

ProfileError ProfileError::noSite() { return {Kind::noSite, "A credential needs at least one site"}; }

ProfileError ProfileError::invalidOTPKey() {
    return {Kind::invalidOTPKey, "The 2FA key is not usable: give its base32 key or an otpauth://totp/ link using "
                                 "SHA1, 6 digits and 30 seconds"};
}

ProfileError ProfileError::busyFile(const std::string& path) {
    return {Kind::busyFile, path + " is being saved by another Vesk, so nothing was changed. Try again"};
}

ProfileError ProfileError::unlockable(const std::string& path, const std::string& detail, const std::string& link) {
    std::string failed = path + " could not be locked for saving, so nothing was changed: " + clause(detail);
    if (link.empty()) {
        return {Kind::unlockable, failed + ". Check the file system that holds it, or move the data folder to another"};
    }
    // Moving the data folder would not help: the lock lies in the folder the link leads to.
    std::string folder = std::filesystem::path(path).parent_path().string();
    return {Kind::unlockable, failed + ". Check its folder " + folder + " and the file system that holds it, or point " +
                                  link + " at a file in another folder"};
}

ProfileError ProfileError::unreadableSecrets(const std::string& detail) {
    return {Kind::unreadableSecrets,
            "The keychain could not read the values stored now, so nothing was changed: " + clause(detail) +
                ". Unlock the keychain and try again"};
}

ProfileError ProfileError::secretsNotErased(const std::string& what, const std::string& detail) {
    return {Kind::secretsNotErased,
            "The " + what + " was deleted, but the keychain did not erase its values: " + clause(detail) +
                ". Remove the items of the service Vesk with the desktop's passwords tool"};
}

ProfileError ProfileError::tooManyClaims(const std::string& path, std::size_t most) {
    return {Kind::tooManyClaims, path + " cannot list so many keychain values of saves under way (at most " +
                                     std::to_string(most) + "), so nothing was changed"};
}

ProfileError ProfileError::brokenLink(const std::string& path, const std::string& target, bool leadsNowhere) {
    return {Kind::brokenLink, path + " is a link to " + target +
                                  (leadsNowhere ? ", which leads to no file" : ", which is not a file") +
                                  ", so nothing was changed. Point the link at a file, or remove it"};
}

ProfileError ProfileError::readOnlyFile(const std::string& path) {
    return {Kind::readOnlyFile, path + " is read-only, so it was not replaced and nothing was changed. Give its owner "
                                       "write permission and try again"};
}

} // namespace vesk
