#include "tools/common/tool_window.h"

#include <glib.h>
#include <wx/app.h>
#include <wx/dcclient.h>
#include <wx/display.h>
#include <wx/font.h>
#include <wx/msgdlg.h>
#include <wx/weakref.h>

namespace tools {

std::string commandText(const wxCmdLineArgsArray& args, int count) {
    std::string text;
    for (int i = 1; i < count; ++i) {
        if (i > 1)
            text.push_back(' ');
        text += args[i].ToStdString();
    }
    return text;
}

void setWindowClassName(const char* className) {
    // GTK takes the X11 class (WM_CLASS) from the program name when it starts.
    g_set_prgname(className);
    wxTheApp->SetClassName(className);
}

ToolWindow::ToolWindow(const wxString& title, const wxString& className, ToolMode mode, int debugLines)
    : wxFrame(nullptr, wxID_ANY, title, wxPoint(100, 100), wxSize(800, 600), wxDEFAULT_FRAME_STYLE,
              className),
      m_mode(mode) {
    SetBackgroundColour(*wxWHITE);
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Bind(wxEVT_PAINT, &ToolWindow::onPaint, this);

    // The average character width of the font decides the window's size.
    wxClientDC dc(this);
    dc.SetFont(labelFont());
    const int w = dc.GetCharWidth();
    const wxRect screen = wxDisplay(0u).GetGeometry();
    const WindowPlacement place = placeWindow(mode, w, kLineHeight, screen.width, screen.height, debugLines);
    SetSize(place.left, place.top, place.width, place.height);
}

void ToolWindow::setItems(std::vector<PaintItem> items) {
    m_items = std::move(items);
    Refresh(true);
}

wxFont ToolWindow::labelFont() const {
    return wxFont(wxFontInfo(wxSize(0, kLineHeight)).FaceName("Arial").Bold());
}

void ToolWindow::onPaint(wxPaintEvent&) {
    wxPaintDC dc(this);
    dc.SetBackground(*wxWHITE_BRUSH);
    dc.Clear();
    dc.SetFont(labelFont());
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    for (const auto& item : m_items) {
        if (item.kind == PaintItem::Kind::Text) {
            dc.SetTextForeground(wxColour(item.colour.red, item.colour.green, item.colour.blue));
            dc.DrawText(wxString::FromUTF8(item.text), item.x, item.y);
        } else {
            dc.SetPen(*wxBLACK_PEN);
            dc.DrawLine(item.x, item.y, item.x2, item.y);
        }
    }
    // The quiet mode ends after its first paint, once the work is done.
    m_painted = true;
    closeWhenQuiet();
}

void ToolWindow::workFinished() {
    m_workDone = true;
    closeWhenQuiet();
}

void ToolWindow::closeWhenQuiet() {
    if (m_mode != ToolMode::Quiet || m_quitPosted || !m_workDone || !m_painted)
        return;
    m_quitPosted = true;
    CallAfter([this] { Close(true); });
}

void showOwnerlessError(const std::string& text) {
    wxMessageDialog box(nullptr, wxString::FromUTF8(text), wxEmptyString,
                        wxOK | wxICON_ERROR | wxSTAY_ON_TOP | wxDIALOG_NO_PARENT);
    box.ShowModal();
}

void runToolWindow(wxApp& app, const ToolIdentity& tool, ToolMode mode,
                   const std::function<std::vector<PaintItem>(int lineHeight)>& work) {
    auto* window = new ToolWindow(tool.title, tool.className, mode, tool.debugLines);
    const int h = ToolWindow::kLineHeight;
    window->setItems(bannerItems(tool.productLine, tool.quietLine, mode == ToolMode::Quiet, h));
    window->Show();
    window->Update();

    if (mode == ToolMode::Banner)
        return;
    // The user may close the window while the work shows a message.
    wxWeakRef<ToolWindow> alive(window);
    auto listing = work(h);
    if (!alive)
        return;
    if (mode == ToolMode::Debug)
        window->setItems(std::move(listing));
    window->Refresh(true);
    if (mode == ToolMode::Quiet) {
        // Ends now that the work is done, even if no paint came first.
        window->workFinished();
        app.CallAfter([alive] {
            if (alive)
                alive->Close(true);
        });
    }
}

}  // namespace tools
