// Text under every mapping: mapping modes, flipped and stretched axes, world
// transforms, escapements, alignments, spaced runs and the current position.
// Each page is played at 96 dpi and the ink of its run (and the end of the
// red line that starts at the current position) is compared with where the
// reference player puts it.

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>

#include "metafile/dib_section.h"
#include "metafile/metafile.h"
#include "metafile/player.h"
#include "tests/metafile/text_pages.h"

namespace metafile {
namespace {

using namespace metafile::testing;

struct Expected {
    RectL ink;                     // relative to the reference point's pixel
    std::optional<PointL> cursor;  // where the current position went
};

// Measured on the reference player's renderings of the same pages.
const std::map<std::string, Expected>& referenceBoxes() {
    static const std::map<std::string, Expected> table = {
        {"anisotropic_none_compat_esc0_align24", {{3, -28, 73, 8}, std::nullopt}},
        {"anisotropic_none_compat_esc2700_align24", {{-8, 3, 28, 73}, std::nullopt}},
        {"anisotropic_none_compat_esc450_align24", {{-16, -66, 54, -3}, std::nullopt}},
        {"anisotropic_none_compat_esc900_align24", {{-28, -73, 8, -3}, std::nullopt}},
        {"flipx_none_adv_esc0_align24", {{-73, -28, -3, 8}, std::nullopt}},
        {"flipx_none_adv_esc900_align24", {{-8, -73, 28, -3}, std::nullopt}},
        {"flipx_none_compat_esc0_align0", {{3, 6, 73, 42}, std::nullopt}},
        {"flipx_none_compat_esc0_align10", {{-72, -36, -2, 0}, std::nullopt}},
        {"flipx_none_compat_esc0_align14", {{-34, -36, 36, 0}, std::nullopt}},
        {"flipx_none_compat_esc0_align2", {{-72, 6, -2, 42}, std::nullopt}},
        {"flipx_none_compat_esc0_align24", {{3, -28, 73, 8}, std::nullopt}},
        {"flipx_none_compat_esc0_align26", {{-72, -28, -2, 8}, std::nullopt}},
        {"flipx_none_compat_esc0_align30", {{-34, -28, 36, 8}, std::nullopt}},
        {"flipx_none_compat_esc0_align6", {{-34, 6, 36, 42}, std::nullopt}},
        {"flipx_none_compat_esc0_align8", {{3, -36, 73, 0}, std::nullopt}},
        {"flipx_none_compat_esc2700_align24", {{-28, -73, 8, -3}, std::nullopt}},
        {"flipx_none_compat_esc450_align24", {{3, -16, 65, 53}, std::nullopt}},
        {"flipx_none_compat_esc900_align24", {{-8, 3, 28, 73}, std::nullopt}},
        {"flipy_none_compat_esc0_align24", {{3, -28, 73, 8}, std::nullopt}},
        {"flipy_none_compat_esc0_align25_dx", {{3, -28, 88, 8}, PointL{92, 0}}},
        {"flipy_none_compat_esc0_align25_pdy", {{3, -50, 88, 0}, PointL{92, -38}}},
        {"flipy_none_compat_esc2700_align24", {{-28, -73, 8, -3}, std::nullopt}},
        {"flipy_none_compat_esc450_align24", {{3, -16, 65, 53}, std::nullopt}},
        {"flipy_none_compat_esc900_align24", {{-8, 3, 28, 73}, std::nullopt}},
        {"flipy_none_compat_esc900_align25_dx", {{-8, 3, 28, 88}, PointL{0, 92}}},
        {"flipy_none_compat_esc900_align25_pdy", {{0, 3, 50, 88}, PointL{38, 92}}},
        {"hienglish_none_compat_esc0_align24", {{3, -28, 73, 8}, std::nullopt}},
        {"hienglish_none_compat_esc2700_align24", {{-28, -73, 8, -3}, std::nullopt}},
        {"hienglish_none_compat_esc450_align24", {{3, -16, 66, 54}, std::nullopt}},
        {"hienglish_none_compat_esc900_align24", {{-8, 3, 28, 73}, std::nullopt}},
        {"himetric_none_compat_esc0_align24", {{3, -28, 73, 8}, std::nullopt}},
        {"himetric_none_compat_esc2700_align24", {{-28, -73, 8, -3}, std::nullopt}},
        {"himetric_none_compat_esc450_align24", {{3, -16, 66, 54}, std::nullopt}},
        {"himetric_none_compat_esc900_align24", {{-8, 3, 28, 73}, std::nullopt}},
        {"isotropic_none_compat_esc0_align24", {{3, -28, 73, 8}, std::nullopt}},
        {"isotropic_none_compat_esc2700_align24", {{-28, -73, 8, -3}, std::nullopt}},
        {"isotropic_none_compat_esc450_align24", {{3, -16, 66, 54}, std::nullopt}},
        {"isotropic_none_compat_esc900_align24", {{-8, 3, 28, 73}, std::nullopt}},
        {"loenglish_none_compat_esc0_align24", {{3, -28, 73, 8}, std::nullopt}},
        {"loenglish_none_compat_esc2700_align24", {{-28, -73, 8, -3}, std::nullopt}},
        {"loenglish_none_compat_esc450_align24", {{3, -16, 65, 53}, std::nullopt}},
        {"loenglish_none_compat_esc900_align24", {{-8, 3, 28, 73}, std::nullopt}},
        {"lometric_mirrorx_adv_esc0_align24", {{-73, -8, -3, 28}, std::nullopt}},
        {"lometric_mirrorx_adv_esc900_align24", {{-8, 3, 28, 73}, std::nullopt}},
        {"lometric_mirrory_adv_esc0_align24", {{3, -28, 73, 8}, std::nullopt}},
        {"lometric_mirrory_adv_esc900_align24", {{-28, -73, 8, -3}, std::nullopt}},
        {"lometric_none_adv_esc0_align24", {{3, -8, 76, 28}, std::nullopt}},
        {"lometric_none_adv_esc0_align25_pdy", {{3, 0, 88, 49}, PointL{92, 38}}},
        {"lometric_none_adv_esc900_align24", {{-28, 3, 8, 76}, std::nullopt}},
        {"lometric_none_compat_esc0_align0", {{3, 6, 73, 42}, std::nullopt}},
        {"lometric_none_compat_esc0_align10", {{-72, -36, -2, 0}, std::nullopt}},
        {"lometric_none_compat_esc0_align14", {{-34, -36, 36, 0}, std::nullopt}},
        {"lometric_none_compat_esc0_align2", {{-72, 6, -2, 42}, std::nullopt}},
        {"lometric_none_compat_esc0_align24", {{3, -28, 73, 8}, std::nullopt}},
        {"lometric_none_compat_esc0_align25", {{3, -28, 73, 8}, PointL{75, 0}}},
        {"lometric_none_compat_esc0_align25_dx", {{3, -28, 88, 8}, PointL{92, 0}}},
        {"lometric_none_compat_esc0_align25_pdy", {{3, -49, 88, 0}, PointL{92, -38}}},
        {"lometric_none_compat_esc0_align26", {{-72, -28, -2, 8}, std::nullopt}},
        {"lometric_none_compat_esc0_align27", {{-72, -28, -2, 8}, PointL{-75, 0}}},
        {"lometric_none_compat_esc0_align30", {{-34, -28, 36, 8}, std::nullopt}},
        {"lometric_none_compat_esc0_align31", {{-34, -28, 36, 8}, PointL{0, 0}}},
        {"lometric_none_compat_esc0_align6", {{-34, 6, 36, 42}, std::nullopt}},
        {"lometric_none_compat_esc0_align8", {{3, -36, 73, 0}, std::nullopt}},
        {"lometric_none_compat_esc2700_align24", {{-28, -73, 8, -3}, std::nullopt}},
        {"lometric_none_compat_esc450_align24", {{3, -16, 66, 54}, std::nullopt}},
        {"lometric_none_compat_esc900_align24", {{-8, 3, 28, 73}, std::nullopt}},
        {"lometric_none_compat_esc900_align25_dx", {{-8, 3, 28, 88}, PointL{0, 92}}},
        {"lometric_none_compat_esc900_align25_pdy", {{0, 3, 49, 88}, PointL{38, 92}}},
        {"lometric_rotate30_adv_esc0_align24", {{3, -42, 76, 21}, std::nullopt}},
        {"lometric_rotate30_adv_esc900_align24", {{-21, 3, 37, 68}, std::nullopt}},
        {"lometric_wide_adv_esc0_align24", {{6, -8, 151, 28}, std::nullopt}},
        {"lometric_wide_adv_esc900_align24", {{-56, 3, 16, 75}, std::nullopt}},
        {"tall_none_compat_esc0_align24", {{3, -28, 73, 8}, std::nullopt}},
        {"tall_none_compat_esc2700_align24", {{-8, 3, 28, 127}, std::nullopt}},
        {"tall_none_compat_esc450_align0", {{8, -79, 77, 21}, std::nullopt}},
        {"tall_none_compat_esc450_align24", {{-16, -103, 53, -3}, std::nullopt}},
        {"tall_none_compat_esc450_align8", {{-22, -109, 47, -9}, std::nullopt}},
        {"tall_none_compat_esc900_align0", {{7, -127, 43, -3}, std::nullopt}},
        {"tall_none_compat_esc900_align24", {{-28, -127, 8, -3}, std::nullopt}},
        {"tall_none_compat_esc900_align8", {{-36, -127, 0, -3}, std::nullopt}},
        {"text_mirrorx_adv_esc0_align24", {{-73, -28, -3, 8}, std::nullopt}},
        {"text_mirrorx_adv_esc900_align24", {{-8, -73, 28, -3}, std::nullopt}},
        {"text_mirrory_adv_esc0_align24", {{3, -8, 76, 28}, std::nullopt}},
        {"text_mirrory_adv_esc900_align24", {{-28, 3, 8, 76}, std::nullopt}},
        {"text_none_adv_esc0_align24", {{3, -28, 73, 8}, std::nullopt}},
        {"text_none_adv_esc0_align25_pdy", {{3, -50, 88, 0}, PointL{92, -38}}},
        {"text_none_adv_esc900_align24", {{-28, -73, 8, -3}, std::nullopt}},
        {"text_none_compat_esc0_align0", {{3, 6, 73, 42}, std::nullopt}},
        {"text_none_compat_esc0_align10", {{-72, -36, -2, 0}, std::nullopt}},
        {"text_none_compat_esc0_align14", {{-34, -36, 36, 0}, std::nullopt}},
        {"text_none_compat_esc0_align2", {{-72, 6, -2, 42}, std::nullopt}},
        {"text_none_compat_esc0_align24", {{3, -28, 73, 8}, std::nullopt}},
        {"text_none_compat_esc0_align25", {{3, -28, 73, 8}, PointL{75, 0}}},
        {"text_none_compat_esc0_align25_dx", {{3, -28, 88, 8}, PointL{92, 0}}},
        {"text_none_compat_esc0_align25_pdy", {{3, -50, 88, 0}, PointL{92, -38}}},
        {"text_none_compat_esc0_align26", {{-72, -28, -2, 8}, std::nullopt}},
        {"text_none_compat_esc0_align27", {{-72, -28, -2, 8}, PointL{-75, 0}}},
        {"text_none_compat_esc0_align27_pdy", {{-89, -12, -4, 38}, PointL{-92, 38}}},
        {"text_none_compat_esc0_align30", {{-34, -28, 36, 8}, std::nullopt}},
        {"text_none_compat_esc0_align31", {{-34, -28, 36, 8}, PointL{0, 0}}},
        {"text_none_compat_esc0_align31_pdy", {{-43, -31, 42, 19}, PointL{0, 0}}},
        {"text_none_compat_esc0_align6", {{-34, 6, 36, 42}, std::nullopt}},
        {"text_none_compat_esc0_align8", {{3, -36, 73, 0}, std::nullopt}},
        {"text_none_compat_esc2700_align24", {{-8, 3, 28, 73}, std::nullopt}},
        {"text_none_compat_esc450_align24", {{-16, -65, 53, -3}, std::nullopt}},
        {"text_none_compat_esc900_align24", {{-28, -73, 8, -3}, std::nullopt}},
        {"text_none_compat_esc900_align25_dx", {{-28, -88, 8, -3}, PointL{0, -92}}},
        {"text_none_compat_esc900_align25_pdy", {{-49, -88, 0, -3}, PointL{-37, -92}}},
        {"text_none_compat_esc900_align27_pdy", {{-12, 4, 37, 89}, PointL{37, 92}}},
        {"text_none_compat_esc900_align31_pdy", {{-31, -42, 18, 43}, PointL{0, 0}}},
        {"text_rotate30_adv_esc0_align24", {{3, -21, 77, 39}, std::nullopt}},
        {"text_rotate30_adv_esc900_align24", {{-21, -69, 37, -3}, std::nullopt}},
        {"text_wide_adv_esc0_align24", {{6, -28, 151, 8}, std::nullopt}},
        {"text_wide_adv_esc900_align24", {{-56, -76, 15, -3}, std::nullopt}},
        {"twips_none_compat_esc0_align24", {{3, -28, 73, 8}, std::nullopt}},
        {"twips_none_compat_esc2700_align24", {{-28, -73, 8, -3}, std::nullopt}},
        {"twips_none_compat_esc450_align24", {{3, -16, 66, 54}, std::nullopt}},
        {"twips_none_compat_esc900_align24", {{-8, 3, 28, 73}, std::nullopt}},
        {"wide_none_adv_esc0_align24", {{6, -28, 151, 8}, std::nullopt}},
        {"wide_none_adv_esc900_align24", {{-56, -76, 15, -3}, std::nullopt}},
        {"wide_none_compat_esc0_align24", {{3, -28, 73, 8}, std::nullopt}},
        {"wide_none_compat_esc0_align25_dx", {{3, -28, 157, 8}, PointL{184, 0}}},
        {"wide_none_compat_esc0_align25_pdy", {{3, -50, 157, 0}, PointL{184, -38}}},
        {"wide_none_compat_esc2700_align24", {{-8, 3, 28, 46}, std::nullopt}},
        {"wide_none_compat_esc450_align0", {{8, -22, 76, 21}, std::nullopt}},
        {"wide_none_compat_esc450_align24", {{-16, -46, 52, -3}, std::nullopt}},
        {"wide_none_compat_esc450_align8", {{-22, -52, 46, -9}, std::nullopt}},
        {"wide_none_compat_esc900_align0", {{6, -46, 42, -3}, std::nullopt}},
        {"wide_none_compat_esc900_align24", {{-28, -46, 8, -3}, std::nullopt}},
        {"wide_none_compat_esc900_align25_dx", {{-28, -88, 8, -3}, PointL{0, -92}}},
        {"wide_none_compat_esc900_align25_pdy", {{-77, -87, 0, -3}, PointL{-75, -92}}},
        {"wide_none_compat_esc900_align8", {{-36, -46, 0, -3}, std::nullopt}},
    };
    return table;
}

struct Ink {
    std::optional<RectL> text;     // black
    std::optional<PointL> cursor;  // the red pixel farthest from the line's far end
};

Ink measure(const DibSection& page, int centre, PointD lineEnd) {
    Ink ink;
    double farthest = -1;
    for (int y = 0; y < page.height(); ++y) {
        for (int x = 0; x < page.width(); ++x) {
            const std::uint32_t p = page.pixel(x, y) & 0xFFFFFF;
            const int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
            if (r > 150 && g < 100 && b < 100) {
                const double d = std::hypot(x - lineEnd.x, y - lineEnd.y);
                if (d > farthest) {
                    farthest = d;
                    ink.cursor = PointL{x - centre, y - centre};
                }
            } else if (std::max({255 - r, 255 - g, 255 - b}) > 100) {
                if (!ink.text) {
                    ink.text = RectL{x, y, x + 1, y + 1};
                } else {
                    ink.text->left = std::min(ink.text->left, x);
                    ink.text->top = std::min(ink.text->top, y);
                    ink.text->right = std::max(ink.text->right, x + 1);
                    ink.text->bottom = std::max(ink.text->bottom, y + 1);
                }
            }
        }
    }
    if (ink.text) {
        *ink.text = {ink.text->left - centre, ink.text->top - centre, ink.text->right - centre,
                     ink.text->bottom - centre};
    }
    return ink;
}

TEST(TextMapping, InkLandsWhereTheReferencePlayerPutsIt) {
    const auto& table = referenceBoxes();
    const auto pages = allTextPages();
    ASSERT_EQ(pages.size(), table.size());
    const double scale = 96.0 / 100;  // the reference device has 100 dpi
    const int centre = static_cast<int>(kPageCentre * scale);
    for (const auto& page : pages) {
        const std::string name = pageName(page);
        SCOPED_TRACE(name);
        const auto it = table.find(name);
        ASSERT_NE(it, table.end());
        auto mf = Metafile::fromBytes(buildTextPage(page));
        ASSERT_TRUE(mf.hasValue());
        const int side = static_cast<int>(kPageUnits * scale);
        auto dib = DibSection::create(side, side);
        ASSERT_TRUE(dib.has_value());
        dib->fill(0xFFFFFF);
        Dc dc(*dib);
        playMetafile(*mf, dc, {0, 0, side, side});
        const Ink ink = measure(*dib, centre, {4 * scale, (kPageUnits - 4) * scale});
        ASSERT_TRUE(ink.text.has_value());
        const RectL& want = it->second.ink;
        const RectL& got = *ink.text;
        // Glyph shapes differ a little between rasterisers: a few pixels
        // and a small share of the run.
        const double slack = 4 + 0.05 * std::max(want.width(), want.height());
        EXPECT_NEAR(got.left, want.left, slack);
        EXPECT_NEAR(got.top, want.top, slack);
        EXPECT_NEAR(got.right, want.right, slack);
        EXPECT_NEAR(got.bottom, want.bottom, slack);
        ASSERT_EQ(ink.cursor.has_value(), it->second.cursor.has_value());
        if (ink.cursor) {
            EXPECT_NEAR(ink.cursor->x, it->second.cursor->x, 4) << "current position";
            EXPECT_NEAR(ink.cursor->y, it->second.cursor->y, 4) << "current position";
        }
    }
}

}  // namespace
}  // namespace metafile
