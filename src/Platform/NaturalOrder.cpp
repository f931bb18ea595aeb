#include "Platform/NaturalOrder.h"

#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/stringpiece.h>

#include <memory>

namespace vesk::text {

namespace {

// The root collation, not the process locale's: the order must not change
// with the locale a program happens to run under. Case is looked at only to
// order names that are otherwise the same.
const icu::Collator* naturalCollator() {
    static const std::unique_ptr<icu::Collator> collator = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::Collator> made(icu::Collator::createInstance(icu::Locale::getRoot(), status));
        if (U_FAILURE(status)) return std::unique_ptr<icu::Collator>();
        made->setStrength(icu::Collator::TERTIARY);
        made->setAttribute(UCOL_NUMERIC_COLLATION, UCOL_ON, status);
        return U_SUCCESS(status) ? std::move(made) : std::unique_ptr<icu::Collator>();
    }();
    return collator.get();
}

} // namespace

int naturalCompare(std::string_view a, std::string_view b) {
    if (const icu::Collator* collator = naturalCollator()) {
        UErrorCode status = U_ZERO_ERROR;
        UCollationResult order = collator->compareUTF8(icu::StringPiece(a.data(), static_cast<int32_t>(a.size())),
                                                       icu::StringPiece(b.data(), static_cast<int32_t>(b.size())), status);
        if (U_SUCCESS(status) && order != UCOL_EQUAL) return order == UCOL_LESS ? -1 : 1;
    }
    return a.compare(b);
}

} // namespace vesk::text
