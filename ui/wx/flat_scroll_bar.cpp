#include "ui/wx/flat_scroll_bar.h"

#include <wx/brush.h>
#include <wx/dc.h>
#include <wx/pen.h>

#include <algorithm>

namespace ui {

wxRect FlatScrollBar::rect(const wxSize& client, bool otherShown) const {
    const int corner = otherShown ? kWidth : 0;
    if (m_vertical)
        return {client.x - kWidth, 0, kWidth, std::max(client.y - corner, 0)};
    return {0, client.y - kWidth, std::max(client.x - corner, 0), kWidth};
}

int FlatScrollBar::track(const wxSize& client, bool otherShown) const {
    const wxRect r = rect(client, otherShown);
    return std::max((m_vertical ? r.height : r.width) - 2 * kWidth, 0);
}

int FlatScrollBar::thumbLength(int track) const {
    const int span = m_max - m_min;
    if (track <= 0)
        return 0;
    const long long length = static_cast<long long>(track) * m_page / (m_page + std::max(span, 0));
    return static_cast<int>(std::clamp<long long>(length, std::min(16, track), track));
}

int FlatScrollBar::thumbStart(const wxSize& client, bool otherShown) const {
    const int t = track(client, otherShown);
    const int length = thumbLength(t);
    const int span = m_max - m_min;
    const int clamped = std::clamp(m_position, m_min, m_max);
    const int offset =
        span > 0 ? static_cast<int>(static_cast<long long>(t - length) * (clamped - m_min) / span) : 0;
    return kWidth + offset;
}

wxRect FlatScrollBar::thumbRect(const wxSize& client, bool otherShown) const {
    const wxRect r = rect(client, otherShown);
    const int start = thumbStart(client, otherShown);
    const int length = thumbLength(track(client, otherShown));
    if (m_vertical)
        return {r.x, r.y + start, kWidth, length};
    return {r.x + start, r.y, length, kWidth};
}

FlatScrollBar::Part FlatScrollBar::hit(const wxPoint& p, const wxSize& client, bool otherShown) const {
    const wxRect r = rect(client, otherShown);
    if (!m_shown || !r.Contains(p))
        return Part::None;
    const int at = m_vertical ? p.y - r.y : p.x - r.x;
    const int length = m_vertical ? r.height : r.width;
    if (at < kWidth)
        return Part::LineUp;
    if (at >= length - kWidth)
        return Part::LineDown;
    const wxRect thumb = thumbRect(client, otherShown);
    if (thumb.Contains(p))
        return Part::Thumb;
    return at < thumbStart(client, otherShown) ? Part::PageUp : Part::PageDown;
}

int FlatScrollBar::positionForThumbAt(int pixel, const wxSize& client, bool otherShown) const {
    const int t = track(client, otherShown);
    const int room = t - thumbLength(t);
    if (room <= 0)
        return m_min;
    const int offset = std::clamp(pixel - kWidth, 0, room);
    return m_min + static_cast<int>((static_cast<long long>(offset) * (m_max - m_min) + room / 2) / room);
}

void FlatScrollBar::paint(wxDC& dc, const wxSize& client, bool otherShown) const {
    if (!m_shown)
        return;
    const wxRect r = rect(client, otherShown);
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(wxColour(0, 0, 255)));
    dc.DrawRectangle(r);
    // Arrows: white triangles in the 12-pixel end squares.
    dc.SetBrush(*wxWHITE_BRUSH);
    const int c = kWidth / 2;
    if (m_vertical) {
        const wxPoint up[] = {{r.x + c, r.y + 3}, {r.x + 2, r.y + 8}, {r.x + kWidth - 2, r.y + 8}};
        const int b = r.GetBottom() + 1 - kWidth;
        const wxPoint down[] = {{r.x + c, b + 9}, {r.x + 2, b + 4}, {r.x + kWidth - 2, b + 4}};
        dc.DrawPolygon(3, up);
        dc.DrawPolygon(3, down);
    } else {
        const wxPoint left[] = {{r.x + 3, r.y + c}, {r.x + 8, r.y + 2}, {r.x + 8, r.y + kWidth - 2}};
        const int e = r.GetRight() + 1 - kWidth;
        const wxPoint right[] = {{e + 9, r.y + c}, {e + 4, r.y + 2}, {e + 4, r.y + kWidth - 2}};
        dc.DrawPolygon(3, left);
        dc.DrawPolygon(3, right);
    }
    dc.SetBrush(wxBrush(wxColour(207, 207, 245)));
    dc.SetPen(wxPen(wxColour(113, 109, 185)));
    dc.DrawRectangle(thumbRect(client, otherShown).Deflate(1));
}

}  // namespace ui
