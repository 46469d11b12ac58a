#pragma once
// A wide line crossing a mask from its top row to its bottom row, its two
// sides walked down the rows together: in each row the pixels between them
// are the line's (stroke_rows.cpp finds the walk; a canvas holding lines
// walks it again row by row).

#include <algorithm>
#include <cstdint>

namespace metafile {

struct WideWalk {
    // Each side's x (1/256 pixel) in the next row is topX + q, the quotient
    // carried from row to row with its remainder rem in [0, ey).
    std::int64_t q[2] = {0, 0}, rem[2] = {0, 0}, stepQ[2] = {0, 0}, stepR[2] = {0, 0}, ey[2] = {1, 1},
                 topX[2] = {0, 0};
    std::int64_t xMin = 0, xMax = 0;  // the columns the run is kept to, in the mask's columns
    std::int64_t row = 0, end = 0;    // the rows [row, end) still to walk, in the mask's rows

    // The next row's run [x1, x2) in the mask's columns (empty where
    // x1 >= x2), the walk moved on to the row after.
    void next(std::int64_t& x1, std::int64_t& x2) {
        const std::int64_t u = topX[0] + q[0], v = topX[1] + q[1];
        for (int s = 0; s < 2; ++s) {
            q[s] += stepQ[s];
            rem[s] += stepR[s];
            const std::int64_t carry = rem[s] >= ey[s] ? 1 : 0;
            q[s] += carry;
            rem[s] -= ey[s] & -carry;
        }
        // The pixel an x falls in, halves down, as the scan converter
        // rounds it.
        auto pixel = [](std::int64_t f) { return (f + 127) >> 8; };
        x1 = std::max(pixel(std::min(u, v)), xMin);
        x2 = std::min(pixel(std::max(u, v)), xMax);
        ++row;
    }
};

}  // namespace metafile
