// Records that draw lines, curves and shapes.

#include "metafile/emf_read.h"
#include "metafile/emf_records.h"
#include "metafile/player_context.h"

namespace metafile {
namespace {

using namespace emf;

enum class PolyKind { Bezier, Polygon, Polyline, BezierTo, PolylineTo };

template <PolyKind Kind, bool Sixteen>
void onPoly(PlaybackContext& ctx, ByteReader& in) {
    in.skip(16);  // bounds
    const auto count = *in.u32();
    const auto points = readPoints(in, count, Sixteen);
    if (!points) {
        ctx.malformed("points run past the record");
        return;
    }
    switch (Kind) {
        case PolyKind::Bezier:
            ctx.dc.polyBezier(*points);
            break;
        case PolyKind::Polygon:
            ctx.dc.polygon(*points);
            break;
        case PolyKind::Polyline:
            ctx.dc.polyline(*points);
            break;
        case PolyKind::BezierTo:
            ctx.dc.polyBezierTo(*points);
            break;
        case PolyKind::PolylineTo:
            ctx.dc.polylineTo(*points);
            break;
    }
}

template <bool Polygon, bool Sixteen>
void onPolyPoly(PlaybackContext& ctx, ByteReader& in) {
    in.skip(16);
    const auto polys = *in.u32();
    const auto total = *in.u32();
    auto countBytes = in.takeArray(polys, 4);
    if (!countBytes) {
        ctx.malformed("counts run past the record");
        return;
    }
    std::vector<std::uint32_t> counts;
    counts.reserve(polys);
    ByteReader c(*countBytes);
    std::uint64_t sum = 0;
    for (std::uint32_t i = 0; i < polys; ++i) {
        counts.push_back(*c.u32());
        sum += counts.back();
    }
    if (sum > total) {
        ctx.malformed("counts exceed the points");
        return;
    }
    const auto points = readPoints(in, total, Sixteen);
    if (!points) {
        ctx.malformed("points run past the record");
        return;
    }
    if (Polygon) {
        ctx.dc.polyPolygon(*points, counts);
    } else {
        ctx.dc.polyPolyline(*points, counts);
    }
}

template <bool Sixteen>
void onPolyDraw(PlaybackContext& ctx, ByteReader& in) {
    in.skip(16);
    const auto count = *in.u32();
    const auto points = readPoints(in, count, Sixteen);
    auto types = points ? in.take(count) : std::nullopt;
    if (!types) {
        ctx.malformed("points run past the record");
        return;
    }
    std::vector<std::uint8_t> kinds;
    for (auto b : *types) kinds.push_back(std::to_integer<std::uint8_t>(b));
    ctx.dc.polyDraw(*points, kinds);
}

void onLineTo(PlaybackContext& ctx, ByteReader& in) {
    const auto p = *readPointL(in);
    ctx.dc.lineTo({double(p.x), double(p.y)});
}

void onRectangle(PlaybackContext& ctx, ByteReader& in) {
    ctx.dc.rectangle(*readRectL(in));
}

void onEllipse(PlaybackContext& ctx, ByteReader& in) {
    ctx.dc.ellipse(*readRectL(in));
}

void onRoundRect(PlaybackContext& ctx, ByteReader& in) {
    const auto box = *readRectL(in);
    const auto corner = *readSizeL(in);
    ctx.dc.roundRect(box, corner.cx, corner.cy);
}

enum class ArcKind { Arc, ArcTo, Chord, Pie };

template <ArcKind Kind>
void onArc(PlaybackContext& ctx, ByteReader& in) {
    const auto box = *readRectL(in);
    const auto s = *readPointL(in);
    const auto e = *readPointL(in);
    const PointD start{double(s.x), double(s.y)}, end{double(e.x), double(e.y)};
    switch (Kind) {
        case ArcKind::Arc:
            ctx.dc.arc(box, start, end);
            break;
        case ArcKind::ArcTo:
            ctx.dc.arcTo(box, start, end);
            break;
        case ArcKind::Chord:
            ctx.dc.chord(box, start, end);
            break;
        case ArcKind::Pie:
            ctx.dc.pie(box, start, end);
            break;
    }
}

void onAngleArc(PlaybackContext& ctx, ByteReader& in) {
    const auto center = *readPointL(in);
    const auto radius = *in.u32();
    const auto start = *in.f32();
    const auto sweep = *in.f32();
    ctx.dc.angleArc({double(center.x), double(center.y)}, radius, start, sweep);
}

void onSetPixel(PlaybackContext& ctx, ByteReader& in) {
    const auto p = *readPointL(in);
    ctx.dc.setPixel({double(p.x), double(p.y)}, *in.u32());
}

}  // namespace

void addDrawingHandlers(HandlerTable& t) {
    setHandler(t, EMR_POLYBEZIER, onPoly<PolyKind::Bezier, false>, 28);
    setHandler(t, EMR_POLYGON, onPoly<PolyKind::Polygon, false>, 28);
    setHandler(t, EMR_POLYLINE, onPoly<PolyKind::Polyline, false>, 28);
    setHandler(t, EMR_POLYBEZIERTO, onPoly<PolyKind::BezierTo, false>, 28);
    setHandler(t, EMR_POLYLINETO, onPoly<PolyKind::PolylineTo, false>, 28);
    setHandler(t, EMR_POLYBEZIER16, onPoly<PolyKind::Bezier, true>, 28);
    setHandler(t, EMR_POLYGON16, onPoly<PolyKind::Polygon, true>, 28);
    setHandler(t, EMR_POLYLINE16, onPoly<PolyKind::Polyline, true>, 28);
    setHandler(t, EMR_POLYBEZIERTO16, onPoly<PolyKind::BezierTo, true>, 28);
    setHandler(t, EMR_POLYLINETO16, onPoly<PolyKind::PolylineTo, true>, 28);
    setHandler(t, EMR_POLYPOLYLINE, onPolyPoly<false, false>, 32);
    setHandler(t, EMR_POLYPOLYGON, onPolyPoly<true, false>, 32);
    setHandler(t, EMR_POLYPOLYLINE16, onPolyPoly<false, true>, 32);
    setHandler(t, EMR_POLYPOLYGON16, onPolyPoly<true, true>, 32);
    setHandler(t, EMR_POLYDRAW, onPolyDraw<false>, 28);
    setHandler(t, EMR_POLYDRAW16, onPolyDraw<true>, 28);
    setHandler(t, EMR_LINETO, onLineTo, 16);
    setHandler(t, EMR_RECTANGLE, onRectangle, 24);
    setHandler(t, EMR_ELLIPSE, onEllipse, 24);
    setHandler(t, EMR_ROUNDRECT, onRoundRect, 32);
    setHandler(t, EMR_ARC, onArc<ArcKind::Arc>, 40);
    setHandler(t, EMR_ARCTO, onArc<ArcKind::ArcTo>, 40);
    setHandler(t, EMR_CHORD, onArc<ArcKind::Chord>, 40);
    setHandler(t, EMR_PIE, onArc<ArcKind::Pie>, 40);
    setHandler(t, EMR_ANGLEARC, onAngleArc, 28);
    setHandler(t, EMR_SETPIXELV, onSetPixel, 20);
}

}  // namespace metafile
