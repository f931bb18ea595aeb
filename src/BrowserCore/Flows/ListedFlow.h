#pragma once

// A flow as a reload of the flows folder found it: its name, its number of
// steps and its file, with the bytes read from the file. Decoded, a flow
// takes many times the memory of its file (a step of twenty bytes becomes a
// record of a few hundred), so the list keeps the bytes and decodes them
// again whenever the flow itself is wanted.

#include "BrowserCore/FlowModel/Flow.h"

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>

namespace vesk {

struct ListedFlow {
    // `decoded` is what `bytes` hold.
    ListedFlow(const Flow& decoded, std::filesystem::path file, std::string bytes);

    std::string name;
    std::size_t stepCount = 0;
    std::filesystem::path file;

    // The flow the file held when it was read; the same at every call.
    Flow flow() const;
    // The bytes read, which the list keeps.
    std::size_t fileSize() const { return bytes_->size(); }

    bool operator==(const ListedFlow& other) const;

private:
    // Shared by copies: a view may keep a row's flow without doubling it.
    std::shared_ptr<const std::string> bytes_;
};

} // namespace vesk
