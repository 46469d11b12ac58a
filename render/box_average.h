#pragma once
// The supersampled strip's reduction: every N x N block of pixels becomes
// one output pixel, each colour channel the block's sum divided by N x N and
// truncated, the top byte zero. Written as plain loops over bytes that the
// compiler turns into vector code (this file is built with the vectoriser's
// dynamic cost model).

#include <cstddef>
#include <cstdint>
#include <vector>

namespace render {

// Reduces `rows` rows (a multiple of `factor`, each `stride` pixels apart)
// of `columns * factor` pixels into rows / factor rows of `columns` pixels
// at `out`, `outStride` pixels apart. `scratch` is working memory that the
// caller may keep from strip to strip. A factor of 1 copies the rows as
// they are.
void boxAverage(const std::uint32_t* source, std::ptrdiff_t stride, int rows, int factor, long long columns,
                std::uint32_t* out, std::ptrdiff_t outStride, std::vector<std::uint16_t>& scratch);

}  // namespace render
