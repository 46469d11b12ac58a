// The affine matrix of the page and the mapping modes: exact matrices for each
// mode on a known reference device, extents that only the scalable modes take,
// the isotropic correction and ScaleWindowExtEx / ScaleViewportExtEx.

#include "metafile/mapping.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <utility>

namespace metafile {
namespace {

// 1000 x 800 pixels on 250 x 200 mm: 4 pixels a millimetre both ways.
ReferenceDevice device() {
    return ReferenceDevice{1000, 800, 250, 200};
}

void expectMatrix(const Matrix& got, const Matrix& want, const std::string& what) {
    EXPECT_DOUBLE_EQ(got.eM11, want.eM11) << what;
    EXPECT_DOUBLE_EQ(got.eM12, want.eM12) << what;
    EXPECT_DOUBLE_EQ(got.eM21, want.eM21) << what;
    EXPECT_DOUBLE_EQ(got.eM22, want.eM22) << what;
    EXPECT_DOUBLE_EQ(got.eDx, want.eDx) << what;
    EXPECT_DOUBLE_EQ(got.eDy, want.eDy) << what;
}

TEST(Geometry, ProductAppliesTheFirstMatrixFirst) {
    const Matrix a{2, 3, 5, 7, 11, 13};
    const Matrix b{17, 19, 23, 29, 31, 37};
    const Matrix ab = a.then(b);
    // Worked out by hand from x' = x*eM11 + y*eM21 + eDx, y' = x*eM12 + y*eM22 + eDy.
    expectMatrix(ab,
                 Matrix{2 * 17 + 3 * 23, 2 * 19 + 3 * 29, 5 * 17 + 7 * 23, 5 * 19 + 7 * 29,
                        11 * 17 + 13 * 23 + 31, 11 * 19 + 13 * 29 + 37},
                 "a then b");
    for (const PointD p : {PointD{0, 0}, PointD{1, 0}, PointD{0, 1}, PointD{-3, 4.5}}) {
        const PointD direct = b.apply(a.apply(p));
        const PointD folded = ab.apply(p);
        EXPECT_DOUBLE_EQ(folded.x, direct.x);
        EXPECT_DOUBLE_EQ(folded.y, direct.y);
    }
    const PointD v = a.applyLinear({1, 2});
    EXPECT_DOUBLE_EQ(v.x, 2 + 2 * 5);
    EXPECT_DOUBLE_EQ(v.y, 3 + 2 * 7);
}

TEST(Geometry, InverseUndoesTheMatrix) {
    const Matrix m{2, 1, -1, 3, 10, -4};  // determinant 7
    EXPECT_DOUBLE_EQ(m.determinant(), 7);
    EXPECT_DOUBLE_EQ(m.meanScale(), std::sqrt(7.0));
    const auto inv = m.inverse();
    ASSERT_TRUE(inv);
    expectMatrix(
        *inv, Matrix{3.0 / 7, -1.0 / 7, 1.0 / 7, 2.0 / 7, (-1 * -4 - 3 * 10) / 7.0, (1 * 10 - 2 * -4) / 7.0},
        "inverse");
    const Matrix identity = m.then(*inv);
    for (const double e :
         {identity.eM11 - 1, identity.eM12, identity.eM21, identity.eM22 - 1, identity.eDx, identity.eDy})
        EXPECT_NEAR(e, 0, 1e-12);
    EXPECT_FALSE((Matrix{1, 2, 2, 4, 0, 0}).inverse()) << "singular";
    EXPECT_FALSE((Matrix{1, 0, 0, 1, NAN, 0}).inverse()) << "not finite";
    EXPECT_FALSE((Matrix{1e-7, 0, 0, 1e-7, 0, 0}).invertible());
    EXPECT_TRUE((Matrix{1e-5, 0, 0, 1e-5, 0, 0}).invertible());
}

TEST(Mapping, EachModeMapsMillimetresOntoTheReferenceDevice) {
    struct Case {
        int mode;
        double unitsPerMm;  // logical units a millimetre
    };
    const Case cases[] = {
        {gdi::MM_LOMETRIC, 10},           {gdi::MM_HIMETRIC, 100},      {gdi::MM_LOENGLISH, 100 / 25.4},
        {gdi::MM_HIENGLISH, 1000 / 25.4}, {gdi::MM_TWIPS, 1440 / 25.4}, {gdi::MM_ISOTROPIC, 10},
    };
    for (const auto& c : cases) {
        MappingState m;
        ASSERT_TRUE(m.setMapMode(c.mode, device())) << c.mode;
        EXPECT_EQ(m.mode, c.mode);
        // The extents exactly: 250 x 200 mm in logical units, 1000 x 800
        // pixels (the English modes and twips on a 254 multiplier).
        const double windowPerMm = c.mode == gdi::MM_LOENGLISH   ? 1000
                                   : c.mode == gdi::MM_HIENGLISH ? 10000
                                   : c.mode == gdi::MM_TWIPS     ? 14400
                                                                 : c.unitsPerMm;
        const int viewportMul = windowPerMm == c.unitsPerMm ? 1 : 254;
        EXPECT_EQ(m.windowExt, (SizeL{static_cast<std::int32_t>(250 * windowPerMm),
                                      static_cast<std::int32_t>(200 * windowPerMm)}))
            << c.mode;
        EXPECT_EQ(m.viewportExt, (SizeL{1000 * viewportMul, -800 * viewportMul})) << c.mode;
        const Matrix d = m.toDevice();
        // 4 pixels a millimetre; y grows upwards in every metric mode.
        EXPECT_NEAR(d.eM11, 4 / c.unitsPerMm, 1e-3 * 4 / c.unitsPerMm) << c.mode;
        EXPECT_NEAR(d.eM22, -4 / c.unitsPerMm, 1e-3 * 4 / c.unitsPerMm) << c.mode;
        EXPECT_EQ(d.eM12, 0);
        EXPECT_EQ(d.eM21, 0);
    }
    MappingState m;
    ASSERT_TRUE(m.setMapMode(gdi::MM_LOMETRIC, device()));
    EXPECT_EQ(m.windowExt, (SizeL{2500, 2000}));
    EXPECT_EQ(m.viewportExt, (SizeL{1000, -800}));
    ASSERT_TRUE(m.setMapMode(gdi::MM_TWIPS, device()));
    EXPECT_EQ(m.windowExt, (SizeL{3600000, 2880000}));
    EXPECT_EQ(m.viewportExt, (SizeL{254000, -203200}));
    ASSERT_TRUE(m.setMapMode(gdi::MM_ANISOTROPIC, device()));
    EXPECT_EQ(m.windowExt, (SizeL{3600000, 2880000})) << "anisotropic keeps the extents it finds";
    ASSERT_TRUE(m.setMapMode(gdi::MM_TEXT, device()));
    EXPECT_EQ(m.windowExt, (SizeL{1, 1}));
    EXPECT_EQ(m.viewportExt, (SizeL{1, 1}));
    EXPECT_FALSE(m.setMapMode(0, device()));
    EXPECT_FALSE(m.setMapMode(9, device()));
    EXPECT_EQ(m.mode, gdi::MM_TEXT) << "an unknown mode changes nothing";
}

TEST(Mapping, OriginsExtentsAndWorldFoldIntoOneMatrix) {
    MappingState m;
    ASSERT_TRUE(m.setMapMode(gdi::MM_ANISOTROPIC, device()));
    ASSERT_TRUE(m.setWindowExt({200, 100}, device()));
    ASSERT_TRUE(m.setViewportExt({400, -300}, device()));
    m.windowOrg = {10, 20};
    m.viewportOrg = {5, 7};
    // x' = 5 + 2 (x - 10), y' = 7 - 3 (y - 20)
    expectMatrix(m.toDevice(), Matrix{2, 0, 0, -3, 5 - 20, 7 + 60}, "window to viewport");
    m.world = Matrix{0, 1, -1, 0, 3, 4};  // a quarter turn, then moved
    // world (x, y) -> (-y + 3, x + 4), then the page mapping above.
    const PointD p = m.toDevice().apply({1, 2});
    EXPECT_DOUBLE_EQ(p.x, 5 + 2 * ((-2 + 3) - 10));
    EXPECT_DOUBLE_EQ(p.y, 7 - 3 * ((1 + 4) - 20));
}

TEST(Mapping, OnlyScalableModesTakeExtents) {
    MappingState m;
    EXPECT_FALSE(m.setWindowExt({5, 5}, device())) << "MM_TEXT";
    EXPECT_FALSE(m.setViewportExt({5, 5}, device()));
    EXPECT_FALSE(m.scaleExt(false, 2, 1, 2, 1, device()));
    EXPECT_EQ(m.windowExt, (SizeL{1, 1}));
    ASSERT_TRUE(m.setMapMode(gdi::MM_HIMETRIC, device()));
    EXPECT_FALSE(m.setWindowExt({5, 5}, device())) << "a metric mode";
    ASSERT_TRUE(m.setMapMode(gdi::MM_ANISOTROPIC, device()));
    EXPECT_FALSE(m.setWindowExt({0, 5}, device())) << "zero extent";
    EXPECT_FALSE(m.setWindowExt({5, 0}, device()));
    EXPECT_FALSE(m.setViewportExt({0, 5}, device()));
    EXPECT_FALSE(m.setViewportExt({5, 0}, device()));
    EXPECT_TRUE(m.setWindowExt({5, 6}, device()));
    EXPECT_TRUE(m.setViewportExt({-7, 8}, device()));
    EXPECT_EQ(m.windowExt, (SizeL{5, 6}));
    EXPECT_EQ(m.viewportExt, (SizeL{-7, 8})) << "anisotropic takes extents as given";
}

TEST(Mapping, IsotropicShrinksTheLongerViewportExtent) {
    struct Case {
        SizeL window;
        SizeL viewport;
        SizeL expected;
    };
    const Case cases[] = {
        {{100, 100}, {400, 200}, {200, 200}},    // x would be stretched: shrunk
        {{100, 100}, {200, 400}, {200, 200}},    // y would be stretched: shrunk
        {{100, 100}, {-400, 200}, {-200, 200}},  // the sign is kept
        {{100, 100}, {200, -400}, {200, -200}},
        {{100, 200}, {300, 300}, {150, 300}},  // x: 3 px a unit, y: 1.5
        {{1000, 1}, {1, 1000}, {1, 1}},        // rounds to nothing: one pixel stays
        {{1000, 1}, {-1, 1000}, {-1, 1}},
        {{1, 1000}, {1000, -1}, {1, -1}},
        {{100, 100}, {300, 300}, {300, 300}},  // already square
        {{100, 100}, {301, 300}, {300, 300}},  // rounded to the nearest
        {{300, 100}, {100, 100}, {100, 33}},   // 33.3 rounds down
        {{300, 200}, {100, 100}, {100, 67}},   // 66.7 rounds up
    };
    for (const auto& c : cases) {
        MappingState m;
        ASSERT_TRUE(m.setMapMode(gdi::MM_ISOTROPIC, device()));
        ASSERT_TRUE(m.setWindowExt(c.window, device()));
        ASSERT_TRUE(m.setViewportExt(c.viewport, device()));
        EXPECT_EQ(m.viewportExt, c.expected)
            << c.window.cx << "x" << c.window.cy << " -> " << c.viewport.cx << "x" << c.viewport.cy;
        EXPECT_EQ(m.windowExt, c.window);
    }
    // A reference device with unequal pixels: 2 px/mm across, 4 px/mm down.
    const ReferenceDevice tall{500, 800, 250, 200};
    MappingState m;
    ASSERT_TRUE(m.setMapMode(gdi::MM_ISOTROPIC, tall));
    ASSERT_TRUE(m.setWindowExt({100, 100}, tall));
    ASSERT_TRUE(m.setViewportExt({200, 200}, tall));
    EXPECT_EQ(m.viewportExt, (SizeL{100, 200}))
        << "a unit as wide as high in millimetres: y needs twice the pixels";
}

TEST(Mapping, ScalingExtentsRoundsAndNeverReachesZero) {
    struct Case {
        bool viewport;
        int xNum, xDen, yNum, yDen;
        SizeL window;
        SizeL viewportExt;
    };
    // From window 100 x 60, viewport 40 x 30 in MM_ANISOTROPIC.
    const Case cases[] = {
        {false, 3, 2, 1, 3, {150, 20}, {40, 30}},
        {true, 3, 2, 1, 3, {100, 60}, {60, 10}},
        {true, -1, 1, 1, 2, {100, 60}, {-40, 15}},
        {true, 1, 3, 1, 4, {100, 60}, {13, 8}},  // 13.3 down, 7.5 up
        {true, 1, 1000, 1, 1000, {100, 60}, {1, 1}},
        {true, 1, -1000, 1, 1000, {100, 60}, {1, 1}},  // -0.04 rounds to 0, kept at 1
    };
    for (const auto& c : cases) {
        MappingState m;
        ASSERT_TRUE(m.setMapMode(gdi::MM_ANISOTROPIC, device()));
        ASSERT_TRUE(m.setWindowExt({100, 60}, device()));
        ASSERT_TRUE(m.setViewportExt({40, 30}, device()));
        ASSERT_TRUE(m.scaleExt(c.viewport, c.xNum, c.xDen, c.yNum, c.yDen, device()));
        EXPECT_EQ(m.windowExt, c.window) << c.xNum << "/" << c.xDen;
        EXPECT_EQ(m.viewportExt, c.viewportExt) << c.xNum << "/" << c.xDen;
    }
    MappingState m;
    ASSERT_TRUE(m.setMapMode(gdi::MM_ANISOTROPIC, device()));
    for (const auto& f :
         {std::array{0, 1, 1, 1}, std::array{1, 0, 1, 1}, std::array{1, 1, 0, 1}, std::array{1, 1, 1, 0}}) {
        EXPECT_FALSE(m.scaleExt(true, f[0], f[1], f[2], f[3], device()));
    }
    // Isotropic corrects after scaling.
    ASSERT_TRUE(m.setMapMode(gdi::MM_ISOTROPIC, device()));
    ASSERT_TRUE(m.setWindowExt({100, 100}, device()));
    ASSERT_TRUE(m.setViewportExt({100, 100}, device()));
    ASSERT_TRUE(m.scaleExt(true, 2, 1, 1, 1, device()));
    EXPECT_EQ(m.viewportExt, (SizeL{100, 100}));
}

TEST(Mapping, ReferenceDeviceComesFromTheHeader) {
    EmfHeader h;
    h.szlDevice = {2000, 1000};
    h.szlMillimeters = {400, 300};
    const auto d = ReferenceDevice::of(h);
    EXPECT_EQ(d.pxX, 2000);
    EXPECT_EQ(d.pxY, 1000);
    EXPECT_EQ(d.mmX, 400);
    EXPECT_EQ(d.mmY, 300);
    for (const auto& [device, mm] :
         {std::pair{SizeL{0, 1000}, SizeL{400, 300}}, std::pair{SizeL{2000, 0}, SizeL{400, 300}},
          std::pair{SizeL{2000, 1000}, SizeL{0, 300}}, std::pair{SizeL{2000, 1000}, SizeL{400, 0}}}) {
        h.szlDevice = device;
        h.szlMillimeters = mm;
        const auto fallback = ReferenceDevice::of(h);
        EXPECT_EQ(fallback.pxX, 1024);
        EXPECT_EQ(fallback.pxY, 768);
        EXPECT_DOUBLE_EQ(fallback.mmX, 1024 * 25.4 / 96);
    }
}

}  // namespace
}  // namespace metafile
