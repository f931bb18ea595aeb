#include "BrowserCore/Flows/FlowError.h"

#include <utility>

namespace vesk {

FlowError::FlowError(Kind kind, std::string message) : kind_(kind), message_(std::move(message)) {
    description_ = describe();
}

FlowError FlowError::unrepairableStep(std::string message) {
    return FlowError(Kind::unrepairableStep, std::move(message));
}

std::string FlowError::describe() const {
    switch (kind_) {
    case Kind::unrepairableStep:
        return message_;
    }
    return message_;
}

} // namespace vesk
