#include "BrowserCore/Recorders/ResponseRecorder.h"

#include "BrowserCore/Recorders/RefusedPorts.h"
#include "BrowserCore/Secrets/SiteKey.h"
#include "Platform/Text.h"

#include <glib/gstdio.h>
#include <libsoup/soup.h>

#include <algorithm>

namespace vesk {

namespace {

constexpr const char* recorderKey = "vesk-response-recorder";

std::string errorText(const GError* error) {
    return error && error->message ? error->message : "unknown error";
}

std::optional<std::string> hostOf(const char* uri) {
    GUri* parsed = g_uri_parse(uri, G_URI_FLAGS_NONE, nullptr);
    if (!parsed) return std::nullopt;
    const char* host = g_uri_get_host(parsed);
    std::optional<std::string> out = host ? std::optional<std::string>(host) : std::nullopt;
    g_uri_unref(parsed);
    return out;
}

bool isHTTP(std::string_view url) {
    const char* scheme = g_uri_peek_scheme(std::string(url).c_str());
    return scheme && (std::string_view(scheme) == "http" || std::string_view(scheme) == "https");
}

// The port an http or https address names, when it names one.
std::optional<int> explicitPort(std::string_view url) {
    if (!isHTTP(url)) return std::nullopt;
    GUri* parsed = g_uri_parse(std::string(url).c_str(), G_URI_FLAGS_NONE, nullptr);
    if (!parsed) return std::nullopt;
    int port = g_uri_get_port(parsed);
    g_uri_unref(parsed);
    return port > 0 ? std::optional<int>(port) : std::nullopt;
}

BrowserError portFailure(int port) {
    return BrowserError::navigationFailed("The browser does not open port " + std::to_string(port) +
                                          ": it belongs to services other than the web, and browsers keep pages from "
                                          "it. Serve the page on another port");
}

} // namespace

// What a signal handler holds: the recorder, weakly.
struct ResponseRecorder::Handler {
    std::weak_ptr<ResponseRecorder*> recorder;

    static ResponseRecorder* of(gpointer data) {
        auto locked = static_cast<Handler*>(data)->recorder.lock();
        return locked ? *locked : nullptr;
    }
    static void destroy(gpointer data, GClosure*) { delete static_cast<Handler*>(data); }
};

ResponseRecorder::ResponseRecorder() : self_(std::make_shared<ResponseRecorder*>(this)) {}

// Downloads still running keep their handlers, which find the recorder gone.
ResponseRecorder::~ResponseRecorder() {
    detach();
}

void ResponseRecorder::connect(gpointer instance, const char* signal, GCallback callback) {
    gulong id = g_signal_connect_data(instance, signal, callback, new Handler{self_}, Handler::destroy, GConnectFlags(0));
    connections_.emplace_back(GRef<GObject>::retain(G_OBJECT(instance)), id);
}

void ResponseRecorder::detach() {
    for (auto& [instance, id] : connections_) {
        g_signal_handler_disconnect(instance.get(), id);
    }
    connections_.clear();
    if (view_ && g_object_get_data(G_OBJECT(view_.get()), recorderKey) == this) {
        g_object_set_data(G_OBJECT(view_.get()), recorderKey, nullptr);
    }
    view_ = {};
    decided_.clear();
    logins_.clear();
    loginsForNextLoad_ = false;
    pending_.reset();
    current_.reset();
    currentURL_.reset();
    replaced_ = false;
    ownFailure_.reset();
    currentFromSession_ = false;
    currentStartedAfterDecision_ = false;
    arriving.reset();
    currentFailed_ = false;
    currentCommitted_ = false;
    mainResponseIsDownload_ = false;
}

void ResponseRecorder::attach(WebKitWebView* view) {
    detach();
    view_ = GRef<WebKitWebView>::retain(view);
    g_object_set_data(G_OBJECT(view), recorderKey, this);

    connect(view, "load-changed", G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent event, gpointer data) {
                auto* self = Handler::of(data);
                if (!self) return;
                switch (event) {
                case WEBKIT_LOAD_STARTED: self->started(); break;
                case WEBKIT_LOAD_COMMITTED: self->committed(); break;
                case WEBKIT_LOAD_FINISHED: self->finished(); break;
                case WEBKIT_LOAD_REDIRECTED: break;
                }
            }));
    connect(view, "load-failed",
            G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent event, const char* uri, GError* error, gpointer data) -> gboolean {
                if (auto* self = Handler::of(data)) {
                    self->failedLoad(event != WEBKIT_LOAD_COMMITTED, uri, error);
                }
                // The page keeps what it showed: no error page replaces it.
                return TRUE;
            }));
    connect(view, "load-failed-with-tls-errors",
            G_CALLBACK(+[](WebKitWebView*, const char* uri, GTlsCertificate* certificate, GTlsCertificateFlags,
                           gpointer data) -> gboolean {
                auto* self = Handler::of(data);
                return self ? self->tlsFailed(uri, certificate) : FALSE;
            }));
    // A navigation within the document answers without a load.
    connect(view, "notify::uri", G_CALLBACK(+[](WebKitWebView* v, GParamSpec*, gpointer data) {
                const char* uri = webkit_web_view_get_uri(v);
                if (auto* self = Handler::of(data); self && uri) self->forgetDecided(uri);
            }));
    connect(view, "web-process-terminated",
            G_CALLBACK(+[](WebKitWebView*, WebKitWebProcessTerminationReason, gpointer data) {
                if (auto* self = Handler::of(data)) self->processTerminated();
            }));
    connect(view, "decide-policy",
            G_CALLBACK(+[](WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
                           gpointer data) -> gboolean {
                auto* self = Handler::of(data);
                return self ? self->decide(decision, type) : FALSE;
            }));
    connect(view, "authenticate",
            G_CALLBACK(+[](WebKitWebView*, WebKitAuthenticationRequest* request, gpointer data) -> gboolean {
                auto* self = Handler::of(data);
                return self ? self->authenticate(request) : FALSE;
            }));
    if (WebKitNetworkSession* network = webkit_web_view_get_network_session(view)) {
        connect(network, "download-started",
                G_CALLBACK(+[](WebKitNetworkSession*, WebKitDownload* download, gpointer data) {
                    if (auto* self = Handler::of(data)) self->downloadStarted(download);
                }));
    }
}

// Following navigations -------------------------------------------------------

ResponseRecorder::NavigationID ResponseRecorder::beginNavigation(std::optional<std::string> url) {
    pending_ = Pending{++lastID_, std::move(url)};
    return pending_->id;
}

void ResponseRecorder::follow(std::optional<NavigationID> navigation) {
    if (followed && followed != navigation && ended && ended->failure) {
        if (unfollowedFailures_.size() >= unfollowedLimit) unfollowedFailures_.erase(unfollowedFailures_.begin());
        unfollowedFailures_.emplace_back(*followed, *ended->failure);
    }
    followed = navigation;
    ended.reset();
    arrived = false;
    abandoned = false;
    replaced_ = false;
    madeAgain_ = false;
    downloaded.clear();
}

std::optional<BrowserError> ResponseRecorder::takeFailureOfUnfollowed(NavigationID navigation) {
    auto found = std::find_if(unfollowedFailures_.begin(), unfollowedFailures_.end(),
                              [&](const auto& kept) { return kept.first == navigation; });
    if (found == unfollowedFailures_.end()) return std::nullopt;
    BrowserError failure = std::move(found->second);
    unfollowedFailures_.erase(found);
    return failure;
}

void ResponseRecorder::followAgain(std::optional<std::string> url) {
    if (!followed) return;
    pending_ = Pending{*followed, std::move(url)};
    abandoned = false;
    replaced_ = false;
}

BrowserError ResponseRecorder::refusal(std::string_view uri) {
    if (auto port = explicitPort(uri)) return portFailure(*port);
    return BrowserError::navigationFailed(refusedReason);
}

std::optional<BrowserError> ResponseRecorder::portRefusal(std::string_view uri) {
    auto port = explicitPort(uri);
    if (!port || !isRefusedPort(*port)) return std::nullopt;
    return portFailure(*port);
}

std::vector<DownloadedFile> ResponseRecorder::takeDownloaded() {
    return std::exchange(downloaded, {});
}

bool ResponseRecorder::followedNeverArrived() const {
    if (!followed || !pending_ || pending_->id != *followed || !pending_->url || arrived || ended) return false;
    if (!downloaded.empty() || !mainDownloads_.empty() || mainResponseIsDownload_) return false;
    WebKitBackForwardListItem* item =
        view_ ? webkit_back_forward_list_get_current_item(webkit_web_view_get_back_forward_list(view_.get())) : nullptr;
    const char* uri = item ? webkit_back_forward_list_item_get_uri(item) : nullptr;
    return !uri || *pending_->url != uri;
}

std::optional<BrowserError> ResponseRecorder::ownLoadFailure(NavigationID mark) const {
    if (!ownFailure_ || ownFailure_->first <= mark) return std::nullopt;
    return ownFailure_->second;
}

bool ResponseRecorder::navigationOnItsWay() const {
    const Instant now = Clock::now();
    return std::any_of(decided_.begin(), decided_.end(), [&](const Decided& d) { return now - d.at < decidedHold; });
}

void ResponseRecorder::forgetDecided(std::string_view uri) {
    std::erase_if(decided_, [&](const Decided& d) { return d.uri == uri; });
}

void ResponseRecorder::noteDecided(std::string uri) {
    if (decided_.size() >= decidedLimit) decided_.erase(decided_.begin());
    decided_.push_back({std::move(uri), Clock::now()});
}

void ResponseRecorder::navigationDecided(const char* uri) {
    if (!pending_ || !pending_->url) return;
    if (uri && *pending_->url == uri) {
        if (!pending_->decided) pending_->contested = false;
        pending_->decided = true;
    } else if (pending_->decided) {
        // Another frame's or the page's own: the page's would replace the request.
        pending_->contested = true;
    }
}

void ResponseRecorder::takePending() {
    current_ = pending_->id;
    currentURL_ = pending_->url;
    currentFromSession_ = true;
    currentStartedAfterDecision_ = false;
    pending_.reset();
}

bool ResponseRecorder::committedAt(const std::string& url) const {
    // Not the view's address: it names a request still waiting even while
    // another document commits. The history item is the committed document's.
    WebKitBackForwardListItem* item =
        webkit_back_forward_list_get_current_item(webkit_web_view_get_back_forward_list(view_.get()));
    if (!item) return false;
    const char* uri = webkit_back_forward_list_item_get_uri(item);
    const char* original = webkit_back_forward_list_item_get_original_uri(item);
    return (uri && url == uri) || (original && url == original);
}

void ResponseRecorder::started() {
    if (followed && followed == current_ && !currentCommitted_ && !currentFailed_) abandoned = true;
    decided_.clear();
    if (!std::exchange(loginsForNextLoad_, false)) logins_.clear();
    currentStartedAfterDecision_ = false;
    if (pending_ && (!pending_->url || (pending_->decided && !pending_->contested))) {
        takePending();
    } else {
        // The page's own, or the session's after another navigation was
        // decided too: the commit tells.
        current_ = ++lastID_;
        currentURL_.reset();
        currentFromSession_ = false;
        currentStartedAfterDecision_ = pending_ && pending_->decided;
    }
    currentFailed_ = false;
    currentCommitted_ = false;
    currentStaysPut_ = false;
    arriving = current_;
}

void ResponseRecorder::committed() {
    if (arriving == current_) arriving.reset();
    if (!currentFromSession_ && pending_ && pending_->url && view_) {
        if (committedAt(*pending_->url)) {
            takePending();
        } else if (currentStartedAfterDecision_) {
            // A navigation decided after the session's took its place: WebKit
            // dropped the request without a word.
            if (followed == pending_->id && !ended) replaced_ = true;
            pending_.reset();
        }
    }
    currentCommitted_ = true;
    ownFailure_.reset();
    // Another document arrived while the followed load had been given up
    // before it committed: it will not come.
    if (followed && followed != current_ && abandoned && !currentFromSession_ && !ended) replaced_ = true;
    if (followed && followed == current_) {
        arrived = true;
        // In place of a web address it refuses to open (a port kept from the
        // web) WebKit shows an empty document and says nothing more.
        if (currentURL_ && !ended && !currentURL_->starts_with("about:") && committedAt("about:blank")) {
            ended = Ending{refusal(*currentURL_), true};
            currentFailed_ = true;
        }
    }
}

void ResponseRecorder::finished() {
    // WebKit reports the end of a failed, cancelled or replaced load too:
    // only a load that committed and did not fail finishes with success.
    if (arriving == current_) arriving.reset();
    if (currentFailed_ || !currentCommitted_) return;
    if (followed && followed == current_) ended = Ending{};
}

void ResponseRecorder::failedLoad(bool provisional, const char* uri, const GError* error) {
    if (provisional && arriving == current_) arriving.reset();
    if (provisional) decided_.clear();
    // A load that failed before it committed is the session's when it was
    // asked at the session's address, or when it began after the session's
    // request was decided and failed by itself (redirected, its address is
    // another): either it was the request or it replaced it. One cancelled
    // may have given way to the request, still to come.
    bool cancelled = g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED) ||
                     g_error_matches(error, WEBKIT_POLICY_ERROR, WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE);
    if (provisional && !currentFromSession_ && pending_ && pending_->url &&
        ((uri && *pending_->url == uri) || (currentStartedAfterDecision_ && !cancelled))) {
        takePending();
    }
    currentFailed_ = true;
    // A load given up for another one, or a response that became a download.
    // WebKit says "interrupted" also when the page's own navigation within
    // its document cut the load short.
    if (cancelled) {
        if (followed && followed == current_ && !ended && !currentCommitted_ && !currentStaysPut_) abandoned = true;
        return;
    }
    // Neither the session nor WebKit stops a load so (theirs is WebKit's
    // "cancelled"): the network layer gave the load up by itself, as it may
    // with a connection just refused a certificate on a busy machine. The
    // load is made once more.
    WebKitNetworkSession* network = view_ ? webkit_web_view_get_network_session(view_.get()) : nullptr;
    if (provisional && uri && network && followed && followed == current_ && !ended && !madeAgain_ &&
        g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED)) {
        madeAgain_ = true;
        loadAgain(network, uri);
        return;
    }
    Ending ending = endingOf(uri, error);
    if (followed && followed == current_) {
        if (!ended) ended = std::move(ending);
    } else if ((provisional || ending.refused) && !currentFromSession_ && current_) {
        ownFailure_.emplace(*current_, *ending.failure);
    }
}

ResponseRecorder::Ending ResponseRecorder::endingOf(const char* uri, const GError* error) {
    // WebKit refused it: a port kept from the web (WebKit says so also of a
    // redirect to a data address), or an address it does not open.
    if (g_error_matches(error, WEBKIT_POLICY_ERROR, WEBKIT_POLICY_ERROR_CANNOT_USE_RESTRICTED_PORT)) {
        return Ending{refusal(uri ? uri : ""), true};
    }
    if (g_error_matches(error, WEBKIT_POLICY_ERROR, WEBKIT_POLICY_ERROR_CANNOT_SHOW_URI)) {
        return Ending{BrowserError::navigationFailed(refusedReason), true};
    }
    // The network layer sends a request again by itself only with a login
    // (WebKit follows redirects itself), and keeps sending the Digest login
    // it holds to a server that answers 401 without a Digest challenge.
    if (g_error_matches(error, SOUP_SESSION_ERROR, SOUP_SESSION_ERROR_TOO_MANY_RESTARTS)) {
        return Ending{BrowserError::navigationFailed(loginLoopReason)};
    }
    return Ending{BrowserError::navigationFailed(errorText(error))};
}

void ResponseRecorder::processTerminated() {
    decided_.clear();
    ended = Ending{BrowserError::navigationFailed("The web content process terminated")};
}

gboolean ResponseRecorder::tlsFailed(const char* uri, GTlsCertificate* certificate) {
    auto host = uri ? hostOf(uri) : std::nullopt;
    if (!host || !certificate || !isLocalHost(*host)) return FALSE;
    for (const auto& [acceptedHost, accepted] : acceptedCertificates_) {
        // Accepted before and refused again: let the load fail.
        if (acceptedHost == *host && g_tls_certificate_is_same(accepted.get(), certificate)) return FALSE;
    }
    WebKitNetworkSession* network = webkit_web_view_get_network_session(view_.get());
    if (!network) return FALSE;
    webkit_network_session_allow_tls_certificate_for_host(network, certificate, host->c_str());
    acceptedCertificates_.emplace_back(*host, GRef<GTlsCertificate>::retain(certificate));

    // The acceptance goes to the network process straight, the new load by
    // way of the web process, and may reach it first when the machine is
    // busy: the load starts again once the network process has answered a
    // question asked after the acceptance, which it answers in order.
    loadAgain(network, uri);
    return TRUE;
}

void ResponseRecorder::loadAgain(WebKitNetworkSession* network, const char* uri) {
    // The same navigation; the finish WebKit reports for the failed attempt is no success.
    currentFailed_ = true;
    if (current_ && !(pending_ && pending_->url == uri)) pending_ = Pending{*current_, std::string(uri)};
    struct Retry {
        std::weak_ptr<ResponseRecorder*> recorder;
        GRef<WebKitWebView> view;
        std::string uri;
    };
    webkit_cookie_manager_get_cookies(
        webkit_network_session_get_cookie_manager(network), uri, nullptr,
        [](GObject* manager, GAsyncResult* result, gpointer data) {
            std::unique_ptr<Retry> retry(static_cast<Retry*>(data));
            GList* cookies = webkit_cookie_manager_get_cookies_finish(WEBKIT_COOKIE_MANAGER(manager), result, nullptr);
            g_list_free_full(cookies, reinterpret_cast<GDestroyNotify>(soup_cookie_free));
            if (retry->recorder.lock()) webkit_web_view_load_uri(retry->view.get(), retry->uri.c_str());
        },
        new Retry{self_, view_, uri});
}

// Responses -------------------------------------------------------------------

std::string ResponseRecorder::responseKey(std::string_view url) {
    return std::string(url.substr(0, url.find('#')));
}

std::optional<int> ResponseRecorder::failedStatus(std::string_view url) const {
    auto found = failed.find(responseKey(url));
    if (found == failed.end()) return std::nullopt;
    return found->second;
}

void ResponseRecorder::noteMainResponse(std::string_view url, int status) {
    std::string key = responseKey(url);
    if (status >= 400 && status <= 599) {
        if (failed.size() >= failedLimit) failed.clear();
        failed[key] = status;
    } else {
        failed.erase(key);
    }
}

gboolean ResponseRecorder::decide(WebKitPolicyDecision* decision, WebKitPolicyDecisionType type) {
    if (type == WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION) {
        WebKitNavigationAction* action =
            webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
        const char* uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
        // A redirect goes on with a load already begun; a frame's "about:"
        // document loads at once, with no response.
        bool redirect = webkit_navigation_action_is_redirect(action);
        if (uri && !redirect && !g_str_has_prefix(uri, "about:")) noteDecided(uri);
        // The web process tells of a load's start and the network process
        // asks for its logins on separate connections, so the first login
        // can come before the start: for the session's own load, whose
        // decision is known to come first, logins begin here.
        if (uri && !redirect && pending_ && pending_->url == uri && !pending_->decided) {
            logins_.clear();
            loginsForNextLoad_ = true;
        }
        navigationDecided(uri);
        return FALSE;
    }
    if (type != WEBKIT_POLICY_DECISION_TYPE_RESPONSE) return FALSE;
    auto* responseDecision = WEBKIT_RESPONSE_POLICY_DECISION(decision);
    WebKitURIResponse* response = webkit_response_policy_decision_get_response(responseDecision);
    bool mainFrame = webkit_response_policy_decision_is_main_frame_main_resource(responseDecision);
    const char* uri = webkit_uri_response_get_uri(response);

    // A frame's document has answered: its navigation has begun.
    if (!mainFrame && uri) forgetDecided(uri);

    bool http = uri && isHTTP(uri);
    guint status = webkit_uri_response_get_status_code(response);
    if (mainFrame && http) noteMainResponse(uri, static_cast<int>(status));
    if (mainFrame && http && (status == SOUP_STATUS_NO_CONTENT || status == SOUP_STATUS_RESET_CONTENT)) {
        currentStaysPut_ = true;
    }

    bool attachment = false;
    if (SoupMessageHeaders* headers = http ? webkit_uri_response_get_http_headers(response) : nullptr) {
        const char* disposition = soup_message_headers_get_one(headers, "Content-Disposition");
        attachment = disposition && text::asciiLower(disposition).starts_with("attachment");
    }
    if (webkit_response_policy_decision_is_mime_type_supported(responseDecision) && !attachment) {
        webkit_policy_decision_use(decision);
    } else if (mainFrame) {
        mainResponseIsDownload_ = true;
        currentStaysPut_ = true;
        webkit_policy_decision_download(decision);
    } else {
        // Subframes never download.
        webkit_policy_decision_ignore(decision);
    }
    return TRUE;
}

// Logins and certificates ---------------------------------------------------------

bool ResponseRecorder::isLocalHost(std::string_view host) {
    std::string lower = text::asciiLower(host);
    if (lower == "localhost") return true;
    auto loopback = [](const std::string& text) {
        GInetAddress* address = g_inet_address_new_from_string(text.c_str());
        if (!address) return false;
        bool local = g_inet_address_get_is_loopback(address);
        g_object_unref(address);
        return local;
    };
    if (lower.find(':') == std::string::npos) return loopback(lower);
    std::string_view inner = lower;
    while (!inner.empty() && (inner.front() == '[' || inner.front() == ']')) inner.remove_prefix(1);
    while (!inner.empty() && (inner.back() == '[' || inner.back() == ']')) inner.remove_suffix(1);
    // A scope ("%eth0") names an interface, never the loopback address itself.
    if (inner.find('%') != std::string_view::npos) return false;
    return loopback(std::string(inner));
}

gboolean ResponseRecorder::authenticate(WebKitAuthenticationRequest* request) {
    // Declined, the request goes on without a login and the page shows the
    // server's own answer. WebKit's own handling would lay a login dialog
    // over the page that nobody answers, and the load would never end.
    auto decline = [&] {
        webkit_authentication_request_authenticate(request, nullptr);
        return TRUE;
    };
    WebKitAuthenticationScheme scheme = webkit_authentication_request_get_scheme(request);
    if (scheme != WEBKIT_AUTHENTICATION_SCHEME_HTTP_BASIC && scheme != WEBKIT_AUTHENTICATION_SCHEME_HTTP_DIGEST) {
        return decline();
    }

    std::optional<std::string> protocol;
    if (WebKitSecurityOrigin* origin = webkit_authentication_request_get_security_origin(request)) {
        if (const char* name = webkit_security_origin_get_protocol(origin)) protocol = name;
        webkit_security_origin_unref(origin);
    }
    const char* host = webkit_authentication_request_get_host(request);
    guint port = webkit_authentication_request_get_port(request);
    auto site = siteKey(protocol, host ? host : "", port ? std::optional<int>(static_cast<int>(port)) : std::nullopt);
    if (!site) return decline();
    const char* realm = webkit_authentication_request_get_realm(request);
    std::pair<std::string, std::string> asked{*site, realm ? realm : ""};

    // Each realm of a site gets the login once a load: one the server
    // refused is not tried again, and a server that renames its realm each
    // time gets no more than the bound.
    if (webkit_authentication_request_is_retry(request)) {
        logins_.insert(std::move(asked));
        return decline();
    }
    if (logins_.contains(asked) || logins_.size() >= loginsPerLoad) return decline();

    Variables values = variables(*site);
    auto user = values.find("HTTP_USER");
    auto password = values.find("HTTP_PASSWORD");
    if (user == values.end() || password == values.end()) return decline();
    logins_.insert(std::move(asked));
    WebKitCredential* credential =
        webkit_credential_new(user->second.c_str(), password->second.c_str(), WEBKIT_CREDENTIAL_PERSISTENCE_NONE);
    webkit_authentication_request_authenticate(request, credential);
    webkit_credential_free(credential);
    return TRUE;
}

// Downloads ---------------------------------------------------------------------

void ResponseRecorder::downloadStarted(WebKitDownload* download) {
    WebKitWebView* from = webkit_download_get_web_view(download);
    // Another session's page on a shared network session: that session saves it.
    if (from && from != view_.get()) {
        void* owner = g_object_get_data(G_OBJECT(from), recorderKey);
        if (owner && owner != this) return;
    }
    // A link that downloads (its `download` attribute) becomes a download
    // before any load begins: the navigation is no longer on its way.
    if (from == view_.get()) {
        if (const char* uri = webkit_uri_request_get_uri(webkit_download_get_request(download))) forgetDecided(uri);
    }
    if (mainResponseIsDownload_ && from == view_.get()) mainDownloads_.insert(download);
    mainResponseIsDownload_ = false;
    downloads_[download] = GRef<WebKitDownload>::retain(download);

    auto on = [&](const char* signal, GCallback callback) {
        g_signal_connect_data(download, signal, callback, new Handler{self_}, Handler::destroy, GConnectFlags(0));
    };
    on("decide-destination", G_CALLBACK(+[](WebKitDownload* d, const char* suggested, gpointer data) -> gboolean {
           auto* self = Handler::of(data);
           if (self) return self->decideDestination(d, suggested);
           // Nobody is left to say where it goes: it goes nowhere.
           webkit_download_cancel(d);
           return TRUE;
       }));
    on("finished", G_CALLBACK(+[](WebKitDownload* d, gpointer data) {
           if (auto* self = Handler::of(data)) self->downloadFinished(d);
       }));
    on("failed", G_CALLBACK(+[](WebKitDownload* d, GError* error, gpointer data) {
           if (auto* self = Handler::of(data)) self->downloadFailed(d, error);
       }));
}

gboolean ResponseRecorder::decideDestination(WebKitDownload* download, const char* suggested) {
    std::string name = suggested ? suggested : "";
    try {
        std::string path = folder.destination(name);
        std::optional<std::string> type;
        if (WebKitURIResponse* response = webkit_download_get_response(download)) {
            const char* mime = webkit_uri_response_get_mime_type(response);
            if (mime && *mime) type = mime;
        }
        destinations_[download] = {path, type};
        webkit_download_set_destination(download, path.c_str());
    } catch (const DownloadFolderError& error) {
        endMainDownload(download, BrowserError::navigationFailed("The file " + name + " could not be saved: " +
                                                                 error.what()));
        webkit_download_cancel(download);
    }
    return TRUE;
}

void ResponseRecorder::endMainDownload(WebKitDownload* download, std::optional<BrowserError> failure) {
    if (mainDownloads_.erase(download) && !ended) ended = Ending{std::move(failure)};
}

void ResponseRecorder::downloadFinished(WebKitDownload* download) {
    // WebKit reports a failed download as finished too; its entry is gone by then.
    auto keep = downloads_.extract(download);
    auto found = destinations_.find(download);
    if (found == destinations_.end()) return;
    Destination destination = found->second;
    destinations_.erase(found);

    GStatBuf info;
    std::int64_t size = g_stat(destination.path.c_str(), &info) == 0 ? static_cast<std::int64_t>(info.st_size) : 0;
    gchar* name = g_path_get_basename(destination.path.c_str());
    downloaded.push_back(DownloadedFile{name, destination.path, size, destination.type});
    g_free(name);
    endMainDownload(download, std::nullopt);
}

void ResponseRecorder::downloadFailed(WebKitDownload* download, const GError* error) {
    std::string name = "the file";
    if (auto found = destinations_.find(download); found != destinations_.end()) {
        gchar* base = g_path_get_basename(found->second.path.c_str());
        name = base;
        g_free(base);
        destinations_.erase(found);
    }
    endMainDownload(download, BrowserError::navigationFailed("The download of " + name + " failed: " + errorText(error)));
}

} // namespace vesk
