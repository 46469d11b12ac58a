// Paths of the device context: figures collected between BeginPath and
// EndPath, then filled, stroked, widened or made the clip region.

#include "metafile/dc.h"

namespace metafile {

void Dc::beginPath() {
    m_path = Path{};
    m_path.state = PathState::Open;
}

void Dc::endPath() {
    if (m_path.state == PathState::Open)
        m_path.state = PathState::Closed;
}

void Dc::closeFigure() {
    if (m_path.state == PathState::Open && !m_path.figures.empty() && m_path.figureOpen) {
        m_path.figures.back().closed = true;
        m_path.figureOpen = false;
    }
}

void Dc::abortPath() {
    m_path = Path{};
}

void Dc::fillPath() {
    if (m_path.state != PathState::Closed)
        return;
    if (!m_state.brush.isNull()) {
        const Paint paint = brushPaint(m_state.brush);
        if (m_path.widenedWith) {
            m_canvas.strokeFigures(m_path.figures, *m_path.widenedWith, paint, effectiveClip(), m_state.rop2);
        } else {
            m_canvas.fillFigures(m_path.figures, m_state.polyFillMode == gdi::WINDING, paint, effectiveClip(),
                                 m_state.rop2);
        }
    }
    m_path = Path{};
}

void Dc::strokePath() {
    if (m_path.state != PathState::Closed)
        return;
    drawOutline(m_path.figures);
    m_path = Path{};
}

void Dc::strokeAndFillPath() {
    if (m_path.state != PathState::Closed)
        return;
    const auto figures = m_path.figures;
    const auto widened = m_path.widenedWith;
    fillPath();
    if (!widened)
        drawOutline(figures);
}

void Dc::flattenPath() {
    // Curves enter the path already flattened.
}

void Dc::widenPath() {
    if (m_path.state != PathState::Closed)
        return;
    StrokeStyle style;
    if (auto wide = wideStroke())
        style = *wide;
    m_path.widenedWith = style;
}

bool Dc::selectClipPath(int mode) {
    if (m_path.state != PathState::Closed)
        return false;
    const Region region = m_path.widenedWith
                              ? m_canvas.strokeRegion(m_path.figures, *m_path.widenedWith)
                              : m_canvas.figuresRegion(m_path.figures, m_state.polyFillMode == gdi::WINDING);
    selectClipRegion(&region, mode);
    m_path = Path{};
    return true;
}

}  // namespace metafile
