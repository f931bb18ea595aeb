#pragma once

// How the views write a page's address: the top bar's host with its path,
// and the popup header's host.

#include <optional>
#include <string>
#include <string_view>

namespace vesk::ui {

// The top bar's address when the field is not focused: for a URL with a
// host, the host (percent-encoded as in the URL) and then the path and
// "?query"; without a host, the scheme and then ":" alone.
struct FormattedAddress {
    std::string primary;    // drawn in the text colour
    std::string secondary;  // drawn dimmer after it
    bool operator==(const FormattedAddress&) const = default;
};
FormattedAddress formattedAddress(std::string_view url);

// The host of a URL as written in it, or none when it has none.
std::optional<std::string> hostOf(std::string_view url);

} // namespace vesk::ui
