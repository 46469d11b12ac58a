// ExtTextOut: positions from the spacing array, alignment, background,
// clipping, rotation and fallback glyphs.

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "metafile/dc.h"
#include "metafile/emf_writer.h"
#include "metafile/font_fallback.h"
#include "metafile/player.h"
#include "tests/metafile/pixel_helpers.h"

namespace metafile {
namespace {

using namespace metafile::testing;

LogFont arial(int height, int escapement = 0) {
    LogFont f;
    f.height = height;
    f.weight = 400;
    f.escapement = escapement;
    f.orientation = escapement;
    f.faceName = "Arial";
    return f;
}

// Columns that hold ink.
std::vector<int> inkColumns(const DibSection& dib) {
    std::vector<int> cols;
    for (int x = 0; x < dib.width(); ++x) {
        for (int y = 0; y < dib.height(); ++y) {
            if (at(dib, x, y) != kWhite) {
                cols.push_back(x);
                break;
            }
        }
    }
    return cols;
}

Dc::TextOut textOut(std::u32string_view s, std::vector<double> dx = {}) {
    Dc::TextOut t;
    t.characters.assign(s.begin(), s.end());
    t.dx = std::move(dx);
    return t;
}

// Pages are drawn on several threads at once (the converter's pages and
// strips). The font library keeps a few hundred released fonts for reuse
// and frees the oldest as new ones come: with many sizes on every thread a
// font is freed on one thread while another takes it up again, which must
// neither end the process nor change any thread's text.
TEST(ExtTextOut, TextDrawnOnSeveralThreadsAtOnceMatchesTextDrawnAlone) {
    constexpr int kSizes = 6000, kThreads = 8, kRounds = 200;
    auto draw = [](int round) {
        auto dib = whiteBitmap(160, 60);
        Dc dc(dib);
        dc.setBkMode(gdi::TRANSPARENT);
        for (int i = 0; i < 4; ++i) {
            LogFont f = arial(-(6 + (round * 4 + i) % kSizes / 12));
            f.escapement = f.orientation = (round * 4 + i) % 12 * 30;
            f.faceName = i % 2 == 0 ? "Arial" : "Times New Roman";
            dc.setFont(f);
            auto t = textOut(U"Scrivlet");
            t.reference = {40.0 + 20 * i, 30.0};
            dc.extTextOut(t);
        }
        return dib;
    };
    std::vector<DibSection> alone;
    for (int round = 0; round < kRounds; ++round) alone.push_back(draw(round));
    std::vector<int> mismatches(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < kRounds; ++round) {
                const int which = (round + t) % kRounds;
                const auto dib = draw(which);
                const auto& expected = alone[static_cast<std::size_t>(which)];
                bool same = true;
                for (int y = 0; y < dib.height() && same; ++y)
                    for (int x = 0; x < dib.width() && same; ++x) same = at(dib, x, y) == at(expected, x, y);
                mismatches[static_cast<std::size_t>(t)] += !same;
            }
        });
    }
    for (auto& thread : threads) thread.join();
    for (int t = 0; t < kThreads; ++t)
        EXPECT_EQ(mismatches[static_cast<std::size_t>(t)], 0) << "thread " << t;
}

TEST(ExtTextOut, SpacingArrayPlacesEachCharacter) {
    auto dib = whiteBitmap(200, 50);
    Dc dc(dib);
    dc.setFont(arial(-30));
    dc.setBkMode(gdi::TRANSPARENT);
    auto t = textOut(U"ll", {120, 10});
    t.reference = {20, 5};
    dc.extTextOut(t);
    const auto cols = inkColumns(dib);
    ASSERT_FALSE(cols.empty());
    EXPECT_NEAR(cols.front(), 22, 3) << "first l at the reference";
    EXPECT_NEAR(cols.back(), 142, 4) << "second l 120 units on, whatever the font says";
    int gaps = 0;
    for (std::size_t i = 1; i < cols.size(); ++i) gaps += cols[i] - cols[i - 1] > 50;
    EXPECT_EQ(gaps, 1);
}

TEST(ExtTextOut, AlignmentMovesTheRunAroundTheReference) {
    struct Case {
        std::uint32_t align;
        bool rightOf, leftOf, above;
    };
    const Case cases[] = {
        {0, true, false, false},                // left, top: below and right
        {gdi::TA_RIGHT, false, true, false},    // ends at the reference
        {gdi::TA_CENTER, true, true, false},    // around it
        {gdi::TA_BASELINE, true, false, true},  // glyphs above the reference
        {gdi::TA_BOTTOM | gdi::TA_CENTER, true, true, true},
    };
    for (const auto& c : cases) {
        auto dib = whiteBitmap(300, 100);
        Dc dc(dib);
        dc.setFont(arial(-24));
        dc.setBkMode(gdi::TRANSPARENT);
        dc.setTextAlign(c.align);
        auto t = textOut(U"Hello");
        t.reference = {150, 50};
        dc.extTextOut(t);
        const RectL ink = inkBounds(dib);
        EXPECT_EQ(ink.right > 155, c.rightOf) << "align " << c.align;
        EXPECT_EQ(ink.left < 145, c.leftOf) << "align " << c.align;
        EXPECT_EQ(ink.bottom <= 51, c.above) << "align " << c.align;
    }
}

TEST(ExtTextOut, OpaqueRectangleAndClipping) {
    auto dib = whiteBitmap(200, 60);
    Dc dc(dib);
    dc.setFont(arial(-40));
    dc.setBkColor(rgb(255, 0, 0));
    auto t = textOut(U"WWWW");
    t.reference = {10, 5};
    t.rect = RectL{10, 5, 60, 55};
    t.options = gdi::ETO_OPAQUE | gdi::ETO_CLIPPED;
    dc.extTextOut(t);
    EXPECT_EQ(at(dib, 58, 52), kRed) << "the rectangle is filled with the background colour";
    EXPECT_EQ(inkBounds(dib), (RectL{10, 5, 60, 55})) << "nothing outside the clip rectangle";
}

TEST(ExtTextOut, OpaqueBackgroundModeFillsTheCells) {
    auto dib = whiteBitmap(200, 60);
    Dc dc(dib);
    dc.setFont(arial(-20));
    dc.setBkColor(rgb(0, 0, 255));
    auto t = textOut(U"ab");
    t.reference = {10, 10};
    dc.extTextOut(t);
    EXPECT_GT(countColour(dib, kBlue), 100);
}

TEST(ExtTextOut, EscapementRotatesTheRun) {
    auto dib = whiteBitmap(100, 200);
    Dc dc(dib);
    dc.setFont(arial(-20, 900));  // 90 degrees: upwards
    dc.setBkMode(gdi::TRANSPARENT);
    auto t = textOut(U"Scrivlet");
    t.reference = {40, 180};
    dc.extTextOut(t);
    const RectL ink = inkBounds(dib);
    EXPECT_GT(ink.bottom - ink.top, 2 * (ink.right - ink.left)) << "taller than wide";
    EXPECT_LE(ink.bottom, 182);
}

TEST(ExtTextOut, CharactersTheFaceLacksComeFromAFallbackFont) {
    auto dib = whiteBitmap(100, 50);
    Dc dc(dib);
    dc.setFont(arial(-30));
    dc.setBkMode(gdi::TRANSPARENT);
    auto t = textOut(U"\u6587");  // a CJK character: not in the Arial substitute
    t.reference = {10, 5};
    EXPECT_EQ(dc.extTextOut(t), 1) << "counted as missing from the face";
    EXPECT_GT(countColour(dib, kBlack), 20) << "but drawn";
}

TEST(ExtTextOut, UpdateCurrentPositionMovesOn) {
    auto dib = whiteBitmap(300, 60);
    Dc dc(dib);
    dc.setFont(arial(-20));
    dc.setTextAlign(gdi::TA_UPDATECP);
    dc.moveTo({10, 10});
    dc.extTextOut(textOut(U"ab", {30, 30}));
    EXPECT_DOUBLE_EQ(dc.state().currentPosition.x, 70);
}

// Runs of ink rows of a bitmap, relative to `baseline`: [first, last].
std::vector<std::pair<int, int>> inkRowRuns(const DibSection& dib, int baseline) {
    std::vector<std::pair<int, int>> runs;
    for (int y = 0; y < dib.height(); ++y) {
        bool ink = false;
        for (int x = 0; x < dib.width() && !ink; ++x) ink = at(dib, x, y) != kWhite;
        if (!ink)
            continue;
        if (!runs.empty() && runs.back().second == y - baseline - 1) {
            runs.back().second = y - baseline;
        } else {
            runs.push_back({y - baseline, y - baseline});
        }
    }
    return runs;
}

TEST(ExtTextOut, UnderlineAndStrikeOutSitWhereTheFontPutsThem) {
    // Rows of the bands under blanks, relative to the baseline, as the
    // reference player draws them: the font's own positions and
    // thicknesses rounded to whole pixels.
    struct Case {
        const char* face;
        int em;
        std::pair<int, int> strikeOut, underline;
    };
    const Case cases[] = {
        {"Arial", 12, {-3, -3}, {0, 0}},
        {"Arial", 20, {-5, -5}, {1, 1}},
        {"Arial", 40, {-11, -10}, {0, 2}},
        {"Arial", 100, {-28, -24}, {0, 6}},
        {"Arial", 200, {-57, -48}, {0, 14}},
        {"Times New Roman", 12, {-2, -2}, {1, 1}},
        {"Times New Roman", 40, {-9, -8}, {1, 2}},
        {"Times New Roman", 200, {-46, -37}, {7, 16}},
        {"Courier New", 20, {-5, -5}, {4, 4}},
        {"Courier New", 100, {-28, -24}, {17, 20}},
        {"Courier New", 200, {-57, -48}, {34, 41}},
    };
    for (const auto& c : cases) {
        auto dib = whiteBitmap(400, 400);
        Dc dc(dib);
        LogFont f = arial(-c.em);
        f.faceName = c.face;
        f.underline = true;
        f.strikeOut = true;
        dc.setFont(f);
        dc.setBkMode(gdi::TRANSPARENT);
        dc.setTextAlign(gdi::TA_BASELINE);
        auto t = textOut(U"     ");
        t.reference = {20, 200};
        dc.extTextOut(t);
        const auto runs = inkRowRuns(dib, 200);
        ASSERT_EQ(runs.size(), 2u) << c.face << " " << c.em;
        EXPECT_EQ(runs[0], c.strikeOut) << c.face << " " << c.em;
        EXPECT_EQ(runs[1], c.underline) << c.face << " " << c.em;
    }
}

TEST(DrawText, DecorationsAreTheSameBandsAsExtTextOut) {
    for (int em : {12, 20, 40, 100}) {
        LogFont f = arial(-em);
        f.underline = true;
        f.strikeOut = true;
        auto a = whiteBitmap(300, 300);
        Dc ext(a);
        ext.setFont(f);
        ext.setBkMode(gdi::TRANSPARENT);
        ext.setTextAlign(gdi::TA_BASELINE);
        auto t = textOut(U"    ");
        t.reference = {10, 150};
        ext.extTextOut(t);
        auto b = whiteBitmap(300, 300);
        Dc draw(b);
        draw.setFont(f);
        draw.setBkMode(gdi::TRANSPARENT);
        draw.drawText("    ", {10, 100, 290, 290}, gdi::DT_NOCLIP);
        const auto want = inkRowRuns(a, 0), got = inkRowRuns(b, 0);
        ASSERT_EQ(want.size(), 2u);
        ASSERT_EQ(got.size(), 2u) << em;
        // Whatever the line's own position, the bands have the same
        // thickness and the same distance apart.
        for (std::size_t i = 0; i < 2; ++i) {
            EXPECT_EQ(got[i].second - got[i].first, want[i].second - want[i].first) << em;
        }
        EXPECT_EQ(got[1].first - got[0].first, want[1].first - want[0].first) << em;
    }
}

// The columns holding ink, as runs [first, last].
std::vector<std::pair<int, int>> inkColumnRuns(const DibSection& dib) {
    std::vector<std::pair<int, int>> runs;
    for (int x : inkColumns(dib)) {
        if (!runs.empty() && runs.back().second == x - 1) {
            runs.back().second = x;
        } else {
            runs.push_back({x, x});
        }
    }
    return runs;
}

TEST(FontFaces, TheNarrowSansSerifFaceIsFound) {
    // Office documents name the narrow face either way; both are set in
    // its metric twin (Debian's fonts-liberation). Without it the wide face
    // stands in on the narrow advances and the letters run together.
    for (const char* face : {"Arial Narrow", "arial narrow", "ArialNarrow", "LiberationSansNarrow"}) {
        EXPECT_EQ(resolvedFamily(face), "Liberation Sans Narrow") << face;
        EmfWriter w({0, 0, 10160, 2540}, {1000, 1000}, {254, 254});
        LogFont f = arial(-100);
        f.faceName = face;
        w.selectObject(w.createFont(f));
        w.setBkMode(gdi::TRANSPARENT);
        // The narrow face's own advance of H (0.59 em), rounded up.
        const std::int32_t dx[] = {60, 60, 60, 60};
        w.extTextOut({20, 5}, u"HHHH", dx);
        auto mf = w.toMetafile();
        ASSERT_TRUE(mf.hasValue());
        auto dib = whiteBitmap(400, 100);
        Dc dc(dib);
        playMetafile(*mf, dc, {0, 0, 400, 100});
        const auto runs = inkColumnRuns(dib);
        ASSERT_EQ(runs.size(), 4u) << face << ": each letter stands apart";
        for (std::size_t i = 1; i < runs.size(); ++i) {
            EXPECT_GE(runs[i].first - runs[i - 1].second, 10) << face << ": the narrow face's side bearings";
        }
    }
}

// Ink width and height of a run drawn with `font` under `transform`.
RectL runInk(const LogFont& font, const Matrix& transform, std::u32string_view text, int breakExtra = 0,
             int breakCount = 0) {
    auto dib = whiteBitmap(600, 200);
    Dc dc(dib);
    dc.setTransform(transform);
    dc.setFont(font);
    dc.setBkMode(gdi::TRANSPARENT);
    dc.setTextJustification(breakExtra, breakCount);
    auto t = textOut(text);
    t.reference = {10, 10};
    dc.extTextOut(t);
    return inkBounds(dib);
}

TEST(ExtTextOut, FontSizeWidthAndJustification) {
    // Each case against a plain Arial of -40 at scale 1: the ratio of the
    // ink's width and height.
    struct Case {
        const char* what;
        int height, width;
        Matrix transform;
        int breakExtra, breakCount;
        double widthRatio, heightRatio;
    };
    const Case cases[] = {
        // A positive height is the cell (ascent + descent, 1.117 em here).
        {"cell height", 40, 0, {}, 0, 0, 0.895, 0.895},
        // lfWidth: the font's average character width (its OS/2 table's,
        // 0.574 em here) becomes that wide; the reference player's ratios.
        {"lfWidth", -40, 40, {}, 0, 0, 210.0 / 119, 1},
        {"narrow lfWidth", -40, 20, {}, 0, 0, 107.0 / 119, 1},
        // In the compatible mode lfWidth scales with x and the height with y.
        {"lfWidth under a wide mapping", -40, 20, Matrix::scaling(2, 1), 0, 0, 210.0 / 119, 1},
        {"height under a tall mapping", -20, 0, Matrix::scaling(1, 2), 0, 0, 1, 1},
    };
    const std::u32string_view text = U"HxHxH";
    const RectL plain = runInk(arial(-40), {}, text);
    ASSERT_GT(plain.width(), 50);
    for (const auto& c : cases) {
        LogFont f = arial(c.height);
        f.width = c.width;
        const RectL ink = runInk(f, c.transform, text, c.breakExtra, c.breakCount);
        EXPECT_NEAR(double(ink.width()) / double(plain.width()), c.widthRatio, 0.06 * c.widthRatio) << c.what;
        EXPECT_NEAR(double(ink.height()) / double(plain.height()), c.heightRatio, 0.06) << c.what;
    }
}

TEST(ExtTextOut, JustificationWidensTheBlanks) {
    // SetTextJustification(30, 2): each of the two blanks gets 15 more.
    const RectL plain = runInk(arial(-40), {}, U"H H H");
    const RectL wide = runInk(arial(-40), {}, U"H H H", 30, 2);
    EXPECT_NEAR(wide.width() - plain.width(), 30, 1);
    EXPECT_EQ(wide.height(), plain.height());
}

TEST(ExtTextOut, OpaqueCellsSpanAscentAndDescent) {
    // Liberation Sans: ascent 0.905 em, descent 0.212 em; at 20 pixels the
    // cell is 22 pixels high and starts at the reference with TA_TOP.
    auto dib = whiteBitmap(200, 60);
    Dc dc(dib);
    dc.setFont(arial(-20));
    dc.setBkColor(rgb(0, 0, 255));
    auto t = textOut(U"ab");
    t.reference = {10, 10};
    dc.extTextOut(t);
    const RectL ink = inkBounds(dib);
    EXPECT_EQ(ink.top, 10);
    EXPECT_NEAR(ink.bottom, 32, 1);
    EXPECT_EQ(ink.left, 10);
}

TEST(ExtTextOut, FallbackGlyphsAreTheFallbackFontsOwn) {
    // On the baseline, a character Arial lacks looks as it does in the
    // family that has it (and Arial's missing-glyph box is not drawn under
    // it).
    const std::string family = fallbackFamilyFor(0x6587);
    ASSERT_FALSE(family.empty());
    auto viaArial = whiteBitmap(120, 80);
    auto direct = whiteBitmap(120, 80);
    for (auto* dib : {&viaArial, &direct}) {
        Dc dc(*dib);
        LogFont f = arial(-40);
        if (dib == &direct)
            f.faceName = family;
        dc.setFont(f);
        dc.setBkMode(gdi::TRANSPARENT);
        dc.setTextAlign(gdi::TA_BASELINE);
        auto t = textOut(U"\u6587", {45});
        t.reference = {10, 50};
        dc.extTextOut(t);
    }
    EXPECT_GT(countColour(viaArial, kBlack), 50);
    for (int y = 0; y < 80; ++y)
        ASSERT_EQ(rowText(viaArial, y, 0, 120), rowText(direct, y, 0, 120)) << "row " << y;
}

TEST(ExtTextOut, GlyphsStartingOutsideTheClipStillInkIt) {
    // The glyph's origin lies left of the clip and its baseline below it;
    // its ink reaches into it. Both a face glyph and a fallback glyph.
    for (std::u32string_view text : {std::u32string_view(U"W"), std::u32string_view(U"\u6587")}) {
        auto dib = whiteBitmap(200, 100);
        Dc dc(dib);
        dc.setFont(arial(-60));
        dc.setBkMode(gdi::TRANSPARENT);
        auto t = textOut(text);
        t.reference = {0, 0};
        t.rect = RectL{30, 0, 200, 45};
        t.options = gdi::ETO_CLIPPED;
        dc.extTextOut(t);
        const RectL ink = inkBounds(dib);
        EXPECT_GT(countColour(dib, kBlack), 50);
        EXPECT_GE(ink.left, 30);
        EXPECT_LE(ink.bottom, 45);
    }
}

TEST(DrawText, APositiveHeightIsTheCell) {
    auto inkHeight = [](int height) {
        auto dib = whiteBitmap(300, 120);
        Dc dc(dib);
        dc.setFont(arial(height));
        dc.setBkMode(gdi::TRANSPARENT);
        dc.drawText("HHH", {10, 10, 290, 110}, gdi::DT_NOCLIP);
        const RectL ink = inkBounds(dib);
        return double(ink.height());
    };
    EXPECT_NEAR(inkHeight(80) / inkHeight(-80), 0.895, 0.03);
}

// The vertical placements of a single line: its cell (the face's ascent
// and descent, 0.905 and 0.212 of the em for Arial) at the box's top, centred
// in it, or at its bottom. The ink of "H" ends on the baseline.
TEST(DrawText, VerticalPlacementPutsTheLineCellInTheBox) {
    constexpr double kEm = 100, kAscent = 0.905 * kEm, kDescent = 0.212 * kEm;
    const RectL box{10, 50, 290, 350};
    struct Case {
        unsigned format;
        double baseline;
    };
    const Case cases[] = {
        {gdi::DT_TOP, box.top + kAscent},
        {gdi::DT_VCENTER, (box.top + box.bottom - kAscent - kDescent) / 2 + kAscent},
        {gdi::DT_BOTTOM, box.bottom - kDescent},
    };
    for (const Case& c : cases) {
        auto dib = whiteBitmap(300, 400);
        Dc dc(dib);
        dc.setFont(arial(-static_cast<int>(kEm)));
        dc.setBkMode(gdi::TRANSPARENT);
        dc.drawText("H", box, c.format | gdi::DT_SINGLELINE);
        const RectL ink = inkBounds(dib);
        EXPECT_NEAR(ink.bottom, c.baseline, 2) << "format " << c.format;
        EXPECT_GT(ink.height(), 0.6 * kEm) << "the whole H, format " << c.format;
    }
}

TEST(FontFaces, WindowsFacesResolveToTheirMetricTwins) {
    struct Case {
        const char* face;
        const char* family;
    };
    const Case cases[] = {
        {"Arial", "Liberation Sans"},
        {"Times New Roman", "Liberation Serif"},
        {"Courier New", "Liberation Mono"},
        {"Calibri", "Carlito"},
        {"Cambria", "Caladea"},
        {"MS Gothic", "IPAGothic"},
        {"System", "Liberation Sans"},
        {"MS Sans Serif", "Liberation Sans"},
        {"ms pgothic", "IPAPGothic"},
    };
    for (const auto& c : cases) EXPECT_EQ(resolvedFamily(c.face), c.family) << c.face;
}

}  // namespace
}  // namespace metafile
