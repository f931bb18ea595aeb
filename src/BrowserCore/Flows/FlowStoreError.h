#pragma once

// The failures of the flow store. The description is the text the agent or
// the person reads.

#include <cstddef>
#include <stdexcept>
#include <string>

namespace vesk {

class FlowStoreError : public std::runtime_error {
public:
    enum class Kind {
        // A save would replace a file that does not hold a flow.
        notAFlow,
        // The file system refused to make the folder, write or remove a file.
        fileSystem,
        // The flow would make a file larger than the store reads.
        tooLarge,
    };

    // `fileName` is the file's last path component.
    static FlowStoreError notAFlow(const std::string& fileName);
    // `action` says what failed ("Could not write …"); `reason` is the
    // system's own description.
    static FlowStoreError fileSystem(const std::string& action, const std::string& reason);

    static FlowStoreError tooLarge(const std::string& name, std::size_t limit);

    Kind kind() const { return kind_; }
    std::string description() const { return what(); }

private:
    FlowStoreError(Kind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}

    Kind kind_;
};

} // namespace vesk
