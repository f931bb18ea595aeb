#include "BrowserCore/Session/WindowDelegate.h"

namespace vesk {

namespace {

struct Link {
    std::weak_ptr<WindowDelegate> delegate;
};

void deleteLink(gpointer data, GClosure*) {
    delete static_cast<Link*>(data);
}

} // namespace

std::shared_ptr<WindowDelegate> WindowDelegate::create(Closures closures) {
    return std::shared_ptr<WindowDelegate>(new WindowDelegate(std::move(closures)));
}

void WindowDelegate::attach(WebKitWebView* view) {
    std::weak_ptr<WindowDelegate> weak = weak_from_this();
    auto connect = [&](const char* signal, GCallback callback) {
        g_signal_connect_data(view, signal, callback, new Link{weak}, deleteLink, GConnectFlags(0));
    };
    connect("create", G_CALLBACK(onCreate));
    connect("close", G_CALLBACK(onClose));
    connect("script-dialog", G_CALLBACK(onScriptDialog));
    connect("run-file-chooser", G_CALLBACK(onFileChooser));
}

GtkWidget* WindowDelegate::onCreate(WebKitWebView* view, WebKitNavigationAction* action, gpointer data) {
    auto self = static_cast<Link*>(data)->delegate.lock();
    if (!self) return nullptr;
    WebKitURIRequest* request = webkit_navigation_action_get_request(action);

    // A link that targets a new window opens in the window it is in.
    if (webkit_navigation_action_get_navigation_type(action) == WEBKIT_NAVIGATION_TYPE_LINK_CLICKED) {
        if (request) webkit_web_view_load_request(view, request);
        return nullptr;
    }
    if (!self->closures_.mayOpen()) return nullptr;
    GRef<WebKitWebView> popup = self->closures_.makeView(view);
    if (!popup) return nullptr;
    gtk_widget_set_size_request(GTK_WIDGET(popup.get()), popupWidth, popupHeight);
    self->attach(popup.get());
    g_signal_connect(popup.get(), "authenticate", G_CALLBACK(declineLogin), nullptr);

    const char* uri = request ? webkit_uri_request_get_uri(request) : nullptr;
    self->closures_.opened(popup.get(), uri && *uri ? std::optional<std::string>(uri) : std::nullopt);
    // WebKit keeps no reference of the view it is given (a new widget would
    // be floating, for a window to take): the session's popup list owns it.
    return GTK_WIDGET(popup.get());
}

void WindowDelegate::onClose(WebKitWebView* view, gpointer data) {
    if (auto self = static_cast<Link*>(data)->delegate.lock()) self->closures_.closed(view);
}

gboolean WindowDelegate::onScriptDialog(WebKitWebView*, WebKitScriptDialog* dialog, gpointer data) {
    auto self = static_cast<Link*>(data)->delegate.lock();
    auto answer = [&](DialogRecord::Kind kind) {
        // Without a delegate a dialog is still answered, never shown.
        return self ? self->closures_.dialog(kind, webkit_script_dialog_get_message(dialog)) : true;
    };
    switch (webkit_script_dialog_get_dialog_type(dialog)) {
    case WEBKIT_SCRIPT_DIALOG_ALERT:
        answer(DialogRecord::Kind::alert);
        break;
    case WEBKIT_SCRIPT_DIALOG_CONFIRM:
        webkit_script_dialog_confirm_set_confirmed(dialog, answer(DialogRecord::Kind::confirm));
        break;
    case WEBKIT_SCRIPT_DIALOG_PROMPT:
        // Left without a text, the prompt answers null, as Cancel does.
        if (answer(DialogRecord::Kind::prompt)) {
            const char* given = webkit_script_dialog_prompt_get_default_text(dialog);
            webkit_script_dialog_prompt_set_text(dialog, given ? given : "");
        }
        break;
    case WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM:
        // Nobody could answer "stay": the page is always left.
        webkit_script_dialog_confirm_set_confirmed(dialog, TRUE);
        break;
    }
    return TRUE;
}

gboolean WindowDelegate::declineLogin(WebKitWebView*, WebKitAuthenticationRequest* request, gpointer) {
    webkit_authentication_request_authenticate(request, nullptr);
    return TRUE;
}

gboolean WindowDelegate::onFileChooser(WebKitWebView*, WebKitFileChooserRequest* request, gpointer data) {
    if (auto self = static_cast<Link*>(data)->delegate.lock()) self->closures_.dialog(DialogRecord::Kind::fileInput, "");
    webkit_file_chooser_request_cancel(request);
    return TRUE;
}

} // namespace vesk
