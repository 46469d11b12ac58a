// The writer's files read back and play to the pixels they describe.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

#include "metafile/emf_records.h"
#include "metafile/emf_writer.h"
#include "metafile/player.h"
#include "tests/metafile/pixel_helpers.h"

namespace metafile {
namespace {

using namespace metafile::testing;

// A 100 x 100 pixel page: 2540 x 2540 hundredths of a millimetre on a
// reference device of 100 pixels an inch.
EmfWriter pageWriter() {
    return EmfWriter({0, 0, 2540, 2540}, {1000, 1000}, {254, 254}, std::u16string(u"Scrivlet\0test\0\0", 15));
}

DibSection playBack(EmfWriter& writer, PlaybackReport* report = nullptr) {
    auto mf = writer.toMetafile();
    EXPECT_TRUE(mf) << mf.error().message;
    auto dib = whiteBitmap(100, 100);
    Dc dc(dib);
    auto r = playMetafile(*mf, dc, {0, 0, 100, 100});
    EXPECT_TRUE(r.skipped.empty());
    EXPECT_TRUE(r.malformed.empty());
    if (report)
        *report = r;
    return dib;
}

TEST(WriterRoundTrip, HeaderCarriesFrameBoundsCountsAndDescription) {
    auto w = pageWriter();
    const auto pen = w.createPen(solidPen(rgb(0, 0, 0), 2));
    w.selectObject(pen);
    w.rectangle({10, 20, 30, 40});
    w.moveTo({50, 50});
    w.lineTo({60, 70});
    auto mf = w.toMetafile();
    ASSERT_TRUE(mf) << mf.error().message;
    const EmfHeader& h = mf->header();
    EXPECT_EQ(h.rclFrame, (RectL{0, 0, 2540, 2540}));
    EXPECT_EQ(h.rclBounds, (RectL{9, 19, 61, 71})) << "drawn box grown by half the pen";
    EXPECT_EQ(h.nRecords, mf->records().size());
    EXPECT_EQ(h.nBytes, mf->bytes().size());
    EXPECT_EQ(h.nHandles, 2);
    EXPECT_EQ(h.description, std::u16string(u"Scrivlet\0test\0\0", 15));
    ASSERT_TRUE(h.szlMicrometers);
    EXPECT_EQ(*h.szlMicrometers, (SizeL{254000, 254000}));
    EXPECT_EQ(mf->records().back().type, emf::EMR_EOF);
    EXPECT_TRUE(mf->truncation().empty());
}

// A font record holds a LOGFONTW and nothing more (8 + 4 + 92 bytes); its
// face name fills 32 UTF-16 units, at most 31 characters and a NUL.
TEST(WriterRoundTrip, AFontRecordIsALogFontWithItsFaceNameEndedByNul) {
    for (const std::string& face : {std::string("Arial"), std::string(40, 'x')}) {
        auto w = pageWriter();
        LogFont f;
        f.height = -20;
        f.faceName = face;
        w.selectObject(w.createFont(f));
        auto mf = w.toMetafile();
        ASSERT_TRUE(mf) << mf.error().message;
        const auto& records = mf->records();
        const auto font = std::find_if(records.begin(), records.end(), [](const RecordRef& r) {
            return r.type == emf::EMR_EXTCREATEFONTINDIRECTW;
        });
        ASSERT_NE(font, records.end());
        EXPECT_EQ(font->size, 104u) << face.size() << " characters";
        const auto bytes = mf->recordBytes(*font);
        ASSERT_GE(bytes.size(), 104u);
        const std::size_t kept = std::min<std::size_t>(face.size(), 31);
        for (std::size_t i = 0; i < 32; ++i) {
            const auto unit = static_cast<unsigned>(std::to_integer<unsigned>(bytes[40 + 2 * i]) |
                                                    std::to_integer<unsigned>(bytes[41 + 2 * i]) << 8);
            EXPECT_EQ(unit, i < kept ? static_cast<unsigned char>(face[i]) : 0u) << "unit " << i;
        }
    }
}

TEST(WriterRoundTrip, ShapesPlayBackWhereTheyWereDrawn) {
    auto w = pageWriter();
    const auto red = w.createBrush(solidBrush(rgb(255, 0, 0)));
    w.selectStockObject(StockObject::NULL_PEN);
    w.selectObject(red);
    w.rectangle({10, 10, 30, 30});
    w.ellipse({50, 10, 90, 30});
    const PointL tri[] = {{10, 90}, {30, 50}, {50, 90}};
    w.polygon(tri);
    w.selectStockObject(StockObject::BLACK_PEN);
    const PointL far[] = {{60, 60}, {70000, 60}};  // needs the 32-bit form
    w.polyline(far);
    auto dib = playBack(w);
    EXPECT_EQ(at(dib, 20, 20), kRed);
    EXPECT_EQ(at(dib, 70, 20), kRed);
    EXPECT_EQ(at(dib, 51, 11), kWhite) << "ellipse corner";
    EXPECT_EQ(at(dib, 30, 80), kRed);
    EXPECT_EQ(at(dib, 99, 60), kBlack) << "the long line runs to the edge";
}

TEST(WriterRoundTrip, PolyPolygonsAndPolyPolylinesKeepEachFigure) {
    auto w = pageWriter();
    const auto blue = w.createBrush(solidBrush(rgb(0, 0, 255)));
    w.selectStockObject(StockObject::NULL_PEN);
    w.selectObject(blue);
    // Two squares in one record (16-bit form).
    const PointL squares[] = {{10, 10}, {30, 10}, {30, 30}, {10, 30}, {50, 10}, {70, 10}, {70, 30}, {50, 30}};
    const std::uint32_t four[] = {4, 4};
    w.polyPolygon(squares, four);
    // Two lines in one record, one reaching far off the page (32-bit form).
    w.selectStockObject(StockObject::BLACK_PEN);
    const PointL lines[] = {{10, 60}, {90, 60}, {10, 80}, {70000, 80}};
    const std::uint32_t two[] = {2, 2};
    w.polyPolyline(lines, two);
    auto mf = w.toMetafile();
    ASSERT_TRUE(mf) << mf.error().message;
    std::vector<std::uint32_t> types;
    for (const auto& r : mf->records()) types.push_back(r.type);
    EXPECT_NE(std::find(types.begin(), types.end(), emf::EMR_POLYPOLYGON16), types.end());
    EXPECT_NE(std::find(types.begin(), types.end(), emf::EMR_POLYPOLYLINE), types.end());
    auto dib = playBack(w);
    EXPECT_EQ(at(dib, 20, 20), kBlue) << "first square";
    EXPECT_EQ(at(dib, 60, 20), kBlue) << "second square";
    EXPECT_EQ(at(dib, 40, 20), kWhite) << "between the squares";
    EXPECT_EQ(at(dib, 50, 60), kBlack) << "first line";
    EXPECT_EQ(at(dib, 99, 80), kBlack) << "second line to the edge";
    EXPECT_EQ(at(dib, 50, 70), kWhite);
}

TEST(WriterRoundTrip, MappingPathsAndClippingSurviveTheTrip) {
    auto w = pageWriter();
    w.setMapMode(gdi::MM_ANISOTROPIC);
    w.setWindowExt({1000, 1000});
    w.setViewportExt({100, 100});            // logical units are tenths of a pixel
    w.intersectClipRect({0, 0, 500, 1000});  // left half only
    const auto blue = w.createBrush(solidBrush(rgb(0, 0, 255)));
    w.selectObject(blue);
    w.selectStockObject(StockObject::NULL_PEN);
    w.beginPath();
    w.moveTo({100, 100});
    const PointL pts[] = {{900, 100}, {900, 900}, {100, 900}};
    w.polylineTo(pts);
    w.closeFigure();
    w.endPath();
    w.fillPath();
    PlaybackReport report;
    auto dib = playBack(w, &report);
    EXPECT_EQ(inkBounds(dib), (RectL{10, 10, 50, 90}));
    EXPECT_EQ(at(dib, 30, 50), kBlue);
}

TEST(WriterRoundTrip, SaveRestoreAndWorldTransform) {
    auto w = pageWriter();
    w.selectStockObject(StockObject::BLACK_BRUSH);
    w.selectStockObject(StockObject::NULL_PEN);
    w.saveDc();
    w.setWorldTransform({2, 0, 0, 2, 0, 0});
    w.rectangle({5, 5, 10, 10});  // 10..20 on the page
    w.restoreDc(-1);
    w.rectangle({40, 40, 45, 45});
    auto dib = playBack(w);
    EXPECT_EQ(at(dib, 15, 15), kBlack);
    EXPECT_EQ(at(dib, 42, 42), kBlack);
    EXPECT_EQ(at(dib, 85, 85), kWhite) << "the second rectangle is not scaled";
}

}  // namespace
}  // namespace metafile
