#include "Platform/UserDefaults.h"

#include "Platform/RegularFile.h"

#include <glib/gstdio.h>

namespace vesk {

namespace {

constexpr const char* group = "Defaults";

} // namespace

UserDefaults& UserDefaults::standard() {
    static UserDefaults defaults(std::filesystem::path(g_get_user_config_dir()) / "Vesk");
    return defaults;
}

UserDefaults::UserDefaults(std::filesystem::path folder) : file_(std::move(folder) / "defaults.ini"), keys_(g_key_file_new()) {
    // A missing file is an empty store; an unreadable one (a pipe or a device
    // included, which is never opened) is treated alike and replaced by the
    // next write.
    FileContents contents = readRegularFile(file_);
    GError* error = nullptr;
    if (contents.outcome == FileContents::Outcome::unreadable) {
        g_warning("Ignoring the unreadable defaults file %s: %s", file_.c_str(), contents.problem.c_str());
    } else if (contents.wasRead() &&
               !g_key_file_load_from_data(keys_, contents.bytes.data(), contents.bytes.size(), G_KEY_FILE_KEEP_COMMENTS,
                                          &error)) {
        g_warning("Ignoring the unreadable defaults file %s: %s", file_.c_str(), error->message);
        g_clear_error(&error);
    }
}

UserDefaults::~UserDefaults() { g_key_file_free(keys_); }

std::optional<std::string> UserDefaults::string(const std::string& key) const {
    gchar* value = g_key_file_get_string(keys_, group, key.c_str(), nullptr);
    if (!value) return std::nullopt;
    std::string result(value);
    g_free(value);
    return result;
}

bool UserDefaults::setString(const std::string& key, const std::string& value) {
    g_key_file_set_string(keys_, group, key.c_str(), value.c_str());
    return save();
}

bool UserDefaults::remove(const std::string& key) {
    if (!g_key_file_remove_key(keys_, group, key.c_str(), nullptr)) return true;
    return save();
}

bool UserDefaults::save() {
    auto folder = file_.parent_path();
    if (g_mkdir_with_parents(folder.c_str(), 0700) != 0) {
        g_warning("Could not make the folder %s for the defaults", folder.c_str());
        return false;
    }
    GError* error = nullptr;
    // g_key_file_save_to_file writes a temporary file and renames it over the old one.
    if (!g_key_file_save_to_file(keys_, file_.c_str(), &error)) {
        g_warning("Could not write the defaults file %s: %s", file_.c_str(), error->message);
        g_clear_error(&error);
        return false;
    }
    return true;
}

} // namespace vesk
