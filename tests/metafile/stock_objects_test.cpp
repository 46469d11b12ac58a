// Stock objects: selecting one and naming one in a region record give the
// same brush.

#include "metafile/stock_objects.h"

#include <gtest/gtest.h>

#include "metafile/player.h"
#include "tests/metafile/pixel_helpers.h"
#include "tests/metafile/record_builder.h"

namespace metafile {
namespace {

using namespace metafile::testing;

struct StockCase {
    const char* name;
    StockObject object;
    std::uint32_t expected;  // 0x00RRGGBB over black; kBlack for "paints nothing"
};

class StockBrushes : public ::testing::TestWithParam<StockCase> {};

std::uint32_t index(StockObject o) {
    return static_cast<std::uint32_t>(o);
}

// Plays the records over a black page; returns the pixel at (15, 15).
std::uint32_t centreAfter(std::vector<std::vector<std::byte>> records, PlaybackReport* report = nullptr) {
    records.insert(records.begin(), fillRgnRecord({{0, 0, 100, 100}}, index(StockObject::BLACK_BRUSH)));
    auto mf = Metafile::fromBytes(metafileOf(records));
    EXPECT_TRUE(mf);
    auto dib = whiteBitmap(100, 100);
    Dc dc(dib);
    auto r = playMetafile(*mf, dc, {0, 0, 100, 100});
    if (report != nullptr)
        *report = r;
    return at(dib, 15, 15);
}

TEST_P(StockBrushes, FillRgnAndShapesPaintTheSame) {
    const auto c = GetParam();
    PlaybackReport report;
    EXPECT_EQ(centreAfter({fillRgnRecord({{10, 10, 20, 20}}, index(c.object))}, &report), c.expected)
        << "FillRgn";
    EXPECT_TRUE(report.malformed.empty());
    EXPECT_EQ(centreAfter({RecordBuilder(emf::EMR_SELECTOBJECT).u32(index(StockObject::NULL_PEN)).bytes(),
                           RecordBuilder(emf::EMR_SELECTOBJECT).u32(index(c.object)).bytes(),
                           RecordBuilder(emf::EMR_RECTANGLE).i32(10).i32(10).i32(20).i32(20).bytes()}),
              c.expected)
        << "Rectangle";
}

INSTANTIATE_TEST_SUITE_P(Table, StockBrushes,
                         ::testing::Values(StockCase{"WHITEBRUSH", StockObject::WHITE_BRUSH, 0xFFFFFF},
                                           StockCase{"LTGRAYBRUSH", StockObject::LTGRAY_BRUSH, 0xC0C0C0},
                                           StockCase{"GRAYBRUSH", StockObject::GRAY_BRUSH, 0x808080},
                                           StockCase{"DKGRAYBRUSH", StockObject::DKGRAY_BRUSH, 0x404040},
                                           StockCase{"BLACKBRUSH", StockObject::BLACK_BRUSH, 0x000000},
                                           StockCase{"NULLBRUSH", StockObject::NULL_BRUSH, 0x000000},
                                           StockCase{"DCBRUSH", StockObject::DC_BRUSH, 0xFFFFFF}),
                         [](const auto& c) { return std::string(c.param.name); });

TEST(StockObjects, ARegionRecordNamingAPenIsMalformed) {
    PlaybackReport report;
    EXPECT_EQ(centreAfter({fillRgnRecord({{10, 10, 20, 20}}, index(StockObject::WHITE_PEN))}, &report),
              kBlack);
    EXPECT_EQ(report.malformed.count(emf::EMR_FILLRGN), 1u);
}

TEST(StockObjects, KindsDoNotOverlap) {
    for (std::uint32_t i = 0x80000000u; i <= 0x80000014u; ++i) {
        const int kinds = stockBrush(i).has_value() + stockPen(i).has_value() + stockFont(i).has_value();
        EXPECT_LE(kinds, 1) << std::hex << i;
    }
    EXPECT_EQ(stockPen(index(StockObject::WHITE_PEN))->color, rgb(255, 255, 255));
    EXPECT_TRUE(stockPen(index(StockObject::NULL_PEN))->isNull());
    EXPECT_EQ(stockPen(index(StockObject::DC_PEN))->color, rgb(0, 0, 0));
    EXPECT_EQ(stockFont(index(StockObject::ANSI_FIXED_FONT))->faceName, "Courier New");
    EXPECT_FALSE(stockBrush(index(StockObject::DEFAULT_PALETTE)));
}

}  // namespace
}  // namespace metafile
