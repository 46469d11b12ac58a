#include "metafile/dc.h"

#include <algorithm>
#include <cmath>

namespace metafile {
namespace {

// GDI keeps device coordinates within 27 bits; so do we, which also keeps
// every later sum within range.
constexpr double kDeviceLimit = 134217727.0;

double clampDevice(double v) {
    if (!std::isfinite(v))
        return 0;
    return std::clamp(v, -kDeviceLimit, kDeviceLimit);
}

}  // namespace

Dc::Dc(DibSection& dib)
    : m_budget(WorkBudget::forOutput(std::int64_t{dib.width()} * dib.height())), m_canvas(dib, &m_budget) {}

void Dc::resetBudget(const WorkBudget::Limits& limits) {
    m_budget = WorkBudget(limits);
}

void Dc::setBkMode(int mode) {
    if (mode == gdi::TRANSPARENT || mode == gdi::OPAQUE)
        m_state.bkMode = mode;
}

void Dc::setPolyFillMode(int mode) {
    if (mode == gdi::ALTERNATE || mode == gdi::WINDING)
        m_state.polyFillMode = mode;
}

void Dc::setRop2(int rop2) {
    if (rop2 >= gdi::R2_BLACK && rop2 <= gdi::R2_WHITE)
        m_state.rop2 = rop2;
}

void Dc::setMiterLimit(double limit) {
    if (std::isfinite(limit) && limit >= 1)
        m_state.miterLimit = limit;
}

void Dc::setArcDirection(int direction) {
    if (direction == gdi::AD_CLOCKWISE || direction == gdi::AD_COUNTERCLOCKWISE)
        m_state.arcDirection = direction;
}

int Dc::saveDc() {
    if (saveLevel() >= kMaxSaveDepth)
        return 0;
    m_saved.push_back(m_state);
    return saveLevel();
}

bool Dc::restoreDc(int level) {
    const int current = saveLevel();
    if (level < 0)
        level = current + level + 1;
    if (level <= 0 || level > current)
        return false;
    m_state = m_saved[static_cast<std::size_t>(level - 1)];
    m_saved.resize(static_cast<std::size_t>(level - 1));
    updateClip();
    return true;
}

PointD Dc::toDevice(PointD logical) const {
    const PointD d = m_state.transform.apply(logical);
    return {clampDevice(d.x), clampDevice(d.y)};
}

PointL Dc::toDevicePixel(PointD logical) const {
    const PointD d = toDevice(logical);
    return {static_cast<std::int32_t>(std::floor(d.x + 0.5)),
            static_cast<std::int32_t>(std::floor(d.y + 0.5))};
}

Region Dc::logicalRectRegion(const RectL& box) const {
    const Matrix& m = m_state.transform;
    if (m.eM12 == 0 && m.eM21 == 0) {
        PointL a = toDevicePixel({static_cast<double>(box.left), static_cast<double>(box.top)});
        PointL b = toDevicePixel({static_cast<double>(box.right), static_cast<double>(box.bottom)});
        if (a.x > b.x)
            std::swap(a.x, b.x);
        if (a.y > b.y)
            std::swap(a.y, b.y);
        return Region::fromRect(a.x, a.y, b.x, b.y);
    }
    // A rotated rectangle becomes the region of its polygon.
    const PointD corners[4] = {{double(box.left), double(box.top)},
                               {double(box.right), double(box.top)},
                               {double(box.right), double(box.bottom)},
                               {double(box.left), double(box.bottom)}};
    const Figure f = deviceFigure(corners, true);
    return m_canvas.figuresRegion(std::span<const Figure>(&f, 1), false);
}

namespace {

std::shared_ptr<const Region> shared(Region region) {
    return std::make_shared<const Region>(std::move(region));
}

}  // namespace

void Dc::updateClip() {
    if (m_state.clip && m_state.metaRegion) {
        m_effectiveClip = shared(m_state.clip->intersected(*m_state.metaRegion));
    } else if (m_state.clip) {
        m_effectiveClip = m_state.clip;
    } else {
        m_effectiveClip = m_state.metaRegion;
    }
}

void Dc::intersectClipRect(const RectL& box) {
    const Region r = logicalRectRegion(box);
    m_state.clip = shared(m_state.clip ? m_state.clip->intersected(r) : r);
    updateClip();
}

void Dc::excludeClipRect(const RectL& box) {
    const Region r = logicalRectRegion(box);
    const Region all =
        m_state.clip ? *m_state.clip : Region::fromRect(0, 0, m_canvas.width(), m_canvas.height());
    m_state.clip = shared(all.combined(r, gdi::RGN_DIFF));
    updateClip();
}

void Dc::selectClipRegion(const Region* region, int mode) {
    if (region == nullptr) {
        // Only RGN_COPY is meaningful without a region: it removes the clip.
        if (mode == gdi::RGN_COPY)
            m_state.clip.reset();
    } else if (mode == gdi::RGN_COPY) {
        m_state.clip = shared(*region);
    } else if (mode >= gdi::RGN_AND && mode <= gdi::RGN_DIFF) {
        // Without a clip the whole bitmap is the current clip.
        const Region base =
            m_state.clip ? *m_state.clip : Region::fromRect(0, 0, m_canvas.width(), m_canvas.height());
        m_state.clip = shared(base.combined(*region, mode));
    }
    updateClip();
}

void Dc::offsetClip(int dx, int dy) {
    if (m_state.clip) {
        m_state.clip = shared(m_state.clip->offset(dx, dy));
        updateClip();
    }
}

void Dc::setMetaRegion() {
    // The meta region becomes the intersection of itself and the clip; the
    // clip is then reset.
    if (m_state.clip) {
        m_state.metaRegion =
            m_state.metaRegion ? shared(m_state.metaRegion->intersected(*m_state.clip)) : m_state.clip;
        m_state.clip.reset();
    }
    updateClip();
}

Paint Dc::brushPaint(const Brush& brush) const {
    Paint p;
    p.originX = m_state.brushOrg.x;
    p.originY = m_state.brushOrg.y;
    switch (brush.style) {
        case gdi::BS_HATCHED:
            p.kind = Paint::Kind::Hatch;
            p.pixel = pixelOf(brush.color);
            p.hatch = brush.hatch;
            p.opaqueBackground = m_state.bkMode == gdi::OPAQUE;
            p.background = pixelOf(m_state.bkColor);
            break;
        case gdi::BS_PATTERN:
        case gdi::BS_DIBPATTERN:
        case gdi::BS_DIBPATTERNPT:
            if (brush.pattern) {
                p.kind = Paint::Kind::Pattern;
                p.pattern = brush.pattern;
                p.monoForeground = pixelOf(m_state.textColor);
                p.background = pixelOf(m_state.bkColor);
                break;
            }
            [[fallthrough]];
        default:
            p.kind = Paint::Kind::Solid;
            p.pixel = pixelOf(brush.color);
            break;
    }
    return p;
}

void Dc::fillRegion(const Region& region, const Brush& brush) {
    if (brush.isNull())
        return;
    m_canvas.fillRegion(region, brushPaint(brush), effectiveClip(), m_state.rop2);
}

void Dc::paintRegion(const Region& region) {
    fillRegion(region, m_state.brush);
}

void Dc::invertRegion(const Region& region) {
    m_canvas.fillRegion(region, Paint::solid(0), effectiveClip(), gdi::R2_NOT);
}

void Dc::frameRegion(const Region& region, const Brush& brush, int width, int height) {
    // The frame is the region less the region shrunk by the frame's size.
    width = std::max(width, 1);
    height = std::max(height, 1);
    Region inner = region;
    for (int dx : {-width, width}) inner = inner.intersected(region.offset(dx, 0));
    for (int dy : {-height, height}) inner = inner.intersected(region.offset(0, dy));
    fillRegion(region.combined(inner, gdi::RGN_DIFF), brush);
}

void Dc::fillRect(const RectL& box, const Brush& brush) {
    if (brush.isNull())
        return;
    const Region r = logicalRectRegion(box);
    // FillRect ignores the raster operation: it copies the brush.
    m_canvas.fillRegion(r, brushPaint(brush), effectiveClip(), gdi::R2_COPYPEN);
}

void Dc::setPixel(PointD p, ColorRef color) {
    const PointL d = toDevicePixel(p);
    m_canvas.setPixel(d.x, d.y, pixelOf(color), effectiveClip(), m_state.rop2);
}

}  // namespace metafile
