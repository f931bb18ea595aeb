#include "BrowserCore/ResponseRecorder.h"

namespace vesk {

void ResponseRecorder::attach(WebKitWebView*) {}

} // namespace vesk
