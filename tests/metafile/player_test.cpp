// Playback: the frame-to-rectangle mapping, mapping modes, world transforms,
// SaveDC/RestoreDC, objects, clipping, and what happens to bad records.

#include "metafile/player.h"

#include <gtest/gtest.h>

#include <cstring>

#include "metafile/emf_writer.h"
#include "tests/metafile/emf_fixture.h"
#include "tests/metafile/pixel_helpers.h"

namespace metafile {
namespace {

using namespace metafile::testing;

// Plays bytes into a white bitmap of w x h with the frame filling it.
struct Played {
    DibSection dib;
    PlaybackReport report;
};

// The frame fills [0, w) x [0, h) of a bitmap with room to spare.
Played play(const std::vector<std::byte>& bytes, int w, int h) {
    auto mf = Metafile::fromBytes(bytes);
    EXPECT_TRUE(mf);
    Played p{whiteBitmap(w + 20, h + 20), {}};
    Dc dc(p.dib);
    p.report = playMetafile(*mf, dc, {0, 0, w, h});
    return p;
}

// A black 4x4 rectangle drawn with a null pen at logical (x, y) after the
// given mapping records.
EmfBytes blackSquareAfter(std::initializer_list<std::pair<std::uint32_t, std::vector<std::uint32_t>>> setup) {
    // 100 x 100 pixel frame on a device of 100 pixels an inch: one device
    // pixel is one output pixel when played into 100 x 100.
    EmfBytes e(2540, 2540, 1000, 254);
    for (const auto& [type, params] : setup) {
        e.raw({type, static_cast<std::uint32_t>(8 + 4 * params.size())});
        for (auto p : params) e.raw({p});
    }
    e.record(emf::EMR_SELECTOBJECT, {static_cast<std::uint32_t>(StockObject::NULL_PEN)});
    e.record(emf::EMR_SELECTOBJECT, {static_cast<std::uint32_t>(StockObject::BLACK_BRUSH)});
    return e;
}

TEST(Player, FrameIsStretchedOntoTheRectangle) {
    EmfHeader h;
    h.rclFrame = {1000, 2000, 11000, 22000};  // 10 x 20 cm from (1 cm, 2 cm)
    h.szlDevice = {1000, 1000};
    h.szlMillimeters = {254, 254};  // 100 px/inch
    const Matrix m = playbackTransform(h, {0, 0, 200, 400});
    // Device pixel (x, y) of the reference = x * 0.254 mm; the frame's left
    // edge (10 mm = 39.37 px) lands on 0.
    EXPECT_NEAR(m.apply({1000 / 25.4, 2000 / 25.4}).x, 0, 1e-9);
    EXPECT_NEAR(m.apply({1000 / 25.4, 2000 / 25.4}).y, 0, 1e-9);
    EXPECT_NEAR(m.apply({11000 / 25.4, 22000 / 25.4}).x, 200, 1e-9);
    EXPECT_NEAR(m.apply({11000 / 25.4, 22000 / 25.4}).y, 400, 1e-9);
}

struct MappingCase {
    const char* label;
    std::vector<std::pair<std::uint32_t, std::vector<std::uint32_t>>> setup;
    RectL logical;
    RectL expectedInk;
};

TEST(Player, MappingModesPlaceShapes) {
    const MappingCase cases[] = {
        {"MM_TEXT", {}, {10, 10, 20, 20}, {10, 10, 21, 21}},
        {"anisotropic doubles x, halves y",
         {{emf::EMR_SETMAPMODE, {gdi::MM_ANISOTROPIC}},
          {emf::EMR_SETWINDOWEXTEX, {10, 10}},
          {emf::EMR_SETVIEWPORTEXTEX, {20, 5}}},
         {10, 20, 20, 40},
         {20, 10, 41, 21}},
        {"window origin moves the picture",
         {{emf::EMR_SETWINDOWORGEX, {u(-30), u(-40)}}},
         {0, 0, 10, 10},
         {30, 40, 41, 51}},
        {"viewport origin moves it in device units",
         {{emf::EMR_SETMAPMODE, {gdi::MM_ANISOTROPIC}},
          {emf::EMR_SETWINDOWEXTEX, {1, 1}},
          {emf::EMR_SETVIEWPORTEXTEX, {2, 2}},
          {emf::EMR_SETVIEWPORTORGEX, {5, 5}}},
         {0, 0, 10, 10},
         {5, 5, 26, 26}},
        {"isotropic keeps units square",
         {{emf::EMR_SETMAPMODE, {gdi::MM_ISOTROPIC}},
          {emf::EMR_SETWINDOWEXTEX, {100, 100}},
          {emf::EMR_SETVIEWPORTEXTEX, {80, 40}}},
         {0, 0, 50, 50},
         {0, 0, 21, 21}},
        // MM_LOMETRIC: 0.1 mm units, y up. The device has 100 px an inch, so
        // 254 units (25.4 mm) are 100 pixels; y = -127 is 50 pixels down.
        {"metric mode from the reference device",
         {{emf::EMR_SETMAPMODE, {gdi::MM_LOMETRIC}}},
         {0, -127, 127, -254},
         {0, 50, 51, 101}},
        {"extents are ignored outside the scalable modes",
         {{emf::EMR_SETWINDOWEXTEX, {1, 1}}, {emf::EMR_SETVIEWPORTEXTEX, {5, 5}}},
         {10, 10, 20, 20},
         {10, 10, 21, 21}},
    };
    for (const auto& c : cases) {
        auto e = blackSquareAfter({});
        for (const auto& [type, params] : c.setup) {
            e.raw({type, static_cast<std::uint32_t>(8 + 4 * params.size())});
            for (auto p : params) e.raw({p});
        }
        e.record(emf::EMR_RECTANGLE,
                 {u(c.logical.left), u(c.logical.top), u(c.logical.right), u(c.logical.bottom)});
        auto p = play(e.bytes(), 100, 100);
        // Playback runs in the advanced graphics mode: with a null pen the
        // rectangle covers [left, right) and [top, bottom) in device pixels.
        RectL ink = inkBounds(p.dib);
        EXPECT_EQ(ink, (RectL{c.expectedInk.left, c.expectedInk.top, c.expectedInk.right - 1,
                              c.expectedInk.bottom - 1}))
            << c.label;
    }
}

TEST(Player, WorldTransformsSetAndModify) {
    // Scale by 2, then translate by (10, 0) applied after: left multiply
    // puts the translation in logical units (x 2).
    auto e = blackSquareAfter({});
    e.record(emf::EMR_SETWORLDTRANSFORM, {0x40000000, 0, 0, 0x40000000, 0, 0});  // scale 2
    const float ten = 10.0f;
    std::uint32_t tenBits;
    std::memcpy(&tenBits, &ten, 4);
    e.record(emf::EMR_MODIFYWORLDTRANSFORM,
             {0x3F800000, 0, 0, 0x3F800000, tenBits, 0, gdi::MWT_LEFTMULTIPLY});
    e.record(emf::EMR_RECTANGLE, {0, 0, 10, 10});
    auto p = play(e.bytes(), 100, 100);
    EXPECT_EQ(inkBounds(p.dib), (RectL{20, 0, 40, 20}));

    auto singular = blackSquareAfter({});
    singular.record(emf::EMR_SETWORLDTRANSFORM, {0, 0, 0, 0, 0, 0});
    singular.record(emf::EMR_RECTANGLE, {0, 0, 10, 10});
    auto q = play(singular.bytes(), 100, 100);
    EXPECT_EQ(inkBounds(q.dib), (RectL{0, 0, 10, 10})) << "a singular transform is refused";
    EXPECT_EQ(q.report.malformed.at(emf::EMR_SETWORLDTRANSFORM), 1);
}

TEST(Player, SaveAndRestoreBringBackMappingAndObjects) {
    auto e = blackSquareAfter({});
    e.record(emf::EMR_SAVEDC, {});
    e.record(emf::EMR_SETWINDOWORGEX, {u(-50), 0});
    e.record(emf::EMR_SELECTOBJECT, {static_cast<std::uint32_t>(StockObject::NULL_BRUSH)});
    e.record(emf::EMR_RESTOREDC, {u(-1)});
    e.record(emf::EMR_RECTANGLE, {0, 0, 10, 10});
    e.record(emf::EMR_RESTOREDC, {u(-5)});  // nothing saved that deep
    auto p = play(e.bytes(), 100, 100);
    EXPECT_EQ(inkBounds(p.dib), (RectL{0, 0, 10, 10}));
    EXPECT_EQ(p.report.malformed.at(emf::EMR_RESTOREDC), 1);
}

TEST(Player, ObjectsAreCreatedSelectedAndChecked) {
    EmfBytes e(2540, 2540, 1000, 254);
    e.record(emf::EMR_CREATEBRUSHINDIRECT, {3, gdi::BS_SOLID, rgb(255, 0, 0), 0});
    e.record(emf::EMR_CREATEPEN, {2, gdi::PS_NULL, 0, 0, 0});
    e.record(emf::EMR_SELECTOBJECT, {3});
    e.record(emf::EMR_SELECTOBJECT, {2});
    e.record(emf::EMR_SELECTOBJECT, {7});      // never created
    e.record(emf::EMR_SELECTOBJECT, {99999});  // beyond the table
    e.record(emf::EMR_DELETEOBJECT, {3});      // stays selected
    e.record(emf::EMR_RECTANGLE, {0, 0, 10, 10});
    e.record(emf::EMR_CREATEPEN, {0, 0, 0, 0, 0});  // index 0 is reserved
    auto p = play(e.bytes(), 100, 100);
    EXPECT_EQ(at(p.dib, 5, 5), kRed);
    EXPECT_EQ(p.report.malformed.at(emf::EMR_SELECTOBJECT), 2);
    EXPECT_EQ(p.report.malformed.at(emf::EMR_CREATEPEN), 1);
}

TEST(Player, ClipRegionRecordsUseDevicePixels) {
    auto e = blackSquareAfter({});
    // Clip to device rectangle (10, 10)-(30, 30), given as region data.
    e.record(emf::EMR_EXTSELECTCLIPRGN, {48, gdi::RGN_COPY, 32, 1, 1, 16, 10, 10, 30, 30, 10, 10, 30, 30});
    e.record(emf::EMR_EXCLUDECLIPRECT, {15, 15, 20, 20});
    e.record(emf::EMR_RECTANGLE, {0, 0, 50, 50});
    auto p = play(e.bytes(), 100, 100);
    EXPECT_EQ(inkBounds(p.dib), (RectL{10, 10, 30, 30}));
    EXPECT_EQ(at(p.dib, 17, 17), kWhite);

    auto bad = blackSquareAfter({});
    bad.record(emf::EMR_EXTSELECTCLIPRGN, {0xFFFFFF00, gdi::RGN_COPY, 32});
    bad.record(emf::EMR_RECTANGLE, {0, 0, 50, 50});
    auto q = play(bad.bytes(), 100, 100);
    EXPECT_EQ(q.report.malformed.at(emf::EMR_EXTSELECTCLIPRGN), 1);
    EXPECT_EQ(inkBounds(q.dib), (RectL{0, 0, 50, 50})) << "the bad region is ignored";
}

// Region data of a header and no rectangles is a whole, empty region: as a
// clip it hides everything; filled it paints nothing. Neither is damage.
TEST(Player, RegionDataOfNoRectanglesIsAnEmptyRegion) {
    const std::initializer_list<std::uint32_t> empty = {32, 1, 0, 0, 0, 0, 0, 0};  // RGNDATAHEADER only
    auto clip = blackSquareAfter({});
    std::vector<std::uint32_t> clipRecord = {32, gdi::RGN_COPY};
    clipRecord.insert(clipRecord.end(), empty);
    clip.raw({emf::EMR_EXTSELECTCLIPRGN, static_cast<std::uint32_t>(8 + 4 * clipRecord.size())});
    for (auto w : clipRecord) clip.raw({w});
    clip.record(emf::EMR_RECTANGLE, {0, 0, 50, 50});
    const auto clipped = play(clip.bytes(), 100, 100);
    EXPECT_TRUE(clipped.report.malformed.empty());
    EXPECT_EQ(countColour(clipped.dib, kBlack), 0) << "the empty clip hides the rectangle";

    auto fill = blackSquareAfter({});
    std::vector<std::uint32_t> fillRecord = {0,   0,  100,
                                             100, 32, static_cast<std::uint32_t>(StockObject::BLACK_BRUSH)};
    fillRecord.insert(fillRecord.end(), empty);
    fill.raw({emf::EMR_FILLRGN, static_cast<std::uint32_t>(8 + 4 * fillRecord.size())});
    for (auto w : fillRecord) fill.raw({w});
    fill.record(emf::EMR_RECTANGLE, {60, 60, 70, 70});
    const auto filled = play(fill.bytes(), 100, 100);
    EXPECT_TRUE(filled.report.malformed.empty());
    EXPECT_EQ(inkBounds(filled.dib), (RectL{60, 60, 70, 70})) << "only the rectangle after it";
}

TEST(Player, UnknownAndShortRecordsAreCountedNotFatal) {
    auto e = blackSquareAfter({});
    e.record(0x7777, {1, 2, 3});
    e.record(emf::EMR_RECTANGLE, {1, 2});                  // too short for a RECTL
    e.record(emf::EMR_POLYLINE16, {0, 0, 0, 0, 1000000});  // count far past the record
    e.record(emf::EMR_RECTANGLE, {0, 0, 10, 10});
    auto p = play(e.bytes(), 100, 100);
    EXPECT_EQ(p.report.skipped.at(0x7777), 1);
    EXPECT_EQ(p.report.malformed.at(emf::EMR_RECTANGLE), 1);
    EXPECT_EQ(p.report.malformed.at(emf::EMR_POLYLINE16), 1);
    EXPECT_EQ(inkBounds(p.dib), (RectL{0, 0, 10, 10})) << "playing goes on";
}

TEST(Player, DcStateIsRestoredAfterPlayback) {
    auto dib = whiteBitmap(10, 10);
    Dc dc(dib);
    auto e = blackSquareAfter({});
    e.record(emf::EMR_SETBKMODE, {gdi::TRANSPARENT});
    e.record(emf::EMR_INTERSECTCLIPRECT, {0, 0, 5, 5});
    e.record(emf::EMR_SAVEDC, {});  // left unbalanced
    auto mf = Metafile::fromBytes(e.bytes());
    ASSERT_TRUE(mf);
    playMetafile(*mf, dc, {0, 0, 10, 10});
    EXPECT_EQ(dc.state().bkMode, gdi::OPAQUE);
    EXPECT_EQ(dc.effectiveClip(), nullptr);
    EXPECT_EQ(dc.saveLevel(), 0);
    EXPECT_EQ(dc.state().graphicsMode, gdi::GM_COMPATIBLE);
}

}  // namespace
}  // namespace metafile
