#include "ui/wx/lv_frame_win.h"

#include <wx/accel.h>
#include <wx/dcbuffer.h>
#include <wx/display.h>
#include <wx/menu.h>
#include <wx/settings.h>

#include "app/session.h"
#include "render/bitmap.h"
#include "render/magick.h"
#include "ui/main_commands.h"
#include "ui/wx/wx_ui_port.h"

namespace ui {

wxColour rgb(int r, int g, int b) {
    return {static_cast<unsigned char>(r), static_cast<unsigned char>(g), static_cast<unsigned char>(b)};
}

wxFont labelFont() {
    // The variable-pitch system font of the labels and the info line.
    wxFont font = wxSystemSettings::GetFont(wxSYS_ANSI_VAR_FONT);
    font.SetPointSize(8);
    return font;
}

wxBitmap toWxBitmap(const render::Bitmap& bitmap) {
    if (bitmap.width <= 0 || bitmap.height <= 0)
        return {};
    wxImage image(bitmap.width, bitmap.height, false);
    unsigned char* rgbData = image.GetData();
    const std::size_t count =
        static_cast<std::size_t>(bitmap.width) * static_cast<std::size_t>(bitmap.height);
    for (std::size_t i = 0; i < count && i < bitmap.pixels.size(); ++i) {
        const std::uint32_t p = bitmap.pixels[i];
        rgbData[3 * i] = static_cast<unsigned char>(p >> 16);
        rgbData[3 * i + 1] = static_cast<unsigned char>(p >> 8);
        rgbData[3 * i + 2] = static_cast<unsigned char>(p);
    }
    return wxBitmap(image);
}

WxKey wxKeyOf(const KeyStroke& key) {
    int code = key.key;
    switch (static_cast<Key>(key.key)) {
        case Key::F1:
            code = WXK_F1;
            break;
        case Key::F3:
            code = WXK_F3;
            break;
        case Key::F4:
            code = WXK_F4;
            break;
        case Key::F5:
            code = WXK_F5;
            break;
        case Key::F6:
            code = WXK_F6;
            break;
        case Key::Escape:
            code = WXK_ESCAPE;
            break;
        case Key::PageDown:
            code = WXK_PAGEDOWN;
            break;
        case Key::PageUp:
            code = WXK_PAGEUP;
            break;
        case Key::Down:
            code = WXK_DOWN;
            break;
        case Key::Up:
            code = WXK_UP;
            break;
        case Key::Right:
            code = WXK_RIGHT;
            break;
        case Key::Left:
            code = WXK_LEFT;
            break;
        default:
            break;
    }
    return {(key.ctrl ? wxACCEL_CTRL : 0) | (key.shift ? wxACCEL_SHIFT : 0), code};
}

lvFrameWin::lvFrameWin(app::Session& session, ViewModel& view, WxUiPort& port, const wxPoint& position,
                       const wxSize& size)
    : wxFrame(nullptr, wxID_ANY, "Quillo Scrivlet", position, size,
              wxDEFAULT_FRAME_STYLE | wxFULL_REPAINT_ON_RESIZE, "lvFrameWin"),
      m_session(session),
      m_viewModel(view),
      m_port(port),
      m_hand(wxCURSOR_HAND) {
    m_normal = wxRect(position, size);  // until the window has a size of its own on screen
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    m_view = new PageView(this, session, view);
    m_strip = new ThumbnailStrip(this, session, view);
    for (int i = 0; i < kButtonCount; ++i)
        m_buttons[static_cast<std::size_t>(i)] = new lvStartButton(this, i);
    // Accelerator table 144, from the command table.
    std::vector<wxAcceleratorEntry> entries;
    for (const Command* c : acceleratorTable()) {
        const WxKey k = wxKeyOf(c->key);
        entries.emplace_back(k.flags, k.code, wxIdOf(c->id));
    }
    SetAcceleratorTable(wxAcceleratorTable(static_cast<int>(entries.size()), entries.data()));

    m_port.attach({this, m_strip, m_view});
    m_port.onScrollRange = [this](app::UiWindow window, app::ScrollBar, int, int maximum) {
        if (window == app::UiWindow::ThumbnailStrip)
            m_strip->setRange(maximum);
    };
    m_port.onScrollRequest = [this](app::UiWindow window, app::ScrollBar bar, app::ScrollRequest request) {
        scrollRequest(window, bar, request);
    };
    m_port.progressPlace = [this] {
        const wxSize c = GetClientSize();
        return app::UiRect{350, c.y - 19, c.x - 200, c.y - 9};
    };

    Bind(wxEVT_SIZE, &lvFrameWin::onSize, this);
    Bind(wxEVT_PAINT, &lvFrameWin::onPaint, this);
    Bind(wxEVT_MOUSEWHEEL, &lvFrameWin::onWheel, this);
    Bind(wxEVT_MOTION, &lvFrameWin::onMotion, this);
    Bind(wxEVT_MENU, &lvFrameWin::onMenu, this);
    Bind(wxEVT_CLOSE_WINDOW, &lvFrameWin::onClose, this);
    // The wheel turns over the children reach the main window's rule.
    for (wxWindow* child : {static_cast<wxWindow*>(m_view), static_cast<wxWindow*>(m_strip)}) {
        child->Bind(wxEVT_MOUSEWHEEL, [this, child](wxMouseEvent& event) {
            wxMouseEvent copy(event);
            copy.SetPosition(ScreenToClient(child->ClientToScreen(event.GetPosition())));
            onWheel(copy);
        });
    }
    layoutChildren();
}

lvFrameWin::~lvFrameWin() {
    m_port.shutdown();
}

void lvFrameWin::layoutChildren() {
    layoutChildren(GetClientSize());
}

void lvFrameWin::layoutChildren(const wxSize client) {
    m_layout = layoutFor(client.x, client.y);
    // While a window manager frames the window, the toolkit reports a client
    // area of a pixel or two for a moment. Taken as the user's size, it would
    // snap the window to its smallest for good, over the placement restored:
    // only a client area the window can really have on screen snaps it.
    const bool settled =
        IsShownOnScreen() && client.x >= kLeastSettledClient && client.y >= kLeastSettledClient;
    if (settled && !IsMaximized() && !IsIconized())
        m_normal = GetRect();
    if (IsShownOnScreen() && !settled && !IsMaximized() && !IsIconized() && !m_normal.IsEmpty()) {
        // Restored (or framed) to a pixel or two: once the window manager
        // is done, the window goes back to its last real size.
        CallAfter([this] {
            const wxSize now = GetClientSize();
            if (!m_closed && !IsMaximized() && !IsIconized() &&
                (now.x < kLeastSettledClient || now.y < kLeastSettledClient))
                SetSize(m_normal);
        });
    }
    if (settled && (m_layout.outerHeight || m_layout.outerWidth)) {
        const wxSize outer = GetSize();
        const wxSize wanted(m_layout.outerWidth.value_or(outer.x), m_layout.outerHeight.value_or(outer.y));
        if (wanted != outer && !IsMaximized())
            SetSize(wanted);
    }
    const UiRect& v = m_layout.view;
    const UiRect& s = m_layout.strip;
    m_view->Show(m_layout.wide);
    if (m_layout.wide)
        m_view->SetSize(v.left, v.top, v.right - v.left, v.bottom - v.top);
    m_strip->SetSize(s.left, s.top, s.right - s.left, s.bottom - s.top);
    for (int i = 0; i < kButtonCount; ++i) {
        const UiRect b = buttonRect(i);
        button(i)->SetSize(b.left, b.top, b.right - b.left, b.bottom - b.top);
    }
    m_port.setClientRect(app::UiWindow::MainWindow, {0, 0, client.x, client.y});
    const wxSize sc = m_strip->GetClientSize();
    m_port.setClientRect(app::UiWindow::ThumbnailStrip, {0, 0, sc.x - FlatScrollBar::kWidth, sc.y});
    const wxSize vc = m_view->GetClientSize();
    m_port.setClientRect(app::UiWindow::PageView, {0, 0, vc.x, vc.y});
    // A list scrolled past its end comes back.
    const int count = m_session.PageList.count();
    if (count > 0) {
        const auto& last = m_session.PageList.record(count - 1);
        if (last.y + last.height - m_viewModel.stripY <= 10)
            m_strip->scroll(ScrollKind::PageUp);
    }
    Refresh(false);
}

void lvFrameWin::onSize(wxSizeEvent& event) {
    event.Skip();
    if (m_view != nullptr)
        layoutChildren();
}

std::string lvFrameWin::infoText() const {
    const auto image = m_session.CurrentImage.load();
    InfoFacts facts;
    facts.shownPage = m_session.shownPage;
    facts.pageCount = m_session.PageList.count();
    facts.encodedKb = m_session.RenderStatus.encodedSizeKb;
    facts.width = image ? static_cast<int>(image->columns()) : 0;
    facts.height = image ? static_cast<int>(image->rows()) : 0;
    facts.resolution = app::currentResolution(m_session);
    return infoLine(facts, m_session.CurrentFormat);
}

void lvFrameWin::onPaint(wxPaintEvent&) {
    wxAutoBufferedPaintDC dc(this);
    const wxSize c = GetClientSize();
    const wxRect client(0, 0, c.x, c.y);
    const wxColour frameColour = rgb(113, 109, 185);
    dc.SetPen(wxPen(frameColour));
    dc.SetBrush(wxBrush(rgb(207, 207, 245)));
    dc.DrawRectangle(client);
    auto box = [&](const UiRect& r) {
        const wxRect inner(r.left, r.top, r.right - r.left, r.bottom - r.top);
        dc.SetPen(wxPen(frameColour));
        dc.SetBrush(wxBrush(rgb(224, 224, 248)));
        dc.DrawRectangle(wxRect(inner).Inflate(4));
        dc.SetPen(*wxWHITE_PEN);
        dc.SetBrush(*wxTRANSPARENT_BRUSH);
        dc.DrawRectangle(wxRect(inner).Inflate(3));
    };
    box(m_layout.strip);
    if (!m_layout.wide)
        return;
    box(m_layout.view);
    const int right = m_layout.view.right;
    const int bottom = c.y;
    auto frameRect = [&](int l, int t, int r, int b, const wxColour& colour) {
        dc.SetPen(wxPen(colour));
        dc.SetBrush(*wxTRANSPARENT_BRUSH);
        dc.DrawRectangle(l, t, r - l, b - t);
    };
    auto fillRect = [&](int l, int t, int r, int b, const wxColour& colour) {
        dc.SetPen(*wxTRANSPARENT_PEN);
        dc.SetBrush(wxBrush(colour));
        dc.DrawRectangle(l, t, r - l, b - t);
    };
    frameRect(3, bottom - 26, right + 4, bottom - 3, frameColour);
    frameRect(4, bottom - 25, right + 3, bottom - 4, rgb(242, 242, 251));
    fillRect(5, bottom - 24, right + 3, bottom - 5, rgb(224, 224, 248));
    fillRect(5, bottom - 22, right + 3, bottom - 11, rgb(215, 215, 247));
    fillRect(5, bottom - 21, right + 3, bottom - 15, rgb(207, 207, 245));
    if (c.x > kInfoLineMinWidth && m_session.ViewState > 0) {
        dc.SetFont(labelFont());
        dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
        dc.SetTextForeground(rgb(0, 0, 175));
        dc.DrawText(wxString::FromUTF8(infoText()), 15 + kButtonWidth, bottom - 21);
    }
}

void lvFrameWin::scrollRequest(app::UiWindow window, app::ScrollBar bar, app::ScrollRequest request) {
    ScrollKind kind = ScrollKind::End;
    switch (request) {
        case app::ScrollRequest::LineUp:
            kind = ScrollKind::LineUp;
            break;
        case app::ScrollRequest::LineDown:
            kind = ScrollKind::LineDown;
            break;
        case app::ScrollRequest::PageUp:
            kind = ScrollKind::PageUp;
            break;
        case app::ScrollRequest::PageDown:
            kind = ScrollKind::PageDown;
            break;
        case app::ScrollRequest::Top:
            kind = ScrollKind::Top;
            break;
        case app::ScrollRequest::Bottom:
            kind = ScrollKind::Bottom;
            break;
    }
    if (window == app::UiWindow::ThumbnailStrip)
        m_strip->scroll(kind);
    else if (window == app::UiWindow::PageView)
        m_view->scroll(bar, kind);
}

void lvFrameWin::onWheel(wxMouseEvent& event) {
    const wxSize c = GetClientSize();
    const wxPoint p = event.GetPosition();
    const ScrollKind kind = event.GetWheelRotation() > 0 ? ScrollKind::LineUp : ScrollKind::LineDown;
    switch (wheelTarget(p.x, p.y, {0, 0, c.x, c.y}, m_viewModel.vBar, m_viewModel.hBar)) {
        case WheelTarget::StripVertical:
            m_strip->scroll(kind);
            break;
        case WheelTarget::ViewVertical:
            m_view->scroll(app::ScrollBar::Vertical, kind);
            break;
        case WheelTarget::ViewHorizontal:
            m_view->scroll(app::ScrollBar::Horizontal, kind);
            break;
        case WheelTarget::None:
            break;
    }
}

void lvFrameWin::onMotion(wxMouseEvent& event) {
    setHot(-1);
    event.Skip();
}

void lvFrameWin::setHot(int index) {
    for (int i = 0; i < kButtonCount; ++i) {
        const bool hot = i == index;
        if (m_hot[static_cast<std::size_t>(i)] != hot) {
            m_hot[static_cast<std::size_t>(i)] = hot;
            button(i)->Refresh(false);
        }
    }
}

int lvFrameWin::hotButton() const {
    for (int i = 0; i < kButtonCount; ++i)
        if (m_hot[static_cast<std::size_t>(i)])
            return i;
    return -1;
}

void lvFrameWin::dispatch(int id, CommandMap map) {
    if (m_commands != nullptr)
        m_commands->router().dispatch(id, map);
}

void lvFrameWin::onMenu(wxCommandEvent& event) {
    dispatch(commandOfWxId(event.GetId()), CommandMap::MainWindow);
}

// A menu text of the table as the toolkit shows it: the key hint after the
// tab loses its parentheses ("Help\t(F1)" shows "F1" in the key column).
wxString menuLabel(const char* text) {
    wxString label = wxString::FromUTF8(text);
    const int tab = label.Find('\t');
    if (tab == wxNOT_FOUND)
        return label;
    wxString hint = label.Mid(static_cast<size_t>(tab) + 1);
    if (hint.StartsWith("(") && hint.EndsWith(")"))
        hint = hint.Mid(1, hint.length() - 2);
    return label.Left(static_cast<size_t>(tab)) + "\t" + hint;
}

std::unique_ptr<wxMenu> lvFrameWin::buildPopup(Popup popup) const {
    auto menu = std::make_unique<wxMenu>();
    const bool demo = m_session.DemoMode;
    for (const MenuLine& line : popupLines(popup)) {
        switch (line.kind) {
            case MenuLine::Kind::Separator:
                menu->AppendSeparator();
                break;
            case MenuLine::Kind::Submenu:
                menu->AppendSubMenu(buildPopup(line.submenu).release(), line.text);
                break;
            case MenuLine::Kind::Item: {
                const Command* c = findCommand(line.id);
                const bool checkable = c->action == Action::Antialias || c->action == Action::Preset ||
                                       c->action == Action::ToggleSharpen ||
                                       c->action == Action::ToggleDateStamp;
                wxMenuItem* item = menu->Append(wxIdOf(c->id), menuLabel(c->menuText), wxString(),
                                                checkable ? wxITEM_CHECK : wxITEM_NORMAL);
                if (checkable)
                    item->Check(isChecked(*c, m_session));
                if (demo && c->demoLocked)
                    item->Enable(false);
                break;
            }
        }
    }
    return menu;
}

void lvFrameWin::clickButton(int index, lvStartButton* owner, const wxPoint& at) {
    if (m_commands == nullptr)
        return;
    if (index == 2 || index == 3) {
        if (index == 2)
            m_commands->leaveDemonstrationForOptions();
        const auto menu = buildPopup(index == 2 ? Popup::Options : Popup::Help);
        m_port.showPopup(*owner, *menu, at);
        return;
    }
    m_commands->clickButton(index);
}

app::WindowPlacement lvFrameWin::placement() const {
    app::WindowPlacement p;
    p.maximized = IsMaximized();
    // Maximised, the window is stored with the size it is restored to; shrunk
    // to a pixel or two, with its last real size.
    const wxSize client = GetClientSize();
    const bool tiny = client.x < kLeastSettledClient || client.y < kLeastSettledClient;
    const wxRect r = (p.maximized || tiny) && !m_normal.IsEmpty() ? m_normal : GetRect();
    p.left = r.x;
    p.top = r.y;
    p.right = r.x + r.width;
    p.bottom = r.y + r.height;
    return p;
}

void lvFrameWin::onClose(wxCloseEvent& event) {
    if (!m_closed) {
        m_closed = true;
        const app::WindowPlacement where = placement();
        m_port.shutdown();
        if (onDestroyed)
            onDestroyed(where);
    }
    event.Skip();  // the default handling destroys the window
}

}  // namespace ui
