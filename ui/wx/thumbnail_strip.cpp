#include <wx/dcbuffer.h>

#include <algorithm>

#include "app/session.h"
#include "render/bitmap.h"
#include "ui/main_commands.h"
#include "ui/wx/lv_frame_win.h"

namespace ui {

ThumbnailStrip::ThumbnailStrip(lvFrameWin* frame, app::Session& session, ViewModel& view)
    : wxWindow(frame, 0, wxDefaultPosition, wxDefaultSize, wxBORDER_NONE, "ThumbnailStrip"),
      m_frame(frame),
      m_session(session),
      m_view(view) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    m_bar.setRange(0, 20);
    m_bar.show(true);
    Bind(wxEVT_PAINT, &ThumbnailStrip::onPaint, this);
    Bind(wxEVT_LEFT_DOWN, &ThumbnailStrip::onLeftDown, this);
    Bind(wxEVT_LEFT_UP, &ThumbnailStrip::onLeftUp, this);
    Bind(wxEVT_MOTION, &ThumbnailStrip::onMotion, this);
}

const wxBitmap& ThumbnailStrip::thumbnailOf(int index) {
    if (m_thumbnails.size() <= static_cast<std::size_t>(index))
        m_thumbnails.resize(static_cast<std::size_t>(index) + 1);
    Cached& cached = m_thumbnails[static_cast<std::size_t>(index)];
    const auto& source = m_session.PageList.record(index).thumbnail;
    if (source != cached.source) {
        cached.source = source;
        cached.bitmap = source ? toWxBitmap(*source) : wxBitmap();
    }
    return cached.bitmap;
}

int ThumbnailStrip::scrollMax() const {
    const int count = m_session.PageList.count();
    if (count == 0)
        return 0;
    const auto& last = m_session.PageList.record(count - 1);
    return stripScrollMax(last.y, last.height, GetClientSize().y);
}

void ThumbnailStrip::setRange(int span) {
    m_view.stripSpan = span;
    m_bar.setRange(0, span);
    m_bar.setPosition(stripBarPosition(m_view.stripY, scrollMax(), m_view.stripSpan));
    Refresh(false);
}

void ThumbnailStrip::scroll(ScrollKind kind, int thumb) {
    const int next = stripScrollTo(kind, m_view.stripY, scrollMax(), m_view.stripSpan, thumb);
    if (next == m_view.stripY)
        return;
    m_view.stripY = next;
    // A dragged thumb stays under the pointer: the position turned back
    // from pixels rounds up a second time and would run a step ahead.
    m_bar.setPosition(kind == ScrollKind::Thumb ? thumb
                                                : stripBarPosition(next, scrollMax(), m_view.stripSpan));
    Refresh(false);
}

int ThumbnailStrip::pageAt(wxPoint p) const {
    const int count = m_session.PageList.count();
    for (int i = 0; i < count; ++i) {
        const auto& page = m_session.PageList.record(i);
        const int top = page.y - m_view.stripY;
        if (p.x >= page.x && p.x <= page.x + page.width && p.y >= top && p.y <= top + page.height)
            return i;
    }
    return -1;
}

void ThumbnailStrip::onPaint(wxPaintEvent&) {
    wxAutoBufferedPaintDC dc(this);
    const wxSize client = GetClientSize();
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(rgb(224, 224, 248)));
    dc.DrawRectangle(0, 0, client.x, client.y);
    dc.SetFont(labelFont());
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    dc.SetTextForeground(rgb(0, 0, 175));
    const wxRect area = GetUpdateRegion().GetBox();
    if (m_session.ViewState > 0) {
        // Only the published pages: a record is complete before the count
        // includes it.
        const int count = m_session.PageList.count();
        const int current = m_session.PageList.currentPage;
        const int labelWidth = client.x - FlatScrollBar::kWidth;
        for (int i = 0; i < count; ++i) {
            const auto& page = m_session.PageList.record(i);
            const int top = page.y - m_view.stripY;
            if (!area.Intersects(wxRect(0, top - 2, client.x, page.height + 26)))
                continue;
            const wxBitmap& bitmap = thumbnailOf(i);
            if (bitmap.IsOk())
                dc.DrawBitmap(bitmap, page.x, top);
            if (i == current) {
                dc.SetPen(wxPen(rgb(255, 0, 0)));
                dc.SetBrush(*wxTRANSPARENT_BRUSH);
                const wxRect thumb(page.x, top, page.width, page.height);
                dc.DrawRectangle(wxRect(thumb).Inflate(1));
                dc.DrawRectangle(wxRect(thumb).Inflate(2));
            }
            dc.DrawLabel(wxString::FromUTF8(pageLabel(page.fileName)),
                         wxRect(0, top + page.height, labelWidth, 22), wxALIGN_CENTER);
        }
    }
    m_bar.paint(dc, client, false);
}

void ThumbnailStrip::onLeftDown(wxMouseEvent& event) {
    const wxSize client = GetClientSize();
    switch (m_bar.hit(event.GetPosition(), client, false)) {
        case FlatScrollBar::Part::LineUp:
            scroll(ScrollKind::LineUp);
            return;
        case FlatScrollBar::Part::LineDown:
            scroll(ScrollKind::LineDown);
            return;
        case FlatScrollBar::Part::PageUp:
            scroll(ScrollKind::PageUp);
            return;
        case FlatScrollBar::Part::PageDown:
            scroll(ScrollKind::PageDown);
            return;
        case FlatScrollBar::Part::Thumb:
            m_dragging = true;
            m_dragOffset = m_bar.along(event.GetPosition()) - m_bar.thumbStart(client, false);
            CaptureMouse();
            return;
        case FlatScrollBar::Part::None:
            break;
    }
    const int page = pageAt(event.GetPosition());
    if (page < 0 || m_frame->commands() == nullptr)
        return;
    m_frame->commands()->navigator().selectPage(page);
    SetCursor(m_frame->handCursor());
}

void ThumbnailStrip::onLeftUp(wxMouseEvent&) {
    if (m_dragging && HasCapture())
        ReleaseMouse();
    m_dragging = false;
}

void ThumbnailStrip::onMotion(wxMouseEvent& event) {
    m_frame->setHot(-1);
    if (m_dragging && event.LeftIsDown()) {
        const int thumb =
            m_bar.positionForThumbAt(m_bar.along(event.GetPosition()) - m_dragOffset, GetClientSize(), false);
        scroll(ScrollKind::Thumb, thumb);
        return;
    }
    SetCursor(pageAt(event.GetPosition()) >= 0 ? m_frame->handCursor() : wxCursor(wxCURSOR_ARROW));
}

}  // namespace ui
