#pragma once

// The site of a page: the key under which per-site values (variables,
// credentials) are filed and matched to pages and their subdomains.

#include <optional>
#include <string>
#include <string_view>

namespace vesk {

// The lower-cased host; for http followed by ":" and the port (80 when none
// is given), for any other scheme followed by ":" and the port only when it
// is given and is not 443. An empty host gives none; an IPv6 host is keyed
// without brackets.
std::optional<std::string> siteKey(std::optional<std::string_view> scheme, std::string_view host,
                                   std::optional<int> port);

// The site key of a URL; none when it is not a URL or has no host
// (about:blank, file URLs).
std::optional<std::string> siteKeyOfURL(std::string_view url);

// The site key of a site as a person types it: a URL, or a host with an
// optional port (taken as https). Spaces and tabs at either end are ignored.
std::optional<std::string> siteKeyFromText(std::string_view text);

} // namespace vesk
