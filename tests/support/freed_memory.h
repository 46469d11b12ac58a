#pragma once
// Memory freed with known contents, as an earlier run of the program would
// leave it with whatever it held: a writer that puts memory it never wrote
// into a file then writes different bytes after each call with another fill.

#include <cstddef>
#include <vector>

namespace testing_support {

inline void leaveFreedMemory(unsigned char fill) {
    std::vector<std::vector<unsigned char>> blocks;
    for (std::size_t size = 64; size < (std::size_t{1} << 20); size = size * 5 / 4 + 8) {
        blocks.emplace_back(size, fill);
        // Kept: the compiler may not drop the filling as unused.
        asm volatile("" : : "r"(blocks.back().data()) : "memory");
    }
}

}  // namespace testing_support
