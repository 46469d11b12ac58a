// renderPage's pixels exactly: a page that is one picture placed pixel for
// pixel on the supersampled drawing surface, so that every output pixel is
// the truncated average of a known N x N block, strip after strip.

#include <gtest/gtest.h>

#include "app/session.h"
#include "metafile/emf_writer.h"
#include "render/bitmap.h"
#include "render/page_renderer.h"
#include "tests/support/recording_ui.h"

namespace render {
namespace {

using testing_support::Progress;

// The reference device draws 100 pixels an inch: a frame of w x h inches
// holds a picture of 100 w x 100 h pixels, one to one.
constexpr int kPerInch = 100;

std::uint32_t patternAt(int x, int y) {
    const std::uint32_t r = (x * 7 + y * 13) % 256, g = (x * 3 + y * 29) % 256, b = ((x ^ y) * 5) % 256;
    return (r << 16) | (g << 8) | b;
}

metafile::Metafile patternPage(int inchesWide, int inchesHigh) {
    const int w = inchesWide * kPerInch, h = inchesHigh * kPerInch;
    metafile::EmfWriter writer({0, 0, inchesWide * 2540, inchesHigh * 2540}, {1000, 1000}, {254, 254});
    metafile::Image32 picture;
    picture.width = w;
    picture.height = h;
    picture.pixels.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) picture.pixels[static_cast<std::size_t>(y * w + x)] = patternAt(x, y);
    }
    writer.stretchDiBits({0, 0, w, h}, picture);
    return writer.toMetafile().value();
}

// The N x N box average of the pattern, truncated, channel by channel.
std::uint32_t expectedAt(int x, int y, int n) {
    std::uint32_t sums[3] = {0, 0, 0};
    for (int dy = 0; dy < n; ++dy) {
        for (int dx = 0; dx < n; ++dx) {
            const std::uint32_t p = patternAt(x * n + dx, y * n + dy);
            sums[0] += (p >> 16) & 0xFF, sums[1] += (p >> 8) & 0xFF, sums[2] += p & 0xFF;
        }
    }
    const auto area = static_cast<std::uint32_t>(n * n);
    return ((sums[0] / area) << 16) | ((sums[1] / area) << 8) | (sums[2] / area);
}

class RenderPixelsTest : public ::testing::Test {
protected:
    app::Session session;
    testing_support::RecordingUi ui;
    PageRenderer renderer{session, ui};

    void SetUp() override {
        Magick::InitializeMagick(nullptr);
        ui.setClientRect(app::UiWindow::MainWindow, {0, 0, 800, 600});
    }
};

TEST_F(RenderPixelsTest, EveryPixelIsItsBlocksTruncatedAverage) {
    struct Case {
        int factor;  // KodAntialias
        int n;       // the supersampling that gives
        int strips;  // of the 1 x 6 inch page
    };
    // The dpi is 100 / n, so the surface is the picture one to one.
    const Case cases[] = {{0, 1, 4}, {1, 1, 4}, {2, 2, 2}, {4, 4, 2}, {5, 5, 2}, {10, 10, 2}, {20, 20, 2}};
    const auto page = patternPage(1, 6);
    std::size_t seen = 0;  // the interface events of the earlier cases
    for (const auto& c : cases) {
        session.RenderOptions.KodAntialias = c.factor;
        const double dpi = double(kPerInch) / c.n;
        const Magick::Image image = renderer.renderPage(dpi, &page);
        const Bitmap b = imageToBitmap(image);
        ASSERT_EQ(b.width, kPerInch / c.n) << c.factor;
        ASSERT_EQ(b.height, 6 * kPerInch / c.n) << c.factor;
        int wrong = 0, firstX = -1, firstY = -1;
        for (int y = 0; y < b.height; ++y) {
            for (int x = 0; x < b.width; ++x) {
                const std::uint32_t px = b.pixels[static_cast<std::size_t>(y * b.width + x)];
                if (px != expectedAt(x, y, c.n)) {
                    if (wrong++ == 0)
                        firstX = x, firstY = y;
                }
            }
        }
        EXPECT_EQ(wrong, 0) << "factor " << c.factor << ": first wrong pixel (" << firstX << ", " << firstY
                            << ")";
        // The library holds each byte as its full-range quantum, opaque.
        const Magick::PixelPacket* q = image.getConstPixels(1, 2, 1, 1);
        const std::uint32_t e = expectedAt(1, 2, c.n);
        EXPECT_EQ(q->red, ((e >> 16) & 0xFF) * 257) << c.factor;
        EXPECT_EQ(q->green, ((e >> 8) & 0xFF) * 257) << c.factor;
        EXPECT_EQ(q->blue, (e & 0xFF) * 257) << c.factor;
        EXPECT_EQ(q->opacity, 0) << c.factor;
        int positions = 0;
        const auto events = ui.events();
        for (std::size_t i = seen; i < events.size(); ++i) {
            const auto& event = events[i];
            if (const auto* p = std::get_if<Progress>(&event); p && p->kind == Progress::Kind::Position)
                ++positions;
        }
        EXPECT_EQ(positions, c.strips) << c.factor << ": strips drawn (an empty last one ends the loop)";
        seen = events.size();
    }
}

TEST_F(RenderPixelsTest, ThumbnailsNeverSupersampleAndKeepTheirScale) {
    const auto page = patternPage(1, 1);
    session.RenderOptions.KodAntialias = 5;
    session.RenderOptions.ScaleCur = 50;
    session.ThumbnailMode = true;
    const Bitmap b = imageToBitmap(renderer.renderPage(100, &page));
    ASSERT_EQ(b.width, 100);
    ASSERT_EQ(b.height, 100);
    EXPECT_EQ(b.pixels[5 * 100 + 7] & 0xFFFFFF, patternAt(7, 5)) << "one to one: no averaging";
}

TEST_F(RenderPixelsTest, SizeRulesAndRefusals) {
    struct Case {
        std::int32_t frameW, frameH;
        double dpi;
        int scale;
        std::size_t columns, rows;  // 0: refused, an empty image
        int widthMm, heightMm;
    };
    const Case cases[] = {
        {2540, 5080, 0, 100, 72, 144, 26, 51},     // dpi 0 counts as 72
        {2540, 5080, -3, 100, 72, 144, 26, 51},    // and so does a negative one
        {2541, 2540, 100, 100, 101, 100, 26, 26},  // a little over: ceil
        {2540, 2540, 100, 99, 99, 99, 26, 26},     // the scale truncates the frame first
        {2540, 2540, 100, 101, 101, 101, 26, 26},  //
        {2539, 2539, 100, 100, 100, 100, 26, 26},  // 99.96 pixels: ceil
        {2540, 2540, 50.7, 100, 51, 51, 26, 26},   //
        {2500, 2600, 100, 100, 99, 103, 25, 26},   // millimetres rounded up
        {2540, 2540, 400'000, 100, 0, 0, 26, 26},  // more than a million pixels a side
        {0, 2540, 100, 100, 0, 0, 0, 26},          // no width
    };
    session.RenderOptions.KodAntialias = 0;
    for (const auto& c : cases) {
        metafile::EmfWriter w({0, 0, c.frameW, c.frameH}, {1000, 1000}, {254, 254});
        const auto page = w.toMetafile().value();
        session.RenderOptions.ScaleCur = c.scale;
        const Magick::Image image = renderer.renderPage(c.dpi, &page);
        EXPECT_EQ(image.columns(), c.columns) << c.frameW << " x " << c.frameH << " at " << c.dpi;
        EXPECT_EQ(image.rows(), c.rows) << c.frameW << " x " << c.frameH << " at " << c.dpi;
        EXPECT_EQ(session.RenderStatus.pageWidthMm, c.widthMm) << c.frameW;
        EXPECT_EQ(session.RenderStatus.pageHeightMm, c.heightMm) << c.frameH;
    }
}

TEST_F(RenderPixelsTest, TheEncodingStepGetsTheCallersDpiAndTheFinishedRaster) {
    const auto page = patternPage(1, 1);
    session.RenderOptions.KodAntialias = 2;
    double seen = -1;
    std::size_t columns = 0;
    std::uint32_t corner = 0;
    renderer.applyEncodingOptions = [&](Magick::Image& image, double dpi) {
        seen = dpi;
        columns = image.columns();
        corner = imageToBitmap(image).pixels[0] & 0xFFFFFF;
    };
    renderer.renderPage(50, &page);
    EXPECT_EQ(seen, 50);
    EXPECT_EQ(columns, 50u);
    EXPECT_EQ(corner, expectedAt(0, 0, 2));
    seen = -1;
    renderer.renderPage(0, &page);
    EXPECT_EQ(seen, 0) << "the caller's dpi, not the 72 of the size";
}

// A page too large for the library's memory limits is kept in a pixel cache
// on disk, where written rows reach the image only when synchronised.
TEST_F(RenderPixelsTest, RowsReachAnImageWhosePixelsTheLibraryKeepsOnDisk) {
    struct Limits {
        MagickCore::MagickSizeType memory = Magick::ResourceLimits::memory(),
                                   map = Magick::ResourceLimits::map(), area = Magick::ResourceLimits::area();
        ~Limits() {
            Magick::ResourceLimits::memory(memory);
            Magick::ResourceLimits::map(map);
            Magick::ResourceLimits::area(area);
        }
    } saved;
    Magick::ResourceLimits::memory(1);
    Magick::ResourceLimits::map(1);
    Magick::ResourceLimits::area(1);
    const auto page = patternPage(1, 3);
    for (int factor : {0, 2}) {
        session.RenderOptions.KodAntialias = factor;
        const int n = factor < 1 ? 1 : factor;
        const Bitmap b = imageToBitmap(renderer.renderPage(double(kPerInch) / n, &page));
        ASSERT_EQ(b.height, 3 * kPerInch / n) << factor;
        int wrong = 0;
        for (int y = 0; y < b.height; ++y) {
            for (int x = 0; x < b.width; ++x)
                wrong += b.pixels[static_cast<std::size_t>(y * b.width + x)] != expectedAt(x, y, n);
        }
        EXPECT_EQ(wrong, 0) << "factor " << factor;
    }
}

TEST(PixelBitmap, BytesRunBlueGreenRedOpacity) {
    Magick::InitializeMagick(nullptr);
    Magick::Image image(Magick::Geometry(2, 1), Magick::Color("white"));
    image.modifyImage();
    Magick::PixelPacket* p = image.setPixels(0, 0, 2, 1);
    p[0].red = 10 * 257, p[0].green = 20 * 257, p[0].blue = 30 * 257, p[0].opacity = 0;
    p[1].red = 255 * 257, p[1].green = 0, p[1].blue = 128 * 257, p[1].opacity = 7 * 257;
    image.syncPixels();
    const Bitmap b = imageToBitmap(image);
    ASSERT_EQ(b.pixels.size(), 2u);
    EXPECT_EQ(b.pixels[0], 0x000A141Eu);
    EXPECT_EQ(b.pixels[1], 0x07FF0080u);
    EXPECT_TRUE(imageToBitmap(Magick::Image()).pixels.empty());
}

}  // namespace
}  // namespace render
