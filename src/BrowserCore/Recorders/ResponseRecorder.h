#pragma once

// Follows the page's navigations and responses: tells the load wait when the
// navigation it follows has committed, finished or failed, keeps the HTTP
// failures of main documents, saves downloads into the session's download
// folder, and answers HTTP logins and the certificates of this machine.
//
// WebKit reports loads per view, not per navigation, and the view's address
// names the session's request from the moment it is made, whoever started
// the load that starts or commits meanwhile. So each load the session starts
// gets an id from `beginNavigation`, with the address it asks for; a load
// start is taken for it only when WebKit has just decided the policy of that
// address and of nothing else, and otherwise the commit decides: the history
// item of the document must have been asked at the session's address (its
// original address, after a redirect). Every later event of the view belongs
// to the load that started or committed last. Loads the page starts by itself
// get ids of their own.

#include "BrowserCore/Errors/BrowserError.h"
#include "BrowserCore/Recorders/DownloadFolder.h"
#include "BrowserCore/Records/PageRecords.h"
#include "Platform/Clock.h"
#include "Platform/GRef.h"

#include <webkit/webkit.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vesk {

class ResponseRecorder {
public:
    using Variables = std::map<std::string, std::string>;
    using NavigationID = std::uint64_t;

    // How the followed navigation ended: a failure carries its error.
    struct Ending {
        std::optional<BrowserError> failure;
        // WebKit refused the load (a port or an address it does not open),
        // which it may say only after an empty document has committed.
        bool refused = false;
    };

    // HTTP status (400 to 599) by URL without fragment, main frame only; at
    // most `failedLimit` entries.
    std::map<std::string, int> failed;
    static constexpr std::size_t failedLimit = 200;
    // The navigation that the load wait follows.
    std::optional<NavigationID> followed;
    // None while the followed navigation runs.
    std::optional<Ending> ended;
    // The followed navigation has committed.
    bool arrived = false;
    // The followed navigation started and then was stopped or replaced by
    // another load before it committed (a page may do that by navigating
    // or changing its history meanwhile).
    bool abandoned = false;
    // Why the load wait fails when the followed navigation was abandoned
    // each time it was made.
    static constexpr const char* abandonedReason =
        "The page was not loaded: the page shown before navigated by itself meanwhile (to another page, or by "
        "changing its own address), and its navigation took the place of this one each time it was made";
    // Why the load wait of a navigation fails when another load wait began
    // before it was done.
    static constexpr const char* supersededReason =
        "Another navigation (from the window or another command) began before this one was done and took its place";
    // Why a load that WebKit refused before it began failed, when no port
    // explains it.
    static constexpr const char* refusedReason =
        "The browser refused to open the address before loading it: WebKit opens only web addresses (http and "
        "https on ports kept for the web, data and about)";
    // The most logins one page load is given. A server that asks again
    // under a new realm each time it gets a login stops getting one here.
    static constexpr std::size_t loginsPerLoad = 8;
    // Why a load failed that the network layer sent again and again with the
    // login it holds for the server, each time asked for a login again.
    static constexpr const char* loginLoopReason =
        "The server asked for a login again each time the browser sent the one it holds for this site (from "
        "HTTP_USER and HTTP_PASSWORD), and the browser gave up after 20 tries; the page shown before stays. The "
        "server may want a kind of login the browser does not give";
    // The failure of a load that WebKit refused: one of a port kept from the
    // web names that port, any other says it was refused.
    static BrowserError refusal(std::string_view uri);
    // The failure of a load of `uri` that WebKit would refuse: an http or
    // https address on a port kept from the web. WebKit drops a link there
    // without a word, and a load of the session's own there replaces the page
    // with an empty one. None for any other address.
    static std::optional<BrowserError> portRefusal(std::string_view uri);
    // The last navigation that started and has neither committed nor failed.
    std::optional<NavigationID> arriving;
    DownloadFolder folder{DownloadFolder::temporaryDownloadFolder()};
    // Files finished since the load wait last took them.
    std::vector<DownloadedFile> downloaded;
    // The variables that apply to a site; empty until the session sets it.
    std::function<Variables(const std::string& site)> variables = [](const std::string&) { return Variables{}; };

    ResponseRecorder();
    ~ResponseRecorder();
    ResponseRecorder(const ResponseRecorder&) = delete;
    ResponseRecorder& operator=(const ResponseRecorder&) = delete;

    // Follows the navigations, responses, logins and downloads of the page's
    // web view (and of its network session), leaving the previous view.
    void attach(WebKitWebView* view);

    // The id of the load that the session is about to start on the view.
    // `url`, when given, is the address the load asks for, in WebKit's own
    // spelling: a load the page starts at another address meanwhile does not
    // take the id. Without it the next load start takes the id.
    NavigationID beginNavigation(std::optional<std::string> url = std::nullopt);
    // Starts following a navigation: resets what the load wait reads. The
    // failure of the navigation followed before, when it had failed, is kept
    // for its wait, which may not have read it yet.
    void follow(std::optional<NavigationID> navigation);
    // The failure of a navigation no longer followed, when it had failed
    // before another was followed in its place; handed over once.
    std::optional<BrowserError> takeFailureOfUnfollowed(NavigationID navigation);
    // WebKit has let a navigation through that has neither begun to load
    // nor been answered otherwise: a link or script of the page asked for it
    // and the view still shows the page before. WebKit does not say which
    // frame a navigation is for, so a frame's counts until its document
    // answers, and any for a second at most.
    bool navigationOnItsWay() const;
    // The finished downloads, handed over once.
    std::vector<DownloadedFile> takeDownloaded();
    // The followed load has neither started nor been answered otherwise, and
    // the page's current history entry is not at its address: the page did
    // not go where the session asked (a load the page started replaced the
    // request before it began). A same-document navigation to the address,
    // or a download, answers it.
    bool followedNeverArrived() const;
    // The page's own navigation took the place of the followed load: a
    // document of the page's committed instead of it. Certain at once,
    // unlike a request dropped without a word, which shows only as the view
    // going idle with `followedNeverArrived` or `abandoned`.
    bool followedReplaced() const { return replaced_; }
    // Marks the loads begun so far: a later `ownLoadFailure` is of a load
    // begun after the mark.
    NavigationID loadMark() const { return lastID_; }
    // The failure of the last load the page started by itself after `mark`
    // (a link followed, a script's navigation), when it failed before its
    // document came, or WebKit refused it, and no document has committed
    // since. WebKit's silence about a link to a port it keeps from the web
    // cannot be told here.
    std::optional<BrowserError> ownLoadFailure(NavigationID mark) const;
    // Makes the followed load again, as the same navigation: `url` is the
    // address asked for now. Forgets that it was abandoned or replaced.
    void followAgain(std::optional<std::string> url);

    // The HTTP failure status kept for the URL (its fragment ignored).
    std::optional<int> failedStatus(std::string_view url) const;
    // The URL cut before its first "#".
    static std::string responseKey(std::string_view url);
    // Notes a main-frame HTTP response: keeps a failure status, forgets the
    // URL's earlier failure otherwise.
    void noteMainResponse(std::string_view url, int status);

    // Whether the host is this machine: "localhost", or a loopback IPv4 or
    // IPv6 address (IPv6 with or without brackets).
    static bool isLocalHost(std::string_view host);

private:
    struct Destination {
        std::string path;
        std::optional<std::string> type;
    };
    struct Handler;

    // Navigation events of the attached view.
    void started();
    void committed();
    void finished();
    void failedLoad(bool provisional, const char* uri, const GError* error);
    // How a load that failed with `error` at `uri` ends.
    static Ending endingOf(const char* uri, const GError* error);
    void navigationDecided(const char* uri);
    // WebKit let a navigation to `uri` through.
    void noteDecided(std::string uri);
    // The navigations to `uri` let through have answered: a frame's document
    // came, or the page moved within its document.
    void forgetDecided(std::string_view uri);
    // The load now reported is the session's pending one.
    void takePending();
    // The view's committed document was asked at `url`.
    bool committedAt(const std::string& url) const;
    void processTerminated();
    gboolean tlsFailed(const char* uri, GTlsCertificate* certificate);
    // Starts the current load again at `uri`, as the same navigation, once
    // the network process has answered a question asked now.
    void loadAgain(WebKitNetworkSession* network, const char* uri);
    gboolean decide(WebKitPolicyDecision* decision, WebKitPolicyDecisionType type);
    gboolean authenticate(WebKitAuthenticationRequest* request);

    // Downloads of the attached view's network session.
    void downloadStarted(WebKitDownload* download);
    gboolean decideDestination(WebKitDownload* download, const char* suggested);
    void downloadFinished(WebKitDownload* download);
    void downloadFailed(WebKitDownload* download, const GError* error);
    void endMainDownload(WebKitDownload* download, std::optional<BrowserError> failure);

    void connect(gpointer instance, const char* signal, GCallback callback);
    void detach();

    // Lets callbacks that outlive the recorder find it gone.
    std::shared_ptr<ResponseRecorder*> self_;
    GRef<WebKitWebView> view_;
    std::vector<std::pair<GRef<GObject>, gulong>> connections_;

    // The load the session asked for that has not been reported yet.
    struct Pending {
        NavigationID id;
        std::optional<std::string> url;
        // WebKit decided its navigation policy: the request reached the page.
        bool decided = false;
        // Another navigation was decided after it: the next load start may
        // be that one's, which then replaced the request.
        bool contested = false;
    };

    // Navigations let through since a load last began, oldest first.
    struct Decided {
        std::string uri;
        Instant at;
    };
    std::vector<Decided> decided_;
    static constexpr std::size_t decidedLimit = 16;
    static constexpr Duration decidedHold = std::chrono::seconds(1);

    // Failures of navigations no longer followed, for their waits; the
    // oldest go first.
    std::vector<std::pair<NavigationID, BrowserError>> unfollowedFailures_;
    static constexpr std::size_t unfollowedLimit = 8;

    NavigationID lastID_ = 0;
    std::optional<Pending> pending_;
    std::optional<NavigationID> current_;  // the load the view reports now
    std::optional<std::string> currentURL_;  // the address the session asked it at, when it is the session's
    bool replaced_ = false;                // a document of the page's committed in place of the followed load
    bool madeAgain_ = false;               // the followed load was made again after the network layer gave it up
    // The last load the page started by itself that failed before its
    // document came or was refused, while no document has committed since.
    std::optional<std::pair<NavigationID, BrowserError>> ownFailure_;
    bool currentFromSession_ = false;      // it is a load the session asked for
    bool currentStartedAfterDecision_ = false;  // of unknown owner, it began after the pending request was decided
    bool currentFailed_ = false;           // its failure came; its finish is no success
    bool currentCommitted_ = false;        // it committed; only then can it finish well
    // Its response leaves the page as it is (a download, or no content), so
    // WebKit's "interrupted" is its end rather than another load's doing.
    bool currentStaysPut_ = false;

    std::map<WebKitDownload*, GRef<WebKitDownload>> downloads_;  // kept alive while running
    std::map<WebKitDownload*, Destination> destinations_;
    std::set<WebKitDownload*> mainDownloads_;
    bool mainResponseIsDownload_ = false;
    // The site and realm of each login given or refused since the page's
    // load began.
    std::set<std::pair<std::string, std::string>> logins_;
    // They were begun afresh when the session's own navigation was decided,
    // and are already the next load's.
    bool loginsForNextLoad_ = false;
    // Certificates of local hosts accepted once, so a refused one is not retried forever.
    std::vector<std::pair<std::string, GRef<GTlsCertificate>>> acceptedCertificates_;
};

} // namespace vesk
