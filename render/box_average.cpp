#include "render/box_average.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace render {
namespace {

// The sum of `n` rows of bytes, lane by lane (at most 20 x 255 fits 16 bits).
void sumRows(const std::uint8_t* first, std::ptrdiff_t strideBytes, int n, std::size_t bytes,
             std::uint16_t* __restrict sums) {
    for (std::size_t i = 0; i < bytes; ++i) sums[i] = first[i];
    for (int dy = 1; dy < n; ++dy) {
        const std::uint8_t* __restrict row = first + dy * strideBytes;
        for (std::size_t i = 0; i < bytes; ++i) sums[i] = static_cast<std::uint16_t>(sums[i] + row[i]);
    }
}

// Sums of N neighbouring pixels' lanes (blue, green, red, top), divided by the
// block's area. For every sum s <= 255 N^2, (s + 0.5) / N^2 lies at least
// 0.5 / N^2 from the next whole number, far beyond single precision's error,
// so the truncated product is the exact quotient.
void reduceColumnsAny(const std::uint16_t* sums, int n, long long columns, std::uint32_t* out) {
    const float inverse = 1.0f / float(n * n);
    for (long long x = 0; x < columns; ++x) {
        const std::uint16_t* block = sums + x * n * 4;
        std::uint32_t lane[4] = {0, 0, 0, 0};
        for (int dx = 0; dx < n; ++dx) {
            for (int c = 0; c < 4; ++c) lane[c] += block[dx * 4 + c];
        }
        std::uint32_t q[4];
        for (int c = 0; c < 4; ++c)
            q[c] = static_cast<std::uint32_t>(static_cast<std::int32_t>((float(lane[c]) + 0.5f) * inverse));
        out[x] = q[0] | (q[1] << 8) | (q[2] << 16);
    }
}

// floor(s / area) as (s * multiplier) >> (16 + shift) with a 16-bit
// multiplier, checked for every sum a block can have (s <= 255 area); none
// when the sums do not fit 16 bits or no multiplier is exact.
struct Divider {
    std::uint32_t multiplier = 0;
    int shift = 0;
};

std::optional<Divider> dividerFor(int area) {
    const std::uint32_t most = 255u * static_cast<std::uint32_t>(area);
    if (most > 0xFFFF)
        return std::nullopt;
    for (int shift = 0; shift < 16; ++shift) {
        const std::uint64_t scale = std::uint64_t{1} << (16 + shift);
        const std::uint64_t multiplier = (scale + static_cast<std::uint64_t>(area) - 1) / area;
        if (multiplier > 0xFFFF)
            break;
        bool exact = true;
        for (std::uint32_t s = 0; s <= most && exact; ++s)
            exact = ((s * multiplier) >> (16 + shift)) == s / static_cast<std::uint32_t>(area);
        if (exact)
            return Divider{static_cast<std::uint32_t>(multiplier), shift};
    }
    return std::nullopt;
}

// The one colour of `pixels` pixels in each of N rows, if they have one
// (each row compared as a whole: a loop the compiler turns into vector code;
// the first differing row ends the look).
template <int N>
std::optional<std::uint32_t> uniformColour(const std::uint8_t* top, std::ptrdiff_t strideBytes,
                                           std::size_t pixels) {
    std::uint32_t colour;
    std::memcpy(&colour, top, sizeof colour);
    for (int dy = 0; dy < N; ++dy) {
        const std::uint8_t* row = top + dy * strideBytes;
        std::uint32_t differs = 0;
        for (std::size_t i = 0; i < pixels; ++i) {
            std::uint32_t p;
            std::memcpy(&p, row + i * 4, sizeof p);
            differs |= p ^ colour;
        }
        if (differs != 0)
            return std::nullopt;
    }
    return colour;
}

// One output row from N rows of the strip, a chunk of output pixels at a
// time so that the chunk's sums stay in the first-level cache: the N rows
// summed byte by byte, then N neighbouring pixels' lanes, then each lane
// divided with the 16-bit multiply-high (all three loops vector code).
template <int N>
void reduceRow(const std::uint8_t* first, std::ptrdiff_t strideBytes, long long columns, const Divider& d,
               std::uint32_t* out) {
    constexpr long long kChunk = 64;  // output pixels
    alignas(16) std::uint16_t column[kChunk * N * 4];
    alignas(16) std::uint16_t block[kChunk * 4];
    alignas(16) std::uint8_t quotient[kChunk * 4];
    const std::uint32_t multiplier = d.multiplier;
    const int shift = d.shift;
    for (long long x0 = 0; x0 < columns; x0 += kChunk) {
        const long long count = std::min(kChunk, columns - x0);
        const std::size_t bytes = static_cast<std::size_t>(count) * N * 4;
        const std::uint8_t* top = first + x0 * N * 4;
        // Most of a page is paper: a block of one colour averages to that
        // colour, with no sums to make.
        if (const auto colour = uniformColour<N>(top, strideBytes, static_cast<std::size_t>(count) * N)) {
            std::fill_n(out + x0, count, *colour & 0x00FFFFFFu);
            continue;
        }
        for (std::size_t i = 0; i < bytes; ++i) column[i] = top[i];
        for (int dy = 1; dy < N; ++dy) {
            const std::uint8_t* __restrict row = top + dy * strideBytes;
            for (std::size_t i = 0; i < bytes; ++i)
                column[i] = static_cast<std::uint16_t>(column[i] + row[i]);
        }
        for (long long p = 0; p < count; ++p) {
            const std::uint16_t* __restrict group = column + p * N * 4;
            std::uint16_t s[4] = {group[0], group[1], group[2], group[3]};
            for (int dx = 1; dx < N; ++dx) {
                for (int c = 0; c < 4; ++c) s[c] = static_cast<std::uint16_t>(s[c] + group[dx * 4 + c]);
            }
            for (int c = 0; c < 4; ++c) block[p * 4 + c] = s[c];
        }
        const std::size_t lanes = static_cast<std::size_t>(count) * 4;
        for (std::size_t i = 0; i < lanes; ++i) {
            const auto high = static_cast<std::uint16_t>((std::uint32_t{block[i]} * multiplier) >> 16);
            quotient[i] = static_cast<std::uint8_t>(high >> shift);
        }
        for (long long p = 0; p < count; ++p) {
            std::uint32_t pixel;
            std::memcpy(&pixel, quotient + p * 4, sizeof pixel);
            out[x0 + p] = pixel & 0x00FFFFFFu;  // little-endian: blue, green, red, top
        }
    }
}

template <int N>
void reduceRows(const std::uint8_t* base, std::ptrdiff_t strideBytes, int rows, long long columns,
                std::uint32_t* out, std::ptrdiff_t outStride, const Divider& d) {
    for (int y = 0; y + N <= rows; y += N)
        reduceRow<N>(base + y * strideBytes, strideBytes, columns, d, out + (y / N) * outStride);
}

}  // namespace

void boxAverage(const std::uint32_t* source, std::ptrdiff_t stride, int rows, int factor, long long columns,
                std::uint32_t* out, std::ptrdiff_t outStride, std::vector<std::uint16_t>& scratch) {
    const int n = std::max(factor, 1);
    if (n == 1) {
        for (int y = 0; y < rows; ++y) {
            const std::uint32_t* row = source + y * stride;
            std::uint32_t* q = out + y * outStride;
            std::copy_n(row, columns, q);
        }
        return;
    }
    const auto* base = reinterpret_cast<const std::uint8_t*>(source);
    const std::ptrdiff_t strideBytes = stride * 4;
    // The factors of the quality presets, with their divisions found once.
    static const auto d2 = dividerFor(4), d3 = dividerFor(9), d5 = dividerFor(25), d7 = dividerFor(49),
                      d10 = dividerFor(100);
    switch (n) {
        case 2:
            if (d2)
                return reduceRows<2>(base, strideBytes, rows, columns, out, outStride, *d2);
            break;
        case 3:
            if (d3)
                return reduceRows<3>(base, strideBytes, rows, columns, out, outStride, *d3);
            break;
        case 5:
            if (d5)
                return reduceRows<5>(base, strideBytes, rows, columns, out, outStride, *d5);
            break;
        case 7:
            if (d7)
                return reduceRows<7>(base, strideBytes, rows, columns, out, outStride, *d7);
            break;
        case 10:
            if (d10)
                return reduceRows<10>(base, strideBytes, rows, columns, out, outStride, *d10);
            break;
        default:
            break;
    }
    const std::size_t bytes = static_cast<std::size_t>(columns) * static_cast<std::size_t>(n) * 4;
    if (scratch.size() < bytes)
        scratch.resize(bytes);
    for (int y = 0; y + n <= rows; y += n) {
        sumRows(base + y * strideBytes, strideBytes, n, bytes, scratch.data());
        reduceColumnsAny(scratch.data(), n, columns, out + (y / n) * outStride);
    }
}

}  // namespace render
