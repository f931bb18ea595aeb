#include "BrowserCore/Records/NetworkRequest.h"

#include "BrowserCore/Records/SameText.h"

namespace vesk {

bool NetworkRequest::failed() const { return !status || *status > 399; }

bool NetworkRequest::operator==(const NetworkRequest& other) const {
    return sameText(method, other.method) && sameText(url, other.url) && status == other.status &&
           sameOptionalText(error, other.error) && milliseconds == other.milliseconds && sameOptionalText(window, other.window);
}

} // namespace vesk
