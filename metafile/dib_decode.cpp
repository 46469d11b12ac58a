#include "metafile/dib_decode.h"

#include <cairo.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "metafile/byte_reader.h"
#include "metafile/jpeg_decode.h"

namespace metafile {
namespace {

using platform::unexpected;

constexpr std::uint32_t BI_RGB = 0, BI_RLE8 = 1, BI_RLE4 = 2, BI_BITFIELDS = 3, BI_JPEG = 4, BI_PNG = 5,
                        BI_ALPHABITFIELDS = 6;

struct Header {
    std::uint32_t size = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;  // negative: top-down
    std::uint16_t bitCount = 0;
    std::uint32_t compression = BI_RGB;
    std::uint32_t colorsUsed = 0;
    std::uint32_t masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha
    bool core = false;
};

int lowestBit(std::uint32_t mask) {
    int n = 0;
    while (mask != 0 && (mask & 1u) == 0) {
        mask >>= 1;
        ++n;
    }
    return n;
}

int bitWidth(std::uint32_t mask) {
    mask >>= lowestBit(mask);
    int n = 0;
    while (mask & 1u) {
        mask >>= 1;
        ++n;
    }
    return n;
}

// A channel taken out by its mask and stretched to 8 bits.
std::uint32_t channel(std::uint32_t value, std::uint32_t mask) {
    if (mask == 0)
        return 0;
    const int shift = lowestBit(mask), width = bitWidth(mask);
    std::uint32_t v = (value & mask) >> shift;
    if (width >= 8)
        return v >> (width - 8);
    // Replicate the high bits into the low ones (5 bits: 31 -> 255).
    std::uint32_t out = 0;
    int filled = 0;
    while (filled < 8) {
        out = (out << width) | v;
        filled += width;
    }
    return (out >> (filled - 8)) & 0xFF;
}

// The width and height in a PNG's IHDR chunk, which must come first.
std::optional<std::int64_t> pngPixels(std::span<const std::byte> bits) {
    static constexpr unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    ByteReader in(bits);
    auto signature = in.take(8);
    if (!signature || std::memcmp(signature->data(), kSignature, 8) != 0)
        return std::nullopt;
    in.skip(4);  // chunk length
    auto type = in.take(4);
    auto w = in.take(4), h = in.take(4);
    if (!h || std::memcmp(type->data(), "IHDR", 4) != 0)
        return std::nullopt;
    auto bigEndian = [](std::span<const std::byte> b) {
        std::uint32_t v = 0;
        for (auto c : b) v = (v << 8) | std::to_integer<std::uint32_t>(c);
        return std::int64_t{v};
    };
    return bigEndian(*w) * bigEndian(*h);
}

platform::Expected<Image32, std::string> decodePng(std::span<const std::byte> bits, std::int64_t maxPixels) {
    // The size is checked before cairo allocates the whole picture.
    const auto claimed = pngPixels(bits);
    if (!claimed)
        return unexpected(std::string("embedded PNG cannot be decoded"));
    if (*claimed > maxPixels)
        return unexpected(std::string("embedded PNG too large"));
    struct Source {
        std::span<const std::byte> data;
        std::size_t pos = 0;
    } source{bits, 0};
    auto read = [](void* closure, unsigned char* out, unsigned int length) -> cairo_status_t {
        auto* s = static_cast<Source*>(closure);
        if (length > s->data.size() - s->pos)
            return CAIRO_STATUS_READ_ERROR;
        std::memcpy(out, s->data.data() + s->pos, length);
        s->pos += length;
        return CAIRO_STATUS_SUCCESS;
    };
    std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> surface(
        cairo_image_surface_create_from_png_stream(read, &source), cairo_surface_destroy);
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
        return unexpected(std::string("embedded PNG cannot be decoded"));
    }
    Image32 img;
    img.width = cairo_image_surface_get_width(surface.get());
    img.height = cairo_image_surface_get_height(surface.get());
    if (std::int64_t{img.width} * img.height > maxPixels)
        return unexpected(std::string("embedded PNG too large"));
    const int stride = cairo_image_surface_get_stride(surface.get());
    const auto format = cairo_image_surface_get_format(surface.get());
    const unsigned char* data = cairo_image_surface_get_data(surface.get());
    img.pixels.resize(static_cast<std::size_t>(img.width) * static_cast<std::size_t>(img.height));
    img.hasAlpha = format == CAIRO_FORMAT_ARGB32;
    for (int y = 0; y < img.height; ++y) {
        const auto* row =
            reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        for (int x = 0; x < img.width; ++x) {
            std::uint32_t p = row[x];
            if (img.hasAlpha) {
                // cairo premultiplies; undo it.
                const std::uint32_t a = p >> 24;
                if (a != 0 && a != 255) {
                    auto un = [a](std::uint32_t c) {
                        return std::min<std::uint32_t>(255, (c * 255 + a / 2) / a);
                    };
                    p = (a << 24) | (un((p >> 16) & 0xFF) << 16) | (un((p >> 8) & 0xFF) << 8) | un(p & 0xFF);
                }
            } else {
                p |= 0xFF000000u;
            }
            img.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(img.width) +
                       static_cast<std::size_t>(x)] = p;
        }
    }
    return img;
}

// RLE8 / RLE4 into palette indices, bottom-up rows as stored. The column
// and row stop at the image's edge however many pixels the runs and deltas
// claim, so no count can carry them round to a negative value.
bool expandRle(std::span<const std::byte> bits, bool four, int width, int height,
               std::vector<std::uint8_t>& out) {
    out.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
    ByteReader in(bits);
    int x = 0, y = 0;  // y counts from the bottom row; 0 <= x <= width, 0 <= y <= height
    auto advance = [&](int count) {
        x = static_cast<int>(std::min<std::int64_t>(std::int64_t{x} + count, width));
    };
    auto row = [&]() { return out.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width); };
    while (in.remaining() >= 2) {
        const std::uint8_t count = *in.u8();
        const std::uint8_t value = *in.u8();
        if (count > 0) {
            const int n = std::min<int>(count, width - x);
            for (int i = 0; i < n; ++i)
                row()[x + i] = four ? ((i % 2 == 0) ? value >> 4 : value & 0xF) : value;
            advance(count);
            continue;
        }
        if (value == 0) {  // end of line
            x = 0;
            ++y;
        } else if (value == 1) {  // end of bitmap
            return true;
        } else if (value == 2) {  // delta
            auto dx = in.u8(), dy = in.u8();
            if (!dy)
                return false;
            advance(*dx);
            y = std::min(y + *dy, height);
        } else {  // absolute run of `value` pixels, padded to 16 bits
            const int n = value;
            const int bytes = four ? (n + 1) / 2 : n;
            auto run = in.take(static_cast<std::size_t>(bytes));
            if (!run)
                return false;
            const int shown = std::min(n, width - x);
            for (int i = 0; i < shown; ++i) {
                const auto b =
                    std::to_integer<std::uint8_t>((*run)[static_cast<std::size_t>(four ? i / 2 : i)]);
                row()[x + i] = four ? ((i % 2 == 0) ? b >> 4 : b & 0xF) : b;
            }
            advance(n);
            if (bytes % 2 == 1)
                in.skip(1);
        }
        if (y >= height)
            return true;
    }
    return true;
}

}  // namespace

std::int64_t dibClaimedPixels(std::span<const std::byte> info) {
    ByteReader in(info);
    const auto size = in.u32();
    if (!size)
        return 0;
    std::int64_t w = 0, h = 0;
    if (*size == 12) {
        w = in.u16().value_or(0);
        h = in.u16().value_or(0);
    } else {
        w = in.i32().value_or(0);
        h = in.i32().value_or(0);
    }
    return w <= 0 ? 0 : w * (h < 0 ? -h : h);
}

platform::Expected<Image32, std::string> decodeDib(std::span<const std::byte> info,
                                                   std::span<const std::byte> bits, std::uint32_t usage,
                                                   std::int64_t maxPixels) {
    ByteReader in(info);
    Header h;
    const auto size = in.u32();
    if (!size)
        return unexpected(std::string("bitmap header missing"));
    h.size = *size;
    if (h.size == 12) {
        h.core = true;
        const auto w = in.u16();
        const auto hh = in.u16();
        in.skip(2);  // planes
        const auto bpp = in.u16();
        if (!bpp)
            return unexpected(std::string("bitmap header truncated"));
        h.width = *w;
        h.height = *hh;
        h.bitCount = *bpp;
    } else if (h.size >= 40) {
        const auto w = in.i32();
        const auto hh = in.i32();
        in.skip(2);  // planes
        const auto bpp = in.u16();
        const auto comp = in.u32();
        in.skip(12);  // image size, resolution
        const auto used = in.u32();
        const auto important = in.u32();
        if (!important)
            return unexpected(std::string("bitmap header truncated"));
        h.width = *w;
        h.height = *hh;
        h.bitCount = *bpp;
        h.compression = *comp;
        h.colorsUsed = *used;
        if (h.size >= 56) {  // V4/V5 carry their masks in the header
            for (auto& m : h.masks) m = in.u32().value_or(0);
        }
    } else {
        return unexpected("unknown bitmap header size " + std::to_string(h.size));
    }
    if (h.width <= 0 || h.height == 0 || h.height == INT32_MIN)
        return unexpected(std::string("bitmap has no pixels"));
    const bool topDown = h.height < 0;
    const int width = h.width, height = topDown ? -h.height : h.height;
    maxPixels = std::min(maxPixels, kMaxImagePixels);
    if (std::int64_t{width} * height > maxPixels)
        return unexpected(std::string("bitmap too large"));

    if (h.compression == BI_PNG)
        return decodePng(bits, maxPixels);
    if (h.compression != BI_JPEG && h.bitCount != 1 && h.bitCount != 4 && h.bitCount != 8 &&
        h.bitCount != 16 && h.bitCount != 24 && h.bitCount != 32) {
        return unexpected("unsupported bit depth " + std::to_string(h.bitCount));
    }
    if (h.compression == BI_JPEG)
        return decodeJpeg(bits, maxPixels);

    // Masks after a 40-byte header for BI_BITFIELDS.
    if ((h.compression == BI_BITFIELDS || h.compression == BI_ALPHABITFIELDS) && h.size == 40) {
        in.seek(40);
        for (int i = 0; i < (h.compression == BI_ALPHABITFIELDS ? 4 : 3); ++i)
            h.masks[i] = in.u32().value_or(0);
    }
    if (h.compression == BI_RGB && h.bitCount == 16) {
        h.masks[0] = 0x7C00;
        h.masks[1] = 0x03E0;
        h.masks[2] = 0x001F;
    }
    if (h.compression == BI_RGB && h.bitCount == 32) {
        h.masks[0] = 0xFF0000;
        h.masks[1] = 0x00FF00;
        h.masks[2] = 0x0000FF;
    }

    // The colour table follows the header (and any masks).
    std::vector<std::uint32_t> palette;
    if (h.bitCount <= 8) {
        const std::size_t entries =
            h.colorsUsed != 0 ? std::min<std::uint32_t>(h.colorsUsed, 256u) : (1u << h.bitCount);
        std::size_t offset = h.size;
        if (h.compression == BI_BITFIELDS && h.size == 40)
            offset += 12;
        in.seek(std::min<std::size_t>(offset, info.size()));
        for (std::size_t i = 0; i < entries; ++i) {
            if (usage == 1) {  // palette indices
                auto index = in.u16();
                const std::uint32_t g = index ? (*index & 0xFF) : 0;
                palette.push_back(0xFF000000u | (g << 16) | (g << 8) | g);
                continue;
            }
            auto b = in.u8(), g = in.u8(), r = in.u8();
            if (!h.core)
                in.skip(1);
            if (!r)
                break;
            palette.push_back(0xFF000000u | (std::uint32_t{*r} << 16) | (std::uint32_t{*g} << 8) | *b);
        }
        palette.resize(std::size_t{1} << h.bitCount, 0xFF000000u);
    } else if (h.bitCount != 16 && h.bitCount != 24 && h.bitCount != 32) {
        return unexpected("unsupported bit depth " + std::to_string(h.bitCount));
    }

    const bool rle = h.compression == BI_RLE8 || h.compression == BI_RLE4;
    const std::size_t stride = ((static_cast<std::size_t>(width) * h.bitCount + 31) / 32) * 4;
    // Rows missing at the end stay black, but at least half of them must be
    // there: a header alone never buys a picture's worth of memory.
    const std::size_t rowsPresent = bits.size() / stride;
    const std::size_t rowsNeeded = (static_cast<std::size_t>(height) + 1) / 2;
    if (!rle && rowsPresent < rowsNeeded) {
        return unexpected("bitmap bits are missing (" + std::to_string(bits.size()) + " bytes for " +
                          std::to_string(height) + " rows of " + std::to_string(stride) + ")");
    }
    Image32 img;
    img.width = width;
    img.height = height;
    img.bottomUp = !topDown || h.compression == BI_RLE8 || h.compression == BI_RLE4;
    img.pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0xFF000000u);
    img.monochrome = h.bitCount == 1;
    if (img.monochrome) {
        img.palette0 = palette[0] & 0xFFFFFF;
        img.palette1 = palette[1] & 0xFFFFFF;
        img.bits.assign(img.pixels.size(), 0);
    }
    auto store = [&](int x, int storedRow, std::uint32_t pixel, std::uint8_t index) {
        const int y = topDown ? storedRow : height - 1 - storedRow;
        const std::size_t at =
            static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x);
        img.pixels[at] = pixel;
        if (img.monochrome)
            img.bits[at] = index;
    };

    if (h.compression == BI_RLE8 || h.compression == BI_RLE4) {
        if (h.bitCount != (h.compression == BI_RLE8 ? 8 : 4))
            return unexpected(std::string("RLE with the wrong depth"));
        std::vector<std::uint8_t> indices;
        if (!expandRle(bits, h.compression == BI_RLE4, width, height, indices)) {
            return unexpected(std::string("RLE data is damaged"));
        }
        for (int row = 0; row < height; ++row) {
            for (int x = 0; x < width; ++x) {
                const auto index =
                    indices[static_cast<std::size_t>(row) * width + static_cast<std::size_t>(x)];
                // RLE rows are stored bottom-up whatever the sign says.
                const int y = height - 1 - row;
                img.pixels[static_cast<std::size_t>(y) * width + static_cast<std::size_t>(x)] =
                    palette[index];
            }
        }
        return img;
    }
    if (h.compression != BI_RGB && h.compression != BI_BITFIELDS && h.compression != BI_ALPHABITFIELDS) {
        return unexpected("unsupported compression " + std::to_string(h.compression));
    }

    bool anyAlpha = false;
    for (int row = 0; row < height; ++row) {
        const std::size_t start = static_cast<std::size_t>(row) * stride;
        if (start + stride > bits.size())
            break;  // missing rows stay black
        const auto* p = bits.data() + start;
        for (int x = 0; x < width; ++x) {
            std::uint32_t pixel = 0xFF000000u;
            std::uint8_t index = 0;
            const auto byteAt = [&](std::size_t i) { return std::to_integer<std::uint32_t>(p[i]); };
            switch (h.bitCount) {
                case 1:
                    index = static_cast<std::uint8_t>(
                        (byteAt(static_cast<std::size_t>(x) / 8) >> (7 - x % 8)) & 1);
                    pixel = palette[index];
                    break;
                case 4:
                    index = static_cast<std::uint8_t>(
                        (byteAt(static_cast<std::size_t>(x) / 2) >> (x % 2 == 0 ? 4 : 0)) & 0xF);
                    pixel = palette[index];
                    break;
                case 8:
                    index = static_cast<std::uint8_t>(byteAt(static_cast<std::size_t>(x)));
                    pixel = palette[index];
                    break;
                case 16: {
                    const std::uint32_t v = byteAt(2 * static_cast<std::size_t>(x)) |
                                            (byteAt(2 * static_cast<std::size_t>(x) + 1) << 8);
                    pixel = 0xFF000000u | (channel(v, h.masks[0]) << 16) | (channel(v, h.masks[1]) << 8) |
                            channel(v, h.masks[2]);
                    break;
                }
                case 24: {
                    const std::size_t i = 3 * static_cast<std::size_t>(x);
                    pixel = 0xFF000000u | (byteAt(i + 2) << 16) | (byteAt(i + 1) << 8) | byteAt(i);
                    break;
                }
                case 32: {
                    const std::size_t i = 4 * static_cast<std::size_t>(x);
                    const std::uint32_t v =
                        byteAt(i) | (byteAt(i + 1) << 8) | (byteAt(i + 2) << 16) | (byteAt(i + 3) << 24);
                    // Without an alpha mask the byte the colour masks leave free
                    // carries alpha (as AlphaBlend reads it).
                    const bool freeTopByte = (h.masks[0] | h.masks[1] | h.masks[2]) == 0x00FFFFFFu;
                    const std::uint32_t alpha = h.masks[3] ? channel(v, h.masks[3])
                                                : (h.compression == BI_RGB || freeTopByte) ? (v >> 24)
                                                                                           : 0;
                    anyAlpha = anyAlpha || alpha != 0;
                    pixel = (alpha << 24) | (channel(v, h.masks[0]) << 16) | (channel(v, h.masks[1]) << 8) |
                            channel(v, h.masks[2]);
                    break;
                }
                default:
                    break;
            }
            store(x, row, pixel, index);
        }
    }
    if (h.bitCount == 32) {
        img.hasAlpha = anyAlpha;
        if (!anyAlpha) {
            for (auto& px : img.pixels) px |= 0xFF000000u;
        }
    }
    return img;
}

}  // namespace metafile
