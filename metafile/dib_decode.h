#pragma once
// Device-independent bitmaps as records carry them: a BITMAPINFO (core,
// info, V4 or V5 header, with colour table or bit-field masks) and the bits,
// decoded into a top-down 32-bit image. Every size is checked against the
// bytes that exist; compressed forms (RLE8, RLE4, PNG) are expanded within
// the image's own size.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/expected.h"

namespace metafile {

struct Image32 {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;  // top-down, 0xAARRGGBB
    bool hasAlpha = false;              // a 32-bit source whose alpha bytes mean something
    bool bottomUp = false;              // stored bottom row first (source rectangles count from it)
    // A 1-bit source: its two palette colours, for brushes and masks.
    bool monochrome = false;
    std::uint32_t palette0 = 0;
    std::uint32_t palette1 = 0xFFFFFF;
    std::vector<std::uint8_t> bits;  // 1-bit sources: 0 or 1 per pixel

    std::uint32_t at(int x, int y) const {
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                      static_cast<std::size_t>(x)];
    }
};

// Images larger than this are refused.
inline constexpr std::int64_t kMaxImagePixels = std::int64_t{1} << 26;

// `usage` 0 (DIB_RGB_COLORS) or 1 (DIB_PAL_COLORS: the colour table holds
// palette indices, shown here as grey levels). A picture of more than
// `maxPixels` pixels is refused before anything is decoded or allocated (an
// embedded PNG or JPEG by the size in its own header); so is an uncompressed
// one whose bits do not hold all of its rows.
platform::Expected<Image32, std::string> decodeDib(std::span<const std::byte> info,
                                                   std::span<const std::byte> bits, std::uint32_t usage = 0,
                                                   std::int64_t maxPixels = kMaxImagePixels);

// The pixel count a BITMAPINFO header claims (0 when it cannot be read).
std::int64_t dibClaimedPixels(std::span<const std::byte> info);

}  // namespace metafile
