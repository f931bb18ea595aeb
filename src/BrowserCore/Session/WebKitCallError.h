#pragma once

// An error that a WebKit call reported, passed on as WebKit worded it (for
// instance a snapshot that could not be taken).

#include <glib.h>

#include <stdexcept>
#include <string>

namespace vesk {

class WebKitCallError : public std::runtime_error {
public:
    WebKitCallError(GQuark domain, int code, const std::string& message)
        : std::runtime_error(message), domain_(domain), code_(code) {}
    explicit WebKitCallError(const GError* error)
        : WebKitCallError(error->domain, error->code, error->message ? error->message : "") {}

    GQuark domain() const { return domain_; }
    int code() const { return code_; }

private:
    GQuark domain_;
    int code_;
};

} // namespace vesk
