#include "Support/RealInput.h"

#include <gdk/x11/gdkx.h>

#include <dlfcn.h>

namespace vesk::test {

// The few Xlib and XTEST calls used, looked up at run time: the test
// programs link neither library, and GTK has already loaded Xlib.
struct RealInput::Api {
    int (*translateCoordinates)(Display*, Window, Window, int, int, int*, int*, Window*);
    unsigned char (*keysymToKeycode)(Display*, unsigned long);
    unsigned long (*keycodeToKeysym)(Display*, unsigned char, int);
    unsigned long (*stringToKeysym)(const char*);
    int (*setInputFocus)(Display*, Window, int, unsigned long);
    int (*sync)(Display*, int);
    int (*queryExtension)(Display*, int*, int*, int*, int*);
    int (*fakeMotion)(Display*, int, int, int, unsigned long);
    int (*fakeButton)(Display*, unsigned int, int, unsigned long);
    int (*fakeKey)(Display*, unsigned int, int, unsigned long);
    Display* display;
};

namespace {

template <typename F>
bool lookUp(void* library, const char* name, F& function) {
    function = reinterpret_cast<F>(dlsym(library, name));
    return function != nullptr;
}

Display* xDisplay() {
    GdkDisplay* display = gdk_display_get_default();
    if (!display || !GDK_IS_X11_DISPLAY(display)) return nullptr;
    return gdk_x11_display_get_xdisplay(display);
}

Window xWindow(GtkWidget* widget) {
    GtkNative* native = gtk_widget_get_native(widget);
    GdkSurface* surface = native ? gtk_native_get_surface(native) : nullptr;
    return surface ? gdk_x11_surface_get_xid(surface) : 0;
}

} // namespace

RealInput* RealInput::get() {
    static RealInput* instance = []() -> RealInput* {
        Display* display = xDisplay();
        if (!display) return nullptr;
        void* xlib = dlopen("libX11.so.6", RTLD_NOW | RTLD_GLOBAL);
        void* xtest = dlopen("libXtst.so.6", RTLD_NOW | RTLD_GLOBAL);
        if (!xlib || !xtest) return nullptr;
        auto* api = new Api{};
        api->display = display;
        bool found = lookUp(xlib, "XTranslateCoordinates", api->translateCoordinates) &&
                     lookUp(xlib, "XKeysymToKeycode", api->keysymToKeycode) &&
                     lookUp(xlib, "XKeycodeToKeysym", api->keycodeToKeysym) &&
                     lookUp(xlib, "XStringToKeysym", api->stringToKeysym) &&
                     lookUp(xlib, "XSetInputFocus", api->setInputFocus) && lookUp(xlib, "XSync", api->sync) &&
                     lookUp(xtest, "XTestQueryExtension", api->queryExtension) &&
                     lookUp(xtest, "XTestFakeMotionEvent", api->fakeMotion) &&
                     lookUp(xtest, "XTestFakeButtonEvent", api->fakeButton) &&
                     lookUp(xtest, "XTestFakeKeyEvent", api->fakeKey);
        int event = 0, error = 0, major = 0, minor = 0;
        if (!found || !api->queryExtension(display, &event, &error, &major, &minor)) {
            delete api;
            return nullptr;
        }
        return new RealInput(api);
    }();
    return instance;
}

void RealInput::focus(GtkWidget* widget) {
    // No window manager runs on the test display to hand out the focus.
    api_->setInputFocus(api_->display, xWindow(widget), /* RevertToParent */ 2, /* CurrentTime */ 0);
    api_->sync(api_->display, 0);
}

void RealInput::click(GtkWidget* widget, double x, double y) {
    GtkNative* native = gtk_widget_get_native(widget);
    graphene_point_t inWidget = GRAPHENE_POINT_INIT(static_cast<float>(x), static_cast<float>(y));
    graphene_point_t inNative;
    if (!native || !gtk_widget_compute_point(widget, GTK_WIDGET(native), &inWidget, &inNative)) return;
    double dx = 0, dy = 0;
    gtk_native_get_surface_transform(native, &dx, &dy);
    int rootX = 0, rootY = 0;
    Window child = 0;
    Display* display = api_->display;
    api_->translateCoordinates(display, xWindow(widget), DefaultRootWindow(display),
                               static_cast<int>(inNative.x + dx), static_cast<int>(inNative.y + dy), &rootX, &rootY,
                               &child);
    api_->fakeMotion(display, -1, rootX, rootY, 0);
    api_->fakeButton(display, 1, 1, 0);
    api_->fakeButton(display, 1, 0, 0);
    api_->sync(display, 0);
}

void RealInput::tap(unsigned long keysym) {
    Display* display = api_->display;
    unsigned char code = api_->keysymToKeycode(display, keysym);
    if (!code) return;
    bool shifted = api_->keycodeToKeysym(display, code, 0) != keysym;
    unsigned char shift = api_->keysymToKeycode(display, api_->stringToKeysym("Shift_L"));
    if (shifted) api_->fakeKey(display, shift, 1, 0);
    api_->fakeKey(display, code, 1, 0);
    api_->fakeKey(display, code, 0, 0);
    if (shifted) api_->fakeKey(display, shift, 0, 0);
    api_->sync(display, 0);
}

void RealInput::type(std::string_view text) {
    // Printable ASCII characters are their own keysyms.
    for (char c : text) tap(static_cast<unsigned char>(c));
}

void RealInput::key(const char* keysymName, const char* modifierName) {
    Display* display = api_->display;
    unsigned char modifier = modifierName ? api_->keysymToKeycode(display, api_->stringToKeysym(modifierName)) : 0;
    if (modifier) api_->fakeKey(display, modifier, 1, 0);
    tap(api_->stringToKeysym(keysymName));
    if (modifier) api_->fakeKey(display, modifier, 0, 0);
    api_->sync(display, 0);
}

} // namespace vesk::test
