#pragma once
// What a brush or pen puts on a pixel: a solid colour, an 8x8 hatch over an
// optional background, or a pattern image, anchored at the brush origin.

#include <cstdint>
#include <memory>
#include <optional>

#include "metafile/gdi_types.h"

namespace metafile {

struct Paint {
    enum class Kind { Solid, Hatch, Pattern };
    Kind kind = Kind::Solid;
    std::uint32_t pixel = 0;  // 0x00RRGGBB: the colour, or the hatch lines' colour
    std::uint32_t hatch = 0;
    bool opaqueBackground = false;  // hatch gaps take `background`
    std::uint32_t background = 0xFFFFFF;
    std::shared_ptr<const BrushPattern> pattern;
    std::uint32_t monoForeground = 0;  // monochrome pattern: 0 bits
    int originX = 0;
    int originY = 0;

    static Paint solid(std::uint32_t pixel) {
        Paint p;
        p.pixel = pixel;
        return p;
    }

    // The pixel value at device (x, y); nullopt where nothing is painted.
    std::optional<std::uint32_t> at(int x, int y) const {
        switch (kind) {
            case Kind::Solid:
                return pixel;
            case Kind::Hatch: {
                const unsigned row = static_cast<unsigned>(y - originY) & 7u;
                const unsigned col = static_cast<unsigned>(x - originX) & 7u;
                if ((kHatches[hatch < 6 ? hatch : 0][row] >> (7 - col)) & 1u) {
                    return pixel;
                }
                return opaqueBackground ? std::optional<std::uint32_t>(background) : std::nullopt;
            }
            case Kind::Pattern: {
                if (!pattern || pattern->width <= 0 || pattern->height <= 0) {
                    return pixel;
                }
                const int px = modulo(x - originX, pattern->width);
                const int py = modulo(y - originY, pattern->height);
                const auto index = static_cast<std::size_t>(py) * static_cast<std::size_t>(pattern->width) +
                                   static_cast<std::size_t>(px);
                if (pattern->monochrome) {
                    return pattern->bits[index] ? background : monoForeground;
                }
                return pattern->pixels[index];
            }
        }
        return pixel;
    }

private:
    static int modulo(int v, int m) {
        const int r = v % m;
        return r < 0 ? r + m : r;
    }
    // The six hatch patterns, one byte a row, bit 7 the leftmost pixel.
    static constexpr std::uint8_t kHatches[6][8] = {
        {0x00, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00},  // HS_HORIZONTAL
        {0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08},  // HS_VERTICAL
        {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01},  // HS_FDIAGONAL
        {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80},  // HS_BDIAGONAL
        {0x08, 0x08, 0x08, 0x08, 0xFF, 0x08, 0x08, 0x08},  // HS_CROSS
        {0x81, 0x42, 0x24, 0x18, 0x18, 0x24, 0x42, 0x81},  // HS_DIAGCROSS
    };
};

// Applies a binary raster operation (R2_BLACK .. R2_WHITE) to pen pixel p
// and destination pixel d, on the colour bits.
inline std::uint32_t applyRop2(int rop2, std::uint32_t p, std::uint32_t d) {
    // rop2 - 1 is a truth table: bit 3 for (p, d) = (1, 1), bit 2 for (1, 0),
    // bit 1 for (0, 1), bit 0 for (0, 0).
    const unsigned table = static_cast<unsigned>(rop2 - 1) & 0xFu;
    std::uint32_t r = 0;
    if (table & 8u)
        r |= p & d;
    if (table & 4u)
        r |= p & ~d;
    if (table & 2u)
        r |= ~p & d;
    if (table & 1u)
        r |= ~p & ~d;
    return r & 0x00FFFFFFu;
}

}  // namespace metafile
