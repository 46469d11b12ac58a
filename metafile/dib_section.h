#pragma once
// A 32-bit top-down device-independent bitmap: width x height pixels, each a
// little-endian 0xAARRGGBB word, so that the bytes in memory run blue, green,
// red, alpha, as in a Windows DIB section and a cairo image surface.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace metafile {

class DibSection {
public:
    // Pages larger than this are refused rather than allocated.
    static constexpr std::int64_t kMaxPixels = std::int64_t{1} << 28;

    static std::optional<DibSection> create(int width, int height);

    int width() const { return m_width; }
    // The picture's height. A band (reshapeBand) holds only the rows
    // [firstRow(), endRow()) of it; a whole bitmap holds them all.
    int height() const { return m_height; }
    int firstRow() const { return m_first; }
    int endRow() const { return m_first + m_rows; }
    // Row y of the picture; only rows the bitmap holds.
    std::uint32_t* row(int y) {
        return m_pixels.data() + static_cast<std::size_t>(y - m_first) * static_cast<std::size_t>(m_width);
    }
    const std::uint32_t* row(int y) const {
        return m_pixels.data() + static_cast<std::size_t>(y - m_first) * static_cast<std::size_t>(m_width);
    }
    std::uint32_t pixel(int x, int y) const { return row(y)[x]; }
    std::span<std::uint32_t> pixels() { return {m_pixels.data(), m_count}; }
    std::span<const std::uint32_t> pixels() const { return {m_pixels.data(), m_count}; }
    // The memory the pixels hold, with what earlier, larger shapes left.
    std::size_t heldBytes() const { return m_pixels.capacity() * sizeof(std::uint32_t); }
    // The B, G, R, A bytes of the whole bitmap, row after row.
    std::span<const std::byte> bytes() const { return std::as_bytes(pixels()); }

    void fill(std::uint32_t value);
    // Makes the bitmap width x height, keeping its memory where it suffices
    // (a strip's surface drawn again for the next strip). The pixels are not
    // cleared: the caller paints every one. False, the bitmap unchanged,
    // for a size that create refuses or when memory runs out.
    bool reshape(int width, int height);
    // The same for a band: `rows` rows from row `first` of a picture
    // `height` rows tall, which draws as the whole picture draws, its rows
    // kept and the others let go.
    bool reshapeBand(int width, int rows, int first, int height);

private:
    DibSection(int width, int height) : m_width(width), m_height(height), m_rows(height) {}
    int m_width = 0;
    int m_height = 0;
    int m_first = 0;
    int m_rows = 0;
    // Never shrinks: a smaller shape uses the first m_count pixels, so that
    // growing again clears nothing.
    std::vector<std::uint32_t> m_pixels;
    std::size_t m_count = 0;
};

// Every pixel of [first, first + count) set to `value`, in vector code.
void fillPixelsLong(std::uint32_t* first, std::size_t count, std::uint32_t value);

// The same; short runs (a line's pixels in one row of a mask) without a call:
// four pixels a store, the last four stored last (over some already set),
// so that runs of about the same length take the same steps.
inline void fillPixels(std::uint32_t* first, std::size_t count, std::uint32_t value) {
#if defined(__SSE2__)
    if (count >= 4 && count <= 64) {
        const __m128i four = _mm_set1_epi32(static_cast<int>(value));
        std::uint32_t* const last = first + count - 4;
        std::uint32_t* p = first;
        for (; p + 8 < first + count; p += 8) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(p), four);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 4), four);
        }
        // One to eight pixels left: four from p where they fit, and the last four.
        _mm_storeu_si128(reinterpret_cast<__m128i*>(std::min(p, last)), four);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(last), four);
        return;
    }
#endif
    if (count > 32) {
        fillPixelsLong(first, count, value);
        return;
    }
    for (std::size_t i = 0; i < count; ++i) first[i] = value;
}

// 0x00RRGGBB pixel of a COLORREF.
constexpr std::uint32_t pixelOf(std::uint32_t colorRef) {
    return ((colorRef & 0xFF) << 16) | (colorRef & 0xFF00) | ((colorRef >> 16) & 0xFF);
}

}  // namespace metafile
