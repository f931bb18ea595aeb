#pragma once

// One change of the profile store, from its first read of the file to its
// save (defined in ProfileStore.cpp). It holds the file's lock, or why the
// lock could not be had, and has taken in the file as it was then; when
// either failed, the change still runs and its save reports why, so that
// each operation undoes what a failed save calls for. Nothing awaits while a
// change is open. When it ends it releases the lock first, and only then
// pushes into the session what the change calls for, since that reads the
// keychain, which may wait for the person.

#include "BrowserCore/Profiles/FileLock.h"
#include "BrowserCore/Profiles/ProfileStore.h"

namespace vesk {

class ProfileStore::Change {
public:
    Change(ProfileStore& store, std::unique_ptr<FileLock> lock, std::exception_ptr refusal);
    ~Change();
    Change(const Change&) = delete;
    Change& operator=(const Change&) = delete;

    bool isLocked() const { return lock_ != nullptr; }

private:
    ProfileStore& store_;
    std::unique_ptr<FileLock> lock_;
};

} // namespace vesk
