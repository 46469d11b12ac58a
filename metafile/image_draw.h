#pragma once
// One bitmap operation of the device context: an image (or none, for
// pattern-only operations) stretched from a source rectangle onto a
// parallelogram of logical space, combined with the destination by a
// ternary raster operation, an alpha blend or a transparent colour.

#include <cstdint>

#include "metafile/dib_decode.h"
#include "metafile/geometry.h"

namespace metafile {

namespace rop {
inline constexpr std::uint32_t SRCCOPY = 0x00CC0020, SRCPAINT = 0x00EE0086, SRCAND = 0x008800C6,
                               SRCINVERT = 0x00660046, PATCOPY = 0x00F00021, BLACKNESS = 0x00000042,
                               WHITENESS = 0x00FF0062, DSTINVERT = 0x00550009;
}

struct ImageDraw {
    enum class Mode { Rop, AlphaBlend, Transparent };

    const Image32* source = nullptr;  // null: the operation uses only the brush and the destination
    // Source rectangle in image pixels, from the top-left pixel.
    double srcX = 0, srcY = 0, srcW = 0, srcH = 0;
    // Destination in logical units: the corner for (srcX, srcY), and the
    // corners reached along the source's x and y directions.
    PointD dest0, destX, destY;
    Mode mode = Mode::Rop;
    std::uint32_t rop3 = rop::SRCCOPY;
    // AlphaBlend: the constant alpha and whether the source carries
    // premultiplied per-pixel alpha.
    std::uint8_t constantAlpha = 255;
    bool sourceAlpha = false;
    // TransparentBlt: source pixels of this colour (0x00RRGGBB) are left out.
    std::uint32_t transparent = 0;
    // MaskBlt: where the mask is 0 the background operation applies.
    const Image32* mask = nullptr;
    double maskX = 0, maskY = 0;
    std::uint32_t backRop3 = rop::SRCCOPY;
};

// r = f(pattern, source, destination) by the rop's truth table (bits 16-23).
std::uint32_t applyRop3(std::uint32_t rop3, std::uint32_t p, std::uint32_t s, std::uint32_t d);

}  // namespace metafile
