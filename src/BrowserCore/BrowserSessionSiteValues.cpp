#include "BrowserCore/BrowserSession.h"

#include <algorithm>

namespace vesk {

std::map<std::string, std::string> BrowserSession::mergedForHost(
    const std::string& site, const std::map<std::string, std::map<std::string, std::string>>& table) {
    // A site takes the values of its own key and of each parent domain; the
    // port is part of both, so another port never matches.
    std::vector<const std::pair<const std::string, std::map<std::string, std::string>>*> kept;
    for (const auto& entry : table) {
        const std::string& key = entry.first;
        bool parent = site.size() > key.size() && site.ends_with(key) && site[site.size() - key.size() - 1] == '.';
        if (key == site || parent) kept.push_back(&entry);
    }
    std::sort(kept.begin(), kept.end(), [](auto* a, auto* b) { return a->first.size() < b->first.size(); });
    std::map<std::string, std::string> merged;
    for (auto* entry : kept) {
        for (const auto& [name, value] : entry->second) merged[name] = value;
    }
    return merged;
}

void BrowserSession::rebuildRedaction() {
    // Nothing is hidden until secret values are given a pattern of their own.
}

void BrowserSession::takePersonAction(const std::string&) {
    // The person's actions are taken in only while a recording runs, and
    // recording from the page is not wired yet.
}

} // namespace vesk
