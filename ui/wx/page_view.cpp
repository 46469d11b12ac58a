#include <time.h>
#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/menu.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "app/session.h"
#include "render/bitmap.h"
#include "render/magick.h"
#include "render/page_renderer.h"
#include "ui/wx/lv_frame_win.h"
#include "ui/wx/wx_ui_port.h"

namespace ui {
namespace {

// With SCRIVLET_TRACE_FIRST_PAINT set, the first paint that shows a page
// prints the monotonic clock to standard error, so a script can time the
// start from exec to the first page on screen (bench/window_start.py).
void traceFirstPaint() {
    static bool traced = false;
    if (traced)
        return;
    traced = true;
    if (std::getenv("SCRIVLET_TRACE_FIRST_PAINT") == nullptr)
        return;
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    std::fprintf(stderr, "Scrivlet: first page painted at %lld.%09ld\n", static_cast<long long>(now.tv_sec),
                 now.tv_nsec);
    std::fflush(stderr);
}

}  // namespace

PageView::PageView(lvFrameWin* frame, app::Session& session, ViewModel& view)
    : wxWindow(frame, 0, wxDefaultPosition, wxDefaultSize, wxBORDER_NONE, "PageView"),
      m_frame(frame),
      m_session(session),
      m_view(view) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    m_vBar.setRange(0, 20);
    m_hBar.setRange(0, 20);
    Bind(wxEVT_PAINT, &PageView::onPaint, this);
    Bind(wxEVT_LEFT_DOWN, &PageView::onLeftDown, this);
    Bind(wxEVT_LEFT_UP, &PageView::onLeftUp, this);
    Bind(wxEVT_MOTION, &PageView::onMotion, this);
    Bind(wxEVT_RIGHT_DOWN, &PageView::onRightDown, this);
    Bind(wxEVT_MENU, &PageView::onMenu, this);
    Bind(wxEVT_SIZE, &PageView::onSize, this);
}

const wxBitmap* PageView::shownBitmap() {
    const auto image = m_session.CurrentImage.load();
    if (!image || image->columns() == 0)
        return nullptr;
    if (image != m_cachedImage) {
        // Converted once per shown image; paints copy only their part of it.
        m_cachedBitmap = toWxBitmap(render::imageToBitmap(*image));
        m_cachedImage = image;
    }
    return &m_cachedBitmap;
}

wxPoint PageView::imageOrigin() const {
    return {m_fit.x0 - m_view.viewX, m_fit.y0 - m_view.viewY};
}

void PageView::paintCurrentImage(wxDC* dc, const wxRect& area) {
    const wxBitmap* bitmap = shownBitmap();
    const int w = bitmap ? bitmap->GetWidth() : 0;
    const int h = bitmap ? bitmap->GetHeight() : 0;
    const wxSize client = GetClientSize();
    m_fit = fitImage(w, h, client.x, client.y, FlatScrollBar::kWidth, client.x, client.y);
    m_hBar.show(m_fit.hBar);
    m_vBar.show(m_fit.vBar);
    m_view.hBar = m_fit.hBar;
    m_view.vBar = m_fit.vBar;
    m_view.hMax = m_fit.hMax;
    m_view.vMax = m_fit.vMax;
    m_hBar.setRange(0, m_fit.hMax);
    m_vBar.setRange(0, m_fit.vMax);
    m_hBar.setPage(client.x - (m_fit.vBar ? FlatScrollBar::kWidth : 0));
    m_vBar.setPage(client.y - (m_fit.hBar ? FlatScrollBar::kWidth : 0));
    if (!m_fit.hBar)
        m_view.viewX = 0;
    if (!m_fit.vBar)
        m_view.viewY = 0;
    m_hBar.setPosition(m_view.viewX);
    m_vBar.setPosition(m_view.viewY);
    if (dc == nullptr || bitmap == nullptr)
        return;
    // Only the part of the image inside the area being painted is copied.
    const wxPoint origin = imageOrigin();
    const wxRect placed(origin, wxSize(w, h));
    const wxRect part = placed.Intersect(area);
    if (part.IsEmpty())
        return;
    wxMemoryDC source;
    source.SelectObjectAsSource(*bitmap);
    dc->Blit(part.GetPosition(), part.GetSize(), &source, part.GetPosition() - origin);
    source.SelectObject(wxNullBitmap);
}

void PageView::onPaint(wxPaintEvent&) {
    const auto start = std::chrono::steady_clock::now();
    wxPaintDC dc(this);
    const wxRect area = GetUpdateRegion().GetBox();
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(rgb(224, 224, 248)));
    dc.DrawRectangle(area);
    dc.SetTextBackground(rgb(224, 224, 248));
    const bool image = m_session.ViewState == 2;
    if (image) {
        paintCurrentImage(&dc, area);
    } else {
        m_hBar.show(false);
        m_vBar.show(false);
    }
    const wxSize client = GetClientSize();
    m_vBar.paint(dc, client, m_hBar.shown());
    m_hBar.paint(dc, client, m_vBar.shown());
    if (m_vBar.shown() && m_hBar.shown()) {
        // The square where the two bars meet belongs to neither: the bars'
        // blue, not the page under it.
        constexpr int k = FlatScrollBar::kWidth;
        dc.SetPen(*wxTRANSPARENT_PEN);
        dc.SetBrush(wxBrush(rgb(0, 0, 255)));
        dc.DrawRectangle(client.x - k, client.y - k, k, k);
    }
    if (image) {
        ++m_imagePaints;
        m_lastPaintMs =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        traceFirstPaint();
    }
}

void PageView::onSize(wxSizeEvent& event) {
    Refresh(false);
    event.Skip();
}

void PageView::scroll(app::ScrollBar which, ScrollKind kind, int thumb) {
    // The bars follow the shown image before they move.
    paintCurrentImage(nullptr, {});
    const bool vertical = which == app::ScrollBar::Vertical;
    int& position = vertical ? m_view.viewY : m_view.viewX;
    const int max = vertical ? m_view.vMax : m_view.hMax;
    const int next = viewScrollTo(kind, position, max, thumb);
    if (next == position)
        return;
    position = next;
    (vertical ? m_vBar : m_hBar).setPosition(next);
    Refresh(false);
}

void PageView::onLeftDown(wxMouseEvent& event) {
    const wxSize client = GetClientSize();
    for (FlatScrollBar* bar : {&m_vBar, &m_hBar}) {
        const bool vertical = bar == &m_vBar;
        const auto part = bar->hit(event.GetPosition(), client, vertical ? m_hBar.shown() : m_vBar.shown());
        const app::ScrollBar which = vertical ? app::ScrollBar::Vertical : app::ScrollBar::Horizontal;
        switch (part) {
            case FlatScrollBar::Part::None:
                continue;
            case FlatScrollBar::Part::LineUp:
                scroll(which, ScrollKind::LineUp);
                return;
            case FlatScrollBar::Part::LineDown:
                scroll(which, ScrollKind::LineDown);
                return;
            case FlatScrollBar::Part::PageUp:
                scroll(which, ScrollKind::PageUp);
                return;
            case FlatScrollBar::Part::PageDown:
                scroll(which, ScrollKind::PageDown);
                return;
            case FlatScrollBar::Part::Thumb:
                m_dragging = bar;
                m_dragOffset = bar->along(event.GetPosition()) -
                               bar->thumbStart(client, vertical ? m_hBar.shown() : m_vBar.shown());
                CaptureMouse();
                return;
        }
    }
}

void PageView::onLeftUp(wxMouseEvent&) {
    if (m_dragging != nullptr && HasCapture())
        ReleaseMouse();
    m_dragging = nullptr;
}

void PageView::onMotion(wxMouseEvent& event) {
    m_frame->setHot(-1);
    if (m_dragging != nullptr && event.LeftIsDown()) {
        const bool vertical = m_dragging == &m_vBar;
        const int thumb =
            m_dragging->positionForThumbAt(m_dragging->along(event.GetPosition()) - m_dragOffset,
                                           GetClientSize(), vertical ? m_hBar.shown() : m_vBar.shown());
        scroll(vertical ? app::ScrollBar::Vertical : app::ScrollBar::Horizontal, ScrollKind::Thumb, thumb);
    }
    event.Skip();
}

void PageView::onRightDown(wxMouseEvent& event) {
    // Popup 1 of menu 135 at the press point, the page view its owner.
    const auto menu = m_frame->buildPopup(Popup::RClick);
    m_frame->port().showPopup(*this, *menu, event.GetPosition());
}

void PageView::onMenu(wxCommandEvent& event) {
    m_frame->dispatch(commandOfWxId(event.GetId()), CommandMap::PageView);
}

}  // namespace ui
