#pragma once

#include "BrowserCore/Records/PageRecords.h"

#include <string>
#include <utility>
#include <vector>

namespace vesk {

// How the page's alerts, confirms and prompts are answered, and the record
// of what the page opened: dialogs, file choosers and popups, in order.
class DialogRecorder {
public:
    enum class Policy { accept, dismiss };

    Policy policy = Policy::accept;
    std::vector<DialogRecord> records;

    // Records a dialog the page opened and tells whether to accept it.
    bool record(DialogRecord::Kind kind, std::string message) {
        records.push_back({kind, std::move(message)});
        return policy == Policy::accept;
    }
};

} // namespace vesk
