#include "render/box_average.h"

#include <algorithm>
#include <cstring>

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
template <int N>
void reduceColumns(const std::uint16_t* __restrict sums, long long columns, std::uint32_t* __restrict out) {
    constexpr float inverse = 1.0f / float(N * N);
    for (long long x = 0; x < columns; ++x) {
        const std::uint16_t* block = sums + x * N * 4;
        std::uint32_t lane[4] = {0, 0, 0, 0};
        for (int dx = 0; dx < N; ++dx) {
            for (int c = 0; c < 4; ++c) lane[c] += block[dx * 4 + c];
        }
        std::uint32_t q[4];
        for (int c = 0; c < 4; ++c)
            q[c] = static_cast<std::uint32_t>(static_cast<std::int32_t>((float(lane[c]) + 0.5f) * inverse));
        out[x] = q[0] | (q[1] << 8) | (q[2] << 16);
    }
}

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

}  // namespace

void boxAverage(const std::uint32_t* source, std::ptrdiff_t stride, int rows, int factor, long long columns,
                std::uint32_t* out, std::ptrdiff_t outStride, std::vector<std::uint16_t>& scratch) {
    const int n = std::max(factor, 1);
    const std::size_t bytes = static_cast<std::size_t>(columns) * static_cast<std::size_t>(n) * 4;
    if (n == 1) {
        for (int y = 0; y < rows; ++y) {
            const std::uint32_t* row = source + y * stride;
            std::uint32_t* q = out + y * outStride;
            std::copy_n(row, columns, q);
        }
        return;
    }
    if (scratch.size() < bytes)
        scratch.resize(bytes);
    const auto* base = reinterpret_cast<const std::uint8_t*>(source);
    const std::ptrdiff_t strideBytes = stride * 4;
    for (int y = 0; y + n <= rows; y += n) {
        sumRows(base + y * strideBytes, strideBytes, n, bytes, scratch.data());
        std::uint32_t* q = out + (y / n) * outStride;
        switch (n) {
            case 2:
                reduceColumns<2>(scratch.data(), columns, q);
                break;
            case 3:
                reduceColumns<3>(scratch.data(), columns, q);
                break;
            case 5:
                reduceColumns<5>(scratch.data(), columns, q);
                break;
            case 7:
                reduceColumns<7>(scratch.data(), columns, q);
                break;
            case 10:
                reduceColumns<10>(scratch.data(), columns, q);
                break;
            default:
                reduceColumnsAny(scratch.data(), n, columns, q);
                break;
        }
    }
}

}  // namespace render
