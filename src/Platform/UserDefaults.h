#pragma once

// A small store of named string values that outlives the process, kept as a
// key file in the user's config folder. Every change is written at once and
// atomically, so a crash leaves either the old file or the new one.

#include <glib.h>

#include <filesystem>
#include <optional>
#include <string>

namespace vesk {

class UserDefaults {
public:
    // The store of this user: Vesk/defaults.ini in the user's config folder,
    // resolved on first use.
    static UserDefaults& standard();

    // A store kept in `folder` (made when the first value is written).
    explicit UserDefaults(std::filesystem::path folder);
    ~UserDefaults();
    UserDefaults(const UserDefaults&) = delete;
    UserDefaults& operator=(const UserDefaults&) = delete;

    std::optional<std::string> string(const std::string& key) const;

    // Store or remove a value and write the file. Returns false when the file
    // could not be written; the value is kept in memory all the same.
    bool setString(const std::string& key, const std::string& value);
    bool remove(const std::string& key);

    const std::filesystem::path& file() const { return file_; }

private:
    bool save();

    std::filesystem::path file_;
    GKeyFile* keys_;
};

} // namespace vesk
