#include "BrowserCore/Secrets/TypedIntoFields.h"

#include "BrowserCore/Records/WhiteSpace.h"
#include "Platform/Text.h"

#include <algorithm>

namespace vesk {

namespace {

constexpr std::string_view ellipsis = "\u2026";

std::string collapsed(std::string_view text) {
    std::string out;
    for (const auto& piece : splitAtWhiteSpace(text)) out += (out.empty() ? "" : " ") + piece;
    return out;
}

} // namespace

void TypedIntoFields::remember(const std::string& ref, std::string written, std::string typed) {
    std::erase_if(fields_, [&](const Field& field) { return field.ref == ref; });
    if (typed == written) return;
    fields_.push_back({ref, std::move(written), std::move(typed)});
    if (fields_.size() > kept) fields_.pop_front();
}

std::optional<std::string> TypedIntoFields::shown(const std::string& ref, std::string_view value) const {
    auto field = std::find_if(fields_.begin(), fields_.end(), [&](const Field& f) { return f.ref == ref; });
    if (field == fields_.end() || value.empty()) return std::nullopt;
    std::string_view uncut = value;
    if (uncut.ends_with(ellipsis)) uncut.remove_suffix(ellipsis.size());
    for (const std::string& typed : {field->typed, text::withoutLineBreaks(field->typed), collapsed(field->typed)}) {
        for (std::string_view start : {value, uncut}) {
            if (!start.empty() && std::string_view(typed).starts_with(start)) return field->written;
        }
    }
    return std::nullopt;
}

bool TypedIntoFields::holdsTyped(const std::string& ref) const {
    return std::any_of(fields_.begin(), fields_.end(), [&](const Field& f) { return f.ref == ref; });
}

} // namespace vesk
