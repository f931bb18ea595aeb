#pragma once

// The plain text that the agent reads: whole pages, find results, action
// results, console and network listings, script results and the note about
// open windows. Pure functions without state; none can fail.
//
// Lengths and cuts count user-perceived characters. A cut text keeps its first
// N - 1 characters and ends in "…", so that it has exactly N. Everything a page
// controls ends up inside the page-content wrapper; the program's own sentences
// stay outside it. Every text returned is valid UTF-8, whatever bytes the page
// sent.

#include "BrowserCore/Flows/FlowReport.h"
#include "BrowserCore/Session/BrowserSession.h"
#include "BrowserCore/Records/ConsoleMessage.h"
#include "BrowserCore/Records/NetworkRequest.h"
#include "BrowserCore/Records/PageRecords.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace vesk::PageRendering {

using Lines = std::vector<std::string>;

// Names compared in canonical form (canonically equivalent names are one).
using NameSet = std::unordered_set<std::string>;

// --- Helpers every rendering shares ---

// The lines joined with "\n" inside the page-content wrapper, with every
// occurrence of the marker word (in any case) neutralised by a zero-width
// space, after a sentence that tells the agent the content is data.
std::string pageContent(const Lines& lines);

// The page text's lines, each after "| "; an empty text gives one line "| ".
Lines quoteLines(std::string_view text);

// A page string as a one-line quoted literal: backslash and double quote
// escaped, each line break turned into one space.
std::string quoted(std::string_view text);

// A text that a person, a page or a recording chose (a name, a site, a step)
// on one line: each line break turned into one space, as `quoted` does.
std::string oneLine(std::string_view text);

// A name (of a flow, profile, variable, credential, site or file), or a line
// of such names and the rendering's words, as listings show it: on one line
// as `oneLine` has it, with the marker word neutralised, and with control
// characters and every character that directs the order of text on screen
// (marks, embeddings, overrides, isolates) shown as U+FFFD, so that names
// alike on screen are told apart. Page text keeps its marks; names do not.
std::string listedName(std::string_view name);

// An answer of at most `limit` characters. A longer one keeps its start and
// ends in "…" and a line that says it was cut; when the cut falls inside the
// page-content wrapper, that line stands inside it and the wrapper closes.
std::string withinLimit(std::string_view answer, std::size_t limit);

struct URLParts {
    std::string origin;  // scheme, "://" and authority (a long one shortened); empty without "://"
    std::string rest;    // everything from the first "/", "?" or "#" after the authority
};
URLParts splitURL(std::string_view url);

// A link target, popup or window address in short: without the origin when it
// is that of `base` (pass "" for no base), without query and fragment, and its
// path cut to 48 characters.
std::string shortURL(std::string_view url, std::string_view base);

// "Page: " quoted title, "\nURL: " the address.
std::string pageHeader(std::string_view title, std::string_view url);

// One element on one line. Links are shortened against `base`; with a set of
// duplicate link names a named link shows its target only when its name is in
// the set; without a set every link shows it.
std::string elementLine(const PageElement& element, std::string_view base, const NameSet* duplicates = nullptr);

// The names that more than one link carries.
NameSet duplicateLinkNames(const std::vector<PageElement>& elements);

// The lines that say a dialog or notice covers the page, and its first controls.
Lines coverLines(std::string_view name, const std::vector<std::string>& refs, const PageSnapshot& page);

// --- Pages and find ---

// The whole page. Compact: what is on screen, without what `previous` (the
// page before a navigation) already had; full: up to 200 elements.
std::string snapshot(const PageSnapshot& page, bool compact,
                     const std::optional<PageSnapshot>& previous = std::nullopt);

// The elements and text lines that contain the query, regardless of case and
// diacritics.
std::string find(std::string_view query, const PageSnapshot& page);

// --- Action results, console, network, script results, windows ---

// What an action did: the new page after a navigation or window switch, else
// the changes; then dialogs, popups, console errors and failed requests.
std::string actionResult(const ActionResult& result, const std::optional<PageSnapshot>& after,
                         const std::optional<PageSnapshot>& before);

// A titled list of elements, runs of 3 or more disabled elements of one role
// folded into one entry, at most `cap` entries; no lines for no elements.
Lines elementList(std::string_view title, const std::vector<PageElement>& elements, std::string_view base,
                  const NameSet* duplicates, std::size_t cap);

// The refs with runs of consecutive numbers folded into "first-last" ranges.
std::vector<std::string> refRanges(const std::vector<std::string>& refs);

std::string dialogLine(const DialogRecord& dialog);
std::string consoleLine(const ConsoleMessage& message);
std::string requestLine(const NetworkRequest& request);

// The text of the console tool; `dropped` older messages were not kept.
std::string console(const std::vector<ConsoleMessage>& messages, std::size_t dropped);

// The text of the network tool (and of failed requests in an action result).
std::string network(const std::vector<NetworkRequest>& requests, std::size_t dropped, bool failedOnly);

// A script's result; `fullLength` is its length in characters, which may
// exceed that of `text`.
std::string evaluateResult(std::string_view text, std::size_t fullLength);

// A replayed flow's report inside the page-content wrapper, at most `limit`
// characters in all, each line a line of its own. A longer report folds its
// runs of skipped steps, cuts its long lines, and then leaves out the lines
// of passed steps from the middle: the head line, the skipped steps and the
// last step that ran always stay.
std::string flowReport(const FlowReport& report, std::size_t limit);

// One open window as BrowserSession::windows lists it ("main" for the page).
using OpenWindow = BrowserSession::Window;

// The note about open windows after a tool result, or none. `hadSeparateWindow`:
// a separate window was open after the previous tool call.
std::optional<std::string> windowContext(const std::vector<BrowserSession::Window>& windows, bool hadSeparateWindow);

} // namespace vesk::PageRendering
