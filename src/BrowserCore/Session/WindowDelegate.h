#pragma once

// Answers what the pages of the session ask of their window: new windows
// (popups), closing themselves, script dialogs, file choosers and, in popups,
// logins. Nothing is ever shown: each dialog is answered at once, as the
// session's closures say. One delegate serves the page and every popup it
// opens.

#include "BrowserCore/Records/PageRecords.h"
#include "Platform/GRef.h"

#include <webkit/webkit.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace vesk {

class WindowDelegate : public std::enable_shared_from_this<WindowDelegate> {
public:
    struct Closures {
        // Whether the page may open one more window.
        std::function<bool()> mayOpen;
        // A new web view for a popup of `opener`, set up as every page is.
        std::function<GRef<WebKitWebView>(WebKitWebView* opener)> makeView;
        // A popup was made for the URL (none when the page gave none).
        std::function<void(WebKitWebView* popup, std::optional<std::string> url)> opened;
        // A page closed its own window.
        std::function<void(WebKitWebView* view)> closed;
        // Records a dialog and tells whether to accept it.
        std::function<bool(DialogRecord::Kind kind, const std::string& message)> dialog;
    };

    // A popup's size.
    static constexpr int popupWidth = 520;
    static constexpr int popupHeight = 640;

    static std::shared_ptr<WindowDelegate> create(Closures closures);
    WindowDelegate(const WindowDelegate&) = delete;
    WindowDelegate& operator=(const WindowDelegate&) = delete;

    // Answers the window requests of the view from now on. Once the delegate
    // is gone, the view's requests get no window and dialogs are answered
    // without a record.
    void attach(WebKitWebView* view);

private:
    explicit WindowDelegate(Closures closures) : closures_(std::move(closures)) {}

    static GtkWidget* onCreate(WebKitWebView* view, WebKitNavigationAction* action, gpointer data);
    static void onClose(WebKitWebView* view, gpointer data);
    static gboolean onScriptDialog(WebKitWebView* view, WebKitScriptDialog* dialog, gpointer data);
    // A popup gets no login: it shows the server's own answer, where WebKit
    // would lay a login dialog over it that nobody answers.
    static gboolean declineLogin(WebKitWebView* view, WebKitAuthenticationRequest* request, gpointer data);
    static gboolean onFileChooser(WebKitWebView* view, WebKitFileChooserRequest* request, gpointer data);

    Closures closures_;
};

} // namespace vesk
