#include "Platform/LocaleNumber.h"

#include <unicode/locid.h>
#include <unicode/numfmt.h>
#include <unicode/unistr.h>

#include <clocale>
#include <cmath>
#include <memory>

namespace vesk {

namespace {

// The format of LC_NUMERIC, which GTK sets from the environment at start
// ("de_DE.UTF-8" becomes ICU's de_DE; "C" its POSIX English).
std::unique_ptr<icu::NumberFormat> numberFormat(const char* name) {
    if (!name) name = std::setlocale(LC_NUMERIC, nullptr);
    icu::Locale locale = icu::Locale::createCanonical(name ? name : "C");
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::NumberFormat> format(icu::NumberFormat::createInstance(locale, status));
    if (U_FAILURE(status)) return nullptr;
    format->setMinimumFractionDigits(0);
    format->setMaximumFractionDigits(1);
    return format;
}

bool isBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\u00A0' || c == u'\u202F';
}

} // namespace

std::string formatLocaleNumber(double value, const char* locale) {
    std::string result;
    auto format = numberFormat(locale);
    if (!format) return result;
    icu::UnicodeString text;
    format->format(value, text);
    text.toUTF8String(result);
    return result;
}

std::optional<double> parseLocaleNumber(std::string_view text, const char* locale) {
    auto format = numberFormat(locale);
    if (!format) return std::nullopt;
    icu::UnicodeString input =
        icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    int32_t start = 0;
    int32_t end = input.length();
    while (start < end && isBlank(input.charAt(start)))
        ++start;
    while (end > start && isBlank(input.charAt(end - 1)))
        --end;
    if (start == end) return std::nullopt;
    icu::UnicodeString numberText(input, start, end - start);

    icu::Formattable number;
    icu::ParsePosition position(0);
    format->parse(numberText, number, position);
    if (position.getErrorIndex() >= 0 || position.getIndex() != numberText.length()) return std::nullopt;
    UErrorCode status = U_ZERO_ERROR;
    double value = number.getDouble(status);
    if (U_FAILURE(status) || !std::isfinite(value)) return std::nullopt;
    return value;
}

} // namespace vesk
