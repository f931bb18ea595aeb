#pragma once

// The error of replaying and repairing flows. Each case carries the words the
// agent or the person reads; no description ends with a full stop.

#include <exception>
#include <string>

namespace vesk {

class FlowError : public std::exception {
public:
    enum class Kind {
        missingVariable,
        malformedStep,
        unrepairableStep,
    };

    // A ${NAME} reference that neither the page's site nor the caller has a
    // value for; `name` is the text inside the braces.
    static FlowError missingVariable(std::string name);
    // A step without the value or target its action needs; `message` is the
    // whole sentence.
    static FlowError malformedStep(std::string message);

    // A step that cannot take a new target; `message` is the description, unchanged.
    static FlowError unrepairableStep(std::string message);

    Kind kind() const { return kind_; }
    // The case's text as given: the variable's name, or the sentence.
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
