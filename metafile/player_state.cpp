// Records that set the DC's state: mapping mode, window and viewport, world
// transform, SaveDC/RestoreDC, and the drawing attributes.

#include <algorithm>
#include <cmath>
#include <cstring>

#include "metafile/emf_read.h"
#include "metafile/emf_records.h"
#include "metafile/player_context.h"

namespace metafile {
namespace {

using namespace emf;

// Reference device: pixels and millimetres per axis, with a 96-dpi stand-in
// when the header gives none.
struct ReferenceDevice {
    double pxX, pxY, mmX, mmY;
};

ReferenceDevice referenceDevice(const EmfHeader& h) {
    const bool ok = h.szlDevice.cx > 0 && h.szlDevice.cy > 0 && h.szlMillimeters.cx > 0 && h.szlMillimeters.cy > 0;
    if (ok) return {double(h.szlDevice.cx), double(h.szlDevice.cy), double(h.szlMillimeters.cx), double(h.szlMillimeters.cy)};
    return {1024, 768, 1024 * 25.4 / 96, 768 * 25.4 / 96};
}

std::int32_t clampExtent(double v) {
    if (!std::isfinite(v)) return 1;
    return static_cast<std::int32_t>(std::clamp(v, -2147483647.0, 2147483647.0));
}

// The extents of a mapping mode on the reference device (as the reference
// device maps them: the metric modes in its millimetres and pixels).
void applyMapMode(PlaybackContext& ctx, int mode) {
    const ReferenceDevice d = referenceDevice(ctx.metafile.header());
    MappingState& s = ctx.mapping;
    auto metric = [&](double windowPerMm, double viewportMul) {
        s.windowExt = {clampExtent(d.mmX * windowPerMm), clampExtent(d.mmY * windowPerMm)};
        s.viewportExt = {clampExtent(d.pxX * viewportMul), clampExtent(-d.pxY * viewportMul)};
    };
    switch (mode) {
    case gdi::MM_TEXT:
        s.windowExt = {1, 1};
        s.viewportExt = {1, 1};
        break;
    case gdi::MM_LOMETRIC: metric(10, 1); break;
    case gdi::MM_HIMETRIC: metric(100, 1); break;
    case gdi::MM_LOENGLISH: metric(1000, 254); break;
    case gdi::MM_HIENGLISH: metric(10000, 254); break;
    case gdi::MM_TWIPS: metric(14400, 254); break;
    case gdi::MM_ISOTROPIC: metric(10, 1); break;  // starts with the MM_LOMETRIC extents
    case gdi::MM_ANISOTROPIC: break;                // keeps the extents it has
    default: return;
    }
    s.mode = mode;
}

// MM_ISOTROPIC: shrink one viewport extent so that a logical unit is as wide
// as it is high on the reference device.
void fixIsotropic(PlaybackContext& ctx) {
    const ReferenceDevice d = referenceDevice(ctx.metafile.header());
    MappingState& s = ctx.mapping;
    if (s.windowExt.cx == 0 || s.windowExt.cy == 0) return;
    const double xdim = std::fabs(double(s.viewportExt.cx) * d.mmX / (d.pxX * s.windowExt.cx));
    const double ydim = std::fabs(double(s.viewportExt.cy) * d.mmY / (d.pxY * s.windowExt.cy));
    if (xdim > ydim) {
        const std::int32_t minimum = s.viewportExt.cx >= 0 ? 1 : -1;
        s.viewportExt.cx = clampExtent(std::floor(s.viewportExt.cx * ydim / xdim + 0.5));
        if (s.viewportExt.cx == 0) s.viewportExt.cx = minimum;
    } else if (ydim > 0) {
        const std::int32_t minimum = s.viewportExt.cy >= 0 ? 1 : -1;
        s.viewportExt.cy = clampExtent(std::floor(s.viewportExt.cy * xdim / ydim + 0.5));
        if (s.viewportExt.cy == 0) s.viewportExt.cy = minimum;
    }
}

bool scalable(const MappingState& s) {
    return s.mode == gdi::MM_ISOTROPIC || s.mode == gdi::MM_ANISOTROPIC;
}

void onSetMapMode(PlaybackContext& ctx, ByteReader& in) {
    const auto mode = static_cast<int>(*in.u32());
    if (ctx.mapping.mode == mode && scalable(ctx.mapping)) return;
    applyMapMode(ctx, mode);
    ctx.updateTransform();
}

void onSetWindowExt(PlaybackContext& ctx, ByteReader& in) {
    const auto ext = *readSizeL(in);
    if (!scalable(ctx.mapping)) return;  // fixed by the mapping mode
    if (ext.cx == 0 || ext.cy == 0) {
        ctx.malformed("zero window extent");
        return;
    }
    ctx.mapping.windowExt = ext;
    if (ctx.mapping.mode == gdi::MM_ISOTROPIC) fixIsotropic(ctx);
    ctx.updateTransform();
}

void onSetViewportExt(PlaybackContext& ctx, ByteReader& in) {
    const auto ext = *readSizeL(in);
    if (!scalable(ctx.mapping)) return;
    if (ext.cx == 0 || ext.cy == 0) {
        ctx.malformed("zero viewport extent");
        return;
    }
    ctx.mapping.viewportExt = ext;
    if (ctx.mapping.mode == gdi::MM_ISOTROPIC) fixIsotropic(ctx);
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

std::int32_t mulDiv(std::int32_t v, std::int32_t num, std::int32_t den) {
    return clampExtent(std::floor(double(v) * num / den + 0.5));
}

template <bool Viewport>
void onScaleExt(PlaybackContext& ctx, ByteReader& in) {
    const auto xNum = *in.i32(), xDen = *in.i32(), yNum = *in.i32(), yDen = *in.i32();
    if (!scalable(ctx.mapping)) return;
    if (xNum == 0 || xDen == 0 || yNum == 0 || yDen == 0) return;
    SizeL& ext = Viewport ? ctx.mapping.viewportExt : ctx.mapping.windowExt;
    ext.cx = mulDiv(ext.cx, xNum, xDen);
    ext.cy = mulDiv(ext.cy, yNum, yDen);
    if (ext.cx == 0) ext.cx = 1;
    if (ext.cy == 0) ext.cy = 1;
    if (ctx.mapping.mode == gdi::MM_ISOTROPIC) fixIsotropic(ctx);
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
    case gdi::MWT_IDENTITY: next = Matrix{}; break;
    case gdi::MWT_LEFTMULTIPLY: next = m.then(ctx.mapping.world); break;
    case gdi::MWT_RIGHTMULTIPLY: next = ctx.mapping.world.then(m); break;
    case gdi::MWT_SET: next = m; break;
    default: ctx.malformed("unknown transform mode"); return;
    }
    if (!next.invertible()) {
        ctx.malformed("world transform cannot be inverted");
        return;
    }
    ctx.mapping.world = next;
    ctx.updateTransform();
}

void onSaveDc(PlaybackContext& ctx, ByteReader&) {
    ctx.dc.saveDc();
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

void onSetBkMode(PlaybackContext& ctx, ByteReader& in) { ctx.dc.setBkMode(static_cast<int>(*in.u32())); }
void onSetBkColor(PlaybackContext& ctx, ByteReader& in) { ctx.dc.setBkColor(*in.u32()); }
void onSetTextColor(PlaybackContext& ctx, ByteReader& in) { ctx.dc.setTextColor(*in.u32()); }
void onSetPolyFillMode(PlaybackContext& ctx, ByteReader& in) { ctx.dc.setPolyFillMode(static_cast<int>(*in.u32())); }
void onSetRop2(PlaybackContext& ctx, ByteReader& in) { ctx.dc.setRop2(static_cast<int>(*in.u32())); }
void onSetStretchBltMode(PlaybackContext& ctx, ByteReader& in) { ctx.dc.setStretchBltMode(static_cast<int>(*in.u32())); }
void onSetTextAlign(PlaybackContext& ctx, ByteReader& in) { ctx.dc.setTextAlign(*in.u32()); }
void onSetArcDirection(PlaybackContext& ctx, ByteReader& in) { ctx.dc.setArcDirection(static_cast<int>(*in.u32())); }
void onSetBrushOrg(PlaybackContext& ctx, ByteReader& in) { ctx.dc.setBrushOrg(*readPointL(in)); }

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

}  // namespace

void addStateHandlers(HandlerTable& t) {
    setHandler(t, EMR_HEADER, ignored, 8);
    setHandler(t, EMR_EOF, ignored, 8);
    setHandler(t, EMR_GDICOMMENT, ignored, 8);
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
    // State that has no effect on a true-colour raster.
    for (auto type : {EMR_SETMAPPERFLAGS, EMR_SETICMMODE, EMR_SETCOLORADJUSTMENT, EMR_REALIZEPALETTE,
                      EMR_SELECTPALETTE, EMR_SETPALETTEENTRIES, EMR_RESIZEPALETTE, EMR_COLORCORRECTPALETTE,
                      EMR_SETCOLORSPACE, EMR_DELETECOLORSPACE, EMR_SETICMPROFILEA, EMR_SETICMPROFILEW,
                      EMR_COLORMATCHTOTARGETW, EMR_FORCEUFIMAPPING, EMR_SETLINKEDUFIS, EMR_PIXELFORMAT}) {
        setHandler(t, type, ignored, 8);
    }
}

}  // namespace metafile
