#include "render/page_renderer.h"

#include <gtest/gtest.h>

#include <limits>

#include "app/session.h"
#include "metafile/emf_writer.h"
#include "render/background.h"
#include "render/bitmap.h"
#include "render/date_stamp.h"
#include "tests/metafile/pixel_helpers.h"
#include "tests/support/recording_ui.h"

namespace render {
namespace {

using testing_support::Progress;

metafile::Metafile page(std::int32_t frameW, std::int32_t frameH, bool blackLeftHalf = false) {
    metafile::EmfWriter w({0, 0, frameW, frameH}, {1000, 1000}, {254, 254});
    if (blackLeftHalf) {
        w.selectStockObject(metafile::StockObject::BLACK_BRUSH);
        w.selectStockObject(metafile::StockObject::NULL_PEN);
        // Device pixels of the reference: frame / 25.4 per hundredth of a mm.
        w.rectangle({0, 0, static_cast<std::int32_t>(frameW / 25.4 / 2),
                     static_cast<std::int32_t>(frameH / 25.4) + 2});
    }
    return w.toMetafile().value();
}

TEST(Strips, PlanFollowsTheTableAndEndsOnAnEmptyStrip) {
    struct Case {
        long long rows;
        int n;
        int outputRows, stripHeight, strips;
    };
    const Case cases[] = {{1170, 1, 200, 200, 6}, {400, 1, 200, 200, 3}, {1170, 3, 200, 600, 6},
                          {300, 5, 100, 500, 4},  {300, 7, 80, 560, 4},  {300, 10, 40, 400, 8},
                          {300, 20, 20, 400, 16}};
    for (const auto& c : cases) {
        const StripPlan p = planStrips(c.rows, c.n);
        EXPECT_EQ(p.outputRows, c.outputRows) << c.rows << "/" << c.n;
        EXPECT_EQ(p.stripHeight, c.stripHeight) << c.rows << "/" << c.n;
        EXPECT_EQ(p.strips, c.strips) << c.rows << "/" << c.n;
    }
    // Output rows a strip for every factor: 200 below 4, 100 for 4 and 5, 80
    // for 6 and 7, 60 for 8 and 9, 40 for 10 and 11, 20 from 12 on.
    const int rowsFor[] = {200, 200, 200, 200, 100, 100, 80, 80, 60, 60, 40,
                           40,  20,  20,  20,  20,  20,  20, 20, 20, 20};
    for (int n = 0; n <= 20; ++n) {
        const StripPlan p = planStrips(1000, n);
        const int factor = n < 1 ? 1 : n;
        EXPECT_EQ(p.factor, factor) << n;
        EXPECT_EQ(p.outputRows, rowsFor[n]) << n;
        EXPECT_EQ(p.stripHeight, factor * rowsFor[n]) << n;
        EXPECT_EQ(p.strips, 1000 / rowsFor[n] + 1) << n << ": an exact multiple gives an empty last strip";
    }
    EXPECT_EQ(planStrips(1001, 9).strips, 17) << "the remainder's strip";
    EXPECT_EQ(planStrips(199, 1).strips, 1);
    EXPECT_EQ(planStrips(200, 1).strips, 2);
}

class RendererTest : public ::testing::Test {
protected:
    app::Session session;
    testing_support::RecordingUi ui;
    PageRenderer renderer{session, ui};

    void SetUp() override {
        Magick::InitializeMagick(nullptr);
        ui.setClientRect(app::UiWindow::MainWindow, {0, 0, 800, 600});
    }
};

// A page's image is made unpainted; rows the strips never reached are set
// white, and the rows before them are left as the strips wrote them.
TEST(PageImage, UnfilledImageHasItsSizeAndWhitenedRowsAreOpaqueWhite) {
    Magick::Image image = unfilledImage(5, 4);
    ASSERT_EQ(image.columns(), 5u);
    ASSERT_EQ(image.rows(), 4u);
    EXPECT_FALSE(image.matte()) << "an opaque page";
    Magick::PixelPacket* p = image.setPixels(0, 0, 5, 4);
    for (int i = 0; i < 20; ++i) p[i].red = p[i].green = p[i].blue = 0, p[i].opacity = 0;
    image.syncPixels();
    whitenRows(image, 2);
    const Magick::PixelPacket* q = image.getConstPixels(0, 0, 5, 4);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 5; ++x) {
            const auto& px = q[y * 5 + x];
            const Magick::Quantum want = y < 2 ? 0 : std::numeric_limits<Magick::Quantum>::max();
            EXPECT_EQ(px.red, want) << x << "," << y;
            EXPECT_EQ(px.green, want) << x << "," << y;
            EXPECT_EQ(px.blue, want) << x << "," << y;
            EXPECT_EQ(px.opacity, 0) << x << "," << y;
        }
    }
}

TEST_F(RendererTest, PageSizeFromFrameScaleAndResolution) {
    session.RenderOptions.KodAntialias = 0;
    const auto a4 = page(21000, 29700);
    Magick::Image image = renderer.renderPage(100, &a4);
    EXPECT_EQ(image.columns(), 827u);
    EXPECT_EQ(image.rows(), 1170u);
    EXPECT_EQ(session.RenderStatus.pageWidthMm, 210);
    EXPECT_EQ(session.RenderStatus.pageHeightMm, 297);
    session.RenderOptions.ScaleCur = 50;
    image = renderer.renderPage(100, &a4);
    EXPECT_EQ(image.columns(), 414u);
    EXPECT_EQ(image.rows(), 585u);
    EXPECT_EQ(session.RenderStatus.pageWidthMm, 210) << "the size before scaling";
    // Thumbnails ignore the scale.
    session.ThumbnailMode = true;
    image = renderer.renderPage(50, &a4);
    EXPECT_EQ(image.columns(), 414u);
}

TEST_F(RendererTest, ProgressCountsTheStripsAndTheInfoLineRepaints) {
    session.RenderOptions.KodAntialias = 0;
    const auto p = page(25400, 25400);  // 10 inches: 400 rows at 40 dpi, an exact multiple
    renderer.renderPage(40, &p);
    const auto events = ui.events();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(std::get<Progress>(events.front()).value, 3) << "range: the strip count";
    int positions = 0;
    for (const auto& e : events) {
        if (const auto* pr = std::get_if<Progress>(&e); pr && pr->kind == Progress::Kind::Position)
            ++positions;
    }
    EXPECT_EQ(positions, 3) << "the third strip is empty and ends the loop";
    const auto* last = std::get_if<testing_support::Invalidated>(&events.back());
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->area, (app::UiRect{10, 575, 600, 596}));
}

TEST_F(RendererTest, SupersamplingAveragesBlocks) {
    const auto p = page(2540, 2540, true);  // left half black, 1 inch
    session.RenderOptions.KodAntialias = 0;
    const Bitmap direct = imageToBitmap(renderer.renderPage(50, &p));
    session.RenderOptions.KodAntialias = 4;
    const Bitmap smooth = imageToBitmap(renderer.renderPage(50, &p));
    ASSERT_EQ(direct.width, 50);
    ASSERT_EQ(smooth.width, 50);
    auto grey = [](const Bitmap& b, int x, int y) {
        return static_cast<int>(b.pixels[static_cast<std::size_t>(y * b.width + x)] & 0xFF);
    };
    EXPECT_EQ(grey(direct, 5, 25), 0);
    EXPECT_EQ(grey(direct, 45, 25), 255);
    EXPECT_EQ(grey(smooth, 5, 25), 0);
    EXPECT_EQ(grey(smooth, 45, 25), 255);
    int between = 0;
    for (int x = 0; x < 50; ++x) between += grey(smooth, x, 25) > 0 && grey(smooth, x, 25) < 255;
    EXPECT_LE(between, 1) << "an edge on a block boundary stays sharp, otherwise one grey pixel";
}

TEST_F(RendererTest, NoMetafileDrawsTheNotice) {
    const Bitmap b = imageToBitmap(renderer.renderPage(96, nullptr));
    EXPECT_EQ(b.width, 250);
    EXPECT_EQ(b.height, 200);
    int ink = 0;
    for (auto p : b.pixels) ink += (p & 0xFFFFFF) != 0xFFFFFF;
    EXPECT_GT(ink, 50) << "\"This format not supported!\"";
}

TEST(Background, StylesAndTheHatchGrid) {
    using namespace metafile::testing;
    struct Case {
        int style;
        std::uint32_t corner;  // pixel (4, 3), between the hatch lines
        bool lines;
    };
    const Case cases[] = {{100, 0xFFFFFF, false},
                          {150, 0xFFFFFF, false},
                          {99, 0x80FF80, false},
                          {3, 0x80FF80, false},
                          {4, 0x80FF80, true}};
    for (const auto& c : cases) {
        app::Session session;
        session.RenderOptions.lvBkGrHathStyle = c.style;
        session.RenderOptions.KodAntialias = 1;
        auto dib = whiteBitmap(40, 40);
        metafile::Dc dc(dib);
        drawBackground(session, dc, {0, 0, 40, 40}, 0, -1, -1, -1);
        EXPECT_EQ(at(dib, 4, 3), c.corner) << c.style;
        int hatch = countColour(dib, 0x3E3EA8);
        EXPECT_EQ(hatch > 0, c.lines) << c.style;
    }
    // Angle 0: lines 8 pixels apart both ways.
    app::Session session;
    session.RenderOptions.lvBkGrHathStyle = 4;
    session.RenderOptions.KodAntialias = 1;
    auto dib = whiteBitmap(40, 40);
    metafile::Dc dc(dib);
    drawBackground(session, dc, {0, 0, 40, 40}, 0, -1, -1, -1);
    int vertical = 0;
    for (int x = 0; x < 40; ++x) vertical += at(dib, x, 3) == 0x3E3EA8u;
    EXPECT_EQ(vertical, 5);
}

}  // namespace
}  // namespace render

namespace render {
namespace {

TEST_F(RendererTest, DateStampLandsAtTheTopLeftOfTheFirstStripOnly) {
    const auto p = page(25400, 25400);  // 10 inches
    session.RenderOptions.KodAntialias = 0;
    session.RenderOptions.lvIncludeDateTime = true;
    renderer.dateStamp = [] { return std::string("08.12.2026 16:30"); };
    const Bitmap b = imageToBitmap(renderer.renderPage(50, &p));
    auto inkIn = [&](int x1, int y1, int x2, int y2) {
        int n = 0;
        for (int y = y1; y < y2; ++y) {
            for (int x = x1; x < x2; ++x)
                n += (b.pixels[static_cast<std::size_t>(y * b.width + x)] & 0xFFFFFF) != 0xFFFFFF;
        }
        return n;
    };
    EXPECT_GT(inkIn(0, 0, 120, 15), 20) << "the stamp";
    EXPECT_EQ(inkIn(0, 15, 500, 500), 0) << "nothing else on the page";
    session.ThumbnailMode = true;
    const Bitmap thumb = imageToBitmap(renderer.renderPage(50, &p));
    int thumbInk = 0;
    for (auto px : thumb.pixels) thumbInk += (px & 0xFFFFFF) != 0xFFFFFF;
    EXPECT_EQ(thumbInk, 0) << "no stamp on thumbnails";
}

}  // namespace
}  // namespace render

namespace render {
namespace {

TEST_F(RendererTest, DateStampIsAntialiasedAtFactor0Only) {
    const auto p = page(25400, 2540);  // 10 x 1 inches
    session.RenderOptions.lvIncludeDateTime = true;
    renderer.dateStamp = [] { return std::string("08.12.2026 16:30"); };
    struct Case {
        int factor;
        bool greys;  // levels between black and white in the stamp
        const char* label;
    };
    const Case cases[] = {{0, true, "factor 0: the antialiased font"},
                          {1, false, "factor 1: drawn as the device draws text"}};
    for (const auto& c : cases) {
        session.RenderOptions.KodAntialias = c.factor;
        const Bitmap b = imageToBitmap(renderer.renderPage(50, &p));
        int ink = 0, greys = 0;
        for (int y = 0; y < 20; ++y) {
            for (int x = 0; x < 200; ++x) {
                const std::uint32_t v = b.pixels[static_cast<std::size_t>(y * b.width + x)] & 0xFF;
                ink += v < 255;
                greys += v > 0 && v < 255;
            }
        }
        EXPECT_GT(ink, 20) << c.label;
        EXPECT_EQ(greys > ink / 4, c.greys) << c.label << ": " << greys << " of " << ink;
    }
    EXPECT_EQ(dateStampHeight(0), -11);
    EXPECT_EQ(dateStampHeight(1), -12);
    EXPECT_EQ(dateStampHeight(7), -72);
}

TEST_F(RendererTest, LayoutRefusesPagesPastTheLimitsAndKeepsThoseAtThem) {
    struct Case {
        std::int32_t frameW, frameH;  // hundredths of a millimetre
        double dpi;
        int factor;               // KodAntialias
        long long columns, rows;  // 0: refused
    };
    // x.5 dpi keeps the products clear of whole numbers: ceil is exact.
    const Case cases[] = {
        {2540, 2540, 999'999.5, 0, 1'000'000, 1'000'000},  // a million pixels a side
        {2540, 254, 1'000'000.5, 0, 0, 0},                 // one more column
        {254, 2540, 1'000'000.5, 0, 0, 0},                 // one more row
        {2540, 254, 524'287.5, 512, 524'288, 52'429},      // 2^28 supersampled pixels in a row
        {2540, 254, 524'288.5, 512, 0, 0},                 // one more
        {2540, 254, 524'288.5, 1, 524'289, 52'429},        // factor 1 keeps them
    };
    for (const auto& c : cases) {
        metafile::EmfWriter w({0, 0, c.frameW, c.frameH}, {1000, 1000}, {254, 254});
        const auto p = w.toMetafile().value();
        session.RenderOptions.KodAntialias = c.factor;
        const auto layout = renderer.layoutPage(c.dpi, &p);
        if (c.columns == 0) {
            EXPECT_FALSE(layout) << c.frameW << " x " << c.frameH << " at " << c.dpi << ", factor "
                                 << c.factor;
            continue;
        }
        ASSERT_TRUE(layout) << c.frameW << " x " << c.frameH << " at " << c.dpi << ", factor " << c.factor;
        EXPECT_EQ(layout->columns, c.columns) << c.dpi;
        EXPECT_EQ(layout->rows, c.rows) << c.dpi;
        EXPECT_EQ(layout->plan.factor, c.factor < 2 ? 1 : c.factor) << c.dpi;
    }
}

}  // namespace
}  // namespace render
