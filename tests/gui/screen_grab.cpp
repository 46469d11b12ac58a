// The screen's pixels for the window tests, over a display connection of
// their own (the X11 headers stay out of the tests' translation unit).

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <wx/image.h>
#include <wx/string.h>
#include <wx/utils.h>
#include <wx/window.h>

#include <cstdlib>

namespace gui_test {

wxImage grab(wxWindow* window);

// What the screen shows of `window`'s client area, read from the display
// server over a connection of its own once the toolkit's requests are done.
wxImage grab(wxWindow* window) {
    const wxSize size = window->GetClientSize();
    const wxPoint origin = window->ClientToScreen(wxPoint(0, 0));
    XSync(wxGetX11Display(), False);
    wxImage image(size.x, size.y);
    if (Display* display = XOpenDisplay(nullptr)) {
        if (XImage* shot =
                XGetImage(display, DefaultRootWindow(display), origin.x, origin.y,
                          static_cast<unsigned>(size.x), static_cast<unsigned>(size.y), AllPlanes, ZPixmap)) {
            for (int y = 0; y < size.y; ++y) {
                for (int x = 0; x < size.x; ++x) {
                    const unsigned long p = XGetPixel(shot, x, y);
                    image.SetRGB(x, y, static_cast<unsigned char>((p >> 16) & 0xFF),
                                 static_cast<unsigned char>((p >> 8) & 0xFF),
                                 static_cast<unsigned char>(p & 0xFF));
                }
            }
            XDestroyImage(shot);
        }
        XCloseDisplay(display);
    }
    // Kept for a look when asked.
    if (const char* keep = std::getenv("SCRIVLET_GRAB_DIR")) {
        static int n = 0;
        wxInitAllImageHandlers();
        image.SaveFile(wxString::Format("%s/grab%03d-%s.png", keep, n++, window->GetName()),
                       wxBITMAP_TYPE_PNG);
    }
    return image;
}

}  // namespace gui_test
