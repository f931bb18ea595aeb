#pragma once

// The profile store's failures. The message is the text the person or the
// agent reads; it has no final full stop.

#include <cstddef>
#include <stdexcept>
#include <string>

namespace vesk {

class ProfileError : public std::runtime_error {
public:
    enum class Kind {
        duplicate,
        invalidVariable,
        invalidSite,
        unreadableFile,
        invalidCredentialName,
        duplicateCredential,
        emptyName,
        noSite,
        invalidOTPKey,
        busyFile,
        unlockable,
        unreadableSecrets,
        secretsNotErased,
        tooManyClaims,
        brokenLink,
        readOnlyFile,
    };

    static ProfileError duplicate(const std::string& name);
    static ProfileError invalidVariable(const std::string& name);
    static ProfileError invalidSite(const std::string& site);
    static ProfileError unreadableFile(const std::string& path);
    static ProfileError invalidCredentialName(const std::string& name);
    static ProfileError duplicateCredential(const std::string& name);
    static ProfileError emptyName();
    static ProfileError noSite();
    static ProfileError invalidOTPKey();
    // Another process held the profiles file's lock for too long.
    static ProfileError busyFile(const std::string& path);
    // The profiles file's lock failed for another reason than another
    // process holding it (a file system without locks, a folder that cannot
    // be written, say). `path` is the file the lock lies beside; `link`, when
    // given, the profiles file that is a link to it in another folder.
    static ProfileError unlockable(const std::string& path, const std::string& detail, const std::string& link = {});
    // A value that a change would have to put back could not be read first.
    static ProfileError unreadableSecrets(const std::string& detail);
    // A credential or a profile (`what`) went, but the keychain kept its values.
    static ProfileError secretsNotErased(const std::string& what, const std::string& detail);
    // The profiles file would list more keychain accounts of saves under way
    // than it may.
    static ProfileError tooManyClaims(const std::string& path, std::size_t most);
    // The profiles file is a symbolic link to `target`, which leads to no
    // file or to something that is not one.
    static ProfileError brokenLink(const std::string& path, const std::string& target, bool leadsNowhere);
    // The file a save would replace is one its owner may not write.
    static ProfileError readOnlyFile(const std::string& path);

    Kind kind() const { return kind_; }
    bool operator==(const ProfileError& other) const {
        return kind_ == other.kind_ && std::string(what()) == other.what();
    }

private:
    ProfileError(Kind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}

    Kind kind_;
};

} // namespace vesk
