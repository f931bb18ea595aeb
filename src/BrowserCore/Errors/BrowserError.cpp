#include "BrowserCore/Errors/BrowserError.h"

#include <array>
#include <utility>

namespace vesk {

namespace {

constexpr std::array<std::pair<BrowserError::ElementFailure, std::string_view>, 6> elementFailureCodes{{
    {BrowserError::ElementFailure::notFound, "not_found"},
    {BrowserError::ElementFailure::disabled, "disabled"},
    {BrowserError::ElementFailure::notVisible, "not_visible"},
    {BrowserError::ElementFailure::obscured, "obscured"},
    {BrowserError::ElementFailure::wrongType, "wrong_type"},
    {BrowserError::ElementFailure::noOption, "no_option"},
}};

// Where a value was to be typed: a site, or a document without a site of its
// own (about:blank, data:, a sandboxed frame), which receives no values.
std::string placeWords(const std::string& here) {
    return here.empty() ? std::string("a page without a site of its own") : here;
}

std::string siteWords(const std::string& here) {
    return here.empty() ? std::string("a page without a site of its own") : "the site " + here;
}

// Messages name a credential by the part of its reference before the field.
std::string_view credentialBase(std::string_view reference) {
    return reference.substr(0, reference.find('.'));
}

std::string joined(const std::vector<std::string>& items) {
    std::string out;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) out += ", ";
        out += items[i];
    }
    return out;
}

} // namespace

std::optional<BrowserError::ElementFailure> BrowserError::elementFailureFromRaw(std::string_view raw) {
    for (const auto& [failure, code] : elementFailureCodes) {
        if (code == raw) return failure;
    }
    return std::nullopt;
}

std::string_view BrowserError::toRaw(ElementFailure failure) {
    for (const auto& [candidate, code] : elementFailureCodes) {
        if (candidate == failure) return code;
    }
    return {};
}

BrowserError::BrowserError(Kind kind, std::string detail) : kind_(kind), detail_(std::move(detail)) {}

BrowserError BrowserError::described(BrowserError error) {
    error.description_ = error.describe();
    return error;
}

BrowserError BrowserError::invalidURL(std::string address) {
    BrowserError error(Kind::invalidURL, std::move(address));
    return described(std::move(error));
}

BrowserError BrowserError::navigationFailed(std::string reason) {
    BrowserError error(Kind::navigationFailed, std::move(reason));
    return described(std::move(error));
}

BrowserError BrowserError::timeout(std::string waitingFor) {
    BrowserError error(Kind::timeout, std::move(waitingFor));
    return described(std::move(error));
}

BrowserError BrowserError::element(ElementFailure failure, std::string message) {
    BrowserError error(Kind::element, std::move(message));
    error.failure_ = failure;
    return described(std::move(error));
}

BrowserError BrowserError::script(std::string problem) {
    BrowserError error(Kind::script, std::move(problem));
    return described(std::move(error));
}

BrowserError BrowserError::noWindow(std::string windowID) {
    BrowserError error(Kind::noWindow, std::move(windowID));
    return described(std::move(error));
}

BrowserError BrowserError::variableOfAnotherSite(std::string name, std::vector<std::string> sites, std::string here) {
    BrowserError error(Kind::variableOfAnotherSite, std::move(name));
    error.sites_ = std::move(sites);
    error.here_ = std::move(here);
    return described(std::move(error));
}

BrowserError BrowserError::credentialOfAnotherSite(std::string reference, std::vector<std::string> sites,
                                                   std::string here) {
    BrowserError error(Kind::credentialOfAnotherSite, std::move(reference));
    error.sites_ = std::move(sites);
    error.here_ = std::move(here);
    return described(std::move(error));
}

BrowserError BrowserError::credentialWithoutOTPKey(std::string reference) {
    BrowserError error(Kind::credentialWithoutOTPKey, std::move(reference));
    return described(std::move(error));
}

BrowserError BrowserError::credentialNotAvailable(std::string reference) {
    BrowserError error(Kind::credentialNotAvailable, std::move(reference));
    return described(std::move(error));
}

BrowserError BrowserError::variableNotAvailable(std::string name, std::string here) {
    BrowserError error(Kind::variableNotAvailable, std::move(name));
    error.here_ = std::move(here);
    return described(std::move(error));
}

BrowserError BrowserError::valueUnreadable(std::string reference, std::string problem) {
    BrowserError error(Kind::valueUnreadable, std::move(reference));
    error.problem_ = std::move(problem);
    return described(std::move(error));
}

BrowserError BrowserError::siteChanged() {
    return described(BrowserError(Kind::siteChanged));
}

BrowserError BrowserError::invalidStatus(std::string pattern) {
    BrowserError error(Kind::invalidStatus, std::move(pattern));
    return described(std::move(error));
}

BrowserError BrowserError::requestStatus(std::string request, std::string got, std::string wanted) {
    BrowserError error(Kind::requestStatus, std::move(request));
    error.got_ = std::move(got);
    error.wanted_ = std::move(wanted);
    return described(std::move(error));
}

BrowserError BrowserError::consoleErrors(std::int64_t count) {
    BrowserError error(Kind::consoleErrors);
    error.count_ = count;
    return described(std::move(error));
}

BrowserError BrowserError::noPage() {
    BrowserError error(Kind::noPage);
    return described(std::move(error));
}

BrowserError BrowserError::unreadAfterAction(std::string command, std::string problem) {
    BrowserError error(Kind::unreadAfterAction, std::move(command));
    while (!problem.empty() && (problem.back() == '.' || problem.back() == ' ')) problem.pop_back();
    error.problem_ = std::move(problem);
    return described(std::move(error));
}

std::string BrowserError::describe() const {
    const std::string& x = detail_;
    switch (kind_) {
    case Kind::invalidURL:
        return "Invalid URL: " + x;
    case Kind::navigationFailed:
        return "Navigation failed: " + x;
    case Kind::timeout:
        return "Timed out " + x;
    case Kind::element:
        return x;
    case Kind::script:
        return "Script error: " + x;
    case Kind::noWindow:
        return "No window is called " + x +
               ". The open windows are listed in every result while the page has one open; the page itself is main.";
    case Kind::variableOfAnotherSite:
        return "The variable ${" + x + "} belongs to " + joined(sites_) + " and this window is on " + placeWords(here_) +
               ", so nothing was typed. A variable is typed only on its own site and that site's subdomains.";
    case Kind::credentialOfAnotherSite:
        return "The credential " + std::string(credentialBase(x)) + " belongs to " + joined(sites_) +
               " and this window is on " + placeWords(here_) + ", so ${" + x +
               "} was not typed and nothing else was. A credential is typed only on its own site and that site's "
               "subdomains.";
    case Kind::credentialWithoutOTPKey:
        return "The credential " + std::string(credentialBase(x)) + " has no 2FA key, so ${" + x +
               "} has no code and nothing was typed.";
    case Kind::credentialNotAvailable:
        return "No credential " + std::string(credentialBase(x)) + " is available in this profile, so ${" + x +
               "} was not typed and nothing else was.";
    case Kind::variableNotAvailable:
        return "No variable " + x + " is available to " + siteWords(here_) + ", so ${" + x +
               "} was not typed and nothing else was. Check the name, or type the text without the reference.";
    case Kind::valueUnreadable:
        return "The keychain could not be read for ${" + x + "} (" + problem_ +
               "), so nothing was typed. Unlock the keychain or start the desktop's Secret Service, or save the "
               "value again in the window, then fill again.";
    case Kind::siteChanged:
        return "The page went to another site before the text was typed, so nothing was typed. Take a snapshot "
               "and fill again.";
    case Kind::invalidStatus:
        return "The status " + x + " is not one of 2xx, 3xx, 4xx and 5xx";
    case Kind::requestStatus:
        return "The request " + x + " got " + got_ + ", not " + wanted_;
    case Kind::consoleErrors:
        return "The page logged " + std::to_string(count_) + " console error" + (count_ == 1 ? "" : "s") +
               " since the flow began; the console tool reads them";
    case Kind::noPage:
        return "No page is loaded. Navigate to a URL first.";
    case Kind::unreadAfterAction:
        return "The " + x + " was carried out, but the page could not be read after it (" + problem_ +
               "). Take a snapshot to see the page before doing the " + x + " again.";
    }
    return {};
}

bool BrowserError::operator==(const BrowserError& other) const {
    return kind_ == other.kind_ && detail_ == other.detail_ && failure_ == other.failure_ &&
           sites_ == other.sites_ && here_ == other.here_ && got_ == other.got_ && wanted_ == other.wanted_ &&
           count_ == other.count_ && problem_ == other.problem_;
}

} // namespace vesk
