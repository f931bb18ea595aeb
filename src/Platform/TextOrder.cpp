#include "Platform/TextOrder.h"

#include "Platform/Text.h"

#include <unicode/coll.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <memory>

namespace vesk::text {

namespace {

icu::UnicodeString unicode(std::string_view utf8) {
    return icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
}

// The root collation at secondary strength ignores case but not accents;
// numeric ordering compares digit runs by value.
const icu::Collator* personCollator() {
    static const std::unique_ptr<icu::Collator> collator = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::Collator> made(icu::Collator::createInstance(icu::Locale::getRoot(), status));
        if (U_FAILURE(status)) return std::unique_ptr<icu::Collator>();
        made->setStrength(icu::Collator::SECONDARY);
        made->setAttribute(UCOL_NUMERIC_COLLATION, UCOL_ON, status);
        return made;
    }();
    return collator.get();
}

} // namespace

int standardCompare(std::string_view a, std::string_view b) {
    if (const icu::Collator* collator = personCollator()) {
        UErrorCode status = U_ZERO_ERROR;
        auto order = collator->compare(unicode(a), unicode(b), status);
        if (U_SUCCESS(status)) return order;
    }
    return unicode(a).caseCompare(unicode(b), U_FOLD_CASE_DEFAULT);
}

bool equalIgnoringCase(std::string_view a, std::string_view b) {
    return unicode(a).foldCase() == unicode(b).foldCase();
}

std::string trimmedBlanks(std::string_view utf8) {
    return std::string(trimmed(utf8, [](int32_t c) { return static_cast<bool>(u_isblank(c)); }));
}

std::string trimmedWhiteSpace(std::string_view utf8) {
    return std::string(trimmed(utf8, [](int32_t c) { return static_cast<bool>(u_isUWhiteSpace(c)); }));
}

} // namespace vesk::text
