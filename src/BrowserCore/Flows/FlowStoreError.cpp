#include "BrowserCore/Flows/FlowStoreError.h"

namespace vesk {

FlowStoreError FlowStoreError::notAFlow(const std::string& fileName) {
    return {Kind::notAFlow, fileName + " already exists in the flows folder and is not a flow, so it was not replaced. "
                                       "Record the flow again under another name"};
}

FlowStoreError FlowStoreError::fileSystem(const std::string& action, const std::string& reason) {
    return {Kind::fileSystem, action + ": " + reason};
}

FlowStoreError FlowStoreError::tooLarge(const std::string& name, std::size_t limit) {
    return {Kind::tooLarge, "The flow \"" + name + "\" would take more than " + std::to_string(limit / (1024 * 1024)) +
                                " MiB, more than a flow file may hold, so it was not saved. Record it in parts"};
}

} // namespace vesk
