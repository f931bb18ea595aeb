#pragma once

// The error of replaying and repairing flows. Each case carries the whole
// sentence the agent or the person reads; the flow runner adds its own cases.

#include <exception>
#include <string>

namespace vesk {

class FlowError : public std::exception {
public:
    enum class Kind {
        unrepairableStep,
    };

    // A step that cannot take a new target; `message` is the description, unchanged.
    static FlowError unrepairableStep(std::string message);

    Kind kind() const { return kind_; }
    // The case's text as given, before the description frames it (if it does).
    const std::string& message() const { return message_; }

    const std::string& description() const { return description_; }
    const char* what() const noexcept override { return description_.c_str(); }

    bool operator==(const FlowError& other) const { return kind_ == other.kind_ && message_ == other.message_; }

private:
    FlowError(Kind kind, std::string message);
    std::string describe() const;

    Kind kind_;
    std::string message_;
    std::string description_;
};

} // namespace vesk
