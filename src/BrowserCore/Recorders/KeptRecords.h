#pragma once

#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vesk {

// Appends to a list that keeps only its last `limit` items; whether the
// oldest one was dropped to make room.
template <typename T>
bool keepLast(std::deque<T>& list, T item, std::size_t limit) {
    bool dropped = list.size() >= limit;
    if (dropped) list.pop_front();
    list.push_back(std::move(item));
    return dropped;
}

// What a recorder keeps until the next take: the last `limit` records (each
// with an optional `window` id), how many were dropped from the front, and
// whether some record came while several windows were open.
template <typename Record, std::size_t limit>
class KeptRecords {
public:
    void add(Record record, bool alone) {
        if (!alone) severalWindows_ = true;
        if (keepLast(records_, std::move(record), limit)) ++leftOut_;
    }

    // Hands over the records, oldest first, and starts afresh. The records keep
    // their window ids only when several windows were open: with one window,
    // naming it says nothing.
    std::pair<std::vector<Record>, std::int64_t> take() {
        std::vector<Record> taken(std::make_move_iterator(records_.begin()), std::make_move_iterator(records_.end()));
        if (!severalWindows_) {
            for (auto& record : taken) record.window.reset();
        }
        auto leftOut = std::exchange(leftOut_, 0);
        records_.clear();
        severalWindows_ = false;
        return {std::move(taken), leftOut};
    }

    const std::deque<Record>& records() const { return records_; }
    std::int64_t leftOut() const { return leftOut_; }
    bool severalWindows() const { return severalWindows_; }

private:
    std::deque<Record> records_;
    std::int64_t leftOut_ = 0;
    bool severalWindows_ = false;
};

// The capture scripts mark what they post from a main frame: the message
// itself carries no frame.
inline bool postedByMainFrame(const nlohmann::json& body) {
    auto found = body.find("mainFrame");
    return found != body.end() && found->is_boolean() && found->get<bool>();
}

// The text under `key` of a message body; none when missing or not a text.
inline const std::string* textAt(const nlohmann::json& body, const char* key) {
    auto found = body.find(key);
    return found != body.end() && found->is_string() ? &found->get_ref<const std::string&>() : nullptr;
}

} // namespace vesk
