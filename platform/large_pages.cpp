#include "platform/large_pages.h"

#include <sys/mman.h>

#include <cstdint>

namespace platform {

void adviseLargePages(const void* data, std::size_t bytes) {
    constexpr std::uintptr_t kLarge = std::uintptr_t{2} << 20;
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t from = (begin + kLarge - 1) & ~(kLarge - 1), to = (begin + bytes) & ~(kLarge - 1);
    if (data != nullptr && to > from)
        ::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
}

}  // namespace platform
