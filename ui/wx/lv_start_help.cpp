// Tip of the Day (dialog 193) and the start-up splash.

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/dcbuffer.h>
#include <wx/dcmemory.h>
#include <wx/dialog.h>
#include <wx/settings.h>
#include <wx/sizer.h>
#include <wx/splash.h>

#include <sstream>
#include <vector>

#include "ui/tip_of_the_day.h"
#include "ui/wx/lv_frame_win.h"
#include "ui/wx/wx_dialogs.h"
#include "ui/wx/wx_ui_port.h"

namespace ui {
namespace {

// Draws `text` into `box` with word wrapping at blanks; the explicit line
// breaks stay, leading blanks of a paragraph too.
void drawWrapped(wxDC& dc, const wxString& text, const wxRect& box) {
    const int lineHeight = dc.GetCharHeight();
    int y = box.y;
    for (const wxString& paragraph : wxSplit(text, '\n', '\0')) {
        wxString line;
        wxString word;
        auto flush = [&](const wxString& rest) {
            dc.DrawText(line, box.x, y);
            y += lineHeight;
            line = rest;
        };
        // Words with the blanks before them, so that double blanks stay.
        std::vector<wxString> pieces;
        wxString piece;
        for (const wxUniChar c : paragraph) {
            if (c == ' ' && !piece.empty() && piece.Last() != ' ') {
                pieces.push_back(piece);
                piece.clear();
            }
            piece += c;
        }
        pieces.push_back(piece);
        for (const wxString& p : pieces) {
            if (!line.empty() && dc.GetTextExtent(line + p).x > box.width)
                flush(p.Strip(wxString::leading));
            else
                line += p;
        }
        flush({});
        if (y > box.GetBottom())
            break;
    }
}

class lvStartHelp : public wxDialog {
public:
    lvStartHelp(wxWindow* parent, TipCycle& tips)
        : wxDialog(parent, tips::kDialog, tips::kTitle, wxDefaultPosition, wxSize(420, 330),
                   wxDEFAULT_DIALOG_STYLE, "lvStartHelp"),
          m_tips(tips) {
        SetBackgroundStyle(wxBG_STYLE_PAINT);
        auto* top = new wxBoxSizer(wxVERTICAL);
        top->AddStretchSpacer();
        auto* row = new wxBoxSizer(wxHORIZONTAL);
        m_show = new wxCheckBox(this, tips::kShowAtStartup, "Show tips at startup");
        m_show->SetValue(true);
        row->Add(m_show, 1, wxALIGN_CENTER_VERTICAL);
        auto* next = new wxButton(this, tips::kNextTip, "Next Tip");
        next->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
            m_tips.advance();
            Refresh();
        });
        row->Add(next, 0, wxRIGHT, 6);
        auto* close = new wxButton(this, wxID_OK, "Close");
        close->SetDefault();
        close->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
            m_tips.close(m_show->GetValue());
            EndModal(wxID_OK);
        });
        row->Add(close);
        // Escape and the window's close box leave without "Close"'s steps:
        // the tip stays and nothing is written.
        SetEscapeId(wxID_NONE);
        Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent& event) {
            if (event.GetKeyCode() == WXK_ESCAPE)
                EndModal(wxID_CANCEL);
            else
                event.Skip();
        });
        Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) { EndModal(wxID_CANCEL); });
        top->Add(row, 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, 12);
        SetSizer(top);
        Layout();
        Bind(wxEVT_PAINT, &lvStartHelp::onPaint, this);
        CentreOnParent();
    }

private:
    void onPaint(wxPaintEvent&) {
        wxAutoBufferedPaintDC dc(this);
        const wxSize c = GetClientSize();
        dc.SetBackground(wxBrush(GetBackgroundColour()));
        dc.Clear();
        const wxRect t(15, 15, c.x - 30, c.y - 15 - 50);
        dc.SetPen(wxPen(rgb(113, 109, 185)));
        dc.SetBrush(wxBrush(rgb(224, 224, 248)));
        dc.DrawRectangle(wxRect(t).Inflate(4));
        dc.SetPen(*wxWHITE_PEN);
        dc.SetBrush(*wxTRANSPARENT_BRUSH);
        dc.DrawRectangle(wxRect(t).Inflate(3));
        dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
        dc.SetFont(GetFont());
        dc.SetTextForeground(rgb(255, 0, 175));
        dc.DrawText(tips::kHeading, t.x, t.y);
        dc.SetFont(labelFont());
        dc.SetTextForeground(rgb(0, 0, 175));
        wxRect text = t;
        text.y += 23;
        text.height -= 23;
        drawWrapped(dc, wxString::FromUTF8(std::string(m_tips.currentTip())), text);
    }

    TipCycle& m_tips;
    wxCheckBox* m_show;
};

// The splash picture: the program's name on the window's colours.
wxBitmap splashPicture(const wxSize& size) {
    wxBitmap bitmap(size.x, size.y, 24);
    wxMemoryDC dc(bitmap);
    dc.GradientFillLinear(wxRect(size), rgb(224, 224, 248), rgb(113, 109, 185), wxSOUTH);
    dc.SetPen(wxPen(rgb(113, 109, 185), 2));
    dc.SetBrush(*wxTRANSPARENT_BRUSH);
    dc.DrawRectangle(1, 1, size.x - 2, size.y - 2);
    wxFont title = wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT);
    title.SetPointSize(24);
    title.SetWeight(wxFONTWEIGHT_BOLD);
    dc.SetFont(title);
    dc.SetTextForeground(rgb(0, 0, 175));
    const wxString name = "Quillo Scrivlet";
    const wxSize extent = dc.GetTextExtent(name);
    dc.DrawText(name, (size.x - extent.x) / 2, size.y / 2 - extent.y);
    wxFont small = wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT);
    dc.SetFont(small);
    dc.SetTextForeground(*wxWHITE);
    const wxString line = "Word pages to images and PDF";
    dc.DrawText(line, (size.x - dc.GetTextExtent(line).x) / 2, size.y / 2 + 8);
    dc.SelectObject(wxNullBitmap);
    return bitmap;
}

}  // namespace

void runTipWindow(wxWindow* parent, WxUiPort& port, TipCycle& tips) {
    lvStartHelp dialog(parent, tips);
    port.runModal(dialog);
}

void WxDialogs::showSplash() {
    // 267 x 185 dialog units, shown for two seconds without an owner.
    wxWindow* reference = parent();
    const wxSize size =
        reference != nullptr ? reference->ConvertDialogToPixels(wxSize(267, 185)) : wxSize(400, 300);
    m_splash =
        new wxSplashScreen(splashPicture(size), wxSPLASH_CENTRE_ON_SCREEN | wxSPLASH_TIMEOUT, 2000, nullptr,
                           wxID_ANY, wxDefaultPosition, wxDefaultSize, wxBORDER_NONE | wxFRAME_NO_TASKBAR);
    m_port.invalidate(app::UiWindow::PageView, std::nullopt, true);
}

}  // namespace ui
