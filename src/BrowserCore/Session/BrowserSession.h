#pragma once

// The one browser session: the page's web view and its popups, the options
// that steer its waits, the profile whose website data it uses, the recorders
// of what the page does, the tables of refs and windows, and the recording of
// a flow. Every operation runs on the GTK main thread.
//
// The class is one object whose operations are spread over several files:
// BrowserSession.cpp (construction, observation, profiles, windows),
// BrowserSessionBridge.cpp (the page agent bridge), and one file for each
// further group of operations.

#include "BrowserCore/Errors/BrowserError.h"
#include "BrowserCore/FlowModel/Flow.h"
#include "BrowserCore/PageAgent/AgentEnvelope.h"
#include "BrowserCore/PageAgent/AgentReplies.h"
#include "BrowserCore/PageAgent/FrameInfo.h"
#include "BrowserCore/PageAgent/PageMessage.h"
#include "BrowserCore/Recorders/ConsoleRecorder.h"
#include "BrowserCore/Recorders/DialogRecorder.h"
#include "BrowserCore/Recorders/NetworkRecorder.h"
#include "BrowserCore/Recorders/ResponseRecorder.h"
#include "BrowserCore/Records/PageRecords.h"
#include "BrowserCore/Records/PersonAction.h"
#include "BrowserCore/Secrets/Redaction.h"
#include "BrowserCore/Secrets/TOTP.h"
#include "BrowserCore/Secrets/TypedIntoFields.h"
#include "BrowserCore/Session/CopiedText.h"
#include "BrowserCore/Session/DesktopSelection.h"
#include "Platform/Clock.h"
#include "Platform/GRef.h"
#include "Platform/Observable.h"
#include "Platform/Task.h"

#include <nlohmann/json.hpp>
#include <webkit/webkit.h>

#include <cstddef>
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

class WindowDelegate;
struct FrameListing;

// Receives "person" messages: the JSON text of one action of the person.
class PersonListener {
public:
    std::function<void(const std::string&)> report;

    void receive(const nlohmann::json& body) const;
};

// Receives "frame" messages, in which each frame's page agent announces
// itself when it starts in a new document.
class FrameListener {
public:
    struct KnownFrame {
        std::string id;
        FrameInfo info;
        bool operator==(const KnownFrame&) const = default;
    };
    // Per web view, the subframes that announced themselves, in order;
    // duplicates stay.
    std::map<WebKitWebView*, std::vector<KnownFrame>> known;

    // `frame` and `mainFrame` are the web process's word; the body, the page
    // agent's JSON text, gives the document's origin.
    void receive(const nlohmann::json& body, WebKitWebView* sender, const std::string& frame, bool mainFrame);
};

class BrowserSession : public std::enable_shared_from_this<BrowserSession> {
public:
    // The website data store the page uses: a persistent one by its UUID, or
    // an ephemeral one that keeps nothing on disk.
    class Profile {
    public:
        static Profile ephemeral() { return Profile(); }
        static Profile persistent(std::string uuid) { return Profile(std::move(uuid)); }

        bool isEphemeral() const { return !uuid_; }
        const std::optional<std::string>& uuid() const { return uuid_; }
        bool operator==(const Profile&) const = default;

    private:
        Profile() = default;
        explicit Profile(std::string uuid) : uuid_(std::move(uuid)) {}
        std::optional<std::string> uuid_;
    };

    struct Options {
        Profile profile = Profile::ephemeral();
        Duration navigationTimeout = seconds(30);
        Duration settleQuiet = seconds(0.3);
        Duration settleTimeout = seconds(5);
        Duration suggestionsDelay = seconds(0.4);
        Duration suggestionsTimeout = seconds(3);
        Duration stepTimeout = seconds(5);
        Duration frameTimeout = seconds(2);
        bool recordsScriptedEvents = false;
        bool operator==(const Options&) const = default;
    };

    // The durations of the phases of one command and what held its settle.
    struct Phases {
        Duration load{};
        Duration settle{};
        std::optional<bool> settled;
        Duration snapshot{};
        Duration drawing{};
        std::map<std::string, Duration> heldBy;
        std::vector<std::string> holders;

        void hold(const std::string& cause, Duration duration, const std::optional<std::string>& label);
        bool operator==(const Phases&) const = default;
    };

    struct Window {
        std::string id;
        std::string url;
        bool isActive = false;
        bool operator==(const Window&) const = default;
    };

    struct CommandMarks {
        long previous = 0;
        long current = 0;
        bool operator==(const CommandMarks&) const = default;
    };

    struct LateScan;  // a subframe scan still outstanding

    static constexpr const char* mainWindowID = "main";
    static constexpr const char* applicationName = "Version/26.0 Safari/605.1.15";
    static constexpr const char* worldName = "Vesk";
    static constexpr std::size_t redactionLimit = 200000;
    static const std::set<std::string>& allowedSchemes();

    // The texts of the scripts injected into every page, made once.
    static const std::string& agentScript();
    static const std::string& requestWatcherScript();
    static const std::string& consoleScript();
    static const std::string& listenerScript();

    static std::shared_ptr<BrowserSession> create(Options options);
    ~BrowserSession();
    BrowserSession(const BrowserSession&) = delete;
    BrowserSession& operator=(const BrowserSession&) = delete;

    // Tracked fields.
    Observable<GRef<WebKitWebView>> page;
    Observable<std::optional<std::string>> url;
    Observable<bool> isLoading{false};
    Observable<double> loadProgress{0};
    Observable<bool> canGoBack{false};
    Observable<bool> canGoForward{false};
    Observable<std::vector<GRef<WebKitWebView>>> popups;
    Observable<GRef<WebKitWebView>> activePopup;
    Observable<Options> options;  // every write is announced: use announce() or modify()
    Observable<Profile> profile{Profile::ephemeral()};
    Observable<std::map<std::string, std::map<std::string, std::string>>> variables;
    // The compiled hiding of every non-empty value of `variables`; follows it.
    Observable<std::optional<Redaction>> redaction;
    // Site key → credential name → two-factor key; the profile store sets it
    // whole, right after `variables`.
    Observable<std::map<std::string, std::map<std::string, TOTP>>> otpKeys;
    // Site key → reference name → why the keychain could not give that
    // value (locked, no Secret Service); set by the profile store with
    // `variables`, so that a fill says so rather than that there is no value.
    Observable<std::map<std::string, std::map<std::string, std::string>>> unreadableValues;
    Observable<std::map<std::string, std::map<std::string, FrameInfo>>> refFrames;
    Observable<bool> dropsFrameAnswers{false};
    Observable<long> lastRef{0};
    Observable<std::map<std::string, PageSnapshot>> snapshots;
    Observable<std::map<WebKitWebView*, std::string>> popupIDs;
    Observable<long> lastPopup{0};
    Observable<std::optional<Flow>> recording;
    Observable<bool> recordingIsOnlyItsStart{false};
    Observable<long> recordingConsoleMark{0};
    Observable<CommandMarks> commandMarks;
    Observable<std::shared_ptr<WindowDelegate>> windowDelegate;
    // The views that lie on the stage (StageWindow), each with the stage.
    Observable<std::map<WebKitWebView*, GRef<GtkWindow>>> stages;
    std::map<std::string, std::shared_ptr<LateScan>> lateScans;

    // Plain fields.
    std::function<std::chrono::system_clock::time_point()> now = [] { return std::chrono::system_clock::now(); };
    std::optional<std::string> waitingFor;
    std::optional<Phases> phases;
    DialogRecorder dialogs;
    ConsoleRecorder console;
    NetworkRecorder network;
    ResponseRecorder responses;
    PersonListener person;
    FrameListener frames;
    TypedIntoFields typedIntoFields;
    // The starts of stored values that fields kept after fill typed them
    // (a maxlength): each is hidden as its value is.
    KeptStarts keptStarts;
    // What the last copy or cut key took (BrowserSessionClipboard.cpp).
    std::optional<CopiedText> copied;
    // The agent has acted on a page since the person last pressed a key or
    // a button in one: what the pages copy to the desktop's clipboard is
    // checked as their selections are.
    bool agentActs = true;

    // Profiles, windows and the recording.
    void useProfile(const Profile& profile);
    void setVariables(std::map<std::string, std::map<std::string, std::string>> table);
    std::string activeWindowID() const;
    std::vector<Window> windows() const;
    std::optional<PageSnapshot> currentSnapshot() const;
    void closePopup(WebKitWebView* popup);
    void recordStep(const FlowStep& step);
    // The web view that commands act on: the active popup, else the page.
    WebKitWebView* activeView() const;

    // Commands and their network marks.
    void markCommand();
    // The running command's label and phases. A command given up on (its
    // task cancelled) has been answered already: whatever it does afterwards
    // writes neither of them, nor records a step, so none of it can show in
    // what the next command reports or records.
    void setWaitingFor(std::string what);
    void clearWaitingFor();
    void startPhases();
    Phases* livePhases();
    // What the recorders keep, oldest first, with how many older entries
    // were not kept.
    ConsoleRecorder::Taken consoleMessages();
    NetworkRecorder::Taken networkRequests(bool failedOnly);
    std::int64_t networkEnded() const { return network.ended(); }
    std::vector<NetworkRequest> failedRequestsSince(std::int64_t mark) const;

    // Frame scan (BrowserSessionScan.cpp): scans every frame of the active
    // window into one snapshot, stored as that window's current snapshot.
    Task<PageSnapshot> scan();
    // Asks one subframe for its scan, or decides from `lateScans` without
    // asking. Never throws.
    Task<FrameListing> listFrame(std::string id, FrameInfo info);
    // Agent calls that need a value; an empty reply fails with
    // "<command> returned nothing".
    Task<Found> agentValueFound(std::string command, nlohmann::json args, std::optional<FrameInfo> frame = std::nullopt);
    Task<PointerPoint> agentValuePointerPoint(std::string command, nlohmann::json args,
                                              std::optional<FrameInfo> frame = std::nullopt);

    // Settling (BrowserSessionSettle.cpp). `givenUp`, when given, is asked
    // at each poll: once it holds, the wait ends at once (the settle as not
    // settled) and touches the phases no more.
    using GivenUp = std::function<bool()>;
    Task<void> waitForQuietNetwork(std::optional<FrameInfo> frame);
    Task<bool> settle(GivenUp givenUp = {});
    Task<PageSnapshot> waitForDrawing(PageSnapshot snapshot, GivenUp givenUp = {});

    // Navigation and load phases (BrowserSessionNavigation.cpp).
    Task<PageSnapshot> navigate(std::string url, std::optional<std::string> recordedAs = std::nullopt);
    Task<PageSnapshot> goBack();
    Task<PageSnapshot> goForward();
    Task<PageSnapshot> reload();
    // The wait that follows every load into the page: load, settle, scan and
    // drawing, timed into `phases`. `navigation` is the id the response
    // recorder gave the load (ResponseRecorder::beginNavigation). `again`,
    // when given, makes the load once more and answers the address it asks
    // for: the wait calls it when the page's own navigation took the place
    // of the load.
    using LoadAgain = std::function<std::optional<std::string>()>;
    Task<PageSnapshot> waitForLoad(std::optional<ResponseRecorder::NavigationID> navigation, LoadAgain again = {});

    // Waits (BrowserSessionWaits.cpp). Each polls every 50 ms against one
    // deadline, checks at least once even with a zero timeout, throws
    // BrowserError::timeout when the deadline passes and records its step
    // only on success; `recordedAs`, when given, is what the step keeps in
    // place of the text, selector, pattern or request.
    Task<void> waitForText(std::string text, bool gone, Duration timeout,
                           std::optional<std::string> recordedAs = std::nullopt);
    Task<void> waitForSelector(std::string selector, bool gone, Duration timeout,
                               std::optional<std::string> recordedAs = std::nullopt);
    // The page's URL (never a popup's) contains the pattern, its ${NAME}
    // references of the current site replaced by their values. A caller
    // that gives `recordedAs` (the text as written, which is recorded) has
    // replaced the references of `pattern` itself; so for both waits.
    Task<void> waitForURL(std::string pattern, Duration timeout, std::optional<std::string> recordedAs = std::nullopt);
    // `request` is "METHOD url-part" or a URL part; `statusPattern` a class
    // such as "2xx" (BrowserError::invalidStatus otherwise). Counts requests
    // that ended since the previous command began; a match with another
    // status fails at once with BrowserError::requestStatus.
    Task<void> waitForRequest(std::string request, std::string statusPattern, Duration timeout,
                              std::optional<std::string> recordedAs = std::nullopt);
    // Checks once that no console error was counted since the mark (none:
    // since the last recording began); BrowserError::consoleErrors otherwise.
    void expectNoConsoleErrors(std::optional<std::int64_t> mark = std::nullopt);

    // Recording (BrowserSessionRecording.cpp).
    bool isRecording() const;
    // Starts a new recording, replacing one under way; on a page with a URL
    // that is not about:, its first step navigates there.
    void recordStart(const std::string& name);
    // Takes in pending typing, then ends the recording and returns it; none
    // when nothing was being recorded.
    Task<std::optional<Flow>> recordStop();
    // Records what the person typed that the page has not reported yet.
    // Never throws; the acting commands run it before their own step.
    Task<void> captureTyped();
    // Turns one action of the person into a step, its typed value masked.
    void maskRecordedValue(const PersonAction& action);

    // Windows, popups and dialogs (BrowserSessionWindows.cpp).
    void selectWindow(const std::string& id);
    Task<void> closeWindow(std::string id);
    WebKitWebView* popupWithID(const std::string& id) const;
    void addPopup(GRef<WebKitWebView> popup);
    // Keeps a web view drawing and running as if visible while no window of
    // the application shows it.
    void prepareStage(WebKitWebView* view);
    // Takes a web view off the stage, so that a window of the application
    // can show it; nothing when it is not there.
    void unstage(WebKitWebView* view);
    // Stages the page when no window shows it and makes the window delegate
    // for it, once per page; the load path calls it before its first wait.
    void ensureWindowDelegate();
    DialogRecorder::Policy dialogPolicy() const { return dialogs.policy; }
    void setDialogPolicy(DialogRecorder::Policy policy) { dialogs.policy = policy; }

    // Redaction of secret values (BrowserSessionRedaction.cpp): every text
    // for the agent is cut to its first 200000 characters and each stored
    // value in it replaced by its ${NAME}.
    std::string redact(std::string_view text) const;
    // The pass of the secret pattern alone.
    std::string redactSecrets(std::string text) const;
    PageElement redactElement(PageElement element) const;
    PageSnapshot redactSnapshot(PageSnapshot snapshot) const;
    ActionResult redactActionResult(ActionResult result) const;
    // The pattern of every non-empty value of the table, all sites together;
    // none when there is no such value. The starts that fields kept are
    // hidden too.
    static std::optional<Redaction> buildRedaction(
        const std::map<std::string, std::map<std::string, std::string>>& variables,
        const std::deque<KeptStart>& kept = {});
    // The current and previous code of every key of `otpKeys`, standing
    // alone, each named "<credential>.otp"; none without keys.
    std::optional<Redaction> otpPattern() const;

    // Site values (BrowserSessionSiteValues.cpp). The site a value typed into
    // the element with that ref would reach (the frame's own origin for a
    // subframe), or that of the active window's page without a ref.
    std::optional<std::string> siteForRef(const std::optional<std::string>& ref) const;
    // Every value usable at that site: variables and credential fields of the
    // site and its parent domains, and the current "<credential>.otp" codes.
    // Empty when there is no site.
    std::map<std::string, std::string> siteValues(const std::optional<std::string>& ref = std::nullopt) const;

    // Script evaluation and screenshots (BrowserSessionEvaluate.cpp).
    // The value as JSON text, or none for undefined.
    Task<std::optional<std::string>> evaluate(std::string script);
    // PNG bytes of the active window.
    Task<std::vector<std::uint8_t>> screenshot();

    // The page agent bridge. Sends one command to the page agent of the
    // active window and gives back the reply's value, or none when the reply
    // carries none. With no frame given, a command about a ref goes to the
    // frame that owns the ref and every other command to the main frame.
    Task<std::optional<nlohmann::json>> agentCall(std::string command, nlohmann::json args,
                                                  std::optional<FrameInfo> frame = std::nullopt);
    // The same, for callers that need a value: an empty reply fails with
    // "<command> returned nothing"; a value that does not decode with
    // `decode` fails as an unexpected shape.
    template <typename T>
    Task<T> agentValue(std::string command, nlohmann::json args, T (*decode)(const nlohmann::json&),
                       std::optional<FrameInfo> frame = std::nullopt);
    std::optional<FrameInfo> frameForRef(const std::string& ref) const;
    // The same, to the main frame of `view`, active or not.
    Task<std::optional<nlohmann::json>> agentCallIn(WebKitWebView* view, std::string command, nlohmann::json args);
    // What `call` gives, or none when the page does not answer within the
    // frame timeout: for reads that a page too busy to answer must not hold up.
    Task<std::optional<nlohmann::json>> answerInTime(std::function<Task<std::optional<nlohmann::json>>()> call);
    // The control that has the keyboard in `view`'s page, as a screen reader
    // names it, each stored value in it shown by its ${NAME}; none when the
    // page itself has the keyboard, or the page does not answer within the
    // frame timeout (BrowserSessionFocus.cpp).
    struct FocusedControl {
        std::string role;  // may be empty
        std::string name;  // may be empty
    };
    Task<std::optional<FocusedControl>> focusedControl(WebKitWebView* view);
    // A message of the scripts injected into `view`'s page, handed to the
    // recorder or listener of its channel. Console output and requests count
    // only from a main frame, and the person's actions only from the main
    // frame of the page itself (a replayed step acts there).
    void receivePageMessage(WebKitWebView* view, const PageMessage& message);

    // Acting on the page (BrowserSessionActions.cpp, BrowserSessionHover.cpp).
    // Every action runs through runAction: the command, then settling, a
    // scan, and for a page that navigated its first drawing; `waitingFor`
    // and `phases` follow it, and the result compares the page before and
    // after. The element actions capture how to find the element again
    // before acting, and hand the matching flow step to recordStep only once
    // the action succeeded.
    //
    // `arguments` go to the page agent unchanged; a textual "ref" in them
    // picks the frame. `expectsSuggestions` (fill alone) also waits for the
    // requests the command set off and reports the new options as
    // suggestions.
    // `onReply`, when given, sees the page agent's reply to the command as
    // soon as it comes, before anything of the page is read.
    using ReplyHandler = std::function<void(const nlohmann::json&)>;
    Task<ActionResult> runAction(std::string command, nlohmann::json arguments, bool expectsSuggestions,
                                 ReplyHandler onReply = {});
    // The shared act-and-record path of select, press and fill: typed input
    // first, then the step made before acting (a password field's literal
    // fill value recorded as "${PASSWORD}"), the action, and the step.
    Task<ActionResult> actAndRecord(std::string command, nlohmann::json arguments, FlowStep::Action action,
                                    std::optional<std::string> ref, std::optional<std::string> value,
                                    bool expectsSuggestions, ReplyHandler onReply = {});
    Task<ActionResult> click(std::string ref);
    // Moves the web view's pointer over the element, as the person's mouse would.
    Task<ActionResult> hover(std::string ref);
    // `recordAs` is what the step keeps in place of the option or key.
    Task<ActionResult> select(std::string ref, std::string option, std::optional<std::string> recordAs = std::nullopt);
    Task<ActionResult> press(std::string key, std::optional<std::string> ref = std::nullopt,
                             std::optional<std::string> recordAs = std::nullopt);
    // The clipboard keys (BrowserSessionClipboard.cpp): keeps what a copy or
    // cut answered, and gives a paste the copied text as its "clipboard"
    // argument, refusing one that holds stored values anywhere but in a
    // document of the origin they were copied from.
    void keepCopied(const nlohmann::json& copy);
    Task<std::optional<nlohmann::json>> offerCopied(std::optional<std::string> ref);
    Task<ActionResult> scrollTo(std::string ref);
    Task<ActionResult> scrollBy(double dx, double dy);
    // Fill with references (BrowserSessionFill.cpp): types `text` into the
    // element, each ${NAME}, ${NAME.user}, ${NAME.password} and ${NAME.otp}
    // replaced by the value of the element's own site (`extra` wins over
    // those). Every reference must have a value here: one of another site, a
    // variable or credential field that no site has, or a value the keychain
    // holds but could not give fails with its BrowserError before anything is
    // typed, so that no reference is ever typed as written. The step keeps
    // `text`.
    Task<ActionResult> fill(std::string ref, std::string text, std::map<std::string, std::string> extra = {});
    // The element a flow step's locator describes in the active window now.
    struct Located {
        std::string ref;
        bool usedSelector = false;  // found by the CSS selector, not by role and name
        bool operator==(const Located&) const = default;
    };
    // With `byNameOnly` and a name, the selector is not offered to the page.
    Task<Located> locate(Locator locator, bool byNameOnly);

    template <typename Map>
    static std::vector<std::string> tableKeys(const Map& table) {
        std::vector<std::string> keys;
        for (const auto& entry : table) keys.push_back(entry.first);
        return keys;
    }
    static std::vector<std::string> knownFrameIDs(const std::map<WebKitWebView*, std::vector<FrameListener::KnownFrame>>& table);

    // The values of the entries of `table` whose site is `site` or one of its
    // parent domains, the most specific site winning.
    static std::map<std::string, std::string> mergedForHost(
        const std::string& site, const std::map<std::string, std::map<std::string, std::string>>& table);

private:
    explicit BrowserSession(Options options);
    void takePersonAction(const std::string& text);
    // The poll loop of the text and selector waits.
    Task<void> probeUntil(nlohmann::json args, bool gone, Duration timeout, std::string goneLabel,
                          std::string presentLabel);
    void rebuildRedaction();
    // Keeps what the fields of a fill's reply (the field typed into, and the
    // fields the page copied it into) hold of the values that the references
    // of `written` put in, where that is only a start of a value.
    void keepStarts(std::string_view written, const std::map<std::string, std::string>& values,
                    const nlohmann::json& reply);
    void construct();
    // Keeps stored values off the desktop's primary selection, and off its
    // clipboard while the agent acts (BrowserSessionClipboard.cpp).
    void watchDesktopSelections();
    GRef<WebKitWebView> makePage(const Profile& profile);
    void observePage(WebKitWebView* view);
    void stopObservingPage();

    std::vector<std::pair<GObject*, gulong>> watching_;
    std::unique_ptr<DesktopSelectionWatch> primarySelection_;
    std::unique_ptr<DesktopSelectionWatch> clipboard_;
};

template <typename T>
Task<T> BrowserSession::agentValue(std::string command, nlohmann::json args, T (*decode)(const nlohmann::json&),
                                   std::optional<FrameInfo> frame) {
    auto value = co_await agentCall(command, std::move(args), std::move(frame));
    if (!value) {
        throw BrowserError::script(command + " returned nothing");
    }
    try {
        co_return decode(*value);
    } catch (const BrowserError&) {
        throw;
    } catch (const std::exception& error) {
        throwUnexpectedShape(command, error.what());
    }
}

} // namespace vesk
