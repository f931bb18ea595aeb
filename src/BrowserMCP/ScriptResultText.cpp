#include "BrowserMCP/PageRendering.h"

#include "Platform/Text.h"

namespace vesk::PageRendering {

namespace {

constexpr std::size_t evaluateLimit = 20000;

} // namespace

std::string evaluateResult(std::string_view text, std::size_t fullLength) {
    if (fullLength <= evaluateLimit) return pageContent(quoteLines(text));
    Lines lines = quoteLines(text::prefix(text, evaluateLimit));
    lines.push_back("Result (" + std::to_string(evaluateLimit) + " of " + std::to_string(fullLength) + " characters; " +
                    std::to_string(fullLength - evaluateLimit) + " left out at the end: have the script return less)");
    return pageContent(lines);
}

} // namespace vesk::PageRendering
