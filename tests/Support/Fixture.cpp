#include "Support/Fixture.h"

#include <glib.h>

#include <stdexcept>

namespace vesk::test {

std::string fixture(const std::string& path) {
    std::string full = std::string(VESK_TESTS_DIR) + "/" + path;
    gchar* text = nullptr;
    gsize length = 0;
    if (!g_file_get_contents(full.c_str(), &text, &length, nullptr)) throw std::runtime_error("no test file " + full);
    std::string contents(text, length);
    g_free(text);
    return contents;
}

} // namespace vesk::test
