// Records that set the DC's state: mapping mode, window and viewport, world
// transform, SaveDC/RestoreDC, and the drawing attributes.

#include <algorithm>
#include <cmath>
#include <cstring>

#include "metafile/emf_read.h"
#include "metafile/emf_records.h"
#include "metafile/mapping.h"
#include "metafile/player_context.h"

namespace metafile {
namespace {

using namespace emf;

ReferenceDevice device(const PlaybackContext& ctx) {
    return ReferenceDevice::of(ctx.metafile.header());
}

void onSetMapMode(PlaybackContext& ctx, ByteReader& in) {
    const auto mode = static_cast<int>(*in.u32());
    if (ctx.mapping.mode == mode && ctx.mapping.scalable())
        return;
    if (ctx.mapping.setMapMode(mode, device(ctx)))
        ctx.updateTransform();
}

void onSetWindowExt(PlaybackContext& ctx, ByteReader& in) {
    if (ctx.mapping.setWindowExt(*readSizeL(in), device(ctx)))
        ctx.updateTransform();
}

void onSetViewportExt(PlaybackContext& ctx, ByteReader& in) {
    if (ctx.mapping.setViewportExt(*readSizeL(in), device(ctx)))
        ctx.updateTransform();
}

void onSetWindowOrg(PlaybackContext& ctx, ByteReader& in) {
    ctx.mapping.windowOrg = *readPointL(in);
    ctx.updateTransform();
}

void onSetViewportOrg(PlaybackContext& ctx, ByteReader& in) {
    ctx.mapping.viewportOrg = *readPointL(in);
    ctx.updateTransform();
}

template <bool Viewport>
void onScaleExt(PlaybackContext& ctx, ByteReader& in) {
    const auto xNum = *in.i32(), xDen = *in.i32(), yNum = *in.i32(), yDen = *in.i32();
    if (ctx.mapping.scaleExt(Viewport, xNum, xDen, yNum, yDen, device(ctx)))
        ctx.updateTransform();
}

void onSetWorldTransform(PlaybackContext& ctx, ByteReader& in) {
    const auto m = *readXform(in);
    if (!m.invertible()) {
        ctx.malformed("world transform cannot be inverted");
        return;
    }
    ctx.mapping.world = m;
    ctx.updateTransform();
}

void onModifyWorldTransform(PlaybackContext& ctx, ByteReader& in) {
    const auto m = *readXform(in);
    const auto mode = static_cast<int>(*in.u32());
    Matrix next = ctx.mapping.world;
    switch (mode) {
        case gdi::MWT_IDENTITY:
            next = Matrix{};
            break;
        case gdi::MWT_LEFTMULTIPLY:
            next = m.then(ctx.mapping.world);
            break;
        case gdi::MWT_RIGHTMULTIPLY:
            next = ctx.mapping.world.then(m);
            break;
        case gdi::MWT_SET:
            next = m;
            break;
        default:
            ctx.malformed("unknown transform mode");
            return;
    }
    if (!next.invertible()) {
        ctx.malformed("world transform cannot be inverted");
        return;
    }
    ctx.mapping.world = next;
    ctx.updateTransform();
}

void onSaveDc(PlaybackContext& ctx, ByteReader&) {
    if (ctx.dc.saveDc() == 0) {
        ctx.malformed("saves more levels than a DC holds");
        return;
    }
    ctx.savedMappings.push_back(ctx.mapping);
}

void onRestoreDc(PlaybackContext& ctx, ByteReader& in) {
    const auto relative = *in.i32();
    // Only levels saved by this metafile can be restored.
    const int saved = static_cast<int>(ctx.savedMappings.size());
    int level = relative < 0 ? saved + relative + 1 : relative;
    if (relative == 0 || level <= 0 || level > saved) {
        ctx.malformed("restores a level that was not saved");
        return;
    }
    const int dcLevel = ctx.dc.saveLevel() - saved + level;
    ctx.dc.restoreDc(dcLevel);
    ctx.mapping = ctx.savedMappings[static_cast<std::size_t>(level - 1)];
    ctx.savedMappings.resize(static_cast<std::size_t>(level - 1));
    ctx.updateTransform();
}

void onSetBkMode(PlaybackContext& ctx, ByteReader& in) {
    ctx.dc.setBkMode(static_cast<int>(*in.u32()));
}
void onSetBkColor(PlaybackContext& ctx, ByteReader& in) {
    ctx.dc.setBkColor(*in.u32());
}
void onSetTextColor(PlaybackContext& ctx, ByteReader& in) {
    ctx.dc.setTextColor(*in.u32());
}
void onSetPolyFillMode(PlaybackContext& ctx, ByteReader& in) {
    ctx.dc.setPolyFillMode(static_cast<int>(*in.u32()));
}
void onSetRop2(PlaybackContext& ctx, ByteReader& in) {
    ctx.dc.setRop2(static_cast<int>(*in.u32()));
}
void onSetStretchBltMode(PlaybackContext& ctx, ByteReader& in) {
    ctx.dc.setStretchBltMode(static_cast<int>(*in.u32()));
}
void onSetTextAlign(PlaybackContext& ctx, ByteReader& in) {
    ctx.dc.setTextAlign(*in.u32());
}
void onSetArcDirection(PlaybackContext& ctx, ByteReader& in) {
    ctx.dc.setArcDirection(static_cast<int>(*in.u32()));
}
void onSetBrushOrg(PlaybackContext& ctx, ByteReader& in) {
    ctx.dc.setBrushOrg(*readPointL(in));
}

void onSetMiterLimit(PlaybackContext& ctx, ByteReader& in) {
    // Documented as an integer, written by GDI as a float: take whichever
    // reading is plausible.
    const auto bits = *in.u32();
    float asFloat = 0;
    std::memcpy(&asFloat, &bits, sizeof asFloat);
    const double limit = (std::isfinite(asFloat) && asFloat >= 1 && asFloat <= 1e6) ? asFloat : double(bits);
    ctx.dc.setMiterLimit(limit);
}

void onMoveTo(PlaybackContext& ctx, ByteReader& in) {
    const auto p = *readPointL(in);
    ctx.dc.moveTo({double(p.x), double(p.y)});
}

void ignored(PlaybackContext&, ByteReader&) {}

// EMF+ records travel in GDI comments ("EMF+" after the size); the GDI
// records of a dual file are what is played.
void onComment(PlaybackContext& ctx, ByteReader& in) {
    const auto size = in.u32();
    const auto identifier = in.u32();
    if (size && identifier && *size >= 4 && *identifier == 0x2B464D45u)
        ctx.report.emfPlus = true;
}

void onSetLayout(PlaybackContext& ctx, ByteReader& in) {
    // Left-to-right is the only layout drawn; a mirrored one is noted.
    if (*in.u32() != 0)
        ctx.malformed("right-to-left layout is drawn left to right");
}

}  // namespace

void addStateHandlers(HandlerTable& t) {
    setHandler(t, EMR_HEADER, ignored, 8);
    setHandler(t, EMR_EOF, ignored, 8);
    setHandler(t, EMR_GDICOMMENT, onComment, 8);
    setHandler(t, EMR_SETMAPMODE, onSetMapMode, 12);
    setHandler(t, EMR_SETWINDOWEXTEX, onSetWindowExt, 16);
    setHandler(t, EMR_SETWINDOWORGEX, onSetWindowOrg, 16);
    setHandler(t, EMR_SETVIEWPORTEXTEX, onSetViewportExt, 16);
    setHandler(t, EMR_SETVIEWPORTORGEX, onSetViewportOrg, 16);
    setHandler(t, EMR_SCALEVIEWPORTEXTEX, onScaleExt<true>, 24);
    setHandler(t, EMR_SCALEWINDOWEXTEX, onScaleExt<false>, 24);
    setHandler(t, EMR_SETWORLDTRANSFORM, onSetWorldTransform, 32);
    setHandler(t, EMR_MODIFYWORLDTRANSFORM, onModifyWorldTransform, 36);
    setHandler(t, EMR_SAVEDC, onSaveDc, 8);
    setHandler(t, EMR_RESTOREDC, onRestoreDc, 12);
    setHandler(t, EMR_SETBKMODE, onSetBkMode, 12);
    setHandler(t, EMR_SETBKCOLOR, onSetBkColor, 12);
    setHandler(t, EMR_SETTEXTCOLOR, onSetTextColor, 12);
    setHandler(t, EMR_SETPOLYFILLMODE, onSetPolyFillMode, 12);
    setHandler(t, EMR_SETROP2, onSetRop2, 12);
    setHandler(t, EMR_SETSTRETCHBLTMODE, onSetStretchBltMode, 12);
    setHandler(t, EMR_SETTEXTALIGN, onSetTextAlign, 12);
    setHandler(t, EMR_SETARCDIRECTION, onSetArcDirection, 12);
    setHandler(t, EMR_SETBRUSHORGEX, onSetBrushOrg, 16);
    setHandler(t, EMR_SETMITERLIMIT, onSetMiterLimit, 12);
    setHandler(t, EMR_MOVETOEX, onMoveTo, 16);
    setHandler(t, EMR_SETLAYOUT, onSetLayout, 12);
    // State that has no effect on a true-colour raster.
    for (auto type : {EMR_SETMAPPERFLAGS, EMR_SETICMMODE, EMR_SETCOLORADJUSTMENT, EMR_REALIZEPALETTE,
                      EMR_SELECTPALETTE, EMR_SETPALETTEENTRIES, EMR_RESIZEPALETTE, EMR_COLORCORRECTPALETTE,
                      EMR_SETCOLORSPACE, EMR_DELETECOLORSPACE, EMR_SETICMPROFILEA, EMR_SETICMPROFILEW,
                      EMR_COLORMATCHTOTARGETW, EMR_FORCEUFIMAPPING, EMR_SETLINKEDUFIS, EMR_PIXELFORMAT}) {
        setHandler(t, type, ignored, 8);
    }
}

}  // namespace metafile
