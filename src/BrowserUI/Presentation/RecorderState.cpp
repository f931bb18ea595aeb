#include "BrowserUI/Presentation/RecorderState.h"

#include "BrowserCore/Flows/FlowFileName.h"
#include "BrowserCore/Flows/FlowStore.h"
#include "BrowserCore/Flows/FlowStoreError.h"
#include "BrowserUI/Presentation/Localized.h"

#include "Platform/Text.h"

#include <unicode/uchar.h>

namespace vesk::ui {

RecorderMode recorderMode(bool sessionRecords, bool hasUnsaved, const std::optional<std::string>& name) {
    if (sessionRecords) return RecorderMode::recording;
    if (hasUnsaved) return RecorderMode::unsaved;
    return name ? RecorderMode::naming : RecorderMode::idle;
}

std::string trimmedFlowName(std::string_view name) {
    return std::string(text::trimmed(name, [](int32_t c) { return c == '\t' || u_charType(c) == U_SPACE_SEPARATOR; }));
}

bool replacesSavedFlow(const FlowStore& flows, std::string_view name) {
    const auto file = flows.directory() / flowFileName(name);
    for (const ListedFlow& flow : flows.flows()) {
        if (flow.file == file) return true;
    }
    return false;
}

std::string saveFailureText(const std::exception& error, std::string_view name) {
    const auto* store = dynamic_cast<const FlowStoreError*>(&error);
    if (!store || store->kind() != FlowStoreError::Kind::notAFlow) return error.what();
    return localized("%@ already exists in the flows folder and is not a flow, so it was not replaced. "
                     "Save the flow under another name",
                     {flowFileName(name)});
}

} // namespace vesk::ui
