// Edges of the engine that pages rarely reach: curves in boxes without width
// or height, and header descriptions that point nowhere sensible.

#include <gtest/gtest.h>

#include "metafile/dc.h"
#include "metafile/metafile.h"
#include "tests/metafile/emf_fixture.h"
#include "tests/metafile/pixel_helpers.h"

namespace metafile {
namespace {

using namespace metafile::testing;

TEST(EngineEdges, CurvesInABoxWithoutWidthOrHeightDrawNothing) {
    struct Case {
        const char* label;
        RectL box;
        PointD start;
        PointD end;
    };
    const Case cases[] = {
        {"no width", {10, 10, 10, 50}, {20, 10}, {20, 50}},
        {"no height", {10, 30, 50, 30}, {10, 20}, {50, 20}},
        {"neither", {30, 30, 30, 30}, {40, 30}, {20, 30}},
    };
    for (const auto& c : cases) {
        for (int shape = 0; shape < 3; ++shape) {
            auto dib = whiteBitmap(60, 60);
            Dc dc(dib);
            dc.setPen(solidPen(kBlack, 1));
            dc.setBrush(solidBrush(kBlack));
            if (shape == 0)
                dc.arc(c.box, c.start, c.end);
            else if (shape == 1)
                dc.chord(c.box, c.start, c.end);
            else
                dc.pie(c.box, c.start, c.end);
            EXPECT_EQ(countColour(dib, kBlack), 0) << c.label << ", shape " << shape;
        }
    }
}

TEST(EngineEdges, DescriptionsOutsideTheirPlaceAreNotRead) {
    struct Case {
        const char* label;
        std::uint32_t count;
        std::uint32_t offset;
        std::u16string expected;
    };
    const Case cases[] = {
        {"inside the fixed header", 2, 0, u""},
        {"just before its end", 2, 84, u""},
        {"none counted", 0, 88, u""},
        {"past the header record", 4, 88, u""},
    };
    for (const auto& c : cases) {
        auto bytes = EmfBytes().bytes();
        auto put = [&](std::size_t at, std::uint32_t v) {
            for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::byte>((v >> (8 * i)) & 0xFF);
        };
        put(60, c.count);
        put(64, c.offset);
        auto mf = Metafile::fromBytes(bytes);
        ASSERT_TRUE(mf) << c.label;
        EXPECT_EQ(mf->header().description, c.expected) << c.label;
    }
}

}  // namespace
}  // namespace metafile
