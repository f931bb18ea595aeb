#include "BrowserCore/Flows/ListedFlow.h"

namespace vesk {

ListedFlow::ListedFlow(const Flow& decoded, std::filesystem::path file, std::string bytes)
    : name(decoded.name), stepCount(decoded.steps.size()), file(std::move(file)),
      bytes_(std::make_shared<const std::string>(std::move(bytes))) {}

Flow ListedFlow::flow() const { return Flow::decoded(*bytes_); }

bool ListedFlow::operator==(const ListedFlow& other) const {
    return name == other.name && stepCount == other.stepCount && file == other.file &&
           (bytes_ == other.bytes_ || *bytes_ == *other.bytes_);
}

} // namespace vesk
