#include "BrowserCoreResource.h"

#include <gio/gio.h>

#include <stdexcept>

// Made by glib-compile-resources into the BrowserCore library. Calling it
// also links the bundle in, which a test would otherwise not pull in.
extern "C" GResource* vesk_browser_core_get_resource(void);

namespace vesk::test {

std::string browserCoreResource(const std::string& name) {
    std::string path = "/app/vesk/BrowserCore/" + name;
    GBytes* bytes = g_resource_lookup_data(vesk_browser_core_get_resource(), path.c_str(), G_RESOURCE_LOOKUP_FLAGS_NONE, nullptr);
    if (!bytes) throw std::runtime_error(name + " is missing from the BrowserCore resources");
    gsize size = 0;
    const auto* data = static_cast<const char*>(g_bytes_get_data(bytes, &size));
    std::string text(data, size);
    g_bytes_unref(bytes);
    return text;
}

} // namespace vesk::test
