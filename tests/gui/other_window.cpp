// Another program's window over a display connection of its own.

#include "tests/gui/other_window.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace gui_test {

struct OtherWindow::Connection {
    Display* display = nullptr;
    Window window = 0;
};

OtherWindow::OtherWindow(const std::string& title) : m_connection(std::make_unique<Connection>()) {
    Display* d = XOpenDisplay(nullptr);
    if (d == nullptr)
        return;
    m_connection->display = d;
    const Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 10, 10, 200, 100, 0, 0, 0xFFFFFF);
    m_connection->window = w;
    XStoreName(d, w, title.c_str());
    XChangeProperty(d, w, XInternAtom(d, "_NET_WM_NAME", False), XInternAtom(d, "UTF8_STRING", False), 8,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(title.data()),
                    static_cast<int>(title.size()));
    XMapWindow(d, w);
    XLowerWindow(d, w);
    XSync(d, False);
}

OtherWindow::~OtherWindow() {
    if (m_connection->display == nullptr)
        return;
    XDestroyWindow(m_connection->display, m_connection->window);
    XCloseDisplay(m_connection->display);
}

bool OtherWindow::hasFocus() const {
    if (m_connection->display == nullptr)
        return false;
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(m_connection->display, &focus, &revert);
    return focus == m_connection->window;
}

}  // namespace gui_test
