// The header bounds the writer records: each shape through the mapping in
// force when it was drawn, with SaveDC/RestoreDC (valid and invalid levels),
// world transforms in every mode, metric and scaled mappings and wide pens.

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "metafile/emf_writer.h"

namespace metafile {
namespace {

struct Case {
    const char* label;
    std::function<void(EmfWriter&)> setup;
    RectL expected;  // of rectangle(10, 20, 30, 40) after the setup
};

RectL boundsAfter(const std::function<void(EmfWriter&)>& setup, const RectL& box = {10, 20, 30, 40}) {
    // 1280 pixels on 256 mm: five pixels a millimetre, so 0.1 mm is half a pixel.
    EmfWriter w({0, 0, 25600, 25600}, {1280, 1280}, {256, 256});
    setup(w);
    w.rectangle(box);
    auto mf = w.toMetafile();
    EXPECT_TRUE(mf);
    return mf ? mf->header().rclBounds : RectL{};
}

TEST(WriterBounds, FollowTheMappingInForce) {
    const Case cases[] = {
        {"MM_TEXT", [](EmfWriter&) {}, {10, 20, 30, 40}},
        {"viewport origin",
         [](EmfWriter& w) {
             w.setViewportOrg({100, 50});
         },
         {110, 70, 130, 90}},
        {"window origin",
         [](EmfWriter& w) {
             w.setWindowOrg({10, 20});
         },
         {0, 0, 20, 20}},
        {"restored by a relative level",
         [](EmfWriter& w) {
             w.saveDc();
             w.setViewportOrg({100, 50});
             w.restoreDc(-1);
         },
         {10, 20, 30, 40}},
        {"restored by an absolute level",
         [](EmfWriter& w) {
             w.setViewportOrg({1, 1});
             w.saveDc();
             w.setViewportOrg({100, 50});
             w.saveDc();
             w.setViewportOrg({200, 50});
             w.restoreDc(1);
         },
         {11, 21, 31, 41}},
        {"invalid levels change nothing",
         [](EmfWriter& w) {
             w.setViewportOrg({100, 50});
             w.saveDc();
             w.setViewportOrg({0, 0});
             w.restoreDc(0);
             w.restoreDc(2);
             w.restoreDc(-2);
         },
         {10, 20, 30, 40}},
        {"restoring twice needs two saves",
         [](EmfWriter& w) {
             w.saveDc();
             w.setViewportOrg({100, 50});
             w.restoreDc(-1);
             w.setViewportOrg({7, 7});
             w.restoreDc(-1);
         },
         {17, 27, 37, 47}},
        {"left multiply: the new transform first",
         [](EmfWriter& w) {
             w.setWorldTransform(Matrix::scaling(2, 2));
             w.modifyWorldTransform(Matrix::translation(5, 6), gdi::MWT_LEFTMULTIPLY);
         },
         {30, 52, 70, 92}},
        {"right multiply: the new transform last",
         [](EmfWriter& w) {
             w.setWorldTransform(Matrix::scaling(2, 2));
             w.modifyWorldTransform(Matrix::translation(5, 6), gdi::MWT_RIGHTMULTIPLY);
         },
         {25, 46, 65, 86}},
        {"identity",
         [](EmfWriter& w) {
             w.setWorldTransform(Matrix::scaling(2, 2));
             w.modifyWorldTransform(Matrix::translation(5, 6), gdi::MWT_IDENTITY);
         },
         {10, 20, 30, 40}},
        {"set",
         [](EmfWriter& w) {
             w.setWorldTransform(Matrix::scaling(2, 2));
             w.modifyWorldTransform(Matrix::translation(5, 6), gdi::MWT_SET);
         },
         {15, 26, 35, 46}},
        {"anisotropic extents",
         [](EmfWriter& w) {
             w.setMapMode(gdi::MM_ANISOTROPIC);
             w.setWindowExt({100, 100});
             w.setViewportExt({200, 300});
         },
         {20, 60, 60, 120}},
        {"setting the same scalable mode keeps the extents",
         [](EmfWriter& w) {
             w.setMapMode(gdi::MM_ISOTROPIC);
             w.setWindowExt({100, 100});
             w.setViewportExt({200, 200});
             w.setMapMode(gdi::MM_ISOTROPIC);
         },
         {20, 40, 60, 80}},
        {"metric: y grows upwards", [](EmfWriter& w) { w.setMapMode(gdi::MM_LOMETRIC); }, {5, -20, 15, -10}},
        {"wide pen: half its width around",
         [](EmfWriter& w) {
             Pen p;
             p.width = 10;
             w.selectObject(w.createPen(p));
         },
         {5, 15, 35, 45}},
        {"stock pen after a wide one",
         [](EmfWriter& w) {
             Pen p;
             p.width = 10;
             w.selectObject(w.createPen(p));
             w.selectStockObject(StockObject::BLACK_PEN);
         },
         {10, 20, 30, 40}},
        {"wide pen under a scale",
         [](EmfWriter& w) {
             Pen p;
             p.width = 4;
             w.selectObject(w.createPen(p));
             w.setWorldTransform(Matrix::scaling(2, 2));
         },
         {16, 36, 64, 84}},
    };
    for (const auto& c : cases) EXPECT_EQ(boundsAfter(c.setup), c.expected) << c.label;
}

TEST(WriterBounds, CoverEveryShapeDrawn) {
    EmfWriter w({0, 0, 25600, 25600}, {1280, 1280}, {256, 256});
    auto empty = w.toMetafile();
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->header().rclBounds, (RectL{0, 0, -1, -1})) << "nothing drawn";
    w.rectangle({10, 20, 30, 40});
    w.setViewportOrg({-5, 100});
    w.rectangle({0, 0, 1, 1});
    auto mf = w.toMetafile();
    ASSERT_TRUE(mf);
    EXPECT_EQ(mf->header().rclBounds, (RectL{-5, 20, 30, 101}));
}

}  // namespace
}  // namespace metafile
