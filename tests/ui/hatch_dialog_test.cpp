// The hatch dialog without a window: the opening's style rule, the working
// copies and what OK writes, the swatches, and the preview's pixels at the
// lines the dialog documents.

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "metafile/dc.h"
#include "metafile/dib_section.h"
#include "ui/hatch_dialog_model.h"
#include "ui/hatch_preview.h"

namespace ui {
namespace {

using Changes = std::vector<std::pair<std::string, std::int32_t>>;

Changes changesOf(const HatchDialogModel& m) {
    Changes out;
    for (const auto& [name, value] : m.changes()) out.emplace_back(name, value);
    return out;
}

TEST(HatchDialogModel, OpeningNormalisesTheStoredStyle) {
    const std::pair<std::int32_t, std::int32_t> cases[] = {{-1, 4}, {0, 4},     {1, 4},     {4, 4},
                                                           {99, 4}, {100, 100}, {101, 100}, {5000, 100}};
    for (const auto& [stored, style] : cases) {
        HatchDialogModel m(HatchValues{}, stored);
        EXPECT_EQ(m.normalisedStyle(), style) << stored;
        EXPECT_EQ(m.working().style, style) << stored;
        EXPECT_EQ(m.backgroundShown(), style == 4) << stored;
        EXPECT_TRUE(m.changes().empty()) << "an untouched dialog writes nothing: " << stored;
    }
}

struct EditCase {
    const char* name;
    std::int32_t stored;
    void (*act)(HatchDialogModel&);
    Changes expected;
};

TEST(HatchDialogModel, OkWritesOnlyTheChangedSettingsInTheirOrder) {
    const EditCase cases[] = {
        {"background off", 4, [](HatchDialogModel& m) { m.toggleBackground(); }, {{"lvBkGrHathStyle", 100}}},
        {"background on", 100, [](HatchDialogModel& m) { m.toggleBackground(); }, {{"lvBkGrHathStyle", 4}}},
        {"off and on again",
         4,
         [](HatchDialogModel& m) {
             m.toggleBackground();
             m.toggleBackground();
         },
         {}},
        {"hatch colour only",
         4,
         [](HatchDialogModel& m) {
             Swatch which;
             ASSERT_TRUE(m.press(20, 45, which));
             m.colourChosen(which, 0x123456);
         },
         {{"lvHatchColor", 0x123456}}},
        {"typed fields, unlimited",
         4,
         [](HatchDialogModel& m) {
             EXPECT_TRUE(m.typed(hatch::kWidthField, "500"));
             EXPECT_TRUE(m.typed(hatch::kSpacingField, "x"));
             EXPECT_TRUE(m.typed(hatch::kAngleField, "-30"));
         },
         {{"lvHatchWidth", 500}, {"lvHatchDepress", 0}, {"lvHatchAngle", -30}}},
        {"everything, in the writing order",
         4,
         [](HatchDialogModel& m) {
             m.toggleVertical();
             m.toggleHorizontal();
             m.typed(hatch::kAngleField, "45");
             m.typed(hatch::kSpacingField, "12");
             m.typed(hatch::kWidthField, "2");
             Swatch which;
             m.press(15, 15, which);
             m.colourChosen(which, 0xFF);
             m.press(15, 40, which);
             m.colourChosen(which, 0xFF00);
             m.toggleBackground();
         },
         {{"lvBkGrHathStyle", 100},
          {"lvHatchColor", 0xFF00},
          {"lvCurBkGrColor", 0xFF},
          {"lvHatchWidth", 2},
          {"lvHatchDepress", 12},
          {"lvHatchAngle", 45},
          {"lvHatchLnHor", 0},
          {"lvHatchLnVert", 0}}},
    };
    for (const auto& c : cases) {
        HatchDialogModel m(HatchValues{}, c.stored);
        c.act(m);
        EXPECT_EQ(changesOf(m), c.expected) << c.name;
    }
}

TEST(HatchDialogModel, SpinsStepWithinTheirRanges) {
    HatchDialogModel m(HatchValues{}, 4);
    EXPECT_EQ(m.stepSpin(hatch::kWidthSpin, 1, 0), 1);
    EXPECT_EQ(m.working().width, 1);
    EXPECT_EQ(m.stepSpin(hatch::kWidthSpin, -1, 0), std::nullopt);
    EXPECT_EQ(m.stepSpin(hatch::kSpacingSpin, 1, 100), std::nullopt);
    EXPECT_EQ(m.stepSpin(hatch::kAngleSpin, 1, 89), 90);
    EXPECT_EQ(m.stepSpin(hatch::kAngleSpin, 1, 90), std::nullopt);
    EXPECT_EQ(m.working().angle, 90);
    EXPECT_EQ(m.stepSpin(hatch::kAngleSpin, 1, 500), 90)
        << "a typed number beyond the range comes back into it";
    EXPECT_EQ(HatchDialogModel::spinRange(hatch::kSpacingSpin), (std::pair{0, 100}));
    EXPECT_EQ(m.stepSpin(hatch::kHorizontal, 1, 0), std::nullopt) << "not a spin";
}

TEST(HatchDialogModel, SwatchesAnswerOnlyWithTheBackgroundShown) {
    HatchValues committed;
    committed.backgroundColour = 0x111111;
    committed.hatchColour = 0x222222;
    HatchDialogModel m(committed, 4);
    const std::tuple<int, int, Swatch> points[] = {
        {10, 10, Swatch::Background}, {39, 29, Swatch::Background}, {40, 20, Swatch::None},
        {20, 30, Swatch::None},       {10, 35, Swatch::Hatch},      {39, 54, Swatch::Hatch},
        {20, 55, Swatch::None},       {9, 40, Swatch::None},        {200, 100, Swatch::None}};
    for (const auto& [x, y, swatch] : points) EXPECT_EQ(m.swatchAt(x, y), swatch) << x << "," << y;

    // A press puts the committed colour back first and preselects the
    // previous working one; a cancelled picker leaves the committed one.
    Swatch which;
    m.press(20, 20, which);
    m.colourChosen(which, 0x333333);
    EXPECT_EQ(m.press(20, 20, which), 0x333333u);
    EXPECT_EQ(which, Swatch::Background);
    EXPECT_EQ(m.working().backgroundColour, 0x111111u);

    m.toggleBackground();
    EXPECT_EQ(m.swatchAt(20, 20), Swatch::None) << "no hand cursor with the background off";
    EXPECT_EQ(m.press(20, 20, which), std::nullopt) << "no picker with the background off";
    EXPECT_EQ(m.press(20, 45, which), std::nullopt);
    for (int id : {hatch::kHorizontal, hatch::kVertical, hatch::kWidthField, hatch::kSpacingField,
                   hatch::kAngleField, 1030, 1037})
        EXPECT_FALSE(m.enabled(id)) << id;
    for (int id : {hatch::kWidthSpin, hatch::kSpacingSpin, hatch::kAngleSpin, hatch::kShowBackground})
        EXPECT_TRUE(m.enabled(id)) << id;
}

constexpr std::uint32_t kFace = 0xC0C0C0;
constexpr std::uint32_t kBack = 0x80FF80;   // COLORREF red 128, green 255, blue 128
constexpr std::uint32_t kHatch = 0xA83E3E;  // red 62, green 62, blue 168

metafile::DibSection paint(const HatchValues& v) {
    auto dib = metafile::DibSection::create(330, 200);
    paintHatchDialog(*dib, v, kFace);
    return std::move(*dib);
}
std::uint32_t at(const metafile::DibSection& d, int x, int y) {
    return d.pixel(x, y) & 0xFFFFFF;
}

TEST(HatchPreview, LinesAtTheDocumentedPlaces) {
    HatchValues v;
    v.backgroundColour = kBack;
    v.hatchColour = kHatch;
    const auto d = paint(v);
    const std::uint32_t hatch = metafile::pixelOf(kHatch), back = metafile::pixelOf(kBack);
    const std::uint32_t blue = metafile::pixelOf(kPreviewFrameColour), face = metafile::pixelOf(kFace);
    // Inside the frame: vertical lines at x = 168, 176, ..., 312 and
    // horizontal ones at y = 16, 24, ..., 160.
    for (int y = 12; y < 166; ++y) {
        for (int x = 163; x < 316; ++x) {
            const bool line = x % 8 == 0 || y % 8 == 0;
            ASSERT_EQ(at(d, x, y), line ? hatch : back) << x << "," << y;
        }
    }
    for (int y = 11; y < 167; ++y) {
        EXPECT_EQ(at(d, 162, y), blue) << y;
        EXPECT_EQ(at(d, 316, y), blue) << y;
        EXPECT_EQ(at(d, 161, y), face) << "the band left of the preview takes the lines away: " << y;
        EXPECT_EQ(at(d, 317, y), face) << y;
    }
    for (int x = 162; x < 317; ++x) {
        EXPECT_EQ(at(d, x, 11), blue) << x;
        EXPECT_EQ(at(d, x, 166), blue) << x;
        EXPECT_EQ(at(d, x, 10), face) << x;
        EXPECT_EQ(at(d, x, 167), face) << x;
    }
    // The swatches, filled and framed blue, and the face colour around them.
    EXPECT_EQ(at(d, 25, 20), back);
    EXPECT_EQ(at(d, 25, 45), hatch);
    EXPECT_EQ(at(d, 10, 10), blue);
    EXPECT_EQ(at(d, 39, 29), blue);
    EXPECT_EQ(at(d, 10, 54), blue);
    EXPECT_EQ(at(d, 5, 10), face);
    EXPECT_EQ(at(d, 25, 32), face);
}

// The face-coloured bands take away every line that runs beyond the
// preview, up to the client area's edges, whatever the lines' width, spacing
// and angle; only the preview and the two swatches show anything else.
TEST(HatchPreview, NothingButFaceOutsideThePreviewAndSwatches) {
    const std::tuple<int, int, int> lines[] = {{0, 8, 0}, {6, 1, 0}, {3, 5, 30}, {20, 40, 89}};
    for (const auto& [width, spacing, angle] : lines) {
        HatchValues v;
        v.backgroundColour = kBack;
        v.hatchColour = kHatch;
        v.width = width;
        v.spacing = spacing;
        v.angle = angle;
        const auto d = paint(v);
        const std::uint32_t face = metafile::pixelOf(kFace);
        int outside = 0;
        for (int y = 0; y < d.height(); ++y)
            for (int x = 0; x < d.width(); ++x) {
                if (kPreviewRect.contains(x, y) || kBackgroundSwatch.contains(x, y) ||
                    kHatchSwatch.contains(x, y))
                    continue;
                ++outside;
                ASSERT_EQ(at(d, x, y), face) << x << "," << y << " width " << width << " angle " << angle;
            }
        EXPECT_GT(outside, 30000);
    }
}

TEST(HatchPreview, FamiliesWidthsAndSpacings) {
    struct Case {
        const char* name;
        HatchValues v;
        std::vector<std::pair<int, int>> hatchAt;
        std::vector<std::pair<int, int>> backAt;
    };
    HatchValues vertical, horizontal, wide, spaced, none;
    vertical.horizontal = false;
    horizontal.vertical = false;
    wide.width = 3;
    wide.horizontal = false;
    spaced.spacing = 20;
    none.horizontal = none.vertical = false;
    const Case cases[] = {
        {"vertical only", vertical, {{168, 50}, {312, 20}}, {{170, 16}, {202, 160}}},
        {"horizontal only", horizontal, {{170, 16}, {200, 160}}, {{168, 50}, {312, 20}}},
        {"three pixels wide", wide, {{167, 50}, {168, 50}, {169, 50}}, {{165, 50}, {171, 50}}},
        // Spacing 20: off = trunc(20 x (8 - 7.75) x 0.5) = 2, lines at
        // x = 160 + 20k and y = -x.
        {"spacing 20", spaced, {{180, 50}, {300, 50}, {170, 60}, {170, 160}}, {{168, 50}, {170, 16}}},
        {"no family", none, {}, {{168, 50}, {170, 16}}},
    };
    for (const auto& c : cases) {
        HatchValues v = c.v;
        v.backgroundColour = kBack;
        v.hatchColour = kHatch;
        const auto d = paint(v);
        for (const auto& [x, y] : c.hatchAt)
            EXPECT_EQ(at(d, x, y), metafile::pixelOf(kHatch)) << c.name << " " << x << "," << y;
        for (const auto& [x, y] : c.backAt)
            EXPECT_EQ(at(d, x, y), metafile::pixelOf(kBack)) << c.name << " " << x << "," << y;
    }
}

// A spacing of 0 (typed, or a non-numeric field) puts every line on one
// place; the centring offset divides by the spacing and is 0 instead.
TEST(HatchPreview, SpacingZeroDrawsAllLinesOnOnePlace) {
    EXPECT_EQ(hatchLineOffset(155, 8), 2);
    EXPECT_EQ(hatchLineOffset(155, 20), 2);
    EXPECT_EQ(hatchLineOffset(160, 8), 0);
    EXPECT_EQ(hatchLineOffset(155, 0), 0);
    EXPECT_EQ(hatchLineOffset(155, -5), 0);
    HatchValues v;
    v.spacing = 0;
    v.backgroundColour = kBack;
    v.hatchColour = kHatch;
    const auto d = paint(v);
    // The one vertical line lies on x = 162, under the frame.
    for (int x = 163; x < 316; x += 7)
        for (int y = 12; y < 166; y += 7) ASSERT_EQ(at(d, x, y), metafile::pixelOf(kBack)) << x << "," << y;
}

// Turned lines cover the whole preview (the 2n + 1 lines reach past its
// diagonal) and run slanted.
TEST(HatchPreview, TurnedLinesCoverThePreviewAndSlant) {
    for (int angle : {30, 45, 60, 89}) {
        HatchValues v;
        v.angle = angle;
        v.horizontal = false;
        v.backgroundColour = kBack;
        v.hatchColour = kHatch;
        const auto d = paint(v);
        for (int by = 12; by + 16 <= 166; by += 16) {
            for (int bx = 163; bx + 16 <= 316; bx += 16) {
                bool line = false;
                for (int y = by; y < by + 16 && !line; ++y)
                    for (int x = bx; x < bx + 16 && !line; ++x)
                        line = at(d, x, y) == metafile::pixelOf(kHatch);
                ASSERT_TRUE(line) << "angle " << angle << ": no line in the block at " << bx << "," << by;
            }
        }
        std::vector<int> row50, row53;
        for (int x = 163; x < 316; ++x) {
            if (at(d, x, 50) == metafile::pixelOf(kHatch))
                row50.push_back(x);
            if (at(d, x, 53) == metafile::pixelOf(kHatch))
                row53.push_back(x);
        }
        EXPECT_NE(row50, row53) << "angle " << angle << ": the lines slant";
    }
}

TEST(HatchPreview, TurnedHatchStaysInsideThePreview) {
    for (int angle : {15, 45, 90, -30, 720}) {
        HatchValues v;
        v.angle = angle;
        v.backgroundColour = kBack;
        v.hatchColour = kHatch;
        const auto d = paint(v);
        int lines = 0;
        for (int x = 163; x < 316; ++x) lines += at(d, x, 90) == metafile::pixelOf(kHatch);
        EXPECT_GT(lines, 10) << angle;
        EXPECT_EQ(at(d, 100, 90), metafile::pixelOf(kFace)) << angle;
        EXPECT_EQ(at(d, 320, 90), metafile::pixelOf(kFace)) << angle;
    }
}

}  // namespace
}  // namespace ui
