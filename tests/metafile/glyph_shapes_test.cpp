// Glyph runs are laid from the glyphs the canvas keeps, on any thread at
// once. Every pixel must be the one cairo gives when it draws the same run:
// fonts of each kind, sizes from small print to headings, turned, mirrored
// and slanted text, origins between pixels (halves among them), glyphs cut
// by the picture's edges and by a band's, and glyph indices.

#include "metafile/glyph_shapes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <thread>
#include <vector>

#include "metafile/canvas.h"
#include "metafile/region.h"

namespace metafile {
namespace {

constexpr int kWidth = 520, kHeight = 360;
constexpr std::uint32_t kBackground = 0x203040, kInk = 0xE0D0C0;

struct Case {
    const char* what;
    const char* family;
    bool bold = false, italic = false;
    FontMatrix matrix;
    const char32_t* text = U"Handgloves & jumpy {Quiz}";
    PointD origin{20, 80};
    bool glyphIndices = false;
};

GlyphRun runOf(const Case& c) {
    GlyphRun run;
    run.style.family = c.family;
    run.style.bold = c.bold;
    run.style.italic = c.italic;
    run.matrix = c.matrix;
    run.glyphIndices = c.glyphIndices;
    // Origins advance along the em's x vector by 0.57 em and a fraction that
    // runs through halves, near-halves and whole pixels, so that every
    // rounding of an origin is met.
    static constexpr double kFractions[] = {0, 0.5, 0.25, 0.4999, 0.5001, 0.75, 0.5, 0.125, -0.5};
    PointD at = c.origin;
    std::size_t i = 0;
    for (const char32_t* p = c.text; *p != 0; ++p, ++i) {
        run.characters.push_back(static_cast<std::uint32_t>(*p));
        const double f = kFractions[i % std::size(kFractions)];
        run.positions.push_back({std::floor(at.x) + f, std::floor(at.y) + f});
        at.x += c.matrix.x.x * 0.57;
        at.y += c.matrix.x.y * 0.57;
    }
    return run;
}

FontMatrix turned(double em, double degrees) {
    const double r = degrees * M_PI / 180;
    return {{em * std::cos(r), em * std::sin(r)}, {-em * std::sin(r), em * std::cos(r)}};
}

// The run drawn on a band of rows [first, first + rows) (the whole picture
// when rows is 0), laid from kept glyphs or by cairo.
std::vector<std::uint32_t> drawn(const GlyphRun& run, bool throughCairo, int first = 0, int rows = 0) {
    auto dib = DibSection::create(kWidth, kHeight).value();
    if (rows > 0) {
        EXPECT_TRUE(dib.reshapeBand(kWidth, rows, first, kHeight));
    }
    dib.fill(kBackground);
    Canvas canvas(dib);
    const int missing = throughCairo ? canvas.drawGlyphsThroughCairo(run, Paint::solid(kInk), nullptr, 13)
                                     : canvas.drawGlyphs(run, Paint::solid(kInk), nullptr, 13);
    EXPECT_EQ(missing, 0);
    return {dib.pixels().begin(), dib.pixels().end()};
}

int inked(const std::vector<std::uint32_t>& pixels) {
    int n = 0;
    for (auto p : pixels) n += (p & 0xFFFFFF) == kInk ? 1 : 0;
    return n;
}

std::vector<Case> cases() {
    return {
        {"small print", "Liberation Sans", false, false, {{9, 0}, {0, 9}}},
        {"a body size", "Liberation Serif", false, false, {{31, 0}, {0, 31}}},
        {"bold italic", "DejaVu Sans", true, true, {{27, 0}, {0, 27}}},
        {"a fixed pitch", "Liberation Mono", false, false, {{23, 0}, {0, 23}}},
        {"a heading", "Liberation Sans", true, false, {{140, 0}, {0, 140}}, U"Wave", {-30, 150}},
        {"glyphs larger than the picture",
         "Liberation Serif",
         false,
         false,
         {{900, 0}, {0, 900}},
         U"Qg",
         {-200, 500}},
        // Measured on an eight-bit surface (the smaller ones on 32-bit).
        {"glyphs of more than a million pixels",
         "Liberation Serif",
         false,
         false,
         {{1600, 0}, {0, 1600}},
         U"Wg",
         {-900, 400}},
        {"turned a little", "Liberation Sans", false, false, turned(28, 17), U"Handgloves", {40, 60}},
        {"upright", "DejaVu Serif", false, false, turned(30, 90), U"Handgloves", {300, 20}},
        {"upside down", "Liberation Sans", false, true, turned(26, 180), U"Handgloves", {480, 300}},
        {"mirrored", "Liberation Sans", false, false, {{-25, 0}, {0, 25}}, U"Mirror", {480, 120}},
        {"flipped", "Liberation Serif", false, false, {{25, 0}, {0, -25}}, U"Flipped", {30, 200}},
        {"slanted and stretched", "DejaVu Sans", false, false, {{40, 3}, {9, 22}}, U"Stretched", {10, 300}},
        {"across the top edge", "Liberation Sans", false, false, {{60, 0}, {0, 60}}, U"Edge", {100, 20.5}},
        {"control characters",
         "Liberation Sans",
         false,
         false,
         {{30, 0}, {0, 30}},
         U"a\tb\x01"
         U"c",
         {50, 100}},
        {"glyph indices",
         "Liberation Sans",
         false,
         false,
         {{30, 0}, {0, 30}},
         U"\x24\x25\x26\x27\x28\x44\x45\x46\x47\x48\x03\x0f\x10",
         {20, 120},
         true},
    };
}

TEST(KeptGlyphs, RunsArePixelForPixelWhatCairoDraws) {
    for (const Case& c : cases()) {
        const GlyphRun run = runOf(c);
        KeptGlyphs kept;
        ASSERT_TRUE(findKeptGlyphs(run, kept)) << c.what;
        const auto expected = drawn(run, true);
        const auto got = drawn(run, false);
        EXPECT_GT(inked(expected), 0) << c.what;
        EXPECT_EQ(got, expected) << c.what;
    }
}

TEST(KeptGlyphs, BandsCutTheGlyphsWhereCairoCutsThem) {
    // Bands that begin and end inside the glyphs, with origins on halves
    // above a band's first row.
    const Case c{"a body size",      "Liberation Serif", false,     false,
                 {{44, 0}, {0, 44}}, U"Bandwidth jog",   {15, 91.5}};
    const GlyphRun run = runOf(c);
    for (const auto& [first, rows] : {std::pair{60, 17}, {77, 3}, {80, 40}, {91, 1}, {92, 30}, {0, 70}}) {
        const auto expected = drawn(run, true, first, rows);
        const auto got = drawn(run, false, first, rows);
        EXPECT_GT(inked(expected), 0) << first << "+" << rows;
        EXPECT_EQ(got, expected) << first << "+" << rows;
    }
}

TEST(KeptGlyphs, RunsUnderAClipOrARasterOperationAreWhatCairoDraws) {
    // Laid through a mask rather than straight into the picture; the
    // overlapping glyphs of the tight run show a mask's single pass (XOR
    // twice would clear them).
    const Region clip = Region::fromRect(40, 50, 300, 95);
    const Region twoParts =
        Region::unionOf({Region::fromRect(20, 40, 150, 80), Region::fromRect(180, 70, 420, 99)});
    const Case c{"tight", "DejaVu Sans", true, false, {{38, 0}, {0, 38}}, U"Wavy mixing overlap", {12, 90}};
    GlyphRun run = runOf(c);
    for (std::size_t i = 0; i < run.positions.size(); ++i) run.positions[i].x -= 9.0 * static_cast<double>(i);
    struct Way {
        const Region* clip;
        int rop2;
    };
    for (const Way& way : {Way{&clip, 13}, Way{&twoParts, 13}, Way{nullptr, 7}, Way{&clip, 10}}) {
        auto draw = [&](bool throughCairo) {
            auto dib = DibSection::create(kWidth, kHeight).value();
            dib.fill(kBackground);
            Canvas canvas(dib);
            throughCairo ? canvas.drawGlyphsThroughCairo(run, Paint::solid(kInk), way.clip, way.rop2)
                         : canvas.drawGlyphs(run, Paint::solid(kInk), way.clip, way.rop2);
            return std::vector<std::uint32_t>(dib.pixels().begin(), dib.pixels().end());
        };
        const auto expected = draw(true);
        EXPECT_NE(expected, std::vector<std::uint32_t>(expected.size(), kBackground));
        EXPECT_EQ(draw(false), expected) << "rop " << way.rop2 << (way.clip ? " clipped" : "");
    }
}

TEST(KeptGlyphs, RunsTheKeptGlyphsCannotLayAreLeftToCairo) {
    struct Refused {
        const char* what;
        GlyphRun run;
    };
    GlyphRun lacking = runOf({"", "Liberation Sans", false, false, {{20, 0}, {0, 20}}, U"a\u4E2Db"});
    GlyphRun huge = runOf({"", "Liberation Sans", false, false, {{kMostKeptGlyphEm + 1, 0}, {0, 12}}, U"a"});
    GlyphRun broken = runOf({"", "Liberation Sans", false, false, {{NAN, 0}, {0, 12}}, U"a"});
    for (const Refused& r : {Refused{"a character the font lacks", lacking}, Refused{"an em too large", huge},
                             Refused{"a matrix that is not a number", broken}}) {
        KeptGlyphs kept;
        EXPECT_FALSE(findKeptGlyphs(r.run, kept)) << r.what;
    }
    // The lacking character still reaches the page, from another family,
    // and is counted.
    auto dib = DibSection::create(kWidth, kHeight).value();
    dib.fill(kBackground);
    Canvas canvas(dib);
    EXPECT_EQ(canvas.drawGlyphs(lacking, Paint::solid(kInk), nullptr, 13), 1);
}

TEST(KeptGlyphs, ThreadsLayingTheSameNewGlyphsAtOnceDrawWhatOneDoes) {
    // Sizes no other test asks for, so that both threads meet them first.
    std::vector<GlyphRun> runs;
    for (double em = 13.3; em < 80; em += 6.1)
        runs.push_back(
            runOf({"", "Liberation Serif", false, true, {{em, 0.5}, {0, em}}, U"Threads & glyphs"}));
    std::vector<std::vector<std::uint32_t>> expected;
    for (const GlyphRun& run : runs) expected.push_back(drawn(run, true));
    std::vector<std::vector<std::uint32_t>> first(runs.size()), second(runs.size());
    std::thread other([&] {
        for (std::size_t i = 0; i < runs.size(); ++i) second[i] = drawn(runs[i], false);
    });
    for (std::size_t i = 0; i < runs.size(); ++i) first[i] = drawn(runs[i], false);
    other.join();
    for (std::size_t i = 0; i < runs.size(); ++i) {
        EXPECT_EQ(first[i], expected[i]) << i;
        EXPECT_EQ(second[i], expected[i]) << i;
    }
}

}  // namespace
}  // namespace metafile
