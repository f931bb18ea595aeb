#pragma once

#include "BrowserCore/PageRecords.h"

#include <vector>

namespace vesk {

// How the page's alerts, confirms and prompts are answered, and the record
// of what was answered.
class DialogRecorder {
public:
    enum class Policy { accept, dismiss };

    Policy policy = Policy::accept;
    std::vector<DialogRecord> records;
};

} // namespace vesk
