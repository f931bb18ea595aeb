// The frame scan: the main frame's scan merged with the scans of the
// subframes that announced themselves, each asked in turn under a time-out.

#include "BrowserCore/PageAgent/FrameGone.h"
#include "BrowserCore/Session/BrowserSession.h"
#include "BrowserCore/Session/FrameAnswer.h"
#include "Platform/Async.h"

#include <algorithm>
#include <set>

namespace vesk {

namespace {

using nlohmann::json;

// Sends the request and delivers whatever comes of it. The session is held
// only while the call starts, so a frame that never answers keeps nothing
// alive but the answer it owes.
Task<void> requestFrameScan(std::weak_ptr<BrowserSession> weak, std::shared_ptr<FrameAnswer> answer, FrameInfo info,
                            json args) {
    Task<Scan> call;
    if (auto session = weak.lock()) {
        call = session->agentValue<Scan>("scan", std::move(args), &Scan::decode, info);
    } else {
        co_return;
    }
    FrameAnswer::Answer result;
    try {
        result.scan = co_await call;
        result.outcome = FrameAnswer::Outcome::scanned;
    } catch (const FrameGone&) {
        result.outcome = FrameAnswer::Outcome::gone;
    } catch (...) {
        // A script error, a failure the agent reported or an empty reply: the
        // frame is there but did not answer this time.
        result.outcome = FrameAnswer::Outcome::failed;
    }
    auto session = weak.lock();
    if (session && *session->dropsFrameAnswers) co_return;
    answer->deliver(std::move(result));
}

Task<void> frameTimer(std::shared_ptr<FrameAnswer> answer, Duration timeout) {
    try {
        co_await sleepFor(timeout);
    } catch (const CancellationError&) {
        co_return;
    }
    answer->expire();
}

// How a frame that did not answer is named to the agent: its host, with the
// port when the origin has one. A frame whose origin has no host (a
// sandboxed frame, a data: document) still gets a readable name.
std::string unansweredName(const FrameInfo& info) {
    if (!info.host.empty()) {
        std::string host = info.host.find(':') != std::string::npos ? "[" + info.host + "]" : info.host;
        return info.port != 0 ? host + ":" + std::to_string(info.port) : host;
    }
    if (!info.scheme.empty()) return "a " + info.scheme + ": frame";
    return "a sandboxed or data: frame";
}

// The frames of a web view, each once, in the order in which they first
// announced themselves, with the details of their latest announcement: a
// frame announces itself again for every new document it shows.
std::vector<FrameListener::KnownFrame> distinctFrames(const std::vector<FrameListener::KnownFrame>& list) {
    std::vector<FrameListener::KnownFrame> distinct;
    for (const auto& frame : list) {
        auto seen = std::find_if(distinct.begin(), distinct.end(), [&](const auto& f) { return f.id == frame.id; });
        if (seen == distinct.end()) {
            distinct.push_back(frame);
        } else {
            seen->info = frame.info;
        }
    }
    return distinct;
}

// Whether a frame shows: no frame on its way down from the top window (its
// own place included) is one that the document holding it hides. A frame
// whose place is not known counts as shown.
bool frameShown(const Scan& scan, const std::set<std::vector<int>>& hidden) {
    if (!scan.path) return true;
    for (std::size_t depth = 1; depth <= scan.path->size(); ++depth) {
        if (hidden.contains(std::vector<int>(scan.path->begin(), scan.path->begin() + depth))) return false;
    }
    return true;
}

// The places of the frames that the documents above them hide.
std::set<std::vector<int>> hiddenFrames(const Scan& main, const std::vector<std::pair<FrameInfo, Scan>>& listed) {
    std::set<std::vector<int>> hidden;
    for (int index : main.hiddenFrames) hidden.insert({index});
    for (const auto& [info, scan] : listed) {
        if (!scan.path) continue;
        for (int index : scan.hiddenFrames) {
            std::vector<int> place = *scan.path;
            place.push_back(index);
            hidden.insert(std::move(place));
        }
    }
    return hidden;
}

double millisecondsSince1970(std::chrono::system_clock::time_point instant) {
    return std::chrono::duration<double, std::milli>(instant.time_since_epoch()).count();
}

} // namespace

Task<PageSnapshot> BrowserSession::scan() {
    std::string window = activeWindowID();
    WebKitWebView* view = activeView();

    // A window the page has just opened shows nothing until its first load
    // begins: it is answered as it stands, an empty page.
    if (const char* uri = webkit_web_view_get_uri(view); window != mainWindowID && (!uri || !*uri)) {
        PageSnapshot blank;
        blank.url = "about:blank";
        refFrames.modify([&](auto& table) { table[window].clear(); });
        snapshots.modify([&](auto& table) { table[window] = blank; });
        co_return blank;
    }

    json args{{"floor", *lastRef}};
    std::string command = "scan";
    Scan main = co_await agentValue<Scan>(command, std::move(args), &Scan::decode);
    if (main.lastRef > *lastRef) lastRef.set(main.lastRef);

    std::map<std::string, FrameInfo> owners;
    std::vector<std::string> unanswered;
    std::vector<PageElement> elements = main.snapshot.elements;
    std::set<std::string> onScreen = main.snapshot.onScreen;

    std::vector<FrameListener::KnownFrame> subframes;
    std::vector<std::pair<FrameInfo, Scan>> listed;
    if (auto found = frames.known.find(view); found != frames.known.end()) subframes = distinctFrames(found->second);
    for (const auto& frame : subframes) {
        FrameListing listing = co_await listFrame(frame.id, frame.info);
        switch (listing.kind) {
        case FrameListing::Kind::listed:
            if (listing.scan->lastRef > *lastRef) lastRef.set(listing.scan->lastRef);
            listed.emplace_back(frame.info, std::move(*listing.scan));
            break;
        case FrameListing::Kind::gone:
            // The list may have changed while the frame was asked: edit it as it is now.
            if (auto found = frames.known.find(view); found != frames.known.end()) {
                std::erase_if(found->second, [&](const auto& f) { return f.id == frame.id; });
            }
            break;
        case FrameListing::Kind::late: {
            std::string name = unansweredName(frame.info);
            if (std::find(unanswered.begin(), unanswered.end(), name) == unanswered.end()) unanswered.push_back(name);
            break;
        }
        }
    }

    // A frame's elements are listed only while the page shows the frame.
    auto hidden = hiddenFrames(main, listed);
    for (const auto& [info, scan] : listed) {
        if (!frameShown(scan, hidden)) continue;
        elements.insert(elements.end(), scan.snapshot.elements.begin(), scan.snapshot.elements.end());
        onScreen.insert(scan.snapshot.onScreen.begin(), scan.snapshot.onScreen.end());
        for (const auto& element : scan.snapshot.elements) owners[element.ref] = info;
    }

    auto stillKnown = knownFrameIDs(frames.known);
    std::erase_if(lateScans, [&](const auto& entry) {
        return std::find(stillKnown.begin(), stillKnown.end(), entry.first) == stillKnown.end();
    });

    PageSnapshot snapshot = std::move(main.snapshot);
    snapshot.elements = std::move(elements);
    snapshot.onScreen = std::move(onScreen);
    snapshot.httpStatus = window == mainWindowID ? responses.failedStatus(main.loadedFrom) : std::nullopt;
    snapshot.downloads.clear();
    snapshot.unansweredFrames = std::move(unanswered);

    // A popup that closed while its frames were asked keeps no records.
    bool windowOpen = window == mainWindowID || std::any_of(popupIDs->begin(), popupIDs->end(),
                                                            [&](const auto& entry) { return entry.second == window; });
    if (windowOpen) {
        refFrames.modify([&](auto& table) { table[window] = std::move(owners); });
        snapshots.modify([&](auto& table) { table[window] = snapshot; });
    }
    co_return snapshot;
}

Task<FrameListing> BrowserSession::listFrame(std::string id, FrameInfo info) {
    const Duration timeout = options->frameTimeout;

    if (auto found = lateScans.find(id); found != lateScans.end()) {
        auto late = found->second;
        if (!late->answer->hasArrived() && Clock::now() - late->asked <= 10 * timeout) {
            // Its earlier request is still open: it is not asked again yet.
            co_return FrameListing{FrameListing::Kind::late, std::nullopt};
        }
        // The earlier request has ended, or has been open so long that the
        // frame is asked afresh: one that no longer exists says so at once.
        lateScans.erase(found);
    }

    Instant asked = Clock::now();
    json args{{"floor", *lastRef},
              {"until", millisecondsSince1970(std::chrono::system_clock::now() +
                                              std::chrono::duration_cast<std::chrono::system_clock::duration>(timeout / 2))}};
    auto answer = std::make_shared<FrameAnswer>();
    static_cast<void>(detach([&] { return requestFrameScan(weak_from_this(), answer, info, std::move(args)); }));
    // Only this scan stops the timer, so a cancelled command still ends its
    // wait for the frame on time.
    Task<void> timer = detach([&] { return frameTimer(answer, timeout); });

    co_await answer->wait();
    timer.cancel();

    if (!answer->hasArrived()) {
        lateScans[id] = std::make_shared<LateScan>(LateScan{answer, asked});
        co_return FrameListing{FrameListing::Kind::late, std::nullopt};
    }
    const auto& result = *answer->answer();
    switch (result.outcome) {
    case FrameAnswer::Outcome::gone:
        co_return FrameListing{FrameListing::Kind::gone, std::nullopt};
    case FrameAnswer::Outcome::failed:
        co_return FrameListing{FrameListing::Kind::late, std::nullopt};
    case FrameAnswer::Outcome::scanned:
        break;
    }
    // An answer for another frame is no answer from this one.
    if (result.scan->frame != id) co_return FrameListing{FrameListing::Kind::late, std::nullopt};
    co_return FrameListing{FrameListing::Kind::listed, result.scan};
}

Task<Found> BrowserSession::agentValueFound(std::string command, json args, std::optional<FrameInfo> frame) {
    return agentValue<Found>(std::move(command), std::move(args), &Found::decode, std::move(frame));
}

Task<PointerPoint> BrowserSession::agentValuePointerPoint(std::string command, json args,
                                                          std::optional<FrameInfo> frame) {
    return agentValue<PointerPoint>(std::move(command), std::move(args), &PointerPoint::decode, std::move(frame));
}

} // namespace vesk
