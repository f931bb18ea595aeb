#include "BrowserCore/Recorders/NetworkRecorder.h"

#include "BrowserCore/Records/JsonFields.h"
#include "Platform/Text.h"

#include <unicode/brkiter.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <memory>

namespace vesk {

namespace {

// Keeps the user-perceived characters that are letters (by their first code
// point), case unchanged: "get" stays, "M-SEARCH" becomes "MSEARCH".
std::string lettersOnly(const std::string& utf8) {
    auto text = icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> breaks(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    icu::UnicodeString kept;
    if (U_FAILURE(status)) {
        for (int32_t i = 0; i < text.length(); i = text.moveIndex32(i, 1)) {
            if (u_isalpha(text.char32At(i))) kept.append(text.char32At(i));
        }
    } else {
        breaks->setText(text);
        int32_t start = breaks->first();
        for (int32_t end = breaks->next(); end != icu::BreakIterator::DONE; start = end, end = breaks->next()) {
            if (u_isalpha(text.char32At(start))) kept.append(text, start, end - start);
        }
    }
    std::string out;
    kept.toUTF8String(out);
    return out;
}

std::string knownError(const nlohmann::json& body) {
    if (const std::string* error = textAt(body, "error")) {
        if (*error == "aborted" || *error == "timed out" || *error == "network error") return *error;
    }
    return "network error";
}

} // namespace

void NetworkRecorder::receive(const nlohmann::json& body, WebKitWebView* sender, bool fromMainFrame) {
    if (!fromMainFrame || !body.is_object()) return;
    auto label = window ? window(sender) : std::nullopt;
    if (!label) return;
    const std::string* method = textAt(body, "method");
    const std::string* url = textAt(body, "url");
    auto ms = body.contains("ms") ? json_fields::integralValue<std::int64_t>(body["ms"]) : std::nullopt;
    if (!method || !url || !ms) return;

    NetworkRequest request;
    request.method = text::prefix(lettersOnly(text::validUtf8(*method)), methodLimit);
    request.url = text::prefix(text::validUtf8(*url), urlLimit);
    if (body.contains("status")) request.status = json_fields::integralValue<int>(body["status"]);
    if (!request.status) request.error = knownError(body);
    request.milliseconds = *ms;
    request.window = label->id;

    kept_.add(request, label->alone);
    keepLast(recent_, std::move(request), requestLimit);
    ++ended_;
}

NetworkRecorder::Taken NetworkRecorder::take() {
    auto [requests, leftOut] = kept_.take();
    return {std::move(requests), leftOut};
}

std::vector<NetworkRequest> NetworkRecorder::failedRequests(std::int64_t mark,
                                                            const std::optional<std::string>& window) const {
    // A mark is an earlier value of `ended`; one from the future counts nothing.
    std::int64_t since = std::max<std::int64_t>(0, ended_ - mark);
    auto count = static_cast<std::size_t>(std::min<std::int64_t>(since, static_cast<std::int64_t>(recent_.size())));
    std::vector<NetworkRequest> failed;
    for (auto it = recent_.end() - static_cast<std::ptrdiff_t>(count); it != recent_.end(); ++it) {
        if (!it->failed()) continue;
        if (window && it->window != window) continue;
        failed.push_back(*it);
    }
    return failed;
}

} // namespace vesk
