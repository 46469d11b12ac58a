#include "metafile/stroke_rows.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>

#include "metafile/dib_section.h"
#include "metafile/wide_walk.h"

namespace metafile {
namespace {

// cairo keeps coordinates in 24.8 fixed point (32 bits); they are held wider
// here, and a segment whose numbers would not fit cairo's is left to cairo.
using Fixed = std::int64_t;
constexpr Fixed kOne = 256;
// The largest device coordinate (in 1/256 pixel) told here: every sum of
// cairo's stays within 32 bits and every product within 63.
constexpr Fixed kMostFixed = Fixed{1} << 28;
constexpr Fixed kMostRowX = Fixed{1} << 30;

// cairo's conversion of a double: to the nearest 1/256, halves to even (the
// rounding of the addition itself).
Fixed toFixed(double d) {
    const double sum = d + double(std::int64_t{1} << 44) * 1.5;
    std::uint64_t bits = 0;
    std::memcpy(&bits, &sum, sizeof bits);
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(bits & 0xFFFFFFFFu));
}

// The pixel (row or column) a fixed coordinate falls in, as the scan
// converter rounds it: halves down.
Fixed pixelOf(Fixed f) {
    return (f + kOne / 2 - 1) >> 8;
}
Fixed floorPixel(Fixed f) {
    return f >> 8;
}
Fixed ceilPixel(Fixed f) {
    return -((-f) >> 8);
}

Fixed floorDiv(Fixed a, Fixed b) {
    Fixed q = a / b;
    if (a % b != 0 && ((a < 0) != (b < 0)))
        --q;
    return q;
}

// A direction made a unit vector as cairo's stroker does it.
void normalizeSlope(double& dx, double& dy) {
    if (dx == 0.0) {
        dx = 0.0;
        dy = dy > 0.0 ? 1.0 : -1.0;
    } else if (dy == 0.0) {
        dy = 0.0;
        dx = dx > 0.0 ? 1.0 : -1.0;
    } else {
        const double magnitude = std::hypot(dx, dy);
        dx = dx / magnitude;
        dy = dy / magnitude;
    }
}

struct Point {
    Fixed x = 0, y = 0;
};

// The x of the line p1-p2 at y, and the y at x, as the polygon's clipping
// finds them: the quotient truncated.
Fixed xForY(Point p1, Point p2, Fixed y) {
    if (y == p1.y)
        return p1.x;
    if (y == p2.y)
        return p2.x;
    const Fixed dy = p2.y - p1.y;
    return dy == 0 ? p1.x : p1.x + (y - p1.y) * (p2.x - p1.x) / dy;
}
Fixed yForX(Point p1, Point p2, Fixed x) {
    if (x == p1.x)
        return p1.y;
    if (x == p2.x)
        return p2.y;
    const Fixed dx = p2.x - p1.x;
    return dx == 0 ? p1.y : p1.y + (x - p1.x) * (p2.y - p1.y) / dx;
}

// The mask's clipping box (the limits of the stroke's polygon), in fixed
// point.
struct Limits {
    Fixed x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

// A part of an edge as the polygon keeps it: the edge itself over
// [top, bottom), or the box's left or right side standing in for it where
// the edge lies beyond.
struct Piece {
    enum class Kind { Edge, Left, Right };
    Kind kind = Kind::Edge;
    Fixed top = 0, bottom = 0;
};

// The parts of edge p1-p2 (p1 above) within the box, in the order the
// polygon adds them.
int clipEdge(Point p1, Point p2, const Limits& box, Piece out[3]) {
    int count = 0;
    if (p1.y == p2.y || p2.y <= box.y0 || p1.y >= box.y1)
        return 0;
    Fixed topY = std::max(p1.y, box.y0), botY = std::min(p2.y, box.y1);
    const Fixed left = std::min(p1.x, p2.x), right = std::max(p1.x, p2.x);
    auto add = [&](Piece::Kind kind, Fixed top, Fixed bottom) { out[count++] = Piece{kind, top, bottom}; };
    if (box.x0 <= left && right <= box.x1) {
        add(Piece::Kind::Edge, topY, botY);
        return count;
    }
    if (right <= box.x0) {
        add(Piece::Kind::Left, topY, botY);
        return count;
    }
    if (box.x1 <= left) {
        add(Piece::Kind::Right, topY, botY);
        return count;
    }
    // The edge crosses a side of the box: the side stands in for it above or
    // below the crossing.
    if (p1.x <= p2.x) {
        Fixed leftY = topY;
        if (left < box.x0) {
            leftY = yForX(p1, p2, box.x0);
            if (xForY(p1, p2, leftY) < box.x0)
                ++leftY;
        }
        leftY = std::min(leftY, botY);
        if (topY < leftY) {
            add(Piece::Kind::Left, topY, leftY);
            topY = leftY;
        }
        Fixed rightY = botY;
        if (right > box.x1) {
            rightY = yForX(p1, p2, box.x1);
            if (xForY(p1, p2, rightY) > box.x1)
                --rightY;
        }
        rightY = std::max(rightY, topY);
        if (botY > rightY) {
            add(Piece::Kind::Right, rightY, botY);
            botY = rightY;
        }
    } else {
        Fixed rightY = topY;
        if (right > box.x1) {
            rightY = yForX(p1, p2, box.x1);
            if (xForY(p1, p2, rightY) > box.x1)
                ++rightY;
        }
        rightY = std::min(rightY, botY);
        if (topY < rightY) {
            add(Piece::Kind::Right, topY, rightY);
            topY = rightY;
        }
        Fixed leftY = botY;
        if (left < box.x0) {
            leftY = yForX(p1, p2, box.x0);
            if (xForY(p1, p2, leftY) < box.x0)
                --leftY;
        }
        leftY = std::max(leftY, topY);
        if (botY > leftY) {
            add(Piece::Kind::Left, leftY, botY);
            botY = leftY;
        }
    }
    if (topY != botY)
        add(Piece::Kind::Edge, topY, botY);
    return count;
}

// The polygon's horizontal extent as it grows edge by edge: each end of an
// edge is looked at only where the line's own end lies outside the extent
// so far.
struct Extent {
    Fixed x1 = std::numeric_limits<std::int32_t>::max(), x2 = std::numeric_limits<std::int32_t>::min();
    void include(Fixed x) {
        x1 = std::min(x1, x);
        x2 = std::max(x2, x);
    }
    void addEdge(Point p1, Point p2, Fixed top, Fixed bottom) {
        if (p1.x < x1 || p1.x > x2)
            include(top != p1.y ? xForY(p1, p2, top) : p1.x);
        if (p2.x < x1 || p2.x > x2)
            include(bottom != p2.y ? xForY(p1, p2, bottom) : p2.x);
    }
    bool empty() const { return x1 > x2; }
};

// Where a segment's end (with its cap) lies against the box: wholly above,
// below, left or right of it. A cap left or right of the box lies within
// its rows, so that its part of the outline stands as the box's side in the
// rows it crosses.
enum class Side { Above, Below, Left, Right };

// An outline's x in one row, or none where the stroke has no pixel there.
constexpr Fixed kNone = std::numeric_limits<Fixed>::min();

// Every row of a walk handed to `rows`.
template <class Rows>
void walkRows(WideWalk walk, Rows& rows) {
    while (walk.row < walk.end) {
        const Fixed r = walk.row;
        Fixed x1 = 0, x2 = 0;
        walk.next(x1, x2);
        if (x1 < x2)
            rows.put(r, x1, x2);
    }
}

// The rows told into a vector, every row of the mask.
struct RowList {
    std::vector<RowSpan>& rows;
    void begin(int height) { rows.assign(static_cast<std::size_t>(height), RowSpan{}); }
    void put(Fixed r, Fixed x1, Fixed x2) { rows[static_cast<std::size_t>(r)] = RowSpan{int(x1), int(x2)}; }
    void walk(const WideWalk& w) { walkRows(w, *this); }
};

// The rows written at once as runs of a colour.
struct RowFill {
    const SolidRows& target;
    void begin(int) {}
    void put(Fixed r, Fixed x1, Fixed x2) const {
        const Fixed y = target.y0 + r;
        if (y < target.firstRow || y >= target.endRow)
            return;
        const Fixed from = std::max<Fixed>(0, target.x0 + x1),
                    to = std::min<Fixed>(target.width, target.x0 + x2);
        if (from < to)
            fillPixels(target.pixels + (y - target.firstRow) * target.stride + from,
                       static_cast<std::size_t>(to - from), target.pixel);
    }
    void walk(const WideWalk& w) { walkRows(w, *this); }
};

// The rows set aside in lines held by a canvas: a walk as it is, the rows
// of any other way one by one.
struct RowHold {
    HeldLines& held;
    std::int64_t x0 = 0, y0 = 0;
    void begin(int) {}
    void put(Fixed r, Fixed x1, Fixed x2) { held.addRun(y0 + r, x0 + x1, x0 + x2); }
    void walk(const WideWalk& w) { held.addWalk(w, x0, y0); }
};

template <class Rows>
bool strokedRows(const MaskBox& mask, PointD a, PointD b, const StrokeStyle& style, Rows&& rows) {
    if (!style.dashes.empty() || mask.w <= 0 || mask.h <= 0 || mask.w > (1 << 20) || mask.h > (1 << 20))
        return false;
    const double lineWidth = std::max(style.width, 1.0), half = lineWidth / 2.0;
    const double miterLimit = std::max(style.miterLimit, 1.0);
    // The path in the mask's device space: the translation, then cairo's
    // fixed point.
    const double tx = -mask.x + 0.5, ty = -mask.y + 0.5;
    const double dev[4] = {a.x + tx, a.y + ty, b.x + tx, b.y + ty};
    for (double d : dev) {
        if (!(std::abs(d) < double(kMostFixed / kOne)))
            return false;
    }
    const Point p1{toFixed(dev[0]), toFixed(dev[1])}, p2{toFixed(dev[2]), toFixed(dev[3])};
    const Fixed dx = p2.x - p1.x, dy = p2.y - p1.y;
    if (dx == 0 && dy == 0)
        return false;  // a dot: the cap alone

    // The pen's half width along the normal, as the stroker turns the
    // direction into an offset: made a unit vector, mapped back to user
    // space through the translation (which leaves it) and made one again.
    double ux = double(dx) / 256.0, uy = double(dy) / 256.0;
    normalizeSlope(ux, uy);
    normalizeSlope(ux, uy);
    const Point offset{toFixed(-uy * half), toFixed(ux * half)};
    // The two sides: the counterclockwise one first, as the polygon takes
    // its edges.
    Point sides[2][2] = {{{p1.x + offset.x, p1.y + offset.y}, {p2.x + offset.x, p2.y + offset.y}},
                         {{p1.x - offset.x, p1.y - offset.y}, {p2.x - offset.x, p2.y - offset.y}}};
    for (const auto& side : sides) {
        for (const Point& p : side) {
            if (std::abs(p.x) >= kMostFixed || std::abs(p.y) >= kMostFixed)
                return false;
        }
    }

    // The stroke's approximate extent (the path's box grown by the style's
    // reach), cut to the mask: the box the polygon is clipped to.
    double expansion = style.cap == StrokeStyle::Cap::Square ? std::numbers::sqrt2 / 2 : 0.5;
    const bool rectilinear = dx == 0 || dy == 0;
    if (style.join == StrokeStyle::Join::Miter && !rectilinear &&
        expansion < std::numbers::sqrt2 * miterLimit)
        expansion = std::numbers::sqrt2 * miterLimit;
    const Fixed grow = toFixed(expansion * lineWidth);
    const Fixed ax0 = floorPixel(std::min(p1.x, p2.x) - grow), ay0 = floorPixel(std::min(p1.y, p2.y) - grow);
    const Fixed ax1 = ceilPixel(std::max(p1.x, p2.x) + grow), ay1 = ceilPixel(std::max(p1.y, p2.y) + grow);
    rows.begin(mask.h);
    const Fixed bx0 = std::max<Fixed>(ax0, 0), by0 = std::max<Fixed>(ay0, 0);
    const Fixed bx1 = std::min<Fixed>(ax1, mask.w), by1 = std::min<Fixed>(ay1, mask.h);
    if (bx0 >= bx1 || by0 >= by1)
        return true;  // nothing of it on the mask
    if (ax0 >= 0 && ay0 >= 0 && ax1 <= mask.w && ay1 <= mask.h)
        return false;  // the whole stroke on the mask: its ends show
    const Limits box{bx0 * kOne, by0 * kOne, bx1 * kOne, by1 * kOne};

    // Each end with its cap (within the pen's reach, a square cap's corner
    // included, and a pixel to spare) wholly beside the box.
    const Fixed reach = static_cast<Fixed>(std::ceil(half * std::numbers::sqrt2 * kOne)) + 2 * kOne;
    auto sideOf = [&](Point p, Side& side) {
        if (p.y + reach <= box.y0) {
            side = Side::Above;
        } else if (p.y - reach >= box.y1) {
            side = Side::Below;
        } else if (p.y - reach < box.y0 || p.y + reach > box.y1) {
            return false;  // across the box's top or bottom row
        } else if (p.x + reach <= box.x0) {
            side = Side::Left;
        } else if (p.x - reach >= box.x1) {
            side = Side::Right;
        } else {
            return false;
        }
        return true;
    };
    Side side1 = Side::Above, side2 = Side::Above;
    if (!sideOf(p1, side1) || !sideOf(p2, side2))
        return false;
    auto capX = [&](Side side) { return side == Side::Left ? box.x0 : side == Side::Right ? box.x1 : kNone; };

    // The polygon's extent, edge by edge in the stroker's order: the
    // counterclockwise side, the cap at the end, the cap at the start, the
    // clockwise side. A cap beside the box stands as the box's side.
    Extent extent;
    Piece pieces[2][3];
    int counts[2] = {0, 0};
    Point tops[2], bottoms[2];
    for (int s = 0; s < 2; ++s) {
        tops[s] = dy >= 0 ? sides[s][0] : sides[s][1];
        bottoms[s] = dy >= 0 ? sides[s][1] : sides[s][0];
        counts[s] = clipEdge(tops[s], bottoms[s], box, pieces[s]);
    }
    auto addPieces = [&](int s) {
        for (int i = 0; i < counts[s]; ++i) {
            const Piece& piece = pieces[s][i];
            if (piece.kind == Piece::Kind::Edge)
                extent.addEdge(tops[s], bottoms[s], piece.top, piece.bottom);
            else
                extent.addEdge({capX(piece.kind == Piece::Kind::Left ? Side::Left : Side::Right), box.y0},
                               {capX(piece.kind == Piece::Kind::Left ? Side::Left : Side::Right), box.y1},
                               piece.top, piece.bottom);
        }
    };
    auto addCap = [&](Side side) {
        if (side == Side::Left || side == Side::Right)
            extent.addEdge({capX(side), box.y0}, {capX(side), box.y1}, box.y0, box.y1);
    };
    addPieces(0);
    addCap(side2);
    addCap(side1);
    addPieces(1);
    if (extent.empty())
        return true;
    // The scan converter's columns: the box, cut to the polygon's extent.
    const Fixed xMin = std::max(bx0, floorPixel(extent.x1)), xMax = std::min(bx1, ceilPixel(extent.x2));

    // Each side's x row by row (sampled half a pixel down, less 1/256), or
    // the cap's where the side has no part in the row: above the side's top
    // the cap at the upper end, below its bottom the other.
    const bool horizontal = dy == 0;
    const Side topSide = dy >= 0 ? side1 : side2, bottomSide = dy >= 0 ? side2 : side1;
    // A line across the box from its top to its bottom (a hatch line
    // through a band): each side's edge over every row, so no cap shows
    // and both sides are walked together, each row's run written at once.
    // The same numbers as the general way below. Where an edge lies beyond
    // the box's left or right side, the general way takes the side's x
    // instead; the edge's own x gives the same run there as long as it
    // rounds to a pixel no further in than the side's. The edge's x is
    // monotonic, so each such piece is checked at its first and last rows.
    auto edgeX = [&](int s, Fixed r) {
        const Point top = tops[s], bottom = bottoms[s];
        return top.x + floorDiv((r * kOne + kOne / 2 - 1 - top.y) * (bottom.x - top.x), bottom.y - top.y);
    };
    auto wholeEdge = [&](int s) {
        if (pixelOf(tops[s].y) > by0 || pixelOf(bottoms[s].y) < by1)
            return false;
        for (int i = 0; i < counts[s]; ++i) {
            const Piece& piece = pieces[s][i];
            const Fixed from = std::max(pixelOf(piece.top), by0), to = std::min(pixelOf(piece.bottom), by1);
            if (piece.kind == Piece::Kind::Edge || from >= to)
                continue;
            for (const Fixed r : {from, to - 1}) {
                const Fixed x = pixelOf(edgeX(s, r));
                if (piece.kind == Piece::Kind::Left ? x > bx0 : x < bx1)
                    return false;
            }
        }
        return true;
    };
    if (!horizontal && wholeEdge(0) && wholeEdge(1)) {
        WideWalk walk;
        walk.xMin = xMin;
        walk.xMax = xMax;
        walk.row = by0;
        walk.end = by1;
        for (int s = 0; s < 2; ++s) {
            const Point top = tops[s], bottom = bottoms[s];
            const Fixed ex = bottom.x - top.x;
            walk.ey[s] = bottom.y - top.y;
            walk.topX[s] = top.x;
            walk.stepQ[s] = floorDiv(kOne * ex, walk.ey[s]);
            walk.stepR[s] = kOne * ex - walk.stepQ[s] * walk.ey[s];
            const Fixed num = (by0 * kOne + kOne / 2 - 1 - top.y) * ex;
            walk.q[s] = floorDiv(num, walk.ey[s]);
            walk.rem[s] = num - walk.q[s] * walk.ey[s];
            const Fixed last = top.x + floorDiv((((by1 - 1) * kOne) + kOne / 2 - 1 - top.y) * ex, walk.ey[s]);
            if (std::abs(walk.stepQ[s]) >= kMostRowX || std::abs(top.x + walk.q[s]) >= kMostRowX ||
                std::abs(last) >= kMostRowX)
                return false;
        }
        rows.walk(walk);
        return true;
    }
    thread_local std::vector<Fixed> xs[2];
    for (int s = 0; s < 2; ++s) {
        std::vector<Fixed>& x = xs[s];
        x.assign(static_cast<std::size_t>(mask.h), kNone);
        if (horizontal) {
            // Both sides are level and drop out: the caps alone bound the
            // rows between them, one on either hand.
            const Fixed from = std::max(by0, pixelOf(std::min(sides[0][0].y, sides[1][0].y))),
                        to = std::min(by1, pixelOf(std::max(sides[0][0].y, sides[1][0].y)));
            for (Fixed r = from; r < to; ++r) x[static_cast<std::size_t>(r)] = capX(s == 0 ? side1 : side2);
            continue;
        }
        const Fixed topRow = pixelOf(tops[s].y), bottomRow = pixelOf(bottoms[s].y);
        for (Fixed r = by0; r < std::min(topRow, by1); ++r) x[static_cast<std::size_t>(r)] = capX(topSide);
        for (Fixed r = std::max(bottomRow, by0); r < by1; ++r)
            x[static_cast<std::size_t>(r)] = capX(bottomSide);
        const Point top = tops[s], bottom = bottoms[s];
        const Fixed ex = bottom.x - top.x, ey = bottom.y - top.y;
        for (int i = 0; i < counts[s]; ++i) {
            const Piece& piece = pieces[s][i];
            const Fixed from = std::max(pixelOf(piece.top), by0), to = std::min(pixelOf(piece.bottom), by1);
            if (from >= to)
                continue;
            if (piece.kind != Piece::Kind::Edge) {
                const Fixed at = capX(piece.kind == Piece::Kind::Left ? Side::Left : Side::Right);
                for (Fixed r = from; r < to; ++r) x[static_cast<std::size_t>(r)] = at;
                continue;
            }
            // top.x + floor((256 r + 127 - top.y) ex / ey), carried from row
            // to row as a quotient and a remainder: in four carries side by
            // side, each for every fourth row, so that no row waits on the
            // carry of the row before.
            const Fixed stepQ = floorDiv(kOne * ex, ey);
            const Fixed num = (from * kOne + kOne / 2 - 1 - top.y) * ex;
            const Fixed first = floorDiv(num, ey);
            const Fixed last = top.x + floorDiv((((to - 1) * kOne) + kOne / 2 - 1 - top.y) * ex, ey);
            if (std::abs(stepQ) >= kMostRowX || std::abs(top.x + first) >= kMostRowX ||
                std::abs(last) >= kMostRowX)
                return false;
            constexpr int kChains = 4;
            const Fixed step4 = kChains * kOne * ex;
            const Fixed stepQ4 = floorDiv(step4, ey), stepR4 = step4 - stepQ4 * ey;
            Fixed q[kChains], rem[kChains];
            for (int j = 0; j < kChains; ++j) {
                const Fixed n = num + j * kOne * ex;
                q[j] = floorDiv(n, ey);
                rem[j] = n - q[j] * ey;
            }
            Fixed* const out = x.data();
            Fixed r = from;
            for (; r + kChains <= to; r += kChains) {
                for (int j = 0; j < kChains; ++j) {
                    out[r + j] = top.x + q[j];
                    q[j] += stepQ4;
                    rem[j] += stepR4;
                    const Fixed carry = rem[j] >= ey ? 1 : 0;
                    q[j] += carry;
                    rem[j] -= ey & -carry;
                }
            }
            for (int j = 0; r < to; ++r, ++j) out[r] = top.x + q[j];
        }
    }
    for (Fixed r = by0; r < by1; ++r) {
        const Fixed u = xs[0][static_cast<std::size_t>(r)], v = xs[1][static_cast<std::size_t>(r)];
        if (u == kNone || v == kNone)
            continue;
        const Fixed x1 = std::max(pixelOf(std::min(u, v)), xMin),
                    x2 = std::min(pixelOf(std::max(u, v)), xMax);
        if (x1 < x2)
            rows.put(r, x1, x2);
    }
    return true;
}

}  // namespace

bool strokedSegmentRows(const MaskBox& mask, PointD a, PointD b, const StrokeStyle& style,
                        std::vector<RowSpan>& rows) {
    return strokedRows(mask, a, b, style, RowList{rows});
}

bool fillStrokedSegment(const MaskBox& mask, PointD a, PointD b, const StrokeStyle& style,
                        const SolidRows& target) {
    return strokedRows(mask, a, b, style, RowFill{target});
}

bool holdStrokedSegment(const MaskBox& mask, PointD a, PointD b, const StrokeStyle& style, HeldLines& held) {
    return strokedRows(mask, a, b, style, RowHold{held, mask.x, mask.y});
}

}  // namespace metafile
