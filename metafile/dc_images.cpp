// Bitmap operations and gradient fills of the device context.

#include <algorithm>
#include <cmath>
#include <utility>

#include "metafile/dc.h"

namespace metafile {

std::uint32_t applyRop3(std::uint32_t rop3, std::uint32_t p, std::uint32_t s, std::uint32_t d) {
    const std::uint32_t table = (rop3 >> 16) & 0xFF;
    switch (table) {
        case 0xCC:
            return s;
        case 0xF0:
            return p;
        case 0xAA:
            return d;
        case 0x00:
            return 0;
        case 0xFF:
            return 0xFFFFFF;
        default:
            break;
    }
    std::uint32_t r = 0;
    for (unsigned i = 0; i < 8; ++i) {
        if ((table >> i) & 1u)
            r |= ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
    }
    return r & 0xFFFFFF;
}

namespace {

struct Box {
    int x1, y1, x2, y2;
};

// The device pixels worth visiting for a parallelogram, within the bitmap.
std::optional<Box> deviceBox(PointD a, PointD b, PointD c, PointD d, int width, int height,
                             const Region* clip) {
    const double xs[] = {a.x, b.x, c.x, d.x}, ys[] = {a.y, b.y, c.y, d.y};
    double x1 = std::floor(*std::min_element(xs, xs + 4)) - 1,
           x2 = std::ceil(*std::max_element(xs, xs + 4)) + 1;
    double y1 = std::floor(*std::min_element(ys, ys + 4)) - 1,
           y2 = std::ceil(*std::max_element(ys, ys + 4)) + 1;
    x1 = std::max(x1, 0.0);
    y1 = std::max(y1, 0.0);
    x2 = std::min(x2, double(width));
    y2 = std::min(y2, double(height));
    if (clip != nullptr) {
        const auto b2 = clip->bounds();
        if (!b2)
            return std::nullopt;
        x1 = std::max(x1, double(b2->left));
        y1 = std::max(y1, double(b2->top));
        x2 = std::min(x2, double(b2->right));
        y2 = std::min(y2, double(b2->bottom));
    }
    if (!(x1 < x2 && y1 < y2))
        return std::nullopt;
    return Box{int(x1), int(y1), int(x2), int(y2)};
}

// The part of a box in the rows the canvas holds (a band's rows).
std::optional<Box> heldRows(std::optional<Box> box, const Canvas& canvas) {
    if (!box)
        return box;
    box->y1 = std::max(box->y1, canvas.rowsBegin());
    box->y2 = std::min(box->y2, canvas.rowsEnd());
    if (box->y1 >= box->y2)
        return std::nullopt;
    return box;
}

// The source lines [first, last) whose centres fall in the footprint of
// length `foot` centred on `s`; where none does (the axis is enlarged), the
// line under `s`.
std::pair<int, int> footprintLines(double s, double foot, int count) {
    int first = static_cast<int>(std::floor(s - foot / 2 + 0.5));
    int last = static_cast<int>(std::floor(s + foot / 2 + 0.5));
    if (last <= first) {
        first = static_cast<int>(std::floor(s));
        last = first + 1;
    }
    return {std::max(0, first), std::min(count, last)};
}

// The mean of the source pixels in the footprint centred on (sx, sy).
std::uint32_t averageFootprint(const Image32& src, double sx, double sy, double footX, double footY) {
    const auto [x1, x2] = footprintLines(sx, footX, src.width);
    const auto [y1, y2] = footprintLines(sy, footY, src.height);
    std::uint64_t a = 0, r = 0, g = 0, b = 0, n = 0;
    for (int y = y1; y < y2; ++y) {
        for (int x = x1; x < x2; ++x) {
            const std::uint32_t p = src.at(x, y);
            a += p >> 24, r += (p >> 16) & 0xFF, g += (p >> 8) & 0xFF, b += p & 0xFF, ++n;
        }
    }
    if (n == 0)
        return src.at(std::clamp(static_cast<int>(sx), 0, src.width - 1),
                      std::clamp(static_cast<int>(sy), 0, src.height - 1));
    return static_cast<std::uint32_t>(((a / n) << 24) | ((r / n) << 16) | ((g / n) << 8) | (b / n));
}

std::uint32_t blendChannel(std::uint32_t s, std::uint32_t d, std::uint32_t shift, double sourceWeight,
                           double destWeight) {
    const double v = ((s >> shift) & 0xFF) * sourceWeight + ((d >> shift) & 0xFF) * destWeight;
    return static_cast<std::uint32_t>(std::clamp(v + 0.5, 0.0, 255.0)) << shift;
}

}  // namespace

void Dc::drawImage(const ImageDraw& draw) {
    const PointD p0 = toDevice(draw.dest0), px = toDevice(draw.destX), py = toDevice(draw.destY);
    const PointD ex{px.x - p0.x, px.y - p0.y}, ey{py.x - p0.x, py.y - p0.y};
    const double det = ex.x * ey.y - ex.y * ey.x;
    if (!std::isfinite(det) || std::fabs(det) < 1e-9)
        return;
    const PointD p3{p0.x + ex.x + ey.x, p0.y + ex.y + ey.y};
    const Region* clip = effectiveClip();
    const auto box = heldRows(deviceBox(p0, px, py, p3, m_canvas.width(), m_canvas.height(), clip), m_canvas);
    if (!box)
        return;
    const Image32* src = draw.source;
    if (src != nullptr && (src->width <= 0 || src->height <= 0))
        return;
    const bool usesPattern = draw.mode == ImageDraw::Mode::Rop &&
                             (((draw.rop3 >> 16) & 0xFF) >> 4) != (((draw.rop3 >> 16) & 0xFF) & 0xF);
    const Paint pattern = brushPaint(m_state.brush);
    const bool nullBrush = m_state.brush.isNull();
    // HALFTONE stretching averages the source pixels under each destination
    // pixel when the picture is reduced (axis-aligned draws only).
    const double footX = std::fabs(draw.srcW) / std::max(std::hypot(ex.x, ex.y), 1e-9);
    const double footY = std::fabs(draw.srcH) / std::max(std::hypot(ey.x, ey.y), 1e-9);
    const bool halftone = src != nullptr && m_state.stretchBltMode == 4 && draw.mask == nullptr &&
                          std::fabs(ex.y) < 1e-9 && std::fabs(ey.x) < 1e-9 && (footX > 1.5 || footY > 1.5) &&
                          footX * footY <= 4096;

    DibSection& dib = m_canvas.dib();
    for (int y = box->y1; y < box->y2; ++y) {
        std::uint32_t* row = dib.row(y);
        const std::vector<Span>* spans = clip ? clip->row(y) : nullptr;
        if (clip != nullptr && spans == nullptr)
            continue;
        std::size_t span = 0;  // the clip's spans, walked once along the row
        for (int x = box->x1; x < box->x2; ++x) {
            if (spans != nullptr) {
                while (span < spans->size() && (*spans)[span].x2 <= x) ++span;
                if (span == spans->size())
                    break;
                if (x < (*spans)[span].x1)
                    continue;
            }
            // Where the pixel's centre falls in the unit square of the source.
            const double rx = x + 0.5 - p0.x, ry = y + 0.5 - p0.y;
            const double u = (rx * ey.y - ry * ey.x) / det;
            const double v = (ex.x * ry - ex.y * rx) / det;
            if (u < 0 || u >= 1 || v < 0 || v >= 1)
                continue;
            std::uint32_t& d = row[x];
            std::uint32_t s = 0;
            bool haveSource = false;
            if (src != nullptr) {
                const double sx = draw.srcX + u * draw.srcW, sy = draw.srcY + v * draw.srcH;
                // Compared before the conversion: a far (or not a number)
                // position has no int.
                if (!(sx >= 0 && sy >= 0 && sx < src->width && sy < src->height))
                    continue;
                const int ix = static_cast<int>(std::floor(sx)), iy = static_cast<int>(std::floor(sy));
                s = halftone ? averageFootprint(*src, sx, sy, footX, footY) : src->at(ix, iy);
                haveSource = true;
                if (draw.mask != nullptr) {
                    const double fx = draw.maskX + u * draw.srcW, fy = draw.maskY + v * draw.srcH;
                    const bool onMask = fx >= 0 && fy >= 0 && fx < draw.mask->width &&
                                        fy < draw.mask->height && !draw.mask->bits.empty();
                    const bool fore =
                        onMask && draw.mask->bits[static_cast<std::size_t>(fy) * draw.mask->width +
                                                  static_cast<std::size_t>(fx)] != 0;
                    const std::uint32_t rop3 = fore ? draw.rop3 : draw.backRop3;
                    const std::uint32_t pat = nullBrush ? 0 : pattern.at(x, y).value_or(0);
                    d = applyRop3(rop3, pat, s & 0xFFFFFF, d & 0xFFFFFF);
                    continue;
                }
            }
            switch (draw.mode) {
                case ImageDraw::Mode::Transparent:
                    if ((s & 0xFFFFFF) != draw.transparent)
                        d = s & 0xFFFFFF;
                    break;
                case ImageDraw::Mode::AlphaBlend: {
                    const double ca = draw.constantAlpha / 255.0;
                    if (draw.sourceAlpha && src != nullptr && src->hasAlpha) {
                        // Premultiplied source: d = s * ca + d * (1 - alpha * ca).
                        const double a = ((s >> 24) & 0xFF) / 255.0 * ca;
                        d = blendChannel(s, d, 16, ca, 1 - a) | blendChannel(s, d, 8, ca, 1 - a) |
                            blendChannel(s, d, 0, ca, 1 - a);
                    } else {
                        d = blendChannel(s, d, 16, ca, 1 - ca) | blendChannel(s, d, 8, ca, 1 - ca) |
                            blendChannel(s, d, 0, ca, 1 - ca);
                    }
                    break;
                }
                case ImageDraw::Mode::Rop: {
                    std::uint32_t pat = 0;
                    if (usesPattern) {
                        if (nullBrush)
                            continue;
                        const auto value = pattern.at(x, y);
                        if (!value)
                            continue;  // a transparent hatch gap
                        pat = *value;
                    }
                    d = applyRop3(draw.rop3, pat, haveSource ? (s & 0xFFFFFF) : 0, d & 0xFFFFFF);
                    break;
                }
            }
        }
    }
}

void Dc::gradientFill(std::span<const GradientVertex> vertices, std::span<const std::uint32_t> mesh,
                      std::uint32_t mode) {
    const Region* clip = effectiveClip();
    auto colour = [](double r, double g, double b) {
        auto c = [](double v) { return static_cast<std::uint32_t>(std::clamp(v / 256.0, 0.0, 255.0)); };
        return (c(r) << 16) | (c(g) << 8) | c(b);
    };
    DibSection& dib = m_canvas.dib();
    auto visible = [&](int x, int y) { return clip == nullptr || clip->contains(x, y); };
    if (mode == 0 || mode == 1) {
        for (std::size_t i = 0; i + 1 < mesh.size(); i += 2) {
            if (mesh[i] >= vertices.size() || mesh[i + 1] >= vertices.size())
                continue;
            const auto& a = vertices[mesh[i]];
            const auto& b = vertices[mesh[i + 1]];
            const PointL da = toDevicePixel(a.point), db = toDevicePixel(b.point);
            const int x1 = std::max(0, std::min(da.x, db.x)),
                      x2 = std::min(m_canvas.width(), std::max(da.x, db.x));
            const int y1 = std::max(m_canvas.rowsBegin(), std::min(da.y, db.y)),
                      y2 = std::min(m_canvas.rowsEnd(), std::max(da.y, db.y));
            const bool horizontal = mode == 0;
            const double from = horizontal ? da.x : da.y, to = horizontal ? db.x : db.y;
            for (int y = y1; y < y2; ++y) {
                for (int x = x1; x < x2; ++x) {
                    if (!visible(x, y))
                        continue;
                    const double t =
                        to != from ? std::clamp(((horizontal ? x : y) - from) / (to - from), 0.0, 1.0) : 0;
                    dib.row(y)[x] = colour(a.red + (b.red - a.red) * t, a.green + (b.green - a.green) * t,
                                           a.blue + (b.blue - a.blue) * t);
                }
            }
        }
        return;
    }
    for (std::size_t i = 0; i + 2 < mesh.size(); i += 3) {
        if (mesh[i] >= vertices.size() || mesh[i + 1] >= vertices.size() || mesh[i + 2] >= vertices.size())
            continue;
        const GradientVertex* v[3] = {&vertices[mesh[i]], &vertices[mesh[i + 1]], &vertices[mesh[i + 2]]};
        PointD p[3];
        for (int k = 0; k < 3; ++k) p[k] = toDevice(v[k]->point);
        const double det = (p[1].y - p[2].y) * (p[0].x - p[2].x) + (p[2].x - p[1].x) * (p[0].y - p[2].y);
        if (std::fabs(det) < 1e-9)
            continue;
        const auto box =
            heldRows(deviceBox(p[0], p[1], p[2], p[2], m_canvas.width(), m_canvas.height(), clip), m_canvas);
        if (!box)
            continue;
        for (int y = box->y1; y < box->y2; ++y) {
            for (int x = box->x1; x < box->x2; ++x) {
                const double w0 = ((p[1].y - p[2].y) * (x - p[2].x) + (p[2].x - p[1].x) * (y - p[2].y)) / det;
                const double w1 = ((p[2].y - p[0].y) * (x - p[2].x) + (p[0].x - p[2].x) * (y - p[2].y)) / det;
                const double w2 = 1 - w0 - w1;
                if (w0 < 0 || w1 < 0 || w2 < 0 || !visible(x, y))
                    continue;
                dib.row(y)[x] = colour(v[0]->red * w0 + v[1]->red * w1 + v[2]->red * w2,
                                       v[0]->green * w0 + v[1]->green * w1 + v[2]->green * w2,
                                       v[0]->blue * w0 + v[1]->blue * w1 + v[2]->blue * w2);
            }
        }
    }
}

}  // namespace metafile
