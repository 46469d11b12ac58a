#pragma once
// The main window and its children: the page view, the thumbnail strip and
// the seven start buttons, with the popups and accelerators built from the
// command table. The windows read the session's pages only below the
// published page count and the shown image only through its slot.

#include <wx/bitmap.h>
#include <wx/cursor.h>
#include <wx/font.h>
#include <wx/frame.h>
#include <wx/window.h>

#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "app/capture_worker.h"
#include "ui/command_table.h"
#include "ui/page_navigator.h"
#include "ui/view_rules.h"
#include "ui/wx/flat_scroll_bar.h"

namespace app {
struct Session;
}
namespace render {
struct Bitmap;
}
namespace Magick {
class Image;
}

namespace ui {

class MainCommands;
class WxUiPort;
class lvFrameWin;

// The label font and the colours the windows share.
wxFont labelFont();
wxColour rgb(int r, int g, int b);
// A render's 32-bit pixels as a window bitmap.
wxBitmap toWxBitmap(const render::Bitmap& bitmap);
wxString menuLabel(const char* text);

class PageView : public wxWindow {
public:
    PageView(lvFrameWin* frame, app::Session& session, ViewModel& view);

    // paintCurrentImage: fits the bars to the shown image and, with a device
    // context, draws the part of it inside `area`.
    void paintCurrentImage(wxDC* dc, const wxRect& area);
    void scroll(app::ScrollBar bar, ScrollKind kind, int thumb = 0);
    const FlatScrollBar& bar(app::ScrollBar which) const {
        return which == app::ScrollBar::Vertical ? m_vBar : m_hBar;
    }
    // The image's top-left corner in client coordinates (after scrolling).
    wxPoint imageOrigin() const;
    // Paints that drew the image, and how long the last one took (for the
    // benchmark of painting while scrolling).
    int imagePaints() const { return m_imagePaints; }
    double lastPaintMilliseconds() const { return m_lastPaintMs; }

private:
    void onPaint(wxPaintEvent& event);
    void onLeftDown(wxMouseEvent& event);
    void onLeftUp(wxMouseEvent& event);
    void onMotion(wxMouseEvent& event);
    void onRightDown(wxMouseEvent& event);
    void onMenu(wxCommandEvent& event);
    void onSize(wxSizeEvent& event);
    const wxBitmap* shownBitmap();

    lvFrameWin* m_frame;
    app::Session& m_session;
    ViewModel& m_view;
    FlatScrollBar m_vBar{true};
    FlatScrollBar m_hBar{false};
    std::shared_ptr<const Magick::Image> m_cachedImage;
    wxBitmap m_cachedBitmap;
    ImageFit m_fit;
    int m_imagePaints = 0;
    double m_lastPaintMs = 0;
    // A thumb being dragged: the bar and the offset of the press in it.
    const FlatScrollBar* m_dragging = nullptr;
    int m_dragOffset = 0;
};

class ThumbnailStrip : public wxWindow {
public:
    ThumbnailStrip(lvFrameWin* frame, app::Session& session, ViewModel& view);

    void scroll(ScrollKind kind, int thumb = 0);
    void setRange(int span);
    const FlatScrollBar& bar() const { return m_bar; }
    // The page whose thumbnail holds client point `p` (edges included); -1.
    int pageAt(wxPoint p) const;
    int scrollMax() const;

private:
    void onPaint(wxPaintEvent& event);
    void onLeftDown(wxMouseEvent& event);
    void onLeftUp(wxMouseEvent& event);
    void onMotion(wxMouseEvent& event);
    const wxBitmap& thumbnailOf(int index);

    lvFrameWin* m_frame;
    app::Session& m_session;
    ViewModel& m_view;
    FlatScrollBar m_bar{true};
    struct Cached {
        std::shared_ptr<const render::Bitmap> source;
        wxBitmap bitmap;
    };
    std::vector<Cached> m_thumbnails;
    bool m_dragging = false;
    int m_dragOffset = 0;
};

class lvStartButton : public wxWindow {
public:
    lvStartButton(lvFrameWin* frame, int index);
    int index() const { return m_index; }

private:
    void onPaint(wxPaintEvent& event);
    void onMotion(wxMouseEvent& event);
    void onLeave(wxMouseEvent& event);
    void onLeftDown(wxMouseEvent& event);
    void onLeftUp(wxMouseEvent& event);
    void onMenu(wxCommandEvent& event);

    lvFrameWin* m_frame;
    int m_index;
};

// The pictures of the start buttons, normal and hot, 43 x 32 each.
wxBitmap startButtonPicture(int index, bool hot);

class lvFrameWin : public wxFrame {
public:
    lvFrameWin(app::Session& session, ViewModel& view, WxUiPort& port, const wxPoint& position,
               const wxSize& size);
    ~lvFrameWin() override;

    void setCommands(MainCommands* commands) { m_commands = commands; }
    MainCommands* commands() const { return m_commands; }
    // Called once when the window goes, with its placement (the destruction
    // hook: placement stored, work folder emptied).
    std::function<void(const app::WindowPlacement&)> onDestroyed;

    PageView* pageView() const { return m_view; }
    WxUiPort& port() { return m_port; }
    ThumbnailStrip* strip() const { return m_strip; }
    lvStartButton* button(int index) const { return m_buttons.at(static_cast<std::size_t>(index)); }
    const MainLayout& layout() const { return m_layout; }

    // The hot flags: at most one button is hot; -1 clears them all.
    void setHot(int index);
    int hotButton() const;
    void clickButton(int index, lvStartButton* owner, const wxPoint& at);
    // Builds popup `popup` of menu 135 with its check marks and grayed items.
    std::unique_ptr<wxMenu> buildPopup(Popup popup) const;
    void dispatch(int id, CommandMap map);
    const wxCursor& handCursor() const { return m_hand; }
    std::string infoText() const;
    // The placement the destruction hook stores.
    app::WindowPlacement placement() const;
    // The children laid out for a client area of `client`; the window itself
    // snapped to its least size where the area is below it (not for the
    // pixel or two a window manager reports while it frames the window).
    void layoutChildren(wxSize client);
    static constexpr int kLeastSettledClient = 16;

private:
    void onSize(wxSizeEvent& event);
    void onPaint(wxPaintEvent& event);
    void onWheel(wxMouseEvent& event);
    void onMotion(wxMouseEvent& event);
    void onMenu(wxCommandEvent& event);
    void onClose(wxCloseEvent& event);
    void layoutChildren();
    void scrollRequest(app::UiWindow window, app::ScrollBar bar, app::ScrollRequest request);

    app::Session& m_session;
    ViewModel& m_viewModel;
    WxUiPort& m_port;
    MainCommands* m_commands = nullptr;
    PageView* m_view = nullptr;
    ThumbnailStrip* m_strip = nullptr;
    std::array<lvStartButton*, kButtonCount> m_buttons{};
    std::array<bool, kButtonCount> m_hot{};
    MainLayout m_layout;
    wxCursor m_hand;
    bool m_closed = false;
    // The window's last size and place on screen when it was neither
    // maximised nor shrunk to a pixel or two: what it is stored as, and
    // what it goes back to when a window manager restores it to nothing.
    wxRect m_normal;
};

// The toolkit's menu and accelerator ids stay below 0x7FFF: the commands
// of 30000 and above are shifted down by 20000 (12801 .. 12903), clear of
// the toolkit's own range.
inline int wxIdOf(int command) {
    return command >= 30000 ? command - 20000 : command;
}
inline int commandOfWxId(int id) {
    return id >= 10000 && id < 20000 ? id + 20000 : id;
}

// wxWidgets' key code and modifiers for a key of the command table.
struct WxKey {
    int flags;
    int code;
};
WxKey wxKeyOf(const KeyStroke& key);

}  // namespace ui
