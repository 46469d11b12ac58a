// Window activation over a display connection of its own: the window
// manager's client list (or the root's children when none runs), each
// window's UTF-8 title compared exactly, then the manager's activation
// request or a raise and focus of our own.

#include "ui/wx/window_activation.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstring>
#include <memory>
#include <optional>
#include <vector>

namespace ui {
namespace {

struct DisplayCloser {
    void operator()(Display* display) const { XCloseDisplay(display); }
};
using DisplayHandle = std::unique_ptr<Display, DisplayCloser>;

// A window may vanish between listing and asking; its errors are expected
// and must not end the program (the default handler exits).
int ignoreErrors(Display*, XErrorEvent*) {
    return 0;
}

class ErrorsIgnored {
public:
    explicit ErrorsIgnored(Display* display)
        : m_display(display), m_previous(XSetErrorHandler(ignoreErrors)) {}
    ~ErrorsIgnored() {
        XSync(m_display, False);
        XSetErrorHandler(m_previous);
    }
    ErrorsIgnored(const ErrorsIgnored&) = delete;
    ErrorsIgnored& operator=(const ErrorsIgnored&) = delete;

private:
    Display* m_display;
    XErrorHandler m_previous;
};

// The items of a 32-bit property of `window` of type `type` (longs in
// Xlib's client representation).
std::vector<unsigned long> longProperty(Display* display, Window window, Atom property, Atom type) {
    Atom actual = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::vector<unsigned long> items;
    if (XGetWindowProperty(display, window, property, 0, 65536, False, type, &actual, &format, &count, &after,
                           &data) == Success &&
        data != nullptr) {
        if (actual == type && format == 32) {
            const auto* values = reinterpret_cast<const unsigned long*>(data);
            items.assign(values, values + count);
        }
        XFree(data);
    }
    return items;
}

std::optional<std::string> titleOf(Display* display, Window window, Atom netWmName, Atom utf8) {
    Atom actual = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, netWmName, 0, 4096, False, utf8, &actual, &format, &count, &after,
                           &data) == Success &&
        data != nullptr) {
        std::optional<std::string> title;
        if (actual == utf8 && format == 8)
            title.emplace(reinterpret_cast<const char*>(data), count);
        XFree(data);
        if (title)
            return title;
    }
    XTextProperty text{};
    if (XGetWMName(display, window, &text) != 0 && text.value != nullptr) {
        std::optional<std::string> title;
        if (text.format == 8)
            title.emplace(reinterpret_cast<const char*>(text.value), text.nitems);
        XFree(text.value);
        return title;
    }
    return std::nullopt;
}

// The top-level windows: the manager's list when it keeps one, else the
// root's children and their children (a manager's frames hold the
// program's window one level down).
std::vector<Window> topLevelWindows(Display* display, Window root) {
    const Atom clientList = XInternAtom(display, "_NET_CLIENT_LIST", False);
    std::vector<Window> windows;
    for (unsigned long w : longProperty(display, root, clientList, XA_WINDOW))
        windows.push_back(static_cast<Window>(w));
    if (!windows.empty())
        return windows;
    auto children = [display](Window parent) {
        Window rootReturn = None, parentReturn = None;
        Window* list = nullptr;
        unsigned int count = 0;
        std::vector<Window> out;
        if (XQueryTree(display, parent, &rootReturn, &parentReturn, &list, &count) != 0 && list != nullptr) {
            out.assign(list, list + count);
            XFree(list);
        }
        return out;
    };
    // Topmost first: the window a user sees wins among equal titles.
    std::vector<Window> top = children(root);
    for (auto it = top.rbegin(); it != top.rend(); ++it) {
        windows.push_back(*it);
        for (Window child : children(*it)) windows.push_back(child);
    }
    return windows;
}

bool managerActivates(Display* display, Window root, Atom activeWindow) {
    const Atom supported = XInternAtom(display, "_NET_SUPPORTED", False);
    for (unsigned long atom : longProperty(display, root, supported, XA_ATOM)) {
        if (atom == activeWindow)
            return true;
    }
    return false;
}

}  // namespace

bool activateTopLevelWindow(const std::string& title) {
    if (title.empty())
        return false;
    DisplayHandle display(XOpenDisplay(nullptr));
    if (!display)
        return false;
    Display* d = display.get();
    ErrorsIgnored errors(d);
    const Window root = DefaultRootWindow(d);
    const Atom netWmName = XInternAtom(d, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
    Window found = None;
    for (Window w : topLevelWindows(d, root)) {
        if (titleOf(d, w, netWmName, utf8) == title) {
            found = w;
            break;
        }
    }
    if (found == None)
        return false;
    const Atom activeWindow = XInternAtom(d, "_NET_ACTIVE_WINDOW", False);
    if (managerActivates(d, root, activeWindow)) {
        // Source 2: the user asked for it (going back is their command), so
        // focus-stealing prevention has no say.
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = found;
        event.xclient.message_type = activeWindow;
        event.xclient.format = 32;
        event.xclient.data.l[0] = 2;
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(d, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    } else {
        XMapRaised(d, found);
        XSync(d, False);
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(d, found, &attributes) != 0 && attributes.map_state == IsViewable)
            XSetInputFocus(d, found, RevertToParent, CurrentTime);
    }
    XFlush(d);
    return true;
}

}  // namespace ui
