#include "metafile/canvas.h"

#include <cairo.h>

#include "metafile/cairo_handles.h"
#include "metafile/stroke_rows.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <numbers>
#include <optional>

namespace metafile {
namespace {

using SurfacePtr = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;
using ContextPtr = std::unique_ptr<cairo_t, ContextDeleter>;

struct Area {
    int x = 0, y = 0, w = 0, h = 0;
};

struct Bounds {
    double x1 = 1e300, y1 = 1e300, x2 = -1e300, y2 = -1e300;
    void add(PointD p) {
        x1 = std::min(x1, p.x);
        y1 = std::min(y1, p.y);
        x2 = std::max(x2, p.x);
        y2 = std::max(y2, p.y);
    }
    bool empty() const { return x1 > x2; }
};

Bounds boundsOf(std::span<const Figure> figures) {
    Bounds b;
    for (const auto& f : figures) {
        for (auto p : f.points) {
            if (std::isfinite(p.x) && std::isfinite(p.y)) {
                b.add(p);
            }
        }
    }
    return b;
}

// The pixels an operation may touch: the shape's bounds grown by `margin`,
// within the bitmap and the clip region's bounds.
std::optional<Area> visibleArea(const Bounds& b, double margin, int width, int height, const Region* clip) {
    if (b.empty()) {
        return std::nullopt;
    }
    double x1 = std::max(0.0, std::floor(b.x1 - margin));
    double y1 = std::max(0.0, std::floor(b.y1 - margin));
    double x2 = std::min(static_cast<double>(width), std::ceil(b.x2 + margin) + 1);
    double y2 = std::min(static_cast<double>(height), std::ceil(b.y2 + margin) + 1);
    if (clip != nullptr) {
        const auto cb = clip->bounds();
        if (!cb) {
            return std::nullopt;
        }
        x1 = std::max(x1, static_cast<double>(cb->left));
        y1 = std::max(y1, static_cast<double>(cb->top));
        x2 = std::min(x2, static_cast<double>(cb->right));
        y2 = std::min(y2, static_cast<double>(cb->bottom));
    }
    if (x1 >= x2 || y1 >= y2) {
        return std::nullopt;
    }
    return Area{static_cast<int>(x1), static_cast<int>(y1), static_cast<int>(x2 - x1),
                static_cast<int>(y2 - y1)};
}

// The part of `a` in rows [begin, end): the rows a band holds (the whole
// area for a whole bitmap). Shapes are cut by the whole area, so that a
// band's pixels are those of the whole picture; only the masks are kept to
// the band.
std::optional<Area> heldRows(const Area& a, int begin, int end) {
    const int top = std::max(a.y, begin), bottom = std::min(a.y + a.h, end);
    if (top >= bottom)
        return std::nullopt;
    return Area{a.x, top, a.w, bottom - top};
}

// Sutherland-Hodgman against one edge of the rectangle; keeps the winding
// number of every point inside the rectangle.
template <class Inside, class Cut>
std::vector<PointD> clipEdge(const std::vector<PointD>& in, Inside inside, Cut cut) {
    std::vector<PointD> out;
    if (in.empty()) {
        return out;
    }
    PointD prev = in.back();
    bool prevIn = inside(prev);
    for (const auto& cur : in) {
        const bool curIn = inside(cur);
        if (curIn != prevIn) {
            out.push_back(cut(prev, cur));
        }
        if (curIn) {
            out.push_back(cur);
        }
        prev = cur;
        prevIn = curIn;
    }
    return out;
}

std::vector<PointD> clipPolygon(std::vector<PointD> poly, double x1, double y1, double x2, double y2) {
    auto atX = [](PointD a, PointD b, double x) {
        return PointD{x, a.y + (b.y - a.y) * (x - a.x) / (b.x - a.x)};
    };
    auto atY = [](PointD a, PointD b, double y) {
        return PointD{a.x + (b.x - a.x) * (y - a.y) / (b.y - a.y), y};
    };
    poly = clipEdge(
        poly, [&](PointD p) { return p.x >= x1; }, [&](PointD a, PointD b) { return atX(a, b, x1); });
    poly = clipEdge(
        poly, [&](PointD p) { return p.x <= x2; }, [&](PointD a, PointD b) { return atX(a, b, x2); });
    poly = clipEdge(
        poly, [&](PointD p) { return p.y >= y1; }, [&](PointD a, PointD b) { return atY(a, b, y1); });
    poly = clipEdge(
        poly, [&](PointD p) { return p.y <= y2; }, [&](PointD a, PointD b) { return atY(a, b, y2); });
    return poly;
}

// Liang-Barsky: the part of segment a-b inside the rectangle.
bool clipSegment(PointD& a, PointD& b, double x1, double y1, double x2, double y2) {
    double t0 = 0, t1 = 1;
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {a.x - x1, x2 - a.x, a.y - y1, y2 - a.y};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0)
                return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0) {
            t0 = std::max(t0, t);
        } else {
            t1 = std::min(t1, t);
        }
        if (t0 > t1)
            return false;
    }
    const PointD start{a.x + t0 * dx, a.y + t0 * dy};
    b = PointD{a.x + t1 * dx, a.y + t1 * dy};
    a = start;
    return true;
}

bool finite(PointD p) {
    return std::isfinite(p.x) && std::isfinite(p.y);
}

// A coverage mask over an area, drawn by cairo without antialiasing; device
// coordinate c lands on the centre of pixel c.
// The bytes of the masks drawn on this thread, kept from one mask to the
// next: a band's shapes each want a mask about the band's size, and memory
// taken from the system afresh for each costs its pages' faults and their
// clearing by the kernel (and, with strips on several threads, the other
// processors' address caches flushed when it is given back).
class MaskBuffers {
public:
    // Zeroed bytes for a mask, or null where it is larger than is worth
    // keeping (or more masks are in use at once than are kept).
    std::uint8_t* take(std::size_t bytes) {
        if (bytes > kMostKept)
            return nullptr;
        for (Buffer& b : m_buffers) {
            if (b.inUse)
                continue;
            if (b.bytes.size() < bytes)
                b.bytes.resize(bytes);
            std::memset(b.bytes.data(), 0, bytes);
            b.inUse = true;
            return b.bytes.data();
        }
        return nullptr;
    }
    void give(const std::uint8_t* data) {
        for (Buffer& b : m_buffers) {
            if (b.bytes.data() == data)
                b.inUse = false;
        }
    }

private:
    static constexpr std::size_t kMostKept = std::size_t{16} << 20;
    struct Buffer {
        std::vector<std::uint8_t> bytes;
        bool inUse = false;
    };
    std::array<Buffer, 2> m_buffers;
};

MaskBuffers& maskBuffers() {
    thread_local MaskBuffers buffers;
    return buffers;
}

cairo_surface_t* maskSurface(const Area& area, std::uint8_t*& kept) {
    kept = nullptr;
    const int stride = cairo_format_stride_for_width(CAIRO_FORMAT_A8, area.w);
    if (stride > 0 && area.h > 0) {
        kept = maskBuffers().take(static_cast<std::size_t>(stride) * static_cast<std::size_t>(area.h));
        if (kept != nullptr)
            return cairo_image_surface_create_for_data(kept, CAIRO_FORMAT_A8, area.w, area.h, stride);
    }
    return cairo_image_surface_create(CAIRO_FORMAT_A8, area.w, area.h);
}

class Mask {
public:
    explicit Mask(const Area& area) : m_area(area), m_surface(maskSurface(area, m_kept)) {
        m_context.reset(cairo_create(m_surface.get()));
        cairo_set_antialias(m_context.get(), CAIRO_ANTIALIAS_NONE);
        cairo_translate(m_context.get(), -area.x + 0.5, -area.y + 0.5);
    }
    bool ok() const {
        return cairo_surface_status(m_surface.get()) == CAIRO_STATUS_SUCCESS &&
               cairo_status(m_context.get()) == CAIRO_STATUS_SUCCESS;
    }
    cairo_t* cr() { return m_context.get(); }
    const std::uint8_t* data() {
        cairo_surface_flush(m_surface.get());
        return cairo_image_surface_get_data(m_surface.get());
    }
    int stride() const { return cairo_image_surface_get_stride(m_surface.get()); }
    const Area& area() const { return m_area; }

    ~Mask() {
        m_context.reset();
        m_surface.reset();
        if (m_kept != nullptr)
            maskBuffers().give(m_kept);
    }
    Mask(const Mask&) = delete;
    Mask& operator=(const Mask&) = delete;

private:
    Area m_area;
    std::uint8_t* m_kept = nullptr;  // before m_surface, which is made over it
    SurfacePtr m_surface;
    ContextPtr m_context;
};

void addFillPath(cairo_t* cr, std::span<const Figure> figures, const Area& a) {
    // Geometry far outside the area is cut away so that cairo's fixed-point
    // coordinates never overflow.
    const double x1 = a.x - 4.0, y1 = a.y - 4.0, x2 = a.x + a.w + 4.0, y2 = a.y + a.h + 4.0;
    for (const auto& f : figures) {
        std::vector<PointD> pts;
        pts.reserve(f.points.size());
        for (auto p : f.points) {
            if (finite(p))
                pts.push_back(p);
        }
        if (pts.size() < 3)
            continue;
        pts = clipPolygon(std::move(pts), x1, y1, x2, y2);
        if (pts.size() < 3)
            continue;
        cairo_move_to(cr, pts[0].x, pts[0].y);
        for (std::size_t i = 1; i < pts.size(); ++i) {
            cairo_line_to(cr, pts[i].x, pts[i].y);
        }
        cairo_close_path(cr);
    }
}

void addStrokePath(cairo_t* cr, std::span<const Figure> figures, const Area& a, double margin) {
    const double x1 = a.x - margin, y1 = a.y - margin, x2 = a.x + a.w + margin, y2 = a.y + a.h + margin;
    auto inside = [&](PointD p) { return p.x >= x1 && p.x <= x2 && p.y >= y1 && p.y <= y2; };
    for (const auto& f : figures) {
        std::vector<PointD> pts;
        for (auto p : f.points) {
            if (finite(p))
                pts.push_back(p);
        }
        if (pts.empty())
            continue;
        const bool allInside = std::all_of(pts.begin(), pts.end(), inside);
        if (allInside) {
            cairo_move_to(cr, pts[0].x, pts[0].y);
            for (std::size_t i = 1; i < pts.size(); ++i) cairo_line_to(cr, pts[i].x, pts[i].y);
            if (f.closed)
                cairo_close_path(cr);
            if (pts.size() == 1)
                cairo_close_path(cr);
            continue;
        }
        // Cut into the visible pieces; joins outside the margin do not show.
        const std::size_t n = pts.size();
        const std::size_t segments = f.closed ? n : n - 1;
        bool open = false;
        for (std::size_t i = 0; i < segments; ++i) {
            PointD a0 = pts[i], b0 = pts[(i + 1) % n];
            const bool wasInsideEnd = inside(b0);
            if (!clipSegment(a0, b0, x1, y1, x2, y2)) {
                open = false;
                continue;
            }
            if (!open)
                cairo_move_to(cr, a0.x, a0.y);
            cairo_line_to(cr, b0.x, b0.y);
            open = wasInsideEnd;
        }
    }
}

// The one straight segment that addStrokePath gives cairo for `figures`,
// where they are a lone open segment (two finite points); nullopt for any
// other figures. `visible` is false where the cut leaves nothing of it.
struct LoneSegment {
    PointD a, b;
    bool visible = true;
};
std::optional<LoneSegment> loneSegment(std::span<const Figure> figures, const Area& a, double margin) {
    if (figures.size() != 1 || figures[0].closed || figures[0].points.size() != 2)
        return std::nullopt;
    LoneSegment s{figures[0].points[0], figures[0].points[1]};
    if (!finite(s.a) || !finite(s.b))
        return std::nullopt;
    const double x1 = a.x - margin, y1 = a.y - margin, x2 = a.x + a.w + margin, y2 = a.y + a.h + margin;
    auto inside = [&](PointD p) { return p.x >= x1 && p.x <= x2 && p.y >= y1 && p.y <= y2; };
    if (!(inside(s.a) && inside(s.b)))
        s.visible = clipSegment(s.a, s.b, x1, y1, x2, y2);
    return s;
}

void applyStyle(cairo_t* cr, const StrokeStyle& style) {
    cairo_set_line_width(cr, std::max(style.width, 1.0));
    cairo_set_line_cap(cr, style.cap == StrokeStyle::Cap::Round    ? CAIRO_LINE_CAP_ROUND
                           : style.cap == StrokeStyle::Cap::Square ? CAIRO_LINE_CAP_SQUARE
                                                                   : CAIRO_LINE_CAP_BUTT);
    cairo_set_line_join(cr, style.join == StrokeStyle::Join::Round   ? CAIRO_LINE_JOIN_ROUND
                            : style.join == StrokeStyle::Join::Bevel ? CAIRO_LINE_JOIN_BEVEL
                                                                     : CAIRO_LINE_JOIN_MITER);
    cairo_set_miter_limit(cr, std::max(style.miterLimit, 1.0));
    if (!style.dashes.empty()) {
        std::vector<double> dashes;
        for (double d : style.dashes) dashes.push_back(std::max(d, 0.5));
        cairo_set_dash(cr, dashes.data(), static_cast<int>(dashes.size()), 0);
    }
}

Region maskRegion(Mask& mask) {
    const Area& a = mask.area();
    const std::uint8_t* data = mask.data();
    const int stride = mask.stride();
    std::vector<std::vector<Span>> rows(static_cast<std::size_t>(a.h));
    for (int y = 0; y < a.h; ++y) {
        const std::uint8_t* row = data + static_cast<std::ptrdiff_t>(y) * stride;
        int x = 0;
        while (x < a.w) {
            while (x < a.w && row[x] == 0) ++x;
            if (x >= a.w)
                break;
            const int start = x;
            while (x < a.w && row[x] != 0) ++x;
            rows[static_cast<std::size_t>(y)].push_back({a.x + start, a.x + x});
        }
    }
    return Region::fromRows(a.y, rows);
}

#if defined(__SSE2__)
// The first x in [x, end) whose byte is zero (covered: false) or non-zero
// (covered: true), or end. Sixty-four bytes are looked at a time (the whole
// page's rectangle is mostly long runs), then sixteen, then one.
int skipBytes(const std::uint8_t* row, int x, int end, bool covered) {
    const __m128i zero = _mm_setzero_si128();
    // Bit i set where byte i of the sixteen stops the search.
    auto stops = [&](__m128i v) {
        const unsigned zeros = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, zero)));
        return covered ? zeros : ~zeros & 0xFFFFu;
    };
    auto load = [row](int at) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + at)); };
    while (x + 64 <= end) {
        const __m128i a = load(x), b = load(x + 16), c = load(x + 32), d = load(x + 48);
        // Any zero byte shows in the bytewise minimum; any non-zero one in
        // the bitwise or.
        const __m128i any = covered ? _mm_min_epu8(_mm_min_epu8(a, b), _mm_min_epu8(c, d))
                                    : _mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d));
        if (stops(any) != 0)
            break;
        x += 64;
    }
    while (x + 16 <= end) {
        if (const unsigned stop = stops(load(x)); stop != 0)
            return x + std::countr_zero(stop);
        x += 16;
    }
    while (x < end && (row[x] != 0) == covered) ++x;
    return x;
}
#else
// The first x in [x, end) whose byte is zero (covered: false) or non-zero
// (covered: true), or end; eight bytes at a time.
int skipBytes(const std::uint8_t* row, int x, int end, bool covered) {
    constexpr std::uint64_t kOnes = 0x0101010101010101u, kHighs = 0x8080808080808080u;
    while (x + 8 <= end) {
        std::uint64_t word;
        std::memcpy(&word, row + x, sizeof word);
        // The zero bytes flagged in their top bits (the lowest flag is always
        // a zero byte: a borrow only runs upwards), or the word itself for
        // its non-zero bytes; the lowest is the first byte.
        const std::uint64_t stop = covered ? (word - kOnes) & ~word & kHighs : word;
        if (stop != 0)
            return x + std::countr_zero(stop) / 8;
        x += 8;
    }
    while (x < end && (row[x] != 0) == covered) ++x;
    return x;
}
#endif

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

// round(a / b) with halves going up, b > 0.
std::int64_t roundDiv(std::int64_t a, std::int64_t b) {
    return floorDiv(2 * a + b, 2 * b);
}

// Each row walk's run in this row (its steps up to the one that carries
// the minor coordinate to the next row: `most` or one fewer, none past the
// line's end), kept to the row's columns [x1, x2), the walks moved on to the
// next row: side by side in vector code. Whether one of them ended.
bool stepRuns(std::size_t count, int width, int* __restrict x, int* __restrict r, const int* __restrict stepR,
              const int* __restrict fewerAt, const int* __restrict most, const int* __restrict adv,
              const int* __restrict neg, int* __restrict left, int* __restrict x1, int* __restrict x2) {
    int ended = 0;
    for (std::size_t k = 0; k < count; ++k) {
        const int fewer = r[k] >= fewerAt[k] ? -1 : 0;
        const int steps = std::min(most[k] + fewer, left[k]);
        const int from = x[k] + (neg[k] & (1 - steps));
        x1[k] = std::max(from, 0);
        x2[k] = std::min(from + steps, width);
        left[k] -= steps;
        ended |= left[k] == 0 ? 1 : 0;
        x[k] += (steps ^ neg[k]) - neg[k];
        r[k] += adv[k] - (stepR[k] & fewer);
    }
    return ended != 0;
}

// A run [x1, x2) of a one-pixel line in a row. The short runs of a
// shallow line, a pixel longer or shorter from row to row, are written in
// the same stores whatever their length (some pixels twice), with no branch
// to mispredict.
inline void writeRun(std::uint32_t* row, int x1, int x2, std::uint32_t ink) {
    const int n = x2 - x1;
    if (n <= 4) {
        row[x1] = ink;
        row[std::min(x1 + 1, x2 - 1)] = ink;
        row[std::max(x2 - 2, x1)] = ink;
        row[x2 - 1] = ink;
        return;
    }
    fillPixels(row + x1, static_cast<std::size_t>(n), ink);
}

// The walks that end with row y dropped, looked for only on the rows where
// one does (`soonestEnd`, the least end of those left).
template <typename Walks>
void dropEndedWalks(Walks& walks, int y) {
    if (walks.soonestEnd != y + 1)
        return;
    walks.soonestEnd = std::numeric_limits<int>::max();
    for (std::size_t k = 0; k < walks.size();) {
        if (walks.end[k] == y + 1) {
            walks.removeAt(k);
            continue;
        }
        walks.soonestEnd = std::min(walks.soonestEnd, walks.end[k]);
        ++k;
    }
}

// Each wide walk's run in this row (the pixel an x falls in, halves down,
// as the scan converter rounds it), then both its sides moved on a row:
// the walks side by side in vector code.
void stepWalks(std::size_t count, int* __restrict u0, int* __restrict u1, int* __restrict r0,
               int* __restrict r1, const int* __restrict q0, const int* __restrict q1,
               const int* __restrict s0, const int* __restrict s1, const int* __restrict e0,
               const int* __restrict e1, const int* __restrict lo, const int* __restrict hi,
               int* __restrict x1, int* __restrict x2) {
    for (std::size_t k = 0; k < count; ++k) {
        const int u = u0[k], v = u1[k];
        x1[k] = std::max((std::min(u, v) + 127) >> 8, lo[k]);
        x2[k] = std::min((std::max(u, v) + 127) >> 8, hi[k]);
        const int ra = r0[k] + s0[k], rb = r1[k] + s1[k];
        const int ca = ra >= e0[k] ? 1 : 0, cb = rb >= e1[k] ? 1 : 0;
        u0[k] = u + q0[k] + ca;
        u1[k] = v + q1[k] + cb;
        r0[k] = ra - (e0[k] & -ca);
        r1[k] = rb - (e1[k] & -cb);
    }
}

}  // namespace

void HeldLines::begin(int first, int end, int width) {
    m_columns.clear();
    m_rowWalks.clear();
    m_walks.clear();
    m_runs.clear();
    m_first = first;
    m_end = end;
    m_width = width;
    m_pixel = 0;
    m_any = false;
    m_refused = false;
    m_drawing = false;
    m_next = first;
}

void HeldLines::addSteps(std::int64_t iFrom, std::int64_t iTo, bool xMajor, std::int64_t major0,
                         std::int64_t majorStep, std::int64_t minor0, std::int64_t d, std::int64_t n) {
    if (iFrom >= iTo)
        return;
    // Walked so that its rows come in order: its y (the major coordinate,
    // or the minor one) grows with i, or falls.
    const bool up = xMajor ? d >= 0 : majorStep > 0;
    const std::int64_t i = up ? iFrom : iTo - 1, step = up ? 2 * d : -2 * d, den = 2 * n;
    // The walk's numbers are kept in int: a remainder and its step stay
    // below den, their sum below 2 den.
    if (den >= (std::int64_t{1} << 30)) {
        m_refused = true;
        return;
    }
    const std::int64_t num = 2 * i * d + n;
    const std::int64_t q = floorDiv(num, den), stepQ = floorDiv(step, den);
    const std::int64_t major = major0 + i * majorStep, minor = minor0 + q;
    const std::int64_t row = xMajor ? minor : major;
    if (row < m_first || row >= m_end) {
        m_refused = true;
        return;
    }
    const auto r = static_cast<int>(num - q * den), stepR = static_cast<int>(step - stepQ * den);
    if (!xMajor) {
        m_columns.push_back({static_cast<int>(row), static_cast<int>(minor), r, static_cast<int>(stepQ),
                             stepR, static_cast<int>(den),
                             static_cast<int>(row + std::min<std::int64_t>(iTo - iFrom, m_end - row))});
        return;
    }
    // A diagonal (a step of den) carries on every step: a remainder step of
    // den, one step a row, the remainder kept.
    RowWalk w{static_cast<int>(row),
              static_cast<int>(major),
              r,
              stepQ > 0 ? static_cast<int>(den) : stepR,
              static_cast<int>(den),
              static_cast<int>(up ? majorStep : -majorStep),
              0,
              0,
              static_cast<int>(iTo - iFrom)};
    if (w.stepR > 0) {
        w.most = (w.den + w.stepR - 1) / w.stepR;
        w.fewerAt = w.den - (w.most - 1) * w.stepR;
    }
    m_rowWalks.push_back(w);
}

void HeldLines::addWalk(const WideWalk& walk, std::int64_t x0, std::int64_t y0) {
    if (walk.row >= walk.end)
        return;
    const std::int64_t first = y0 + walk.row, end = y0 + walk.end;
    if (first < m_first || end > m_end) {
        m_refused = true;
        return;
    }
    // Kept in int where every number the walk reaches fits with room for a
    // sum: its x is monotonic, so its first and last rows bound it.
    constexpr std::int64_t kMost = std::int64_t{1} << 29;
    HeldWalk h;
    h.first = static_cast<int>(first);
    h.end = static_cast<int>(end);
    const std::int64_t rows = walk.end - walk.row - 1;
    for (int s = 0; s < 2; ++s) {
        const std::int64_t u = walk.topX[s] + walk.q[s] + 256 * x0;
        const std::int64_t carried = walk.rem[s] + rows * walk.stepR[s];
        const std::int64_t last = u + rows * walk.stepQ[s] + floorDiv(carried, walk.ey[s]);
        if (walk.ey[s] >= kMost || std::abs(u) >= kMost || std::abs(last) >= kMost ||
            std::abs(walk.stepQ[s]) >= kMost) {
            m_refused = true;
            return;
        }
        h.u[s] = static_cast<int>(u);
        h.r[s] = static_cast<int>(walk.rem[s]);
        h.stepQ[s] = static_cast<int>(walk.stepQ[s]);
        h.stepR[s] = static_cast<int>(walk.stepR[s]);
        h.ey[s] = static_cast<int>(walk.ey[s]);
    }
    h.lo = static_cast<int>(std::clamp<std::int64_t>(walk.xMin + x0, 0, m_width));
    h.hi = static_cast<int>(std::clamp<std::int64_t>(walk.xMax + x0, 0, m_width));
    m_walks.push_back(h);
}

void HeldLines::addRun(std::int64_t y, std::int64_t x1, std::int64_t x2) {
    if (y < m_first || y >= m_end) {
        m_refused = true;
        return;
    }
    x1 = std::max<std::int64_t>(x1, 0);
    x2 = std::min<std::int64_t>(x2, m_width);
    if (x1 < x2)
        m_runs.push_back({static_cast<int>(y), static_cast<int>(x1), static_cast<int>(x2)});
}

void HeldLines::ActiveColumns::clear() {
    for (auto* v : {&x, &r, &stepQ, &stepR, &den, &end}) v->clear();
    soonestEnd = std::numeric_limits<int>::max();
}

void HeldLines::ActiveColumns::push(const ColumnWalk& w) {
    x.push_back(w.x);
    r.push_back(w.r);
    stepQ.push_back(w.stepQ);
    stepR.push_back(w.stepR);
    den.push_back(w.den);
    end.push_back(w.end);
    soonestEnd = std::min(soonestEnd, w.end);
}

void HeldLines::ActiveColumns::removeAt(std::size_t k) {
    for (auto* v : {&x, &r, &stepQ, &stepR, &den, &end}) {
        (*v)[k] = v->back();
        v->pop_back();
    }
}

void HeldLines::ActiveWalks::clear() {
    for (auto* v : {&u0, &u1, &r0, &r1, &q0, &q1, &s0, &s1, &e0, &e1, &lo, &hi, &end, &x1, &x2}) v->clear();
    soonestEnd = std::numeric_limits<int>::max();
}

void HeldLines::ActiveWalks::push(const HeldWalk& w) {
    u0.push_back(w.u[0]);
    u1.push_back(w.u[1]);
    r0.push_back(w.r[0]);
    r1.push_back(w.r[1]);
    q0.push_back(w.stepQ[0]);
    q1.push_back(w.stepQ[1]);
    s0.push_back(w.stepR[0]);
    s1.push_back(w.stepR[1]);
    e0.push_back(w.ey[0]);
    e1.push_back(w.ey[1]);
    lo.push_back(w.lo);
    hi.push_back(w.hi);
    end.push_back(w.end);
    x1.push_back(0);
    x2.push_back(0);
    soonestEnd = std::min(soonestEnd, w.end);
}

void HeldLines::ActiveWalks::removeAt(std::size_t k) {
    for (auto* v : {&u0, &u1, &r0, &r1, &q0, &q1, &s0, &s1, &e0, &e1, &lo, &hi, &end, &x1, &x2}) {
        (*v)[k] = v->back();
        v->pop_back();
    }
}

void HeldLines::startDrawing() {
    auto byRow = [](const auto& a, const auto& b) { return a.row < b.row; };
    std::sort(m_columns.begin(), m_columns.end(), byRow);
    std::sort(m_rowWalks.begin(), m_rowWalks.end(), byRow);
    std::stable_sort(m_walks.begin(), m_walks.end(),
                     [](const HeldWalk& a, const HeldWalk& b) { return a.first < b.first; });
    std::stable_sort(m_runs.begin(), m_runs.end(),
                     [](const HeldRun& a, const HeldRun& b) { return a.y < b.y; });
    m_activeColumns.clear();
    m_activeRows.clear();
    m_activeWalks.clear();
    m_nextColumn = m_nextRow = m_nextWalk = m_nextRun = 0;
}

void HeldLines::drawWide(int y, std::uint32_t* row) {
    ActiveWalks& a = m_activeWalks;
    while (m_nextWalk < m_walks.size() && m_walks[m_nextWalk].first == y) a.push(m_walks[m_nextWalk++]);
    const std::uint32_t ink = m_pixel;
    const std::size_t count = a.size();
    if (count != 0) {
        stepWalks(count, a.u0.data(), a.u1.data(), a.r0.data(), a.r1.data(), a.q0.data(), a.q1.data(),
                  a.s0.data(), a.s1.data(), a.e0.data(), a.e1.data(), a.lo.data(), a.hi.data(), a.x1.data(),
                  a.x2.data());
        const int* const x1 = a.x1.data();
        const int* const x2 = a.x2.data();
        for (std::size_t k = 0; k < count; ++k) {
            if (x1[k] < x2[k])
                fillPixels(row + x1[k], static_cast<std::size_t>(x2[k] - x1[k]), ink);
        }
        dropEndedWalks(a, y);
    }
    for (; m_nextRun < m_runs.size() && m_runs[m_nextRun].y == y; ++m_nextRun) {
        const HeldRun& r = m_runs[m_nextRun];
        fillPixels(row + r.x1, static_cast<std::size_t>(r.x2 - r.x1), ink);
    }
}

void HeldLines::ActiveRuns::clear() {
    for (auto* v : {&x, &r, &stepR, &fewerAt, &most, &adv, &neg, &left, &x1, &x2}) v->clear();
}

void HeldLines::ActiveRuns::push(const RowWalk& w) {
    x.push_back(w.x);
    r.push_back(w.r);
    stepR.push_back(w.stepR);
    fewerAt.push_back(w.fewerAt);
    most.push_back(w.most);
    adv.push_back(w.most * w.stepR - w.den);
    neg.push_back(w.delta > 0 ? 0 : -1);
    left.push_back(w.left);
    x1.push_back(0);
    x2.push_back(0);
}

void HeldLines::ActiveRuns::removeAt(std::size_t k) {
    for (auto* v : {&x, &r, &stepR, &fewerAt, &most, &adv, &neg, &left, &x1, &x2}) {
        (*v)[k] = v->back();
        v->pop_back();
    }
}

// A row walk's run in its first row, where its remainder may lie anywhere
// (or it is level: the row to its end), written; whether it goes on.
bool HeldLines::firstRun(RowWalk& w, std::uint32_t* row) {
    int steps = 0;
    if (w.r < w.stepR) {
        steps = w.r >= w.fewerAt ? w.most - 1 : w.most;
    } else if (w.stepR == 0) {
        steps = w.left;
    } else {
        steps = (w.den - w.r + w.stepR - 1) / w.stepR;
    }
    steps = std::min(steps, w.left);
    const int from = w.delta > 0 ? w.x : w.x - steps + 1;
    const int x1 = std::max(from, 0), x2 = std::min(from + steps - 1, m_width - 1);
    if (x1 <= x2)
        writeRun(row, x1, x2 + 1, m_pixel);
    w.left -= steps;
    if (w.left == 0)
        return false;
    w.x = w.delta > 0 ? w.x + steps : w.x - steps;
    w.r += steps * w.stepR - w.den;
    return true;
}

// The runs of the lines stepping along the rows: those past their first
// row side by side, then the first rows of those that begin here.
void HeldLines::drawRuns(int y, std::uint32_t* row) {
    ActiveRuns& a = m_activeRows;
    const std::uint32_t ink = m_pixel;
    if (const std::size_t count = a.size(); count != 0) {
        const bool ended =
            stepRuns(count, m_width, a.x.data(), a.r.data(), a.stepR.data(), a.fewerAt.data(), a.most.data(),
                     a.adv.data(), a.neg.data(), a.left.data(), a.x1.data(), a.x2.data());
        const int* const x1 = a.x1.data();
        const int* const x2 = a.x2.data();
        for (std::size_t k = 0; k < count; ++k) {
            if (x1[k] < x2[k])
                writeRun(row, x1[k], x2[k], ink);
        }
        if (ended) {
            for (std::size_t k = 0; k < a.size();) {
                if (a.left[k] == 0) {
                    a.removeAt(k);
                    continue;
                }
                ++k;
            }
        }
    }
    for (; m_nextRow < m_rowWalks.size() && m_rowWalks[m_nextRow].row == y; ++m_nextRow) {
        RowWalk& w = m_rowWalks[m_nextRow];
        if (firstRun(w, row))
            a.push(w);
    }
}

void HeldLines::drawRow(int y, std::uint32_t* row) {
    const std::uint32_t ink = m_pixel;
    const auto width = static_cast<unsigned>(m_width);
    while (m_nextColumn < m_columns.size() && m_columns[m_nextColumn].row == y)
        m_activeColumns.push(m_columns[m_nextColumn++]);
    // One pixel of each line stepping down the rows; the step to the next
    // row carried as thinLines carries it.
    {
        ActiveColumns& c = m_activeColumns;
        const std::size_t count = c.size();
        int* const xs = c.x.data();
        int* const rs = c.r.data();
        const int* const qs = c.stepQ.data();
        const int* const steps = c.stepR.data();
        const int* const dens = c.den.data();
        std::uint32_t spare = 0;
        for (std::size_t k = 0; k < count; ++k) {
            std::uint32_t* p = static_cast<unsigned>(xs[k]) < width ? row + xs[k] : &spare;
            *p = ink;
        }
        for (std::size_t k = 0; k < count; ++k) {
            const int r = rs[k] + steps[k];
            const int carry = r >= dens[k] ? 1 : 0;
            xs[k] += qs[k] + carry;
            rs[k] = r - (dens[k] & -carry);
        }
        dropEndedWalks(c, y);
    }
    drawRuns(y, row);
    drawWide(y, row);
}

void Canvas::plot(int x, int y, std::uint32_t pixel, int rop2) {
    if (m_held != nullptr) {
        m_held->refuse();
        return;
    }
    std::uint32_t& d = m_dib.row(y)[x];
    d = rop2 == 13 ? (pixel & 0x00FFFFFFu) : applyRop2(rop2, pixel, d);
}

void Canvas::compositeMask(int x0, int y0, int w, int h, const std::uint8_t* mask, int stride,
                           const Paint& paint, const Region* clip, int rop2) {
    if (rop2 == 11) {  // R2_NOP
        return;
    }
    const int yStart = std::max(rowsBegin(), y0), yEnd = std::min(rowsEnd(), y0 + h);
    const int xStart = std::max(0, x0), xEnd = std::min(width(), x0 + w);
    const Span whole{xStart, xEnd};
    const bool solidCopy = paint.kind == Paint::Kind::Solid && rop2 == 13;
    const std::uint32_t solid = paint.pixel & 0x00FFFFFFu;
    if (m_held != nullptr) {
        m_held->refuse();
        return;
    }
    for (int y = yStart; y < yEnd; ++y) {
        const std::uint8_t* mrow = mask + static_cast<std::ptrdiff_t>(y - y0) * stride;
        std::uint32_t* drow = m_dib.row(y);
        const std::vector<Span>* spans = nullptr;
        if (clip != nullptr) {
            spans = clip->row(y);
            if (spans == nullptr)
                continue;
        }
        auto paintSpan = [&](const Span& s) {
            const int a = std::max(s.x1, xStart), b = std::min(s.x2, xEnd);
            if (solidCopy) {
                // Runs of covered pixels take the colour in one go; the mask
                // is searched eight bytes at a time.
                const std::uint8_t* m = mrow - x0;
                int x = a;
                while (x < b) {
                    x = skipBytes(m, x, b, false);
                    const int run = x;
                    x = skipBytes(m, x, b, true);
                    fillPixels(drow + run, static_cast<std::size_t>(x - run), solid);
                }
                return;
            }
            for (int x = a; x < b; ++x) {
                if (mrow[x - x0] == 0)
                    continue;
                if (const auto value = paint.at(x, y))
                    plot(x, y, *value, rop2);
            }
        };
        if (spans == nullptr) {
            paintSpan(whole);
        } else {
            for (const auto& s : *spans) paintSpan(s);
        }
    }
}

namespace {

// The pixels cairo fills for `figures` in a mask over `held` (cut by
// `area` as addFillPath cuts them), where the figures are one rectangle
// with its sides along the axes: cairo takes such a path as a box, and
// without antialiasing rounds each side to the nearest pixel edge (a half
// rounds down) and fills the pixels between. None where the figures are
// anything else; an empty area where the box covers no pixel.
std::optional<Area> boxPixels(std::span<const Figure> figures, const Area& area, const Area& held) {
    if (figures.size() != 1)
        return std::nullopt;
    const std::vector<PointD>& p = figures[0].points;
    const std::size_t n = p.size() == 5 && p[4] == p[0] ? 4 : p.size();
    if (n != 4 || !std::all_of(p.begin(), p.begin() + 4, finite))
        return std::nullopt;
    const bool across = p[0].y == p[1].y && p[1].x == p[2].x && p[2].y == p[3].y && p[3].x == p[0].x;
    const bool down = p[0].x == p[1].x && p[1].y == p[2].y && p[2].x == p[3].x && p[3].y == p[0].y;
    if (!across && !down)
        return std::nullopt;
    // Cut as addFillPath cuts the polygon (a side beyond the cut lands on
    // it), placed as the mask's context places it (half a pixel on, then
    // cairo's fixed point of 1/256), and rounded: a side at a half takes
    // the pixel edge below it.
    auto side = [](double v, double lo, double hi, int origin) {
        const double device = std::clamp(v, lo, hi) + (0.5 - origin);
        const auto fixed = static_cast<std::int64_t>(std::nearbyint(device * 256));
        return static_cast<int>(floorDiv(fixed + 127, 256)) + origin;
    };
    const double ax1 = area.x - 4.0, ay1 = area.y - 4.0, ax2 = area.x + area.w + 4.0,
                 ay2 = area.y + area.h + 4.0;
    const double xa = std::min(p[0].x, p[2].x), xb = std::max(p[0].x, p[2].x);
    const double ya = std::min(p[0].y, p[2].y), yb = std::max(p[0].y, p[2].y);
    if (xb < ax1 || xa > ax2 || yb < ay1 || ya > ay2)
        return Area{};  // cut away whole
    const int x1 = std::max(held.x, side(xa, ax1, ax2, held.x));
    const int x2 = std::min(held.x + held.w, side(xb, ax1, ax2, held.x));
    const int y1 = std::max(held.y, side(ya, ay1, ay2, held.y));
    const int y2 = std::min(held.y + held.h, side(yb, ay1, ay2, held.y));
    if (x1 >= x2 || y1 >= y2)
        return Area{};
    return Area{x1, y1, x2 - x1, y2 - y1};
}

}  // namespace

void Canvas::fillFigures(std::span<const Figure> figures, bool winding, const Paint& paint,
                         const Region* clip, int rop2) {
    const auto area = visibleArea(boundsOf(figures), 1, width(), height(), clip);
    if (!area)
        return;
    const auto held = heldRows(*area, rowsBegin(), rowsEnd());
    if (!held)
        return;
    // A rectangle (a page's or a table cell's paper) is written row by row:
    // no mask to clear, draw and read back for it.
    if (m_held == nullptr) {
        if (const auto box = boxPixels(figures, *area, *held)) {
            if (box->w > 0) {
                thread_local std::vector<RowSpan> rows;
                rows.assign(static_cast<std::size_t>(box->h), RowSpan{0, box->w});
                compositeRows(box->x, box->y, rows, paint, clip, rop2);
            }
            return;
        }
    }
    Mask mask(*held);
    if (!mask.ok())
        return;
    cairo_set_fill_rule(mask.cr(), winding ? CAIRO_FILL_RULE_WINDING : CAIRO_FILL_RULE_EVEN_ODD);
    addFillPath(mask.cr(), figures, *area);
    cairo_fill(mask.cr());
    compositeMask(held->x, held->y, held->w, held->h, mask.data(), mask.stride(), paint, clip, rop2);
}

namespace {

// The lone segment's stroke over `box` told row by row and composited, as
// its mask would be; false (nothing drawn) where the rows are not told.
bool strokeSegmentRows(Canvas& canvas, const Area& box, const LoneSegment& segment, const StrokeStyle& style,
                       const Paint& paint, const Region* clip, int rop2) {
    if (HeldLines* held = canvas.heldLines())  // its colour taken by strokeFigures
        return holdStrokedSegment({box.x, box.y, box.w, box.h}, segment.a, segment.b, style, *held);
    if (const auto target = canvas.solidRows(box.x, box.y, paint, clip, rop2))
        return fillStrokedSegment({box.x, box.y, box.w, box.h}, segment.a, segment.b, style, *target);
    thread_local std::vector<RowSpan> rows;
    if (!strokedSegmentRows({box.x, box.y, box.w, box.h}, segment.a, segment.b, style, rows))
        return false;
    canvas.compositeRows(box.x, box.y, rows, paint, clip, rop2);
    return true;
}

bool strokeInBands(Canvas& canvas, std::span<const Figure> figures, const StrokeStyle& style,
                   const Area& area, double margin, const Paint& paint, const Region* clip, int rop2) {
    // A few long lines over a large area (a hatch line across the page): a
    // mask of the whole area would cost its pixels for every line. The same
    // path is drawn instead into bands of rows, each mask only as wide as
    // the lines reach within its rows; cairo places every edge from the same
    // path, so the pixels are those of the one large mask.
    constexpr int kBandRows = 128;
    constexpr std::size_t kMostPoints = 16;
    constexpr std::int64_t kLeastArea = 1 << 16;
    if (std::int64_t{area.w} * area.h < kLeastArea)
        return false;
    // The segments in place (a figure's points and the segments so far are
    // counted before each figure, so no more than these are ever kept).
    std::array<std::pair<PointD, PointD>, 2 * kMostPoints + 2> segments;
    std::size_t segmentCount = 0;
    bool joins = false;
    for (const auto& f : figures) {
        std::array<PointD, kMostPoints> pts;
        std::size_t n = 0;
        for (auto p : f.points) {
            if (!finite(p))
                continue;
            if (n == kMostPoints)
                return false;
            pts[n++] = p;
        }
        if (segmentCount > kMostPoints)
            return false;
        if (n > 2 || (f.closed && n > 1))
            joins = true;
        for (std::size_t i = 0; i + 1 < n; ++i) segments[segmentCount++] = {pts[i], pts[i + 1]};
        if (f.closed && n > 1)
            segments[segmentCount++] = {pts[n - 1], pts[0]};
        if (n == 1)
            segments[segmentCount++] = {pts[0], pts[0]};
    }
    // How far the stroke reaches from its path: half the width (a square
    // cap's corner half the diagonal), or the miter margin where lines join.
    const double reach = joins ? margin : style.width * 0.5 * std::numbers::sqrt2 + 2;
    const int first = std::max(area.y, canvas.rowsBegin()), end = std::min(area.y + area.h, canvas.rowsEnd());
    // A lone segment: each band's rows are told without a mask where they
    // can be (the segment's ends beside the band).
    const auto lone = loneSegment(figures, area, margin);
    if (lone && !lone->visible)
        return true;
    // The area the lines reach within rows [top, bottom), if any.
    auto reachWithin = [&](int top, int bottom) -> std::optional<Area> {
        double x1 = 1e300, x2 = -1e300, y1 = 1e300, y2 = -1e300;
        for (std::size_t i = 0; i < segmentCount; ++i) {
            auto [a, b] = segments[i];
            // The part of the segment within the band's rows and the reach.
            if (!clipSegment(a, b, -1e300, top - reach, 1e300, bottom + reach))
                continue;
            x1 = std::min({x1, a.x, b.x});
            x2 = std::max({x2, a.x, b.x});
            y1 = std::min({y1, a.y, b.y});
            y2 = std::max({y2, a.y, b.y});
        }
        // The mask only as wide, and as high, as the lines reach within the
        // band: a level line across the page makes a mask of its own few
        // rows, not of the band's.
        const int left = static_cast<int>(std::max<double>(area.x, std::floor(x1 - reach)));
        const int right = static_cast<int>(std::min<double>(area.x + area.w, std::ceil(x2 + reach) + 1));
        const int high = static_cast<int>(std::max<double>(top, std::floor(y1 - reach)));
        const int low = static_cast<int>(std::min<double>(bottom, std::ceil(y2 + reach) + 1));
        if (left >= right || high >= low)
            return std::nullopt;
        return Area{left, high, right - left, low - high};
    };
    // Held lines make no mask: a lone segment is told over all the held
    // rows at once where it can be, one walk a side instead of one a band.
    if (lone && canvas.heldLines() != nullptr && first < end) {
        const auto all = reachWithin(first, end);
        if (!all || strokeSegmentRows(canvas, *all, *lone, style, paint, clip, rop2))
            return true;
    }
    for (int top = first; top < end; top += kBandRows) {
        const auto reached = reachWithin(top, std::min(top + kBandRows, end));
        if (!reached)
            continue;
        const Area band = *reached;
        if (lone && strokeSegmentRows(canvas, band, *lone, style, paint, clip, rop2))
            continue;
        Mask mask(band);
        if (!mask.ok())
            continue;
        applyStyle(mask.cr(), style);
        addStrokePath(mask.cr(), figures, area, margin);
        cairo_stroke(mask.cr());
        canvas.compositeStroke(band.x, band.y, band.w, band.h, mask.data(), mask.stride(), paint, clip, rop2);
    }
    return true;
}

}  // namespace

void Canvas::strokeFigures(std::span<const Figure> figures, const StrokeStyle& style, const Paint& paint,
                           const Region* clip, int rop2) {
    // Lines held: a lone segment in a solid colour copied is held as its
    // rows (strokeSegmentRows); whatever else it draws refuses the holding.
    if (m_held != nullptr && (paint.kind != Paint::Kind::Solid || rop2 != 13 || clip != nullptr ||
                              !m_held->takes(paint.pixel & 0x00FFFFFFu))) {
        m_held->refuse();
        return;
    }
    const double margin = style.width * std::max(style.miterLimit, 1.0) + 2;
    const auto area = visibleArea(boundsOf(figures), margin, width(), height(), clip);
    if (!area)
        return;
    if (strokeInBands(*this, figures, style, *area, margin, paint, clip, rop2))
        return;
    const auto held = heldRows(*area, rowsBegin(), rowsEnd());
    if (!held)
        return;
    if (const auto lone = loneSegment(figures, *area, margin)) {
        if (!lone->visible || strokeSegmentRows(*this, *held, *lone, style, paint, clip, rop2))
            return;
    }
    Mask mask(*held);
    if (!mask.ok())
        return;
    applyStyle(mask.cr(), style);
    addStrokePath(mask.cr(), figures, *area, margin);
    cairo_stroke(mask.cr());
    compositeStroke(held->x, held->y, held->w, held->h, mask.data(), mask.stride(), paint, clip, rop2);
}

void Canvas::compositeStroke(int x0, int y0, int w, int h, const std::uint8_t* mask, int stride,
                             const Paint& paint, const Region* clip, int rop2) {
    if (m_held == nullptr) {
        compositeMask(x0, y0, w, h, mask, stride, paint, clip, rop2);
        return;
    }
    // Held (its colour taken by strokeFigures): the mask's covered runs.
    const int yStart = std::max(rowsBegin(), y0), yEnd = std::min(rowsEnd(), y0 + h);
    for (int y = yStart; y < yEnd; ++y) {
        const std::uint8_t* m = mask + static_cast<std::ptrdiff_t>(y - y0) * stride;
        for (int x = 0; x < w;) {
            x = skipBytes(m, x, w, false);
            const int run = x;
            x = skipBytes(m, x, w, true);
            if (run < x)
                m_held->addRun(y, std::int64_t{x0} + run, std::int64_t{x0} + x);
        }
    }
}

std::optional<SolidRows> Canvas::solidRows(int x0, int y0, const Paint& paint, const Region* clip, int rop2) {
    if (paint.kind != Paint::Kind::Solid || rop2 != 13 || clip != nullptr || m_held != nullptr ||
        m_dib.width() <= 0 || rowsEnd() <= rowsBegin())
        return std::nullopt;
    return SolidRows{m_dib.row(rowsBegin()),   m_dib.width(), rowsBegin(), rowsEnd(), m_dib.width(), x0, y0,
                     paint.pixel & 0x00FFFFFFu};
}

void Canvas::compositeRows(int x0, int y0, std::span<const RowSpan> rows, const Paint& paint,
                           const Region* clip, int rop2) {
    if (rop2 == 11)  // R2_NOP
        return;
    // As compositeMask takes a mask's covered pixels.
    const int yStart = std::max(rowsBegin(), y0), yEnd = std::min<int>(rowsEnd(), y0 + int(rows.size()));
    const bool solidCopy = paint.kind == Paint::Kind::Solid && rop2 == 13;
    const std::uint32_t solid = paint.pixel & 0x00FFFFFFu;
    if (m_held != nullptr) {
        m_held->refuse();
        return;
    }
    for (int y = yStart; y < yEnd; ++y) {
        const RowSpan run = rows[static_cast<std::size_t>(y - y0)];
        const int x1 = std::max(0, x0 + run.x1), x2 = std::min(width(), x0 + run.x2);
        if (x1 >= x2)
            continue;
        auto paintRun = [&](int a, int b) {
            if (solidCopy) {
                fillPixels(m_dib.row(y) + a, static_cast<std::size_t>(b - a), solid);
                return;
            }
            for (int x = a; x < b; ++x) {
                if (const auto value = paint.at(x, y))
                    plot(x, y, *value, rop2);
            }
        };
        if (clip == nullptr) {
            paintRun(x1, x2);
            continue;
        }
        const std::vector<Span>* spans = clip->row(y);
        if (spans == nullptr)
            continue;
        for (const auto& s : *spans) {
            const int a = std::max(s.x1, x1), b = std::min(s.x2, x2);
            if (a < b)
                paintRun(a, b);
        }
    }
}

Region Canvas::figuresRegion(std::span<const Figure> figures, bool winding) const {
    const auto area = visibleArea(boundsOf(figures), 1, width(), height(), nullptr);
    if (!area)
        return {};
    Mask mask(*area);
    if (!mask.ok())
        return {};
    cairo_set_fill_rule(mask.cr(), winding ? CAIRO_FILL_RULE_WINDING : CAIRO_FILL_RULE_EVEN_ODD);
    addFillPath(mask.cr(), figures, *area);
    cairo_fill(mask.cr());
    return maskRegion(mask);
}

Region Canvas::strokeRegion(std::span<const Figure> figures, const StrokeStyle& style) const {
    const double margin = style.width * std::max(style.miterLimit, 1.0) + 2;
    const auto area = visibleArea(boundsOf(figures), margin, width(), height(), nullptr);
    if (!area)
        return {};
    Mask mask(*area);
    if (!mask.ok())
        return {};
    applyStyle(mask.cr(), style);
    addStrokePath(mask.cr(), figures, *area, margin);
    cairo_stroke(mask.cr());
    return maskRegion(mask);
}

namespace {

// Walks a dash pattern pixel by pixel: where a position falls is found once
// per segment by a binary search over the pattern's running ends, then each
// step moves on in constant time, so a long pattern costs nothing per pixel.
class DashWalker {
public:
    explicit DashWalker(const std::vector<int>& pattern) {
        // An odd count swaps dashes and gaps on every repeat, which is the
        // pattern written out twice.
        const std::size_t copies = pattern.size() % 2 == 1 ? 2 : 1;
        for (std::size_t c = 0; c < copies; ++c) {
            for (int d : pattern) {
                m_length += std::max(d, 1);
                m_ends.push_back(m_length);
            }
        }
    }
    bool solid() const { return m_ends.empty(); }
    // Places the walker at `position` (pixels from the pattern's start);
    // returns the search's steps.
    long seek(long position) {
        m_offset = position % m_length;
        if (m_offset < 0)
            m_offset += m_length;
        const auto it = std::upper_bound(m_ends.begin(), m_ends.end(), m_offset);
        m_index = static_cast<std::size_t>(it - m_ends.begin());
        long steps = 1;
        for (std::size_t n = m_ends.size(); n > 1; n /= 2) ++steps;
        return steps;
    }
    bool on() const { return m_index % 2 == 0; }
    void advance() {
        if (++m_offset >= m_ends[m_index]) {
            if (++m_index == m_ends.size()) {
                m_index = 0;
                m_offset = 0;
            }
        }
    }

private:
    std::vector<long> m_ends;  // running sum of the entries
    long m_length = 0;
    long m_offset = 0;
    std::size_t m_index = 0;
};

}  // namespace

void Canvas::thinLines(std::span<const PointL> points, bool closed, const Paint& paint, ThinDash& dash,
                       const Region* clip, int rop2) {
    if (points.size() < 2 || rop2 == 11)
        return;
    DashWalker walker(dash.pattern);
    const bool solidCopy = paint.kind == Paint::Kind::Solid && rop2 == 13;
    const std::uint32_t solid = paint.pixel & 0x00FFFFFFu;
    const std::size_t count = closed ? points.size() : points.size() - 1;
    for (std::size_t s = 0; s < count; ++s) {
        const PointL a = points[s];
        const PointL b = points[(s + 1) % points.size()];
        const std::int64_t dx = std::int64_t{b.x} - a.x, dy = std::int64_t{b.y} - a.y;
        const std::int64_t n = std::max(std::llabs(dx), std::llabs(dy));
        if (n == 0)
            continue;
        const bool xMajor = std::llabs(dx) >= std::llabs(dy);
        // Only the steps whose major coordinate lies on the bitmap.
        const std::int64_t major0 = xMajor ? a.x : a.y;
        const std::int64_t majorStep = (xMajor ? dx : dy) > 0 ? 1 : -1;
        const std::int64_t limit = xMajor ? width() : height();
        std::int64_t iFrom = 0, iTo = n;  // [iFrom, iTo)
        if (majorStep > 0) {
            iFrom = std::max<std::int64_t>(iFrom, -major0);
            iTo = std::min<std::int64_t>(iTo, limit - major0);
        } else {
            iFrom = std::max<std::int64_t>(iFrom, major0 - (limit - 1));
            iTo = std::min<std::int64_t>(iTo, major0 + 1);
        }
        // And only those whose minor coordinate does too: it moves
        // monotonically with i, so the ends of that run are found by
        // bisection (a line that merely passes the bitmap costs nothing).
        const std::int64_t minor0 = xMajor ? a.y : a.x, dMinor = xMajor ? dy : dx;
        auto minorAt = [&](std::int64_t i) { return minor0 + roundDiv(i * dMinor, n); };
        // The steps in [lo, hi) whose minor coordinate lies in [from, to).
        auto minorWithin = [&](std::int64_t& lo, std::int64_t& hi, std::int64_t from, std::int64_t to) {
            // The first i in [l, h) where pred holds, pred monotonic (false
            // then true). The step where the minor coordinate reaches
            // `value` is guessed first (in floating point, so off by a step
            // or two at most for any line on a bitmap) and taken when the
            // exact test confirms it; otherwise bisection finds it.
            auto firstTrue = [&](std::int64_t l, std::int64_t h, double value, auto pred) {
                if (l >= h)
                    return l;
                if (dMinor != 0) {
                    // minor0 + (2 i d + n) / 2n crosses value - 1/2 there.
                    const double at = std::ceil(((value - double(minor0)) * 2 * double(n) - double(n)) /
                                                (2 * double(dMinor)));
                    if (!std::isnan(at)) {
                        const auto guess = static_cast<std::int64_t>(std::clamp(at, double(l), double(h)));
                        for (std::int64_t g = std::max(l, guess - 1); g <= std::min(h, guess + 1); ++g) {
                            if ((g == h || pred(g)) && (g == l || !pred(g - 1)))
                                return g;
                        }
                    }
                }
                while (l < h) {
                    const std::int64_t mid = l + (h - l) / 2;
                    if (pred(mid))
                        h = mid;
                    else
                        l = mid + 1;
                }
                return l;
            };
            if (dMinor >= 0) {
                lo = firstTrue(lo, hi, double(from), [&](std::int64_t i) { return minorAt(i) >= from; });
                hi = firstTrue(lo, hi, double(to), [&](std::int64_t i) { return minorAt(i) >= to; });
            } else {
                lo = firstTrue(lo, hi, double(to), [&](std::int64_t i) { return minorAt(i) < to; });
                hi = firstTrue(lo, hi, double(from), [&](std::int64_t i) { return minorAt(i) < from; });
            }
        };
        if (iFrom < iTo)
            minorWithin(iFrom, iTo, 0, xMajor ? height() : width());
        // The dash budget is charged for the steps over the whole bitmap, as
        // though it held every row; only those in the rows it holds are
        // walked.
        const std::int64_t charged = iTo - iFrom;
        if (iFrom < iTo && (rowsBegin() > 0 || rowsEnd() < height())) {
            if (xMajor) {
                minorWithin(iFrom, iTo, rowsBegin(), rowsEnd());
            } else if (majorStep > 0) {
                iFrom = std::max<std::int64_t>(iFrom, rowsBegin() - major0);
                iTo = std::min<std::int64_t>(iTo, rowsEnd() - major0);
            } else {
                iFrom = std::max<std::int64_t>(iFrom, major0 - (rowsEnd() - 1));
                iTo = std::min<std::int64_t>(iTo, major0 - rowsBegin() + 1);
            }
        }
        if (charged > 0 && !walker.solid()) {
            const long steps = walker.seek(dash.position + static_cast<long>(std::min(iFrom, iTo)));
            if (!m_budget.charge(WorkBudget::Kind::DashSteps, steps + charged))
                return;
        }
        if (m_held != nullptr && !(solidCopy && walker.solid() && clip == nullptr)) {
            m_held->refuse();
            return;
        }
        if (solidCopy && walker.solid() && clip == nullptr) {
            // A solid line copied onto the bitmap: the minor coordinate
            // a + round(i d / n) carried from step to step as a quotient
            // and a remainder of (2 i d + n) / 2n, without a division per
            // pixel.
            const std::int64_t d = dMinor, den = 2 * n;
            const std::int64_t num = 2 * iFrom * d + n;
            std::int64_t q = floorDiv(num, den), r = num - q * den;
            const std::int64_t stepQ = floorDiv(2 * d, den), stepR = 2 * d - stepQ * den;
            if (m_held != nullptr) {
                if (!m_held->takes(solid))
                    return;
                m_held->addSteps(iFrom, iTo, xMajor, major0, majorStep, minor0, d, n);
                dash.position += static_cast<long>(n);
                continue;
            }
            for (std::int64_t i = iFrom; i < iTo; ++i) {
                const std::int64_t minor = minor0 + q;
                const std::int64_t x = xMajor ? major0 + i * majorStep : minor;
                const std::int64_t y = xMajor ? minor : major0 + i * majorStep;
                if (x >= 0 && y >= rowsBegin() && x < width() && y < rowsEnd())
                    m_dib.row(static_cast<int>(y))[x] = solid;
                // The carry without a branch: it follows the slope's
                // fraction, which no predictor follows.
                q += stepQ;
                r += stepR;
                const std::int64_t carry = r >= den ? 1 : 0;
                q += carry;
                r -= den & -carry;
            }
            dash.position += static_cast<long>(n);
            continue;
        }
        for (std::int64_t i = iFrom; i < iTo; ++i) {
            const bool on = walker.solid() || walker.on();
            if (!walker.solid())
                walker.advance();
            const std::int64_t minor = xMajor ? a.y + roundDiv(i * dy, n) : a.x + roundDiv(i * dx, n);
            const std::int64_t x = xMajor ? major0 + i * majorStep : minor;
            const std::int64_t y = xMajor ? minor : major0 + i * majorStep;
            if (x < 0 || y < rowsBegin() || x >= width() || y >= rowsEnd())
                continue;
            const int xi = static_cast<int>(x), yi = static_cast<int>(y);
            if (clip != nullptr && !clip->contains(xi, yi))
                continue;
            if (on) {
                if (const auto value = paint.at(xi, yi))
                    plot(xi, yi, *value, rop2);
            } else if (dash.opaqueGaps) {
                plot(xi, yi, dash.gapPixel, rop2);
            }
        }
        dash.position += static_cast<long>(n);
    }
}

void Canvas::fillRegion(const Region& region, const Paint& paint, const Region* clip, int rop2) {
    if (m_held != nullptr) {
        m_held->refuse();
        return;
    }
    Region visible = region.intersected(Region::fromRect(0, rowsBegin(), width(), rowsEnd()));
    if (clip != nullptr)
        visible = visible.intersected(*clip);
    const bool solidCopy = paint.kind == Paint::Kind::Solid && rop2 == 13;
    for (const auto& band : visible.bands()) {
        for (int y = band.top; y < band.bottom; ++y) {
            for (const auto& s : band.spans) {
                if (solidCopy) {
                    std::fill(m_dib.row(y) + s.x1, m_dib.row(y) + s.x2, paint.pixel & 0x00FFFFFFu);
                    continue;
                }
                for (int x = s.x1; x < s.x2; ++x) {
                    if (const auto value = paint.at(x, y))
                        plot(x, y, *value, rop2);
                }
            }
        }
    }
}

void Canvas::setPixel(int x, int y, std::uint32_t pixel, const Region* clip, int rop2) {
    if (x < 0 || y < rowsBegin() || x >= width() || y >= rowsEnd())
        return;
    if (clip != nullptr && !clip->contains(x, y))
        return;
    plot(x, y, pixel, rop2);
}

}  // namespace metafile
