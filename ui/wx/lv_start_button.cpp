#include <wx/dcbuffer.h>
#include <wx/dcmemory.h>
#include <wx/menu.h>

#include "ui/main_commands.h"
#include "ui/wx/lv_frame_win.h"

namespace ui {
namespace {

// The glyph of each button, drawn in `ink` on a 43 x 32 face.
void drawGlyph(wxDC& dc, int index, const wxColour& ink) {
    dc.SetPen(wxPen(ink, 2));
    dc.SetBrush(*wxTRANSPARENT_BRUSH);
    wxFont font(wxFontInfo(7).Bold().Family(wxFONTFAMILY_SWISS));
    dc.SetFont(font);
    dc.SetTextForeground(ink);
    switch (index) {
        case 0: {  // an envelope
            dc.DrawRectangle(10, 9, 23, 15);
            const wxPoint flap[] = {{10, 9}, {21, 18}, {32, 9}};
            dc.DrawLines(3, flap);
            break;
        }
        case 1: {  // a disk
            dc.DrawRoundedRectangle(12, 6, 19, 20, 2);
            dc.SetBrush(wxBrush(ink));
            dc.DrawRectangle(16, 7, 11, 6);
            dc.SetBrush(*wxTRANSPARENT_BRUSH);
            dc.DrawRectangle(15, 17, 13, 8);
            break;
        }
        case 2: {  // option lines with sliders
            for (int i = 0; i < 3; ++i) {
                const int y = 10 + 6 * i;
                dc.DrawLine(10, y, 33, y);
                dc.SetBrush(wxBrush(ink));
                dc.DrawRectangle(13 + 7 * i, y - 2, 4, 5);
                dc.SetBrush(*wxTRANSPARENT_BRUSH);
            }
            break;
        }
        case 3: {  // a question mark in a ring
            dc.DrawCircle(21, 16, 10);
            dc.SetFont(wxFont(wxFontInfo(11).Bold().Family(wxFONTFAMILY_SWISS)));
            const wxSize t = dc.GetTextExtent("?");
            dc.DrawText("?", 22 - t.x / 2, 16 - t.y / 2);
            break;
        }
        case 4: {  // an open door and an arrow out of it
            dc.DrawRectangle(9, 6, 13, 20);
            dc.DrawLine(16, 16, 33, 16);
            const wxPoint head[] = {{28, 11}, {33, 16}, {28, 21}};
            dc.DrawLines(3, head);
            break;
        }
        case 5:
        case 6: {  // a page with a word
            dc.SetPen(wxPen(ink, 1));
            const wxPoint page[] = {{12, 4}, {26, 4}, {31, 9}, {31, 28}, {12, 28}, {12, 4}};
            dc.DrawLines(6, page);
            const char* word = index == 5 ? "PDF" : "HTM";
            dc.SetBrush(wxBrush(ink));
            dc.DrawRectangle(7, 13, 27, 10);
            dc.SetTextForeground(*wxWHITE);
            const wxSize t = dc.GetTextExtent(word);
            dc.DrawText(word, 21 - t.x / 2, 18 - t.y / 2);
            break;
        }
        default:
            break;
    }
}

}  // namespace

wxBitmap startButtonPicture(int index, bool hot) {
    wxBitmap bitmap(kButtonWidth, kButtonHeight, 24);
    wxMemoryDC dc(bitmap);
    // The face: the main window's colour, raised while hot.
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(rgb(207, 207, 245)));
    dc.DrawRectangle(0, 0, kButtonWidth, kButtonHeight);
    dc.SetPen(wxPen(hot ? rgb(255, 140, 0) : rgb(113, 109, 185)));
    dc.SetBrush(wxBrush(hot ? rgb(255, 244, 214) : rgb(224, 224, 248)));
    dc.DrawRoundedRectangle(1, 1, kButtonWidth - 2, kButtonHeight - 2, 4);
    drawGlyph(dc, index, hot ? rgb(200, 60, 0) : rgb(0, 0, 175));
    dc.SelectObject(wxNullBitmap);
    return bitmap;
}

lvStartButton::lvStartButton(lvFrameWin* frame, int index)
    : wxWindow(frame, 0, wxDefaultPosition, wxSize(kButtonWidth, kButtonHeight),
               wxBORDER_NONE | wxWANTS_CHARS, "lvStartButton"),
      m_frame(frame),
      m_index(index) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    SetToolTip(buttonTooltip(index));
    SetCursor(frame->handCursor());
    Bind(wxEVT_PAINT, &lvStartButton::onPaint, this);
    Bind(wxEVT_MOTION, &lvStartButton::onMotion, this);
    // Also when the button appears under a pointer at rest.
    Bind(wxEVT_ENTER_WINDOW, &lvStartButton::onMotion, this);
    Bind(wxEVT_LEAVE_WINDOW, &lvStartButton::onLeave, this);
    Bind(wxEVT_LEFT_DOWN, &lvStartButton::onLeftDown, this);
    Bind(wxEVT_LEFT_UP, &lvStartButton::onLeftUp, this);
    Bind(wxEVT_MENU, &lvStartButton::onMenu, this);
}

void lvStartButton::onPaint(wxPaintEvent&) {
    wxAutoBufferedPaintDC dc(this);
    dc.DrawBitmap(startButtonPicture(m_index, m_frame->hotButton() == m_index), 0, 0);
}

void lvStartButton::onMotion(wxMouseEvent& event) {
    SetCursor(m_frame->handCursor());
    m_frame->setHot(m_index);
    event.Skip();
}

void lvStartButton::onLeave(wxMouseEvent& event) {
    // Leaving the button for anything but another button: drawn normal.
    if (m_frame->hotButton() == m_index)
        m_frame->setHot(-1);
    event.Skip();
}

void lvStartButton::onLeftDown(wxMouseEvent& event) {
    SetCursor(m_frame->handCursor());
    m_frame->clickButton(m_index, this, event.GetPosition());
}

void lvStartButton::onLeftUp(wxMouseEvent& event) {
    SetCursor(m_frame->handCursor());
    event.Skip();
}

void lvStartButton::onMenu(wxCommandEvent& event) {
    m_frame->dispatch(commandOfWxId(event.GetId()), CommandMap::StartButton);
}

}  // namespace ui
