#pragma once

// The one error type of the browser session. Its description is the text the
// agent reads, so every case's wording is fixed here and nowhere else.

#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vesk {

class BrowserError : public std::exception {
public:
    // Why the page agent could not act on an element, as the agent reports it.
    enum class ElementFailure { notFound, disabled, notVisible, obscured, wrongType, noOption };

    // The exact code ("not_found", …); any other text, in any other case, gives none.
    static std::optional<ElementFailure> elementFailureFromRaw(std::string_view raw);
    static std::string_view toRaw(ElementFailure failure);

    enum class Kind {
        invalidURL,
        navigationFailed,
        timeout,
        element,
        script,
        noWindow,
        variableOfAnotherSite,
        credentialOfAnotherSite,
        credentialWithoutOTPKey,
        credentialNotAvailable,
        variableNotAvailable,
        valueUnreadable,
        siteChanged,
        invalidStatus,
        requestStatus,
        consoleErrors,
        noPage,
        unreadAfterAction,
    };

    static BrowserError invalidURL(std::string address);
    static BrowserError navigationFailed(std::string reason);
    // `waitingFor` completes the sentence after "Timed out ", e.g. "loading the page".
    static BrowserError timeout(std::string waitingFor);
    static BrowserError element(ElementFailure failure, std::string message);
    static BrowserError script(std::string problem);
    static BrowserError noWindow(std::string windowID);
    static BrowserError variableOfAnotherSite(std::string name, std::vector<std::string> sites, std::string here);
    // `reference` is the name inside "${…}" with its field, e.g. "BANK.password".
    static BrowserError credentialOfAnotherSite(std::string reference, std::vector<std::string> sites, std::string here);
    static BrowserError credentialWithoutOTPKey(std::string reference);
    static BrowserError credentialNotAvailable(std::string reference);
    // A plain reference that no site defines: it is refused, never typed as
    // text. `here` is the element's site, empty when its document has none.
    static BrowserError variableNotAvailable(std::string name, std::string here);
    // The keychain holds the value of this reference (a variable, or a
    // credential's field) but could not give it: locked, no Secret Service,
    // or a stored value that is not text. `problem` says which.
    static BrowserError valueUnreadable(std::string reference, std::string problem);
    // The element's document changed site between the choice of values and
    // the typing; nothing was typed.
    static BrowserError siteChanged();
    static BrowserError invalidStatus(std::string pattern);
    static BrowserError requestStatus(std::string request, std::string got, std::string wanted);
    static BrowserError consoleErrors(std::int64_t count);
    static BrowserError noPage();
    // The action was carried out, but reading the page after it failed with
    // `problem`: the agent must look before doing it again.
    static BrowserError unreadAfterAction(std::string command, std::string problem);

    Kind kind() const { return kind_; }
    // The case's first text: the address, the reason, the phrase, the agent's
    // message, the window id, the variable name or credential reference, the
    // status pattern or the request. Empty for consoleErrors and noPage.
    const std::string& detail() const { return detail_; }
    // Meaningful for `element` only.
    ElementFailure failure() const { return failure_; }
    // Meaningful for the two "of another site" cases only.
    const std::vector<std::string>& sites() const { return sites_; }
    const std::string& here() const { return here_; }
    // Meaningful for `requestStatus` only.
    const std::string& got() const { return got_; }
    const std::string& wanted() const { return wanted_; }
    // Meaningful for `consoleErrors` only.
    std::int64_t count() const { return count_; }
    // Meaningful for `valueUnreadable` and `unreadAfterAction` only.
    const std::string& problem() const { return problem_; }

    // The text the agent reads.
    const std::string& description() const { return description_; }
    const char* what() const noexcept override { return description_.c_str(); }

    // Same case and equal associated values; the description follows from them.
    bool operator==(const BrowserError& other) const;

private:
    explicit BrowserError(Kind kind, std::string detail = {});
    // Fixes the description once every associated value is in place.
    static BrowserError described(BrowserError error);
    std::string describe() const;

    Kind kind_;
    std::string detail_;
    ElementFailure failure_ = ElementFailure::notFound;
    std::vector<std::string> sites_;
    std::string here_;
    std::string got_;
    std::string wanted_;
    std::int64_t count_ = 0;
    std::string problem_;
    std::string description_;
};

} // namespace vesk
