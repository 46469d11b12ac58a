// The strips of a page are the same pixels however they are drawn: with the
// working memory of earlier strips (and pages) or a fresh one for each, on
// one thread or several, and the reduction is the exact truncated average of
// every block.

#include "render/strip_threads.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "app/session.h"
#include "metafile/emf_writer.h"
#include "render/bitmap.h"
#include "render/box_average.h"
#include "tests/support/recording_ui.h"

namespace render {
namespace {

using metafile::PointL;

// Two by three inches of shapes, wide and thin lines across several strips,
// a hatched brush and text.
metafile::Metafile busyPage() {
    metafile::EmfWriter w({0, 0, 5080, 7620}, {1000, 1000}, {254, 254});
    metafile::Pen wide;
    wide.color = metafile::rgb(200, 30, 30);
    wide.width = 9;
    const auto widePen = w.createPen(wide);
    metafile::Pen thin;
    thin.color = metafile::rgb(20, 20, 160);
    const auto thinPen = w.createPen(thin);
    metafile::Brush hatched;
    hatched.style = metafile::gdi::BS_HATCHED;
    hatched.hatch = 5;
    hatched.color = metafile::rgb(0, 120, 0);
    const auto hatchBrush = w.createBrush(hatched);
    w.selectObject(widePen);
    w.moveTo({5, 5});
    w.lineTo({195, 295});
    w.moveTo({190, 10});
    w.lineTo({12, 280});
    w.selectObject(hatchBrush);
    w.ellipse({20, 40, 170, 250});
    w.selectObject(thinPen);
    const PointL zigzag[] = {{0, 150}, {40, 20}, {80, 290}, {120, 30}, {160, 260}, {199, 100}};
    w.polyline(zigzag);
    w.selectStockObject(metafile::StockObject::GRAY_BRUSH);
    const PointL star[] = {{100, 60}, {130, 200}, {20, 110}, {180, 110}, {70, 200}};
    w.polygon(star);
    w.setBkMode(metafile::gdi::TRANSPARENT);
    w.extTextOut({30, 140}, u"Strips alike");
    return w.toMetafile().value();
}

struct Fixture {
    app::Session session;
    testing_support::RecordingUi ui;
    PageRenderer renderer{session, ui};
    Fixture(int factor, bool hatch) {
        Magick::InitializeMagick(nullptr);
        session.RenderOptions.KodAntialias = factor;
        if (hatch) {
            session.RenderOptions.lvBkGrHathStyle = 4;
            session.RenderOptions.lvHatchWidth = 1;
            session.RenderOptions.lvHatchAngle = 30;
        }
    }
};

TEST(StripWorkspace, ReusedMemoryGivesTheRowsOfAFreshStrip) {
    const auto page = busyPage();
    for (const bool hatch : {false, true}) {
        Fixture f(7, hatch);
        const auto layout = f.renderer.layoutPage(60, &page);
        ASSERT_TRUE(layout);
        ASSERT_GE(layout->plan.strips, 3);
        // The workspace first draws a strip of another page at another size,
        // so that every pixel it holds is left over from something else.
        StripWorkspace kept;
        {
            Fixture other(3, !hatch);
            other.session.RenderOptions.lvBkGrHathStyle = 1;
            const auto otherLayout = other.renderer.layoutPage(150, &page);
            StripRows scrap;
            ASSERT_TRUE(other.renderer.renderStrip(*otherLayout, 1, &page, "stamp", scrap, kept));
        }
        for (int i = 0; i < layout->plan.strips; ++i) {
            StripRows fresh, reused;
            ASSERT_TRUE(f.renderer.renderStrip(*layout, i, &page, std::string(), fresh));
            ASSERT_TRUE(f.renderer.renderStrip(*layout, i, &page, std::string(), reused, kept));
            EXPECT_EQ(fresh.first, reused.first);
            EXPECT_EQ(fresh.count, reused.count);
            EXPECT_TRUE(fresh.pixels == reused.pixels) << "strip " << i << (hatch ? " hatched" : "");
        }
    }
}

TEST(StripThreads, EveryThreadCountHandsOnTheSameRowsInOrder) {
    const auto page = busyPage();
    Fixture f(7, true);
    const auto layout = f.renderer.layoutPage(60, &page);
    ASSERT_TRUE(layout);
    std::vector<std::vector<std::uint32_t>> single;
    for (const int threads : {1, 2, 3, 8}) {
        std::vector<int> order;
        std::vector<std::vector<std::uint32_t>> rows;
        const auto outcome = drawStrips(f.renderer, *layout, &page, "12.3.2026 10:00", threads, nullptr,
                                        [&](int index, const StripRows& strip) {
                                            order.push_back(index);
                                            rows.push_back(strip.pixels);
                                            return true;
                                        });
        ASSERT_EQ(outcome, StripsOutcome::Done) << threads;
        ASSERT_EQ(static_cast<int>(order.size()), layout->plan.strips) << threads;
        for (int i = 0; i < static_cast<int>(order.size()); ++i) EXPECT_EQ(order[i], i) << threads;
        if (threads == 1)
            single = rows;
        else
            EXPECT_TRUE(rows == single) << threads << " threads";
    }
    // The sink stops the page: no strip after it arrives.
    for (const int threads : {1, 3}) {
        int seen = 0;
        const auto outcome = drawStrips(f.renderer, *layout, &page, std::string(), threads, nullptr,
                                        [&](int, const StripRows&) { return ++seen < 2; });
        EXPECT_EQ(outcome, StripsOutcome::Stopped);
        EXPECT_EQ(seen, 2) << threads;
    }
}

TEST(StripThreads, RenderPageOnSeveralThreadsIsThePageOfOneAndProgressesInOrder) {
    const auto page = busyPage();
    std::vector<std::uint32_t> first;
    for (const int threads : {1, 3, 1}) {
        Fixture f(5, true);
        f.session.RenderOptions.lvIncludeDateTime = true;
        f.renderer.dateStamp = [] { return std::string("1.2.2026 3:04"); };
        f.renderer.stripThreads = threads;
        const Bitmap image = imageToBitmap(f.renderer.renderPage(90, &page));
        ASSERT_GT(image.width, 0);
        std::vector<int> positions;
        for (const auto& e : f.ui.events()) {
            if (const auto* p = std::get_if<testing_support::Progress>(&e);
                p != nullptr && p->kind == testing_support::Progress::Kind::Position)
                positions.push_back(p->value);
        }
        ASSERT_FALSE(positions.empty());
        for (int i = 0; i < static_cast<int>(positions.size()); ++i) EXPECT_EQ(positions[i], i) << threads;
        if (first.empty())
            first = image.pixels;
        else
            EXPECT_TRUE(image.pixels == first) << threads << " threads, or a second run";
    }
}

// Every block's channels summed and divided by the area, truncated, the top
// byte zero: the reduction as a loop over each pixel of each block.
std::vector<std::uint32_t> plainAverage(const std::vector<std::uint32_t>& in, long long columns, int rows,
                                        int n) {
    std::vector<std::uint32_t> out(static_cast<std::size_t>(columns * (rows / n)));
    const long long width = columns * n;
    for (int y = 0; y < rows / n; ++y) {
        for (long long x = 0; x < columns; ++x) {
            std::uint32_t sum[3] = {0, 0, 0};
            for (int dy = 0; dy < n; ++dy) {
                for (int dx = 0; dx < n; ++dx) {
                    const std::uint32_t p = in[static_cast<std::size_t>((y * n + dy) * width + x * n + dx)];
                    for (int c = 0; c < 3; ++c) sum[c] += (p >> (8 * c)) & 0xFF;
                }
            }
            const std::uint32_t area = static_cast<std::uint32_t>(n * n);
            out[static_cast<std::size_t>(y * columns + x)] =
                (sum[0] / area) | ((sum[1] / area) << 8) | ((sum[2] / area) << 16);
        }
    }
    return out;
}

TEST(BoxAverage, TruncatedMeanOfEveryBlockForEveryFactor) {
    std::mt19937 random(7);
    std::vector<std::uint16_t> scratch;
    for (int n = 2; n <= 20; ++n) {
        const long long columns = 37;
        const int rows = 2 * n;
        std::vector<std::uint32_t> in(static_cast<std::size_t>(columns * n * rows));
        for (auto& p : in) p = random();
        // Blocks of the extremes, where a rounding error would show first.
        for (int dy = 0; dy < n; ++dy) {
            for (int dx = 0; dx < n; ++dx) {
                in[static_cast<std::size_t>(dy * columns * n + dx)] = 0xFFFFFFFF;
                in[static_cast<std::size_t>(dy * columns * n + n + dx)] = 0;
            }
        }
        std::vector<std::uint32_t> out(static_cast<std::size_t>(columns * 2));
        boxAverage(in.data(), columns * n, rows, n, columns, out.data(), columns, scratch);
        EXPECT_TRUE(out == plainAverage(in, columns, rows, n)) << "factor " << n;
    }
    // Every sum a block can have, for the common factors: block x holds the
    // sum x in blue, 2x in green and 3x in red (up to the largest).
    for (const int n : {2, 3, 5, 7}) {
        const int area = n * n, most = 255 * area;
        const long long columns = most + 1;
        std::vector<std::uint32_t> in(static_cast<std::size_t>(columns * n * n));
        for (long long x = 0; x < columns; ++x) {
            const long long sums[3] = {x, std::min<long long>(2 * x, most), std::min<long long>(3 * x, most)};
            for (int i = 0; i < area; ++i) {
                std::uint32_t pixel = 0;
                for (int c = 0; c < 3; ++c) {
                    const long long q = sums[c] / area, r = sums[c] % area;
                    pixel |= static_cast<std::uint32_t>(q + (i < r ? 1 : 0)) << (8 * c);
                }
                in[static_cast<std::size_t>((i / n) * columns * n + x * n + i % n)] = pixel;
            }
        }
        std::vector<std::uint32_t> out(static_cast<std::size_t>(columns));
        boxAverage(in.data(), columns * n, n, n, columns, out.data(), columns, scratch);
        EXPECT_TRUE(out == plainAverage(in, columns, n, n)) << "factor " << n;
    }
}

}  // namespace
}  // namespace render
