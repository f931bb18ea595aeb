// What leaves the session for the agent passes through here, so that a
// stored value or a current one-time code that a page shows back reaches the
// agent only as its ${NAME}.

#include "BrowserCore/Session/BrowserSession.h"

namespace vesk {

namespace {

// Hides values in the texts of one record: the code pattern is made once for
// all of them, since codes change with the clock.
class Redactor {
public:
    Redactor(const std::optional<Redaction>& secrets, std::optional<Redaction> codes,
             const TypedIntoFields* typed = nullptr)
        : secrets_(secrets), codes_(std::move(codes)), typed_(typed) {}

    std::string operator()(std::string_view text) const {
        return redactText(text, BrowserSession::redactionLimit, secrets_, codes_);
    }

    // None when the text could not be checked.
    std::optional<std::string> checked(std::string_view text) const {
        return checkedText(text, BrowserSession::redactionLimit, secrets_, codes_);
    }

    void operator()(std::optional<std::string>& field) const {
        if (field) field = (*this)(*field);
    }

    PageElement element(PageElement element) const {
        element.name = (*this)(element.name);
        (*this)(element.context);
        if (element.value && typed_) {
            if (auto written = typed_->shown(element.ref, *element.value)) element.value = std::move(written);
        }
        (*this)(element.value);
        (*this)(element.href);
        (*this)(element.options);
        return element;
    }

private:
    const std::optional<Redaction>& secrets_;
    std::optional<Redaction> codes_;
    const TypedIntoFields* typed_;
};

} // namespace

std::optional<Redaction> BrowserSession::buildRedaction(
    const std::map<std::string, std::map<std::string, std::string>>& variables, const std::deque<KeptStart>& kept) {
    return secretsRedaction(variables, kept);
}

std::optional<Redaction> BrowserSession::otpPattern() const {
    return oneTimeCodeRedaction(*otpKeys, now());
}

std::string BrowserSession::redact(std::string_view text) const {
    return Redactor(*redaction, otpPattern())(text);
}

std::string BrowserSession::redactSecrets(std::string text) const {
    return redactText(text, std::string::npos, *redaction, std::nullopt);
}

PageElement BrowserSession::redactElement(PageElement element) const {
    return Redactor(*redaction, otpPattern(), &typedIntoFields).element(std::move(element));
}

// Refs, roles, tags, kinds and numbers stay as they are: a short value that
// happens to equal a ref must not break the agent's handle on the element.
PageSnapshot BrowserSession::redactSnapshot(PageSnapshot snapshot) const {
    Redactor redact(*redaction, otpPattern(), &typedIntoFields);
    snapshot.url = redact(snapshot.url);
    snapshot.title = redact(snapshot.title);
    // A page text that could not be checked is withheld and marked so. Its
    // main content and the rest are kept only when both could be checked
    // too; otherwise the text alone is shown.
    auto text = redact.checked(snapshot.text);
    snapshot.textWithheld = !text;
    snapshot.text = text.value_or(std::string(redactionFailureNotice));
    std::optional<std::string> mainText, aroundText;
    if (text && snapshot.mainText) mainText = redact.checked(*snapshot.mainText);
    if (text && snapshot.aroundText) aroundText = redact.checked(*snapshot.aroundText);
    if (mainText.has_value() != snapshot.mainText.has_value() || aroundText.has_value() != snapshot.aroundText.has_value()) {
        mainText.reset();
        aroundText.reset();
    }
    snapshot.mainText = std::move(mainText);
    snapshot.aroundText = std::move(aroundText);
    if (snapshot.cover) snapshot.cover->name = redact(snapshot.cover->name);
    for (auto& file : snapshot.downloads) {
        file.name = redact(file.name);
        file.path = redact(file.path);
    }
    for (auto& element : snapshot.elements) element = redact.element(std::move(element));
    return snapshot;
}

ActionResult BrowserSession::redactActionResult(ActionResult result) const {
    Redactor redact(*redaction, otpPattern(), &typedIntoFields);
    result.url = redact(result.url);
    result.title = redact(result.title);
    for (auto& element : result.changes.added) element = redact.element(std::move(element));
    for (auto& element : result.changes.changed) element = redact.element(std::move(element));
    for (auto& element : result.suggestions) element = redact.element(std::move(element));
    for (auto& dialog : result.dialogs) dialog.message = redact(dialog.message);
    for (auto& request : result.failedRequests) request.url = redact(request.url);
    return result;
}

} // namespace vesk
