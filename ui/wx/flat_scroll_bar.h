#pragma once
// A flat scroll bar drawn by its window inside its client area: blue track,
// 12-pixel width and arrows, a range, a position and a thumb. The window
// asks it what a press hits and turns that into its own scroll requests.

#include <wx/gdicmn.h>

class wxDC;

namespace ui {

class FlatScrollBar {
public:
    static constexpr int kWidth = 12;
    enum class Part { None, LineUp, LineDown, PageUp, PageDown, Thumb };

    explicit FlatScrollBar(bool vertical) : m_vertical(vertical) {}

    bool shown() const { return m_shown; }
    void show(bool shown) { m_shown = shown; }
    int minimum() const { return m_min; }
    int maximum() const { return m_max; }
    int position() const { return m_position; }
    void setRange(int minimum, int maximum) {
        m_min = minimum;
        m_max = maximum < minimum ? minimum : maximum;
    }
    void setPosition(int position) { m_position = position; }
    // How much of the range one view shows (the thumb's share of the track).
    void setPage(int page) { m_page = page > 0 ? page : 1; }

    // The bar's rectangle in a client area of `client`; `otherShown` when
    // the crossing bar takes the corner.
    wxRect rect(const wxSize& client, bool otherShown) const;
    wxRect thumbRect(const wxSize& client, bool otherShown) const;
    Part hit(const wxPoint& p, const wxSize& client, bool otherShown) const;
    // The position for a thumb whose leading edge stands at `pixel` along
    // the bar.
    int positionForThumbAt(int pixel, const wxSize& client, bool otherShown) const;
    // The leading edge of the thumb along the bar (for dragging).
    int thumbStart(const wxSize& client, bool otherShown) const;
    int along(const wxPoint& p) const { return m_vertical ? p.y : p.x; }
    void paint(wxDC& dc, const wxSize& client, bool otherShown) const;

private:
    int track(const wxSize& client, bool otherShown) const;
    int thumbLength(int track) const;

    bool m_vertical;
    bool m_shown = false;
    int m_min = 0, m_max = 20, m_position = 0;
    int m_page = 10;
};

}  // namespace ui
