// The large-page advice lies on the whole 2 MiB pages inside the memory it
// is given and nowhere else, as the kernel reports it.

#include "platform/large_pages.h"

#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace platform {
namespace {

constexpr std::uintptr_t kMiB = std::uintptr_t{1} << 20;
constexpr std::uintptr_t kSmallPage = 4096;

// For each 4 KiB page of [from, to): whether its mapping carries the
// large-page advice ("hg" among the flags of /proc/self/smaps).
std::vector<bool> advisedPages(std::uintptr_t from, std::uintptr_t to) {
    std::vector<bool> advised((to - from) / kSmallPage, false);
    std::ifstream smaps("/proc/self/smaps");
    std::string line;
    std::uintptr_t start = 0, end = 0;
    while (std::getline(smaps, line)) {
        unsigned long long a = 0, b = 0;
        char dash = 0;
        std::istringstream head(line);
        if (head >> std::hex >> a >> dash >> b && dash == '-') {
            start = static_cast<std::uintptr_t>(a);
            end = static_cast<std::uintptr_t>(b);
            continue;
        }
        if (line.rfind("VmFlags:", 0) != 0 || (" " + line + " ").find(" hg ") == std::string::npos)
            continue;
        for (std::uintptr_t page = std::max(start, from); page < std::min(end, to); page += kSmallPage)
            advised[(page - from) / kSmallPage] = true;
    }
    return advised;
}

TEST(LargePages, TheAdviceCoversTheWholeLargePagesInsideTheMemoryOnly) {
    if (::madvise(nullptr, 0, MADV_HUGEPAGE) != 0)
        GTEST_SKIP() << "this kernel takes no large-page advice";
    // Offsets and lengths in MiB from a 2 MiB boundary, within a mapping
    // that runs 8 MiB either side of them: the pages that carry the advice.
    struct Case {
        double offset, length;
        double advisedFrom, advisedTo;  // none where equal
        const char* what;
    };
    const Case cases[] = {
        {0, 8, 0, 8, "aligned at both ends"},
        {1, 6, 2, 6, "a partial large page at either end is left"},
        {0.5, 3.5, 2, 4, "from the first boundary to the end"},
        {2, 3, 2, 4, "from the start to the last boundary"},
        {1, 2, 0, 0, "no whole large page inside"},
        {0, 1.9, 0, 0, "shorter than a large page"},
        {3.25, 0, 0, 0, "no bytes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // 8 MiB spare before and after, and 2 MiB to find a boundary.
        const std::size_t mapped = (8 + 8 + 8 + 2) * kMiB;
        void* map = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        ASSERT_NE(map, MAP_FAILED);
        const auto mapStart = reinterpret_cast<std::uintptr_t>(map);
        const std::uintptr_t origin = ((mapStart + 2 * kMiB - 1) & ~(2 * kMiB - 1)) + 8 * kMiB;
        const auto at = [&](double mib) { return origin + static_cast<std::uintptr_t>(mib * double(kMiB)); };
        adviseLargePages(reinterpret_cast<const void*>(at(c.offset)),
                         static_cast<std::size_t>(at(c.offset + c.length) - at(c.offset)));
        const auto advised = advisedPages(mapStart, mapStart + mapped);
        std::size_t wrong = 0, first = advised.size();
        for (std::size_t i = 0; i < advised.size(); ++i) {
            const std::uintptr_t page = mapStart + i * kSmallPage;
            const bool want = page >= at(c.advisedFrom) && page < at(c.advisedTo);
            if (advised[i] != want) {
                ++wrong;
                first = std::min(first, i);
            }
        }
        EXPECT_EQ(wrong, 0u) << "pages wrong; the first "
                             << (static_cast<double>(mapStart + first * kSmallPage) -
                                 static_cast<double>(origin)) /
                                    static_cast<double>(kMiB)
                             << " MiB from the boundary";
        ::munmap(map, mapped);
    }
}

}  // namespace
}  // namespace platform
