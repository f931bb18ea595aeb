#include "BrowserCore/FlowModel/FlowError.h"

#include <utility>

namespace vesk {

FlowError::FlowError(Kind kind, std::string message) : kind_(kind), message_(std::move(message)) {
    description_ = describe();
}

FlowError FlowError::missingVariable(std::string name) {
    return FlowError(Kind::missingVariable, std::move(name));
}

FlowError FlowError::malformedStep(std::string message) {
    return FlowError(Kind::malformedStep, std::move(message));
}

FlowError FlowError::unrepairableStep(std::string message) {
    return FlowError(Kind::unrepairableStep, std::move(message));
}

std::string FlowError::describe() const {
    switch (kind_) {
    case Kind::missingVariable:
        return "The flow needs a value for the variable " + message_ + " on this site";
    case Kind::malformedStep:
    case Kind::unrepairableStep:
        return message_;
    }
    return message_;
}

} // namespace vesk
