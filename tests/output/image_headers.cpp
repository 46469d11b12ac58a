#include "tests/output/image_headers.h"

#include <optional>

namespace testing_support {
namespace {

class Bytes {
public:
    Bytes(const std::string& data, bool littleEndian = false) : m_data(data), m_little(littleEndian) {}
    std::size_t size() const { return m_data.size(); }
    std::optional<std::uint32_t> u8(std::size_t at) const {
        if (at >= m_data.size())
            return std::nullopt;
        return static_cast<std::uint8_t>(m_data[at]);
    }
    std::optional<std::uint32_t> u16(std::size_t at) const {
        auto a = u8(at), b = u8(at + 1);
        if (!a || !b)
            return std::nullopt;
        return m_little ? (*b << 8 | *a) : (*a << 8 | *b);
    }
    std::optional<std::uint32_t> u32(std::size_t at) const {
        auto a = u16(at), b = u16(at + 2);
        if (!a || !b)
            return std::nullopt;
        return m_little ? (*b << 16 | *a) : (*a << 16 | *b);
    }
    bool matches(std::size_t at, const std::string& text) const {
        return m_data.compare(at, text.size(), text) == 0;
    }

private:
    const std::string& m_data;
    bool m_little;
};

int orMinus(std::optional<std::uint32_t> v) {
    return v ? static_cast<int>(*v) : -1;
}

}  // namespace

PngHeader readPng(const std::string& data) {
    PngHeader h;
    Bytes b(data);
    if (!b.matches(0, "\x89PNG\r\n\x1a\n"))
        return h;
    std::size_t at = 8;
    while (at + 8 <= b.size()) {
        const auto length = b.u32(at);
        if (!length || *length > b.size() - at - 8)
            break;
        const std::string type = data.substr(at + 4, 4);
        const std::size_t body = at + 8;
        if (type == "IHDR") {
            h.bitDepth = orMinus(b.u8(body + 8));
            h.colourType = orMinus(b.u8(body + 9));
            h.interlace = orMinus(b.u8(body + 12));
        } else if (type == "PLTE") {
            h.paletteEntries = static_cast<int>(*length / 3);
        } else if (type == "pHYs" && b.u8(body + 8) == 1u) {
            h.pixelsPerMetre = orMinus(b.u32(body));
        }
        at = body + *length + 4;
    }
    return h;
}

TiffTags readTiff(const std::string& data) {
    TiffTags tags;
    if (data.size() < 8 || (data.compare(0, 2, "II") != 0 && data.compare(0, 2, "MM") != 0))
        return tags;
    Bytes b(data, data[0] == 'I');
    const auto ifd = b.u32(4);
    const auto count = ifd ? b.u16(*ifd) : std::nullopt;
    if (!count)
        return tags;
    for (std::uint32_t i = 0; i < *count; ++i) {
        const std::size_t entry = *ifd + 2 + 12 * std::size_t{i};
        const auto tag = b.u16(entry), type = b.u16(entry + 2), n = b.u32(entry + 4);
        if (!tag || !type || !n || *n > 4096)
            break;
        if (*type == 3 || *type == 4) {
            const std::size_t width = *type == 3 ? 2 : 4;
            const std::size_t at = width * *n <= 4 ? entry + 8 : b.u32(entry + 8).value_or(data.size());
            auto& list = tags.values[static_cast<int>(*tag)];
            for (std::uint32_t k = 0; k < *n; ++k) {
                const auto v = width == 2 ? b.u16(at + 2 * k) : b.u32(at + 4 * k);
                if (!v)
                    break;
                list.push_back(*v);
            }
        } else if (*type == 5) {
            const auto at = b.u32(entry + 8);
            const auto num = at ? b.u32(*at) : std::nullopt, den = at ? b.u32(*at + 4) : std::nullopt;
            if (num && den && *den != 0)
                tags.rationals[static_cast<int>(*tag)] = double(*num) / *den;
        }
    }
    return tags;
}

JpegHeader readJpeg(const std::string& data) {
    JpegHeader h;
    Bytes b(data);
    if (b.u16(0) != 0xFFD8u)
        return h;
    std::size_t at = 2;
    while (at + 4 <= b.size()) {
        if (b.u8(at) != 0xFFu)
            break;
        const std::uint32_t marker = *b.u8(at + 1);
        const auto length = b.u16(at + 2);
        if (!length)
            break;
        const std::size_t body = at + 4;
        if (marker == 0xE0 && b.matches(body, std::string("JFIF\0", 5))) {
            h.densityUnits = orMinus(b.u8(body + 7));
            h.xDensity = orMinus(b.u16(body + 8));
            h.yDensity = orMinus(b.u16(body + 10));
        } else if (marker == 0xDB && h.firstLumaQuantiser < 0) {
            // Pq (precision) and Tq (table) in one byte, then the table.
            if (const auto table = b.u8(body); table && (*table & 0x0F) == 0)
                h.firstLumaQuantiser =
                    (*table >> 4) == 0 ? orMinus(b.u8(body + 1)) : orMinus(b.u16(body + 1));
        } else if (marker == 0xC0 || marker == 0xC1 || marker == 0xC2) {
            h.progressive = marker == 0xC2;
            h.frameMarker = static_cast<int>(marker);
            h.components = orMinus(b.u8(body + 5));
            for (int i = 0; i < h.components; ++i)
                h.sampling.push_back(orMinus(b.u8(body + 6 + 3 * static_cast<std::size_t>(i) + 1)));
            break;
        }
        at += 2 + *length;
    }
    return h;
}

GifHeader readGif(const std::string& data) {
    GifHeader h;
    Bytes b(data, true);
    if (!b.matches(0, "GIF8"))
        return h;
    const auto flags = b.u8(10);
    if (!flags)
        return h;
    std::size_t at = 13;
    if (*flags & 0x80) {
        h.globalColourTableSize = 2 << (*flags & 7);
        at += 3 * static_cast<std::size_t>(h.globalColourTableSize);
    }
    // Extensions up to the first image descriptor.
    while (at < b.size() && b.u8(at) == 0x21u) {
        at += 2;
        while (auto size = b.u8(at)) {
            at += 1 + *size;
            if (*size == 0)
                break;
        }
    }
    if (b.u8(at) == 0x2Cu) {
        const auto packed = b.u8(at + 9);
        h.interlaced = packed && (*packed & 0x40) != 0;
    }
    return h;
}

BmpHeader readBmp(const std::string& data) {
    BmpHeader h;
    Bytes b(data, true);
    if (!b.matches(0, "BM"))
        return h;
    h.bitsPerPixel = orMinus(b.u16(28));
    h.xPixelsPerMetre = orMinus(b.u32(38));
    return h;
}

}  // namespace testing_support
