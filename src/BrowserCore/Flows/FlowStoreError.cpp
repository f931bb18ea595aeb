#include "BrowserCore/Flows/FlowStoreError.h"

namespace vesk {

FlowStoreError FlowStoreError::notAFlow(const std::string& fileName) {
    return {Kind::notAFlow, fileName + " already exists in the flows folder and is not a flow, so it was not replaced. "
                                       "Record the flow again under another name"};
}

FlowStoreError FlowStoreError::fileSystem(const std::string& action, const std::string& reason) {
    return {Kind::fileSystem, action + ": " + reason};
}

} // namespace vesk
