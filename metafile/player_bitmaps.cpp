// Bitmap records (the blits, DIB drawing, pattern brushes, gradient fills).

#include <cmath>

#include "metafile/dib_decode.h"
#include "metafile/emf_read.h"
#include "metafile/emf_records.h"
#include "metafile/player_context.h"

namespace metafile {
namespace {

using namespace emf;

constexpr std::int64_t kMaxPatternPixels = std::int64_t{1} << 20;

// A bitmap of a record, decoded. The pixels its header claims are charged to
// the page's budget before anything is decoded.
std::optional<Image32> decodeForPage(PlaybackContext& ctx, std::span<const std::byte> info,
                                     std::span<const std::byte> bits, std::uint32_t usage,
                                     std::int64_t maxPixels = kMaxImagePixels) {
    WorkBudget& budget = ctx.dc.budget();
    const std::int64_t claimed = std::min(dibClaimedPixels(info), maxPixels + 1);
    if (!budget.charge(WorkBudget::Kind::ImagePixels, claimed))
        return std::nullopt;
    // An embedded PNG or JPEG may be larger than its header says: what it
    // adds must fit in what is left.
    const std::int64_t allowed =
        std::min(maxPixels, claimed + budget.remaining(WorkBudget::Kind::ImagePixels));
    auto image = decodeDib(info, bits, usage, allowed);
    if (!image) {
        ctx.malformed(image.error().c_str());
        return std::nullopt;
    }
    budget.charge(WorkBudget::Kind::ImagePixels, std::int64_t{image->width} * image->height - claimed);
    return std::move(*image);
}

// The bitmap a record points at with (offBmi, cbBmi, offBits, cbBits),
// every offset checked against the record.
std::optional<Image32> recordBitmap(PlaybackContext& ctx, const ByteReader& record, std::uint32_t offBmi,
                                    std::uint32_t cbBmi, std::uint32_t offBits, std::uint32_t cbBits,
                                    std::uint32_t usage, std::int64_t maxPixels = kMaxImagePixels) {
    auto info = record.range(offBmi, cbBmi);
    auto bits = record.range(offBits, cbBits);
    if (!info || !bits) {
        ctx.malformed("bitmap lies outside the record");
        return std::nullopt;
    }
    return decodeForPage(ctx, info->bytes(), bits->bytes(), usage, maxPixels);
}

// Source rectangles of DIB records count rows from the bottom of a
// bottom-up bitmap.
double topOf(const Image32& image, double ySrc, double cySrc) {
    return image.bottomUp ? image.height - ySrc - cySrc : ySrc;
}

struct BlitFields {
    RectL bounds;
    std::int32_t xDest, yDest, cxDest, cyDest;
    std::uint32_t rop;
    std::int32_t xSrc, ySrc;
    Matrix xformSrc;
    std::uint32_t bkColorSrc, usageSrc, offBmiSrc, cbBmiSrc, offBitsSrc, cbBitsSrc;
};

BlitFields readBlit(ByteReader& in) {
    BlitFields f;
    f.bounds = *readRectL(in);
    f.xDest = *in.i32();
    f.yDest = *in.i32();
    f.cxDest = *in.i32();
    f.cyDest = *in.i32();
    f.rop = *in.u32();
    f.xSrc = *in.i32();
    f.ySrc = *in.i32();
    f.xformSrc = *readXform(in);
    f.bkColorSrc = *in.u32();
    f.usageSrc = *in.u32();
    f.offBmiSrc = *in.u32();
    f.cbBmiSrc = *in.u32();
    f.offBitsSrc = *in.u32();
    f.cbBitsSrc = *in.u32();
    return f;
}

void destRect(ImageDraw& d, double x, double y, double cx, double cy) {
    d.dest0 = {x, y};
    d.destX = {x + cx, y};
    d.destY = {x, y + cy};
}

// BITBLT, STRETCHBLT, ALPHABLEND and TRANSPARENTBLT share their first fields.
template <std::uint32_t Type>
void onBlit(PlaybackContext& ctx, ByteReader& in) {
    const BlitFields f = readBlit(in);
    double cxSrc = f.cxDest, cySrc = f.cyDest;
    if (Type != EMR_BITBLT) {
        cxSrc = *in.i32();
        cySrc = *in.i32();
    }
    ImageDraw draw;
    destRect(draw, f.xDest, f.yDest, f.cxDest, f.cyDest);
    std::optional<Image32> image;
    if (f.cbBmiSrc != 0) {
        image = recordBitmap(ctx, in, f.offBmiSrc, f.cbBmiSrc, f.offBitsSrc, f.cbBitsSrc, f.usageSrc);
        if (!image)
            return;
        const PointD s = f.xformSrc.invertible() ? f.xformSrc.apply({double(f.xSrc), double(f.ySrc)})
                                                 : PointD{double(f.xSrc), double(f.ySrc)};
        draw.source = &*image;
        draw.srcX = s.x;
        draw.srcY = s.y;
        draw.srcW = cxSrc * (f.xformSrc.invertible() ? f.xformSrc.eM11 : 1);
        draw.srcH = cySrc * (f.xformSrc.invertible() ? f.xformSrc.eM22 : 1);
    } else if (Type == EMR_ALPHABLEND || Type == EMR_TRANSPARENTBLT) {
        ctx.malformed("no source bitmap");
        return;
    }
    if (Type == EMR_ALPHABLEND) {
        draw.mode = ImageDraw::Mode::AlphaBlend;
        draw.constantAlpha = static_cast<std::uint8_t>((f.rop >> 16) & 0xFF);
        draw.sourceAlpha = ((f.rop >> 24) & 0xFF) != 0;  // AC_SRC_ALPHA
    } else if (Type == EMR_TRANSPARENTBLT) {
        draw.mode = ImageDraw::Mode::Transparent;
        const std::uint32_t c = f.rop;  // the transparent colour, a COLORREF
        draw.transparent = ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
    } else {
        draw.rop3 = f.rop;
    }
    ctx.dc.drawImage(draw);
}

void onMaskBlt(PlaybackContext& ctx, ByteReader& in) {
    const BlitFields f = readBlit(in);
    const auto xMask = *in.i32(), yMask = *in.i32();
    const auto usageMask = *in.u32(), offBmiMask = *in.u32(), cbBmiMask = *in.u32(), offBitsMask = *in.u32(),
               cbBitsMask = *in.u32();
    ImageDraw draw;
    destRect(draw, f.xDest, f.yDest, f.cxDest, f.cyDest);
    std::optional<Image32> image, mask;
    if (f.cbBmiSrc != 0) {
        image = recordBitmap(ctx, in, f.offBmiSrc, f.cbBmiSrc, f.offBitsSrc, f.cbBitsSrc, f.usageSrc);
        if (!image)
            return;
        draw.source = &*image;
        draw.srcX = f.xSrc;
        draw.srcY = f.ySrc;
        draw.srcW = f.cxDest;
        draw.srcH = f.cyDest;
    }
    if (cbBmiMask != 0) {
        mask = recordBitmap(ctx, in, offBmiMask, cbBmiMask, offBitsMask, cbBitsMask, usageMask);
        if (mask && mask->monochrome) {
            draw.mask = &*mask;
            draw.maskX = xMask;
            draw.maskY = yMask;
        }
    }
    // MAKEROP4: the foreground operation in the low bytes, the background
    // operation's code in the high byte.
    draw.rop3 = f.rop & 0x00FFFFFF;
    draw.backRop3 = ((f.rop >> 8) & 0x00FF0000) | 0x0000FFFF;
    ctx.dc.drawImage(draw);
}

void onPlgBlt(PlaybackContext& ctx, ByteReader& in) {
    in.skip(16);  // bounds
    const auto a = *readPointL(in), b = *readPointL(in), c = *readPointL(in);
    const auto xSrc = *in.i32(), ySrc = *in.i32(), cxSrc = *in.i32(), cySrc = *in.i32();
    in.skip(24 + 4);  // xformSrc, bkColorSrc
    const auto usage = *in.u32(), offBmi = *in.u32(), cbBmi = *in.u32(), offBits = *in.u32(),
               cbBits = *in.u32();
    auto image = recordBitmap(ctx, in, offBmi, cbBmi, offBits, cbBits, usage);
    if (!image)
        return;
    ImageDraw draw;
    draw.source = &*image;
    draw.srcX = xSrc;
    draw.srcY = ySrc;
    draw.srcW = cxSrc;
    draw.srcH = cySrc;
    draw.dest0 = {double(a.x), double(a.y)};
    draw.destX = {double(b.x), double(b.y)};
    draw.destY = {double(c.x), double(c.y)};
    ctx.dc.drawImage(draw);
}

void onStretchDiBits(PlaybackContext& ctx, ByteReader& in) {
    in.skip(16);
    const auto xDest = *in.i32(), yDest = *in.i32(), xSrc = *in.i32(), ySrc = *in.i32(), cxSrc = *in.i32(),
               cySrc = *in.i32();
    const auto offBmi = *in.u32(), cbBmi = *in.u32(), offBits = *in.u32(), cbBits = *in.u32(),
               usage = *in.u32(), rop = *in.u32();
    const auto cxDest = *in.i32(), cyDest = *in.i32();
    ImageDraw draw;
    destRect(draw, xDest, yDest, cxDest, cyDest);
    draw.rop3 = rop;
    std::optional<Image32> image;
    if (cbBmi != 0) {
        image = recordBitmap(ctx, in, offBmi, cbBmi, offBits, cbBits, usage);
        if (!image)
            return;
        draw.source = &*image;
        draw.srcX = xSrc;
        draw.srcY = topOf(*image, ySrc, cySrc);
        draw.srcW = cxSrc;
        draw.srcH = cySrc;
    }
    ctx.dc.drawImage(draw);
}

void onSetDiBitsToDevice(PlaybackContext& ctx, ByteReader& in) {
    in.skip(16);
    const auto xDest = *in.i32(), yDest = *in.i32(), xSrc = *in.i32(), ySrc = *in.i32(), cxSrc = *in.i32(),
               cySrc = *in.i32();
    const auto offBmi = *in.u32(), cbBmi = *in.u32(), offBits = *in.u32(), cbBits = *in.u32(),
               usage = *in.u32(), startScan = *in.u32(), scans = *in.u32();
    auto infoRange = in.range(offBmi, cbBmi);
    auto bits = in.range(offBits, cbBits);
    if (!infoRange || !bits || cbBmi < 16) {
        ctx.malformed("bitmap lies outside the record");
        return;
    }
    // The bits hold `scans` rows from row `startScan` (counted from the
    // bottom): they are decoded as a picture of that height.
    std::vector<std::byte> info(infoRange->bytes().begin(), infoRange->bytes().end());
    const bool core = ByteReader(info).u32() == 12u;
    const std::size_t heightAt = core ? 6 : 8, heightSize = core ? 2 : 4;
    const std::int64_t fullHeight = core ? std::int64_t{*ByteReader(info).range(heightAt, 2)->u16()}
                                         : std::int64_t{*ByteReader(info).range(heightAt, 4)->i32()};
    const std::int64_t rows = std::min<std::int64_t>(scans, fullHeight < 0 ? -fullHeight : fullHeight);
    if (rows <= 0)
        return;  // no scan lines: nothing is drawn
    const auto height = static_cast<std::uint32_t>(fullHeight < 0 ? -rows : rows);
    for (std::size_t i = 0; i < heightSize; ++i)
        info[heightAt + i] = static_cast<std::byte>((height >> (8 * i)) & 0xFF);
    auto image = decodeForPage(ctx, info, bits->bytes(), usage);
    if (!image)
        return;
    // No stretching: one source pixel to one device pixel.
    const Matrix& m = ctx.dc.transform();
    const double sx = std::fabs(m.eM11) > 1e-12 ? 1 / m.eM11 : 1,
                 sy = std::fabs(m.eM22) > 1e-12 ? 1 / m.eM22 : 1;
    ImageDraw draw;
    destRect(draw, xDest, yDest, cxSrc * std::fabs(sx), cySrc * std::fabs(sy));
    draw.source = &*image;
    draw.srcX = xSrc;
    draw.srcY = topOf(*image, double(ySrc) - startScan, cySrc);
    draw.srcW = cxSrc;
    draw.srcH = cySrc;
    ctx.dc.drawImage(draw);
}

template <bool Mono>
void onPatternBrush(PlaybackContext& ctx, ByteReader& in) {
    const auto index = *in.u32(), usage = *in.u32(), offBmi = *in.u32(), cbBmi = *in.u32(),
               offBits = *in.u32(), cbBits = *in.u32();
    auto image = recordBitmap(ctx, in, offBmi, cbBmi, offBits, cbBits, usage, kMaxPatternPixels);
    Brush brush;
    if (!image) {
        // A brush that cannot be made paints grey rather than nothing.
        brush.color = rgb(128, 128, 128);
        ctx.storeObject(index, brush);
        return;
    }
    auto pattern = std::make_shared<BrushPattern>();
    pattern->width = image->width;
    pattern->height = image->height;
    // A monochrome brush takes the text and background colours; a DIB
    // pattern brush its own palette.
    pattern->monochrome = Mono && image->monochrome;
    pattern->bits = image->bits;
    pattern->pixels.reserve(image->pixels.size());
    for (auto p : image->pixels) pattern->pixels.push_back(p & 0xFFFFFF);
    brush.style = gdi::BS_DIBPATTERNPT;
    brush.pattern = std::move(pattern);
    ctx.storeObject(index, brush);
}

void onGradientFill(PlaybackContext& ctx, ByteReader& in) {
    in.skip(16);
    const auto nVer = *in.u32(), nTri = *in.u32(), mode = *in.u32();
    auto vertexBytes = in.takeArray(nVer, 16);
    const std::size_t perEntry = mode == 2 ? 3 : 2;
    auto meshBytes = vertexBytes ? in.takeArray(std::size_t{nTri} * perEntry, 4) : std::nullopt;
    if (!meshBytes || mode > 2) {
        ctx.malformed("gradient data runs past the record");
        return;
    }
    std::vector<Dc::GradientVertex> vertices;
    ByteReader v(*vertexBytes);
    for (std::uint32_t i = 0; i < nVer; ++i) {
        const auto p = *readPointL(v);
        const auto r = *v.u16(), g = *v.u16(), b = *v.u16();
        v.skip(2);
        vertices.push_back({{double(p.x), double(p.y)}, r, g, b});
    }
    std::vector<std::uint32_t> mesh;
    ByteReader m(*meshBytes);
    while (auto value = m.u32()) mesh.push_back(*value);
    ctx.dc.gradientFill(vertices, mesh, mode);
}

}  // namespace

void addBitmapHandlers(HandlerTable& t) {
    setHandler(t, EMR_BITBLT, onBlit<EMR_BITBLT>, 100);
    setHandler(t, EMR_STRETCHBLT, onBlit<EMR_STRETCHBLT>, 108);
    setHandler(t, EMR_ALPHABLEND, onBlit<EMR_ALPHABLEND>, 108);
    setHandler(t, EMR_TRANSPARENTBLT, onBlit<EMR_TRANSPARENTBLT>, 108);
    setHandler(t, EMR_MASKBLT, onMaskBlt, 128);
    setHandler(t, EMR_PLGBLT, onPlgBlt, 140);
    setHandler(t, EMR_STRETCHDIBITS, onStretchDiBits, 80);
    setHandler(t, EMR_SETDIBITSTODEVICE, onSetDiBitsToDevice, 76);
    setHandler(t, EMR_CREATEDIBPATTERNBRUSHPT, onPatternBrush<false>, 32);
    setHandler(t, EMR_CREATEMONOBRUSH, onPatternBrush<true>, 32);
    setHandler(t, EMR_GRADIENTFILL, onGradientFill, 36);
}

}  // namespace metafile
