// Lines, curves and closed shapes of the device context: their geometry in
// device pixels, and drawing them with the pen and the brush (or adding them
// to the open path).

#include <algorithm>
#include <cmath>
#include <numbers>

#include "metafile/dc.h"

namespace metafile {
namespace {

constexpr double kFlatness = 0.25;  // device pixels
// Halving a segment at most this often gives at most 2^10 points a segment,
// however far away its control points lie.
constexpr int kMaxFlattenDepth = 10;
// Points on one arc at most.
constexpr int kMaxArcPoints = 1 << 14;
constexpr double kKappa = 0.5522847498307936;

PointD rounded(PointD p) {
    return {std::floor(p.x + 0.5), std::floor(p.y + 0.5)};
}

void flattenRecursive(PointD p0, PointD p1, PointD p2, PointD p3, double tol, int depth,
                      std::vector<PointD>& out) {
    // Distance of the control points from the chord decides whether to split.
    const double dx = p3.x - p0.x, dy = p3.y - p0.y;
    const double d1 = std::fabs((p1.x - p3.x) * dy - (p1.y - p3.y) * dx);
    const double d2 = std::fabs((p2.x - p3.x) * dy - (p2.y - p3.y) * dx);
    const double chord2 = dx * dx + dy * dy;
    // A curve that ends where it starts has no chord to measure against: its
    // control points' distance from the start decides.
    const bool flat = chord2 < 1e-12
                          ? std::hypot(p1.x - p0.x, p1.y - p0.y) + std::hypot(p2.x - p0.x, p2.y - p0.y) < tol
                          : (d1 + d2) * (d1 + d2) <= tol * tol * 16 * chord2;
    if (depth >= kMaxFlattenDepth || flat) {
        out.push_back(p3);
        return;
    }
    const PointD p01{(p0.x + p1.x) / 2, (p0.y + p1.y) / 2}, p12{(p1.x + p2.x) / 2, (p1.y + p2.y) / 2},
        p23{(p2.x + p3.x) / 2, (p2.y + p3.y) / 2};
    const PointD p012{(p01.x + p12.x) / 2, (p01.y + p12.y) / 2},
        p123{(p12.x + p23.x) / 2, (p12.y + p23.y) / 2};
    const PointD mid{(p012.x + p123.x) / 2, (p012.y + p123.y) / 2};
    flattenRecursive(p0, p01, p012, mid, tol, depth + 1, out);
    flattenRecursive(mid, p123, p23, p3, tol, depth + 1, out);
}

// Drops consecutive duplicates (after rounding many points coincide).
void dedupe(std::vector<PointD>& pts) {
    pts.erase(std::unique(pts.begin(), pts.end()), pts.end());
}

}  // namespace

void flattenBezier(PointD p0, PointD p1, PointD p2, PointD p3, double tolerance, std::vector<PointD>& out) {
    flattenRecursive(p0, p1, p2, p3, tolerance, 0, out);
}

Figure Dc::deviceFigure(std::span<const PointD> logical, bool closed) const {
    Figure f;
    f.closed = closed;
    f.points.reserve(logical.size());
    for (auto p : logical) {
        f.points.push_back(rounded(toDevice(p)));
    }
    return f;
}

namespace {

// A chain of cubic Beziers in device coordinates (start, then three points a
// segment) as rounded points. The points are charged to the budget; the
// chain stops where it is spent.
std::vector<PointD> flattenChain(PointD p0, std::span<const PointD> controls, WorkBudget& budget) {
    std::vector<PointD> out;
    out.push_back(rounded(p0));
    std::vector<PointD> flat;
    for (std::size_t i = 0; i + 2 < controls.size(); i += 3) {
        const PointD p3 = controls[i + 2];
        flat.clear();
        flattenBezier(p0, controls[i], controls[i + 1], p3, kFlatness, flat);
        if (!budget.charge(WorkBudget::Kind::CurvePoints, static_cast<std::int64_t>(flat.size())))
            break;
        for (auto p : flat) out.push_back(rounded(p));
        p0 = p3;
    }
    dedupe(out);
    return out;
}

}  // namespace

std::vector<PointD> Dc::bezierPoints(PointD start, std::span<const PointD> controls) const {
    std::vector<PointD> device;
    device.reserve(controls.size());
    for (auto p : controls) device.push_back(toDevice(p));
    return flattenChain(toDevice(start), device, m_budget);
}

namespace {

// The map from a shape's logical bounding box to device pixels. For an
// axis-aligned transform the box's corners are rounded to pixels first and,
// in the compatible graphics mode, the right and bottom edges move in by one
// pixel (GDI leaves them out); otherwise the transform itself.
Matrix boxTransform(const Dc& dc, const RectL& box) {
    const Matrix& m = dc.transform();
    if (m.eM12 != 0 || m.eM21 != 0)
        return m;
    const PointL a = dc.toDevicePixel({double(box.left), double(box.top)});
    PointL b = dc.toDevicePixel({double(box.right), double(box.bottom)});
    if (dc.state().graphicsMode == gdi::GM_COMPATIBLE) {
        if (b.x > a.x)
            --b.x;
        else if (b.x < a.x)
            ++b.x;
        if (b.y > a.y)
            --b.y;
        else if (b.y < a.y)
            ++b.y;
    }
    const double w = double(box.right) - box.left, h = double(box.bottom) - box.top;
    Matrix r;
    r.eM11 = w != 0 ? (double(b.x) - a.x) / w : 0;
    r.eM22 = h != 0 ? (double(b.y) - a.y) / h : 0;
    r.eM12 = r.eM21 = 0;
    r.eDx = a.x - r.eM11 * box.left;
    r.eDy = a.y - r.eM22 * box.top;
    return r;
}

// How far from the origin, in device pixels, a thin line's corners may lie:
// the line walker's products of two coordinates stay within 64 bits, and no
// bitmap comes near it.
constexpr double kThinReach = 1 << 30;

bool withinThinReach(PointD p) {
    return std::abs(p.x) <= kThinReach && std::abs(p.y) <= kThinReach;
}

// Cuts the segment a-b to the square of side 2 kThinReach about the origin,
// keeping its direction; false when nothing of it lies inside (or a corner
// is not a number).
bool cutToThinReach(PointD& a, PointD& b) {
    if (!std::isfinite(a.x) || !std::isfinite(a.y) || !std::isfinite(b.x) || !std::isfinite(b.y))
        return false;
    const double start[2] = {a.x, a.y}, delta[2] = {b.x - a.x, b.y - a.y};
    double t0 = 0, t1 = 1;
    for (int axis = 0; axis < 2; ++axis) {
        for (const double side : {-1.0, 1.0}) {
            // side * (start + t delta) <= kThinReach
            const double room = kThinReach - side * start[axis], rate = side * delta[axis];
            if (rate == 0) {
                if (room < 0)
                    return false;
            } else if (rate > 0) {
                t1 = std::min(t1, room / rate);
            } else {
                t0 = std::max(t0, room / rate);
            }
        }
    }
    if (t0 > t1)
        return false;
    b = {start[0] + t1 * delta[0], start[1] + t1 * delta[1]};
    a = {start[0] + t0 * delta[0], start[1] + t0 * delta[1]};
    return true;
}

bool degenerate(const Matrix& m, const RectL& box) {
    const PointD a = m.apply({double(box.left), double(box.top)}),
                 b = m.apply({double(box.right), double(box.bottom)});
    return std::fabs(b.x - a.x) < 0.5 && std::fabs(b.y - a.y) < 0.5 ? true
           : (m.eM12 == 0 && m.eM21 == 0) ? (std::fabs(b.x - a.x) < 0.5 || std::fabs(b.y - a.y) < 0.5)
                                          : false;
}

// The four quarter-ellipse Beziers of a box, starting at the right-hand
// middle and running counterclockwise (in y-down coordinates: up first).
std::vector<PointD> ellipseControls(double l, double t, double r, double b, PointD& start) {
    const double cx = (l + r) / 2, cy = (t + b) / 2, rx = (r - l) / 2, ry = (b - t) / 2;
    const double kx = rx * kKappa, ky = ry * kKappa;
    start = {r, cy};
    return {{r, cy - ky}, {cx + kx, t}, {cx, t}, {cx - kx, t}, {l, cy - ky}, {l, cy},
            {l, cy + ky}, {cx - kx, b}, {cx, b}, {cx + kx, b}, {r, cy + ky}, {r, cy}};
}

std::vector<PointD> mapAndFlatten(const Matrix& m, PointD start, const std::vector<PointD>& controls,
                                  WorkBudget& budget) {
    std::vector<PointD> device;
    device.reserve(controls.size());
    for (auto p : controls) device.push_back(m.apply(p));
    return flattenChain(m.apply(start), device, budget);
}

}  // namespace

Dc::Shape Dc::rectangleShape(const RectL& box) const {
    const Matrix m = boxTransform(*this, box);
    Shape s;
    s.filled = true;
    if (degenerate(m, box))
        return s;
    const PointD corners[4] = {{double(box.left), double(box.top)},
                               {double(box.right), double(box.top)},
                               {double(box.right), double(box.bottom)},
                               {double(box.left), double(box.bottom)}};
    Figure f;
    f.closed = true;
    for (auto c : corners) f.points.push_back(rounded(m.apply(c)));
    s.figures.push_back(std::move(f));
    return s;
}

Dc::Shape Dc::ellipseShape(const RectL& box) const {
    const Matrix m = boxTransform(*this, box);
    Shape s;
    s.filled = true;
    if (degenerate(m, box))
        return s;
    PointD start;
    const auto controls = ellipseControls(box.left, box.top, box.right, box.bottom, start);
    Figure f;
    f.closed = true;
    f.points = mapAndFlatten(m, start, controls, m_budget);
    s.figures.push_back(std::move(f));
    return s;
}

Dc::Shape Dc::roundRectShape(const RectL& box, double cw, double ch) const {
    const Matrix m = boxTransform(*this, box);
    Shape s;
    s.filled = true;
    if (degenerate(m, box))
        return s;
    const double l = std::min(box.left, box.right), r = std::max(box.left, box.right);
    const double t = std::min(box.top, box.bottom), b = std::max(box.top, box.bottom);
    const double rx = std::min(std::fabs(cw), r - l) / 2, ry = std::min(std::fabs(ch), b - t) / 2;
    if (rx < 0.5 || ry < 0.5)
        return rectangleShape(box);
    const double kx = rx * kKappa, ky = ry * kKappa;
    const PointD start{r, t + ry};
    const std::vector<PointD> controls = {
        {r, t + ry - ky}, {r - rx + kx, t}, {r - rx, t},  // top-right corner
        {r - rx, t},      {l + rx, t},      {l + rx, t},  // top edge
        {l + rx - kx, t}, {l, t + ry - ky}, {l, t + ry},  // top-left
        {l, t + ry},      {l, b - ry},      {l, b - ry},  // left edge
        {l, b - ry + ky}, {l + rx - kx, b}, {l + rx, b},  // bottom-left
        {l + rx, b},      {r - rx, b},      {r - rx, b},  // bottom edge
        {r - rx + kx, b}, {r, b - ry + ky}, {r, b - ry},  // bottom-right
        {r, b - ry},      {r, t + ry},      {r, t + ry},  // right edge
    };
    Figure f;
    f.closed = true;
    f.points = mapAndFlatten(m, start, controls, m_budget);
    s.figures.push_back(std::move(f));
    return s;
}

// Points of the elliptic arc inside `box` from the radial through `start` to
// the radial through `end`, in the DC's arc direction. Angles are taken in
// logical space with y pointing down, so counterclockwise is the direction of
// decreasing y at the right-hand side, as on a screen in MM_TEXT.
std::vector<PointD> Dc::arcPoints(const RectL& box, PointD start, PointD end, bool& full) const {
    const Matrix m = boxTransform(*this, box);
    const double cx = (double(box.left) + box.right) / 2, cy = (double(box.top) + box.bottom) / 2;
    const double rx = std::fabs(double(box.right) - box.left) / 2,
                 ry = std::fabs(double(box.bottom) - box.top) / 2;
    std::vector<PointD> out;
    full = false;
    if (rx <= 0 || ry <= 0)
        return out;
    const double a0 = std::atan2(-(start.y - cy) / ry, (start.x - cx) / rx);
    const double a1 = std::atan2(-(end.y - cy) / ry, (end.x - cx) / rx);
    const bool ccw = m_state.arcDirection == gdi::AD_COUNTERCLOCKWISE;
    double sweep = ccw ? a1 - a0 : a0 - a1;
    while (sweep <= 1e-12) sweep += 2 * std::numbers::pi;
    if (std::fabs(a1 - a0) < 1e-12)
        full = true;
    // Steps small enough for a quarter-pixel error at the device radius.
    const PointD vx = m.applyLinear({rx, 0}), vy = m.applyLinear({0, ry});
    const double radius = std::max({std::hypot(vx.x, vx.y), std::hypot(vy.x, vy.y), 1.0});
    const double step = 2 * std::acos(std::max(-1.0, 1 - kFlatness / radius));
    const int count = std::clamp(static_cast<int>(std::ceil(sweep / std::max(step, 1e-3))), 2, kMaxArcPoints);
    if (!m_budget.charge(WorkBudget::Kind::CurvePoints, count + 1))
        return out;
    for (int i = 0; i <= count; ++i) {
        const double a = a0 + (ccw ? 1 : -1) * sweep * i / count;
        out.push_back(rounded(m.apply({cx + rx * std::cos(a), cy - ry * std::sin(a)})));
    }
    dedupe(out);
    return out;
}

// --- drawing -----------------------------------------------------------------

double Dc::penDeviceWidth() const {
    const Pen& pen = m_state.pen;
    if (pen.width <= 0)
        return 1;
    const PointD v = m_state.transform.applyLinear({pen.width, 0});
    return std::hypot(v.x, v.y);
}

std::optional<StrokeStyle> Dc::wideStroke() const {
    const Pen& pen = m_state.pen;
    if (pen.extended && !pen.geometric())
        return std::nullopt;  // cosmetic: one pixel
    const double width = std::floor(penDeviceWidth() + 0.5);
    if (width <= 1)
        return std::nullopt;
    StrokeStyle style;
    style.width = width;
    style.miterLimit = m_state.miterLimit;
    if (pen.extended) {
        const auto cap = pen.style & gdi::PS_ENDCAP_MASK;
        style.cap = cap == gdi::PS_ENDCAP_SQUARE ? StrokeStyle::Cap::Square
                    : cap == gdi::PS_ENDCAP_FLAT ? StrokeStyle::Cap::Flat
                                                 : StrokeStyle::Cap::Round;
        const auto join = pen.style & gdi::PS_JOIN_MASK;
        style.join = join == gdi::PS_JOIN_BEVEL   ? StrokeStyle::Join::Bevel
                     : join == gdi::PS_JOIN_MITER ? StrokeStyle::Join::Miter
                                                  : StrokeStyle::Join::Round;
        // Geometric dashes scale with the width.
        switch (pen.lineStyle()) {
            case gdi::PS_DASH:
                style.dashes = {3 * width, width};
                break;
            case gdi::PS_DOT:
                style.dashes = {width, width};
                break;
            case gdi::PS_DASHDOT:
                style.dashes = {3 * width, width, width, width};
                break;
            case gdi::PS_DASHDOTDOT:
                style.dashes = {3 * width, width, width, width, width, width};
                break;
            case gdi::PS_USERSTYLE: {
                const double scale = penDeviceWidth() / std::max(pen.width, 1e-9);
                for (auto d : pen.dashes) style.dashes.push_back(d * scale);
                break;
            }
            default:
                break;
        }
    }
    // A wide pen made by CreatePen is always solid.
    return style;
}

void Dc::drawOutline(std::span<const Figure> figures) {
    const Pen& pen = m_state.pen;
    if (pen.isNull())
        return;
    const Paint paint = Paint::solid(pixelOf(pen.color));
    if (auto wide = wideStroke()) {
        m_canvas.strokeFigures(figures, *wide, paint, effectiveClip(), m_state.rop2);
        return;
    }
    ThinDash dash;
    switch (pen.lineStyle()) {
        case gdi::PS_DASH:
            dash.pattern = {18, 6};
            break;
        case gdi::PS_DOT:
            dash.pattern = {3, 3};
            break;
        case gdi::PS_DASHDOT:
            dash.pattern = {9, 6, 3, 6};
            break;
        case gdi::PS_DASHDOTDOT:
            dash.pattern = {9, 3, 3, 3, 3, 3};
            break;
        case gdi::PS_ALTERNATE:
            dash.pattern = {1, 1};
            break;
        case gdi::PS_USERSTYLE:
            for (auto d : pen.dashes)
                dash.pattern.push_back(static_cast<int>(std::min<std::uint32_t>(d, 1u << 20)));
            break;
        default:
            break;
    }
    dash.opaqueGaps = m_state.bkMode == gdi::OPAQUE;
    dash.gapPixel = pixelOf(m_state.bkColor);
    // Kept from call to call, as the figures' points are made.
    thread_local std::vector<PointL> pts;
    pts.clear();
    const auto toPixel = [](PointD p) {
        return PointL{static_cast<std::int32_t>(p.x), static_cast<std::int32_t>(p.y)};
    };
    for (const auto& f : figures) {
        pts.clear();
        dash.position = 0;
        if (std::ranges::all_of(f.points, withinThinReach)) {
            for (auto p : f.points) pts.push_back(toPixel(p));
            m_canvas.thinLines(pts, f.closed, paint, dash, effectiveClip(), m_state.rop2);
            continue;
        }
        // Some corner lies far beyond the bitmap: each segment is cut back to
        // the reach along its own direction, and the pieces that remain are
        // drawn as separate runs.
        const auto flush = [&] {
            if (pts.size() >= 2)
                m_canvas.thinLines(pts, false, paint, dash, effectiveClip(), m_state.rop2);
            pts.clear();
        };
        const std::size_t n = f.points.size();
        const std::size_t segments = n < 2 ? 0 : (f.closed ? n : n - 1);
        for (std::size_t s = 0; s < segments; ++s) {
            PointD a = f.points[s], b = f.points[(s + 1) % n];
            if (!cutToThinReach(a, b)) {
                flush();
                continue;
            }
            const PointL from = toPixel(a);
            if (pts.empty() || !(pts.back() == from)) {
                flush();
                pts.push_back(from);
            }
            pts.push_back(toPixel(b));
        }
        flush();
    }
}

void Dc::drawInterior(std::span<const Figure> figures) {
    if (m_state.brush.isNull())
        return;
    m_canvas.fillFigures(figures, m_state.polyFillMode == gdi::WINDING, brushPaint(m_state.brush),
                         effectiveClip(), m_state.rop2);
}

void Dc::draw(const Shape& shape) {
    if (shape.figures.empty())
        return;
    if (pathOpen()) {
        addToPath(shape, false);
        return;
    }
    if (shape.filled)
        drawInterior(shape.figures);
    drawOutline(shape.figures);
}

// The "...To" calls start at the current position: in a path they extend the open figure, and
// outside one they are outlines only.
void Dc::drawContinuing(const Shape& shape) {
    if (pathOpen()) {
        addToPath(shape, true);
        return;
    }
    drawOutline(shape.figures);
}

void Dc::addToPath(const Shape& shape, bool continuesFigure) {
    for (std::size_t i = 0; i < shape.figures.size(); ++i) {
        const Figure& f = shape.figures[i];
        if (i == 0 && continuesFigure && m_path.figureOpen && !m_path.figures.empty()) {
            auto& last = m_path.figures.back().points;
            for (auto p : f.points) {
                if (last.empty() || !(last.back() == p))
                    last.push_back(p);
            }
        } else {
            m_path.figures.push_back(f);
        }
        m_path.figureOpen = !f.closed;
    }
}

void Dc::moveTo(PointD p) {
    m_state.currentPosition = p;
    if (pathOpen())
        m_path.figureOpen = false;
}

void Dc::lineTo(PointD p) {
    const PointD pts[2] = {m_state.currentPosition, p};
    if (!pathOpen()) {
        // An outline alone: the segment goes to the pen in a figure kept
        // from call to call (a hatch draws thousands).
        thread_local Figure segment;
        segment.closed = false;
        segment.points.clear();
        for (auto q : pts) segment.points.push_back(rounded(toDevice(q)));
        m_state.currentPosition = p;
        drawOutline(std::span<const Figure>(&segment, 1));
        return;
    }
    Shape s;
    s.figures.push_back(deviceFigure(pts, false));
    m_state.currentPosition = p;
    drawContinuing(s);
}

void Dc::polyline(std::span<const PointD> points) {
    if (points.size() < 2)
        return;
    Shape s;
    s.figures.push_back(deviceFigure(points, false));
    draw(s);
}

void Dc::polylineTo(std::span<const PointD> points) {
    if (points.empty())
        return;
    std::vector<PointD> pts{m_state.currentPosition};
    pts.insert(pts.end(), points.begin(), points.end());
    Shape s;
    s.figures.push_back(deviceFigure(pts, false));
    m_state.currentPosition = points.back();
    drawContinuing(s);
}

void Dc::polygon(std::span<const PointD> points) {
    if (points.size() < 2)
        return;
    Shape s;
    s.filled = true;
    s.figures.push_back(deviceFigure(points, true));
    draw(s);
}

void Dc::polyPolygon(std::span<const PointD> points, std::span<const std::uint32_t> counts) {
    Shape s;
    s.filled = true;
    std::size_t pos = 0;
    for (auto n : counts) {
        if (n > points.size() - pos)
            break;
        if (n >= 2)
            s.figures.push_back(deviceFigure(points.subspan(pos, n), true));
        pos += n;
    }
    draw(s);
}

void Dc::polyPolyline(std::span<const PointD> points, std::span<const std::uint32_t> counts) {
    Shape s;
    std::size_t pos = 0;
    for (auto n : counts) {
        if (n > points.size() - pos)
            break;
        if (n >= 2)
            s.figures.push_back(deviceFigure(points.subspan(pos, n), false));
        pos += n;
    }
    draw(s);
}

void Dc::polyBezier(std::span<const PointD> points) {
    if (points.size() < 4)
        return;
    Shape s;
    Figure f;
    f.points = bezierPoints(points[0], points.subspan(1, (points.size() - 1) / 3 * 3));
    s.figures.push_back(std::move(f));
    draw(s);
}

void Dc::polyBezierTo(std::span<const PointD> points) {
    if (points.size() < 3)
        return;
    const auto used = points.subspan(0, points.size() / 3 * 3);
    Shape s;
    Figure f;
    f.points = bezierPoints(m_state.currentPosition, used);
    s.figures.push_back(std::move(f));
    m_state.currentPosition = used.back();
    drawContinuing(s);
}

void Dc::polyDraw(std::span<const PointD> points, std::span<const std::uint8_t> types) {
    const std::size_t n = std::min(points.size(), types.size());
    Shape s;
    Figure current;
    current.points.push_back(rounded(toDevice(m_state.currentPosition)));
    auto finish = [&](bool closed) {
        current.closed = closed;
        if (current.points.size() >= 2 || closed)
            s.figures.push_back(current);
    };
    PointD last = m_state.currentPosition;
    PointD figureStart = last;
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t type = types[i] & ~PT_CLOSEFIGURE;
        if (type == PT_MOVETO) {
            finish(false);
            current = Figure{};
            current.points.push_back(rounded(toDevice(points[i])));
            last = figureStart = points[i];
        } else if (type == PT_LINETO) {
            current.points.push_back(rounded(toDevice(points[i])));
            last = points[i];
        } else if (type == PT_BEZIERTO && i + 2 < n) {
            auto pts = bezierPoints(last, points.subspan(i, 3));
            current.points.insert(current.points.end(), pts.begin() + 1, pts.end());
            last = points[i + 2];
            i += 2;
        } else {
            break;  // an invalid type ends the drawing, as in GDI
        }
        if (types[i] & PT_CLOSEFIGURE) {
            finish(true);
            current = Figure{};
            current.points.push_back(rounded(toDevice(figureStart)));
            last = figureStart;
        }
    }
    finish(false);
    m_state.currentPosition = last;
    drawContinuing(s);
}

void Dc::rectangle(const RectL& box) {
    draw(rectangleShape(box));
}

void Dc::roundRect(const RectL& box, double cornerWidth, double cornerHeight) {
    draw(roundRectShape(box, cornerWidth, cornerHeight));
}

void Dc::ellipse(const RectL& box) {
    draw(ellipseShape(box));
}

void Dc::arc(const RectL& box, PointD start, PointD end) {
    bool full = false;
    Shape s;
    Figure f;
    f.points = arcPoints(box, start, end, full);
    if (f.points.size() < 2)
        return;
    s.figures.push_back(std::move(f));
    draw(s);
}

void Dc::arcTo(const RectL& box, PointD start, PointD end) {
    bool full = false;
    Figure f;
    f.points = arcPoints(box, start, end, full);
    if (f.points.empty())
        return;
    // A line from the current position to the arc's start, then the arc.
    f.points.insert(f.points.begin(), rounded(toDevice(m_state.currentPosition)));
    const Matrix inv = m_state.transform.inverse().value_or(Matrix{});
    m_state.currentPosition = inv.apply(f.points.back());
    Shape s;
    s.figures.push_back(std::move(f));
    drawContinuing(s);
}

void Dc::chord(const RectL& box, PointD start, PointD end) {
    bool full = false;
    Shape s;
    s.filled = true;
    Figure f;
    f.points = arcPoints(box, start, end, full);
    if (f.points.size() < 2)
        return;
    f.closed = true;
    s.figures.push_back(std::move(f));
    draw(s);
}

void Dc::pie(const RectL& box, PointD start, PointD end) {
    bool full = false;
    Shape s;
    s.filled = true;
    Figure f;
    f.points = arcPoints(box, start, end, full);
    if (f.points.size() < 2)
        return;
    if (!full) {
        const Matrix m = m_state.transform;
        f.points.push_back(
            rounded(m.apply({(double(box.left) + box.right) / 2, (double(box.top) + box.bottom) / 2})));
    }
    f.closed = true;
    s.figures.push_back(std::move(f));
    draw(s);
}

void Dc::angleArc(PointD center, double radius, double startDegrees, double sweepDegrees) {
    if (!std::isfinite(radius) || !std::isfinite(startDegrees) || !std::isfinite(sweepDegrees))
        return;
    const double a0 = startDegrees * std::numbers::pi / 180, sweep = sweepDegrees * std::numbers::pi / 180;
    const PointD vx = m_state.transform.applyLinear({radius, 0});
    const double devRadius = std::max(std::hypot(vx.x, vx.y), 1.0);
    const double step = 2 * std::acos(std::max(-1.0, 1 - kFlatness / devRadius));
    const int count =
        std::clamp(static_cast<int>(std::ceil(std::fabs(sweep) / std::max(step, 1e-3))), 1, kMaxArcPoints);
    if (!m_budget.charge(WorkBudget::Kind::CurvePoints, count + 1))
        return;
    std::vector<PointD> logical{m_state.currentPosition};
    for (int i = 0; i <= count; ++i) {
        const double a = a0 + sweep * i / count;
        logical.push_back({center.x + radius * std::cos(a), center.y - radius * std::sin(a)});
    }
    Shape s;
    s.figures.push_back(deviceFigure(logical, false));
    dedupe(s.figures.back().points);
    m_state.currentPosition = logical.back();
    drawContinuing(s);
}

}  // namespace metafile
