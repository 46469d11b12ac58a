// Path, clipping and region records.

#include <algorithm>
#include <cmath>

#include "metafile/emf_read.h"
#include "metafile/emf_records.h"
#include "metafile/player_context.h"
#include "metafile/stock_objects.h"

namespace metafile {
namespace {

using namespace emf;

void onBeginPath(PlaybackContext& ctx, ByteReader&) {
    ctx.dc.beginPath();
}
void onEndPath(PlaybackContext& ctx, ByteReader&) {
    ctx.dc.endPath();
}
void onCloseFigure(PlaybackContext& ctx, ByteReader&) {
    ctx.dc.closeFigure();
}
void onFillPath(PlaybackContext& ctx, ByteReader&) {
    ctx.dc.fillPath();
}
void onStrokePath(PlaybackContext& ctx, ByteReader&) {
    ctx.dc.strokePath();
}
void onStrokeAndFillPath(PlaybackContext& ctx, ByteReader&) {
    ctx.dc.strokeAndFillPath();
}
void onFlattenPath(PlaybackContext& ctx, ByteReader&) {
    ctx.dc.flattenPath();
}
void onWidenPath(PlaybackContext& ctx, ByteReader&) {
    ctx.dc.widenPath();
}
void onAbortPath(PlaybackContext& ctx, ByteReader&) {
    ctx.dc.abortPath();
}

void onSelectClipPath(PlaybackContext& ctx, ByteReader& in) {
    ctx.dc.selectClipPath(static_cast<int>(*in.u32()));
}

void onIntersectClipRect(PlaybackContext& ctx, ByteReader& in) {
    ctx.dc.intersectClipRect(*readRectL(in));
}

void onExcludeClipRect(PlaybackContext& ctx, ByteReader& in) {
    ctx.dc.excludeClipRect(*readRectL(in));
}

// Region rectangles given in the reference device's pixels, placed with the
// playback's own transform (not the metafile's mapping).
Region deviceRegion(PlaybackContext& ctx, const std::vector<RectL>& rects) {
    std::vector<RectL> device;
    device.reserve(rects.size());
    const Matrix& m = ctx.initTransform;
    for (const auto& r : rects) {
        const PointD a = m.apply({double(r.left), double(r.top)}),
                     b = m.apply({double(r.right), double(r.bottom)});
        auto px = [](double v) {
            return static_cast<std::int32_t>(std::clamp(std::floor(v + 0.5), -1e9, 1e9));
        };
        device.push_back({std::min(px(a.x), px(b.x)), std::min(px(a.y), px(b.y)), std::max(px(a.x), px(b.x)),
                          std::max(px(a.y), px(b.y))});
    }
    return Region::fromRects(device, &ctx.dc.budget());
}

// Region rectangles in logical units, placed with the DC's transform.
Region logicalRegion(PlaybackContext& ctx, const std::vector<RectL>& rects) {
    std::vector<Region> parts;
    parts.reserve(rects.size());
    for (const auto& r : rects) parts.push_back(ctx.dc.logicalRectRegion(r));
    return Region::unionOf(std::move(parts), &ctx.dc.budget());
}

void onExtSelectClipRgn(PlaybackContext& ctx, ByteReader& in) {
    const auto size = *in.u32();
    const auto mode = static_cast<int>(*in.u32());
    if (size == 0) {
        ctx.dc.selectClipRegion(nullptr, mode);
        return;
    }
    const auto rects = readRegionData(in, size);
    if (!rects) {
        ctx.malformed("region data does not fit");
        return;
    }
    const Region region = deviceRegion(ctx, *rects);
    ctx.dc.selectClipRegion(&region, mode);
}

void onOffsetClipRgn(PlaybackContext& ctx, ByteReader& in) {
    const auto offset = *readPointL(in);
    const PointD d = ctx.dc.transform().applyLinear({double(offset.x), double(offset.y)});
    ctx.dc.offsetClip(static_cast<int>(std::clamp(std::floor(d.x + 0.5), -1e9, 1e9)),
                      static_cast<int>(std::clamp(std::floor(d.y + 0.5), -1e9, 1e9)));
}

void onSetMetaRgn(PlaybackContext& ctx, ByteReader&) {
    ctx.dc.setMetaRegion();
}

std::optional<Brush> brushAt(PlaybackContext& ctx, std::uint32_t index) {
    if (index & 0x80000000u)
        return stockBrush(index);
    const GdiObject* object = ctx.object(index);
    if (object == nullptr)
        return std::nullopt;
    if (const auto* brush = std::get_if<Brush>(object))
        return *brush;
    return std::nullopt;
}

void onFillRgn(PlaybackContext& ctx, ByteReader& in) {
    in.skip(16);  // bounds
    const auto size = *in.u32();
    const auto brushIndex = *in.u32();
    const auto rects = readRegionData(in, size);
    const auto brush = brushAt(ctx, brushIndex);
    if (!rects || !brush) {
        ctx.malformed(!rects ? "region data does not fit" : "brush does not exist");
        return;
    }
    ctx.dc.fillRegion(logicalRegion(ctx, *rects), *brush);
}

void onFrameRgn(PlaybackContext& ctx, ByteReader& in) {
    in.skip(16);
    const auto size = *in.u32();
    const auto brushIndex = *in.u32();
    const auto frame = *readSizeL(in);
    const auto rects = readRegionData(in, size);
    const auto brush = brushAt(ctx, brushIndex);
    if (!rects || !brush) {
        ctx.malformed(!rects ? "region data does not fit" : "brush does not exist");
        return;
    }
    const PointD d = ctx.dc.transform().applyLinear({double(frame.cx), double(frame.cy)});
    ctx.dc.frameRegion(logicalRegion(ctx, *rects), *brush,
                       static_cast<int>(std::min(std::fabs(d.x), 1e6) + 0.5),
                       static_cast<int>(std::min(std::fabs(d.y), 1e6) + 0.5));
}

template <bool Invert>
void onRegionOnly(PlaybackContext& ctx, ByteReader& in) {
    in.skip(16);
    const auto size = *in.u32();
    const auto rects = readRegionData(in, size);
    if (!rects) {
        ctx.malformed("region data does not fit");
        return;
    }
    if (Invert) {
        ctx.dc.invertRegion(logicalRegion(ctx, *rects));
    } else {
        ctx.dc.paintRegion(logicalRegion(ctx, *rects));
    }
}

}  // namespace

void addPathAndClipHandlers(HandlerTable& t) {
    setHandler(t, EMR_BEGINPATH, onBeginPath, 8);
    setHandler(t, EMR_ENDPATH, onEndPath, 8);
    setHandler(t, EMR_CLOSEFIGURE, onCloseFigure, 8);
    setHandler(t, EMR_FILLPATH, onFillPath, 8);
    setHandler(t, EMR_STROKEPATH, onStrokePath, 8);
    setHandler(t, EMR_STROKEANDFILLPATH, onStrokeAndFillPath, 8);
    setHandler(t, EMR_FLATTENPATH, onFlattenPath, 8);
    setHandler(t, EMR_WIDENPATH, onWidenPath, 8);
    setHandler(t, EMR_ABORTPATH, onAbortPath, 8);
    setHandler(t, EMR_SELECTCLIPPATH, onSelectClipPath, 12);
    setHandler(t, EMR_INTERSECTCLIPRECT, onIntersectClipRect, 24);
    setHandler(t, EMR_EXCLUDECLIPRECT, onExcludeClipRect, 24);
    setHandler(t, EMR_EXTSELECTCLIPRGN, onExtSelectClipRgn, 16);
    setHandler(t, EMR_OFFSETCLIPRGN, onOffsetClipRgn, 16);
    setHandler(t, EMR_SETMETARGN, onSetMetaRgn, 8);
    setHandler(t, EMR_FILLRGN, onFillRgn, 32);
    setHandler(t, EMR_FRAMERGN, onFrameRgn, 40);
    setHandler(t, EMR_INVERTRGN, onRegionOnly<true>, 28);
    setHandler(t, EMR_PAINTRGN, onRegionOnly<false>, 28);
}

}  // namespace metafile
