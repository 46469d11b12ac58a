// The other text records: SMALLTEXTOUT (8-bit or UTF-16 characters, with or
// without a clip rectangle) and POLYTEXTOUTW (several runs in one record)
// draw what the same runs draw as EXTTEXTOUTW records; damaged ones are
// counted and do not draw past their bytes.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "metafile/emf_records.h"
#include "metafile/emf_writer.h"
#include "metafile/player.h"
#include "tests/metafile/emf_fixture.h"
#include "tests/metafile/pixel_helpers.h"

namespace metafile {
namespace {

using namespace metafile::testing;

struct Played {
    DibSection page;
    PlaybackReport report;
};

// A 400 x 200 page of the 100-dpi reference device, played 1:1, with an
// Arial font of 30 units, blue background colour and TA_TOP alignment.
Played play(const std::function<void(EmfWriter&)>& draw) {
    EmfWriter w({0, 0, 10160, 5080}, {1000, 1000}, {254, 254});
    LogFont f;
    f.height = -30;
    f.faceName = "Arial";
    w.selectObject(w.createFont(f));
    w.setBkMode(gdi::TRANSPARENT);
    w.setBkColor(rgb(0, 0, 255));
    draw(w);
    auto mf = Metafile::fromBytes(w.finish());
    EXPECT_TRUE(mf.hasValue());
    auto page = whiteBitmap(400, 200);
    Dc dc(page);
    PlaybackReport report;
    if (mf.hasValue())
        report = playMetafile(*mf, dc, {0, 0, 400, 200});
    return {std::move(page), std::move(report)};
}

bool samePixels(const DibSection& a, const DibSection& b) {
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (at(a, x, y) != at(b, x, y))
                return false;
        }
    }
    return true;
}

TEST(SmallTextOut, DrawsAsExtTextOutDoes) {
    const RectL box{30, 20, 90, 60};
    struct Case {
        const char* what;
        std::uint32_t options;  // ETO_SMALL_CHARS and ETO_NO_RECT are SMALLTEXTOUT's own
        std::u16string text;
    };
    const Case cases[] = {
        {"8-bit characters", gdi::ETO_SMALL_CHARS | gdi::ETO_NO_RECT, u"Scrivlet"},
        {"UTF-16 characters", gdi::ETO_NO_RECT, u"Scriv\u00e9let"},
        {"clipped to its rectangle", gdi::ETO_SMALL_CHARS | gdi::ETO_CLIPPED, u"Scrivlet"},
        {"opaque rectangle", gdi::ETO_OPAQUE, u"Scrivlet"},
        {"opaque and clipped", gdi::ETO_SMALL_CHARS | gdi::ETO_OPAQUE | gdi::ETO_CLIPPED, u"WWWWWW"},
    };
    for (const auto& c : cases) {
        const auto small = play([&](EmfWriter& w) { w.smallTextOut({20, 30}, c.text, c.options, box); });
        const std::uint32_t extOptions = c.options & ~(gdi::ETO_SMALL_CHARS | gdi::ETO_NO_RECT);
        const auto ext = play([&](EmfWriter& w) {
            w.extTextOut({20, 30}, c.text, {}, extOptions, (c.options & gdi::ETO_NO_RECT) ? RectL{} : box);
        });
        EXPECT_GT(countColour(small.page, kBlack), 50) << c.what;
        EXPECT_TRUE(samePixels(small.page, ext.page)) << c.what;
        EXPECT_TRUE(small.report.malformed.empty()) << c.what;
        if (c.options & gdi::ETO_CLIPPED) {
            const RectL ink = inkBounds(small.page);
            EXPECT_GE(ink.left, box.left) << c.what;
            EXPECT_LE(ink.right, box.right) << c.what;
        }
        if (c.options & gdi::ETO_OPAQUE) {
            EXPECT_EQ(at(small.page, box.right - 1, box.bottom - 1), kBlue) << c.what;
        }
    }
}

TEST(SmallTextOut, EightBitCharactersAreWindows1252) {
    // 0x80 is the euro sign, 0x93/0x94 the curly quotes.
    const auto small = play([](EmfWriter& w) {
        w.smallTextOut({20, 30}, u"\x80\x93x\x94", gdi::ETO_SMALL_CHARS | gdi::ETO_NO_RECT);
    });
    const auto ext = play([](EmfWriter& w) { w.extTextOut({20, 30}, u"\u20ac\u201cx\u201d"); });
    EXPECT_GT(countColour(small.page, kBlack), 50);
    EXPECT_TRUE(samePixels(small.page, ext.page));
}

TEST(SmallTextOut, ACountPastTheRecordIsRefused) {
    // 100 characters claimed, 4 bytes present.
    EmfBytes bytes;
    bytes.record(emf::EMR_SMALLTEXTOUT, {20, 30, 100, gdi::ETO_SMALL_CHARS | gdi::ETO_NO_RECT,
                                         static_cast<std::uint32_t>(gdi::GM_COMPATIBLE), 0, 0, 0x41414141});
    auto mf = Metafile::fromBytes(bytes.bytes());
    ASSERT_TRUE(mf.hasValue());
    auto page = whiteBitmap(100, 100);
    Dc dc(page);
    const auto report = playMetafile(*mf, dc, {0, 0, 100, 100});
    EXPECT_EQ(report.malformed.count(emf::EMR_SMALLTEXTOUT), 1u);
    EXPECT_EQ(countColour(page, kWhite), 100 * 100);
}

TEST(PolyTextOut, DrawsEachRunAsExtTextOutDoes) {
    const std::int32_t dx[] = {40, 40, 40};
    const std::int32_t pdy[] = {30, 10, 30, 10, 30, 10};
    const RectL box{200, 100, 260, 140};
    const std::vector<EmfWriter::TextRun> runs = {
        {{10, 10}, u"Font", {}, 0, {}},
        {{10, 60}, u"abc", dx, 0, {}},
        {{10, 150}, u"xyz", pdy, gdi::ETO_PDY, {}},
        {{200, 100}, u"WWWWW", {}, gdi::ETO_CLIPPED | gdi::ETO_OPAQUE, box},
    };
    const auto poly = play([&](EmfWriter& w) { w.polyTextOut(runs); });
    const auto ext = play([&](EmfWriter& w) {
        for (const auto& r : runs) w.extTextOut(r.reference, r.text, r.dx, r.options, r.rect);
    });
    EXPECT_TRUE(poly.report.malformed.empty());
    EXPECT_GT(countColour(poly.page, kBlack), 200);
    EXPECT_TRUE(samePixels(poly.page, ext.page));
    // Each run landed: ink in each run's band, the opaque box filled.
    for (int top : {10, 60, 120}) {
        int ink = 0;
        for (int y = top; y < top + 30; ++y) {
            for (int x = 0; x < 200; ++x) ink += at(poly.page, x, y) == kBlack;
        }
        EXPECT_GT(ink, 20) << "run at " << top;
    }
    EXPECT_EQ(at(poly.page, box.right - 1, box.bottom - 1), kBlue);
}

TEST(PolyTextOut, MoreRunsClaimedThanPresentStopsAtTheEnd) {
    const std::vector<EmfWriter::TextRun> runs = {{{10, 10}, u"Font", {}, 0, {}}};
    EmfWriter w({0, 0, 10160, 5080}, {1000, 1000}, {254, 254});
    LogFont f;
    f.height = -30;
    f.faceName = "Arial";
    w.selectObject(w.createFont(f));
    w.setBkMode(gdi::TRANSPARENT);
    w.polyTextOut(runs);
    auto bytes = w.finish();
    // The record after the header, font, selection and background mode:
    // find it and claim 50 runs.
    std::size_t at = 0;
    for (std::size_t i = 0; i + 8 <= bytes.size();) {
        const auto word = [&](std::size_t k) {
            return std::to_integer<std::uint32_t>(bytes[k]) |
                   std::to_integer<std::uint32_t>(bytes[k + 1]) << 8 |
                   std::to_integer<std::uint32_t>(bytes[k + 2]) << 16 |
                   std::to_integer<std::uint32_t>(bytes[k + 3]) << 24;
        };
        if (word(i) == emf::EMR_POLYTEXTOUTW) {
            at = i;
            break;
        }
        i += word(i + 4);
    }
    ASSERT_NE(at, 0u);
    bytes[at + 36] = std::byte{50};  // cStrings
    auto mf = Metafile::fromBytes(bytes);
    ASSERT_TRUE(mf.hasValue());
    auto page = whiteBitmap(400, 200);
    Dc dc(page);
    const auto report = playMetafile(*mf, dc, {0, 0, 400, 200});
    EXPECT_EQ(report.malformed.count(emf::EMR_POLYTEXTOUTW), 1u);
    EXPECT_GT(countColour(page, kBlack), 20) << "the run that is there is drawn";
}

// A font's face name is UTF-16 in the record: a surrogate pair is one
// character, a lone surrogate is the replacement character, and the name
// ends at its first NUL.
TEST(FontFaceNames, SurrogatePairsAreOneCharacterAndLoneOnesAreReplaced) {
    struct Case {
        std::u16string face;
        std::string utf8;
    };
    const Case cases[] = {
        {u"Arial", "Arial"},
        {u"Ab\xD835\xDCD0", "Ab\xF0\x9D\x93\x90"},  // U+1D4D0
        {u"\xDBFF\xDFFFz", "\xF4\x8F\xBF\xBFz"},    // U+10FFFF
        {u"\xD835x", "\xEF\xBF\xBDx"},
        {u"x\xDCD0", "x\xEF\xBF\xBD"},
        {u"Ab\0cd", "Ab"},
    };
    const std::string placeholder(12, '@');
    for (const Case& c : cases) {
        EmfWriter w({0, 0, 10160, 5080}, {1000, 1000}, {254, 254});
        LogFont f;
        f.height = -30;
        f.faceName = placeholder;
        w.selectObject(w.createFont(f));
        w.extTextOut({10, 10}, u"A");
        auto bytes = w.finish();
        // The placeholder's UTF-16 units in the font record, replaced.
        std::vector<std::byte> pattern;
        for (char ch : placeholder) pattern.insert(pattern.end(), {std::byte(ch), std::byte{0}});
        const auto where = std::search(bytes.begin(), bytes.end(), pattern.begin(), pattern.end());
        ASSERT_NE(where, bytes.end());
        ASSERT_LE(c.face.size(), placeholder.size());
        for (std::size_t i = 0; i < placeholder.size(); ++i) {
            const char16_t unit = i < c.face.size() ? c.face[i] : 0;
            where[static_cast<std::ptrdiff_t>(2 * i)] = std::byte(unit & 0xFF);
            where[static_cast<std::ptrdiff_t>(2 * i + 1)] = std::byte(unit >> 8);
        }
        auto mf = Metafile::fromBytes(std::move(bytes));
        ASSERT_TRUE(mf.hasValue());
        auto page = whiteBitmap(400, 200);
        Dc dc(page);
        const auto report = playMetafile(*mf, dc, {0, 0, 400, 200});
        ASSERT_EQ(report.fonts.size(), 1u);
        EXPECT_EQ(report.fonts.begin()->first, c.utf8) << "case " << &c - cases;
    }
}

}  // namespace
}  // namespace metafile
