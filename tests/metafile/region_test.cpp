#include "metafile/region.h"

#include <gtest/gtest.h>

#include "metafile/gdi_types.h"

namespace metafile {
namespace {

int area(const Region& r) {
    int a = 0;
    for (const auto& rc : r.rects()) a += (rc.right - rc.left) * (rc.bottom - rc.top);
    return a;
}

TEST(Region, CombinesWithTheFiveModes) {
    const Region a = Region::fromRect(0, 0, 10, 10);
    const Region b = Region::fromRect(5, 5, 15, 15);
    struct Case {
        int mode;
        int area;
        bool has00, has77, has1212;
    };
    const Case cases[] = {
        {gdi::RGN_AND, 25, false, true, false},  {gdi::RGN_OR, 175, true, true, true},
        {gdi::RGN_XOR, 150, true, false, true},  {gdi::RGN_DIFF, 75, true, false, false},
        {gdi::RGN_COPY, 100, false, true, true},
    };
    for (const auto& c : cases) {
        const Region r = a.combined(b, c.mode);
        EXPECT_EQ(area(r), c.area) << "mode " << c.mode;
        EXPECT_EQ(r.contains(0, 0), c.has00) << "mode " << c.mode;
        EXPECT_EQ(r.contains(7, 7), c.has77) << "mode " << c.mode;
        EXPECT_EQ(r.contains(12, 12), c.has1212) << "mode " << c.mode;
    }
}

TEST(Region, EdgesAreHalfOpenAndBandsCoalesce) {
    const Region r = Region::fromRect(2, 3, 6, 8);
    EXPECT_TRUE(r.contains(2, 3));
    EXPECT_FALSE(r.contains(6, 3));
    EXPECT_FALSE(r.contains(2, 8));
    EXPECT_TRUE(Region::fromRect(5, 5, 5, 9).empty());
    const Region joined = Region::fromRect(0, 0, 4, 2).combined(Region::fromRect(0, 2, 4, 5), gdi::RGN_OR);
    EXPECT_EQ(joined.bands().size(), 1u) << "equal rows merge into one band";
    EXPECT_EQ(joined.bounds(), (RectL{0, 0, 4, 5}));
}

TEST(Region, OffsetSaturatesInsteadOfOverflowing) {
    // Moved past the coordinate range, the region collapses at the limit.
    const Region far = Region::fromRect(0, 0, 10, 10).offset(2147483000, -2147483000);
    EXPECT_TRUE(far.empty());
    const Region edge = Region::fromRect(-5, 0, 10, 10).offset(-1073741820, 0);
    ASSERT_TRUE(edge.bounds());
    EXPECT_EQ(edge.bounds()->left, -(1 << 30));
    EXPECT_EQ(Region::fromRect(0, 0, 10, 10).offset(3, 4).bounds(), (RectL{3, 4, 13, 14}));
}

}  // namespace
}  // namespace metafile
