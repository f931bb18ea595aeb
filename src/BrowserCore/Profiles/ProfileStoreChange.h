#pragma once

// One change of the profile store, from its first read of the file to its
// save (defined in ProfileStore.cpp). The outermost change takes the file's
// lock and takes in the file as it is now; when either fails, the change
// still runs and its save reports why, so that each operation undoes what a
// failed save calls for.

#include "BrowserCore/Profiles/ProfileStore.h"

namespace vesk {

class ProfileStore::Change {
public:
    explicit Change(ProfileStore& store);
    ~Change();
    Change(const Change&) = delete;
    Change& operator=(const Change&) = delete;

private:
    ProfileStore& store_;
};

} // namespace vesk
