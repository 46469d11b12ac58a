#pragma once
// Builds EMF records of any length for tests that need more than 32-bit
// words in a list: bitmaps, long point arrays, region data.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "metafile/emf_records.h"
#include "tests/metafile/emf_fixture.h"

namespace metafile::testing {

class RecordBuilder {
public:
    explicit RecordBuilder(std::uint32_t type) {
        u32(type);
        u32(0);  // size, set by bytes()
    }
    RecordBuilder& u8(std::uint8_t v) {
        m_bytes.push_back(static_cast<std::byte>(v));
        return *this;
    }
    RecordBuilder& u16(std::uint16_t v) {
        u8(static_cast<std::uint8_t>(v & 0xFF));
        return u8(static_cast<std::uint8_t>(v >> 8));
    }
    RecordBuilder& u32(std::uint32_t v) {
        for (int i = 0; i < 4; ++i) u8(static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF));
        return *this;
    }
    RecordBuilder& i32(std::int32_t v) { return u32(static_cast<std::uint32_t>(v)); }
    RecordBuilder& append(std::span<const std::byte> bytes) {
        m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
        return *this;
    }
    std::size_t size() const { return m_bytes.size(); }
    // The record, padded to four bytes, with its size filled in.
    std::vector<std::byte> bytes() const {
        std::vector<std::byte> out = m_bytes;
        while (out.size() % 4 != 0) out.push_back(std::byte{0});
        const auto n = static_cast<std::uint32_t>(out.size());
        for (int i = 0; i < 4; ++i)
            out[4 + static_cast<std::size_t>(i)] = static_cast<std::byte>((n >> (8 * i)) & 0xFF);
        return out;
    }

private:
    std::vector<std::byte> m_bytes;
};

// A metafile of the fixture's header (100 x 100 pixel frame on a 100 dpi
// device unless given), the records, then EOF.
inline std::vector<std::byte> metafileOf(const std::vector<std::vector<std::byte>>& records,
                                         EmfBytes header = EmfBytes(2540, 2540, 1000, 254)) {
    std::vector<std::byte> out = header.bytes(false);
    for (const auto& r : records) out.insert(out.end(), r.begin(), r.end());
    for (std::uint32_t w : {std::uint32_t{emf::EMR_EOF}, 20u, 0u, 16u, 20u}) {
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::byte>((w >> (8 * i)) & 0xFF));
    }
    const auto n = static_cast<std::uint32_t>(out.size());
    for (int i = 0; i < 4; ++i)
        out[48 + static_cast<std::size_t>(i)] = static_cast<std::byte>((n >> (8 * i)) & 0xFF);
    return out;
}

// EMR_STRETCHDIBITS of a DIB (header and colour table in `info`, then
// `bits`) from source (0, 0, cxSrc, cySrc) onto (x, y, cx, cy).
inline std::vector<std::byte> stretchDiBitsRecord(std::span<const std::byte> info,
                                                  std::span<const std::byte> bits, std::int32_t cxSrc,
                                                  std::int32_t cySrc, RectL dest, std::uint32_t usage = 0) {
    RecordBuilder r(emf::EMR_STRETCHDIBITS);
    r.i32(dest.left).i32(dest.top).i32(dest.right).i32(dest.bottom);  // bounds
    r.i32(dest.left).i32(dest.top).i32(0).i32(0).i32(cxSrc).i32(cySrc);
    const auto offBmi = 80u, offBits = 80u + static_cast<std::uint32_t>(info.size());
    r.u32(offBmi)
        .u32(static_cast<std::uint32_t>(info.size()))
        .u32(offBits)
        .u32(static_cast<std::uint32_t>(bits.size()));
    r.u32(usage).u32(0x00CC0020);
    r.i32(dest.right - dest.left).i32(dest.bottom - dest.top);
    r.append(info).append(bits);
    return r.bytes();
}

// A BITMAPINFOHEADER (40 bytes) and `palette` (0x00RRGGBB entries).
inline std::vector<std::byte> bitmapInfo(std::int32_t width, std::int32_t height, std::uint16_t bitCount,
                                         std::uint32_t compression,
                                         std::span<const std::uint32_t> palette = {},
                                         std::uint32_t imageSize = 0) {
    RecordBuilder r(0);  // only for its byte writer; the 8-byte head is cut off below
    r.u32(40).i32(width).i32(height).u16(1).u16(bitCount).u32(compression).u32(imageSize);
    r.i32(3780).i32(3780).u32(static_cast<std::uint32_t>(palette.size())).u32(0);
    for (auto c : palette) r.u32(c);
    auto all = r.bytes();
    return {all.begin() + 8, all.end()};
}

// RGNDATA of the rectangles.
inline std::vector<std::byte> regionData(const std::vector<RectL>& rects) {
    RecordBuilder r(0);
    r.u32(32)
        .u32(1)
        .u32(static_cast<std::uint32_t>(rects.size()))
        .u32(static_cast<std::uint32_t>(16 * rects.size()));
    r.i32(0).i32(0).i32(100).i32(100);
    for (const auto& rc : rects) r.i32(rc.left).i32(rc.top).i32(rc.right).i32(rc.bottom);
    auto all = r.bytes();
    return {all.begin() + 8, all.end()};
}

// EMR_FILLRGN of the rectangles (logical units) with the brush `brush`.
inline std::vector<std::byte> fillRgnRecord(const std::vector<RectL>& rects, std::uint32_t brush) {
    const auto data = regionData(rects);
    RecordBuilder r(emf::EMR_FILLRGN);
    r.i32(0).i32(0).i32(100).i32(100).u32(static_cast<std::uint32_t>(data.size())).u32(brush).append(data);
    return r.bytes();
}

}  // namespace metafile::testing
