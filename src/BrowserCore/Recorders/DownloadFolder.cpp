#include "BrowserCore/Recorders/DownloadFolder.h"

#include "Platform/Text.h"

#include <glib.h>
#include <glib/gstdio.h>

#include <cerrno>
#include <optional>

namespace vesk {

namespace {

bool onlyDots(const std::string& name) {
    return name.find_first_not_of('.') == std::string::npos;
}

bool isTrimmedFromName(gunichar c) {
    return c == '\t' || g_unichar_type(c) == G_UNICODE_SPACE_SEPARATOR;
}

// The longest start of `text` of at most `bytes` bytes that ends between two
// user-perceived characters; between two scalars when even the first
// character is longer than that.
std::string cutToBytes(const std::string& text, std::size_t bytes) {
    if (text.size() <= bytes) return text;
    std::size_t low = 0;
    std::size_t high = text::characterCount(text);
    while (low < high) {
        std::size_t middle = (low + high + 1) / 2;
        if (text::prefix(text, middle).size() <= bytes) {
            low = middle;
        } else {
            high = middle - 1;
        }
    }
    std::string cut = text::prefix(text, low);
    if (!cut.empty()) return cut;
    const char* end = text.c_str() + bytes + 1;
    const char* boundary = g_utf8_find_prev_char(text.c_str(), end);
    return boundary ? text.substr(0, static_cast<std::size_t>(boundary - text.c_str())) : std::string();
}

// base + tail + "." + ext, the base cut so that the whole fits both limits.
// An extension too long to leave the base room is cut with the base.
std::string compose(const std::string& base, const std::string& tail, const std::string& ext,
                    std::optional<std::size_t> maxCharacters, std::size_t maxBytes) {
    std::string dotted = ext.empty() ? std::string() : "." + ext;
    std::string whole = base + tail + dotted;
    if (whole.size() <= maxBytes && (!maxCharacters || text::characterCount(whole) <= *maxCharacters)) return whole;

    std::string head = base;
    std::string fixed = tail + dotted;
    bool extensionFits = fixed.size() <= maxBytes / 2 &&
                         (!maxCharacters || text::characterCount(fixed) <= *maxCharacters / 2);
    if (!extensionFits) {
        head = base + dotted;
        fixed = tail;
    }
    if (maxCharacters) head = text::prefix(head, *maxCharacters - text::characterCount(fixed));
    return cutToBytes(head, maxBytes - fixed.size()) + fixed;
}

} // namespace

std::string DownloadFolder::temporaryDownloadFolder() {
    gchar* uuid = g_uuid_string_random();
    gchar* upper = g_ascii_strup(uuid, -1);
    std::string folderName = std::string("vesk-downloads-") + upper;
    g_free(upper);
    g_free(uuid);
    gchar* path = g_build_filename(g_get_tmp_dir(), folderName.c_str(), nullptr);
    std::string folder = path;
    g_free(path);
    return folder;
}

std::pair<std::string, std::string> DownloadFolder::splitExtension(const std::string& name) {
    auto dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == name.size()) return {name, {}};
    std::string ext = name.substr(dot + 1);
    if (ext.find(' ') != std::string::npos) return {name, {}};
    return {name.substr(0, dot), ext};
}

std::string DownloadFolder::safeName(std::string_view suggested) {
    std::string text = text::validUtf8(suggested);
    for (char& c : text) {
        if (c == '\\') c = '/';
    }
    // Only the last path part may reach the disk.
    std::string last;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t slash = text.find('/', start);
        if (slash == std::string::npos) slash = text.size();
        if (slash > start) last = text.substr(start, slash - start);
        start = slash + 1;
    }

    // Control, format and line separator characters (line breaks, direction
    // overrides) go.
    std::u32string scalars;
    for (const char* p = last.c_str(); *p; p = g_utf8_next_char(p)) {
        gunichar c = g_utf8_get_char(p);
        GUnicodeType type = g_unichar_type(c);
        if (type != G_UNICODE_CONTROL && type != G_UNICODE_FORMAT && type != G_UNICODE_LINE_SEPARATOR &&
            type != G_UNICODE_PARAGRAPH_SEPARATOR) {
            scalars.push_back(c);
        }
    }
    std::size_t first = 0;
    std::size_t end = scalars.size();
    while (first < end && isTrimmedFromName(scalars[first])) ++first;
    while (end > first && isTrimmedFromName(scalars[end - 1])) --end;
    std::string name;
    for (std::size_t i = first; i < end; ++i) {
        char buffer[6];
        name.append(buffer, static_cast<std::size_t>(g_unichar_to_utf8(scalars[i], buffer)));
    }

    if (onlyDots(name)) return "download";
    auto [base, ext] = splitExtension(name);
    std::string fitted = compose(base, {}, ext, nameCharacterLimit, nameByteLimit);
    return onlyDots(fitted) ? "download" : fitted;
}

std::string DownloadFolder::destination(std::string_view suggested) {
    if (g_mkdir_with_parents(path_.c_str(), 0700) != 0) {
        throw DownloadFolderError(g_strerror(errno));
    }
    auto exists = [&](const std::string& name) {
        gchar* path = g_build_filename(path_.c_str(), name.c_str(), nullptr);
        GStatBuf info;
        int result = g_lstat(path, &info);
        int problem = errno;
        g_free(path);
        if (result == 0) return true;
        if (problem == ENOENT) return false;
        throw DownloadFolderError(g_strerror(problem));
    };

    std::string name = safeName(suggested);
    auto [base, ext] = splitExtension(name);
    std::string candidate = name;
    for (long n = 2; taken_.contains(candidate) || exists(candidate); ++n) {
        candidate = compose(base, " " + std::to_string(n), ext, std::nullopt, nameByteLimit);
    }
    taken_.insert(candidate);
    gchar* path = g_build_filename(path_.c_str(), candidate.c_str(), nullptr);
    std::string destination = path;
    g_free(path);
    return destination;
}

} // namespace vesk
