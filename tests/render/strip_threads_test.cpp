// The strips of a page are the same pixels however they are drawn: with the
// working memory of earlier strips (and pages) or a fresh one for each, on
// one thread or several, and the reduction is the exact truncated average of
// every block.

#include "render/strip_threads.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <new>
#include <random>
#include <vector>

#include "app/session.h"
#include "metafile/emf_writer.h"
#include "metafile/metafile.h"
#include "render/bitmap.h"
#include "render/box_average.h"
#include "tests/support/recording_ui.h"
#include "tests/support/sanitizers.h"

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

TEST(StripWorkspace, PagesOneAfterAnotherShareWorkspacesWithinTheirBound) {
    StripWorkspace* first = nullptr;
    {
        const auto lease = StripWorkspace::lease();
        first = lease.get();
        ASSERT_TRUE(lease->band(100, 10, 0, 10));
    }
    auto again = StripWorkspace::lease();
    EXPECT_EQ(again.get(), first) << "the workspace of the page before is used again";
    // One grown past the bound is let go rather than kept for the next page.
    constexpr int kWidth = 4096;
    const int rows = static_cast<int>(StripWorkspace::kKeptBytes / (kWidth * 4)) + 1;
    ASSERT_TRUE(again->band(kWidth, rows, 0, rows));
    again.reset();
    for (int i = 0; i < 8; ++i) {
        const auto next = StripWorkspace::lease();
        const metafile::DibSection* band = next->band(1, 1, 0, 1);
        ASSERT_TRUE(band);
        EXPECT_LE(band->heldBytes(), StripWorkspace::kKeptBytes) << "lease " << i;
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

// A strip that fails by an exception (here its rows cannot be held) throws
// from drawStrips on any number of threads, as it does on one; the sink
// sees no strip.
TEST(StripThreads, AStripThatThrowsThrowsFromEveryThreadCount) {
#if defined(SCRIVLET_SANITIZED)
    GTEST_SKIP() << "an allocation the sanitizer's allocator refuses";
#endif
    const auto page = busyPage();
    Fixture f(7, false);
    auto layout = f.renderer.layoutPage(60, &page);
    ASSERT_TRUE(layout);
    ASSERT_GT(layout->plan.strips, 2);
    layout->columns = 1ll << 50;  // rows of a petabyte each
    for (const int threads : {1, 2, 4}) {
        int seen = 0;
        EXPECT_THROW(drawStrips(f.renderer, *layout, &page, std::string(), threads, nullptr,
                                [&](int, const StripRows&) { return ++seen > 0; }),
                     std::bad_alloc)
            << threads << " threads";
        EXPECT_EQ(seen, 0) << threads << " threads";
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

// Paper with a pixel of ink here and there: blocks of one colour take their
// colour (the top byte cleared), and a single pixel anywhere in a run of
// paper, first or last, in the first row of its blocks or the last, still
// counts.
TEST(BoxAverage, PaperWithSinglePixelsOfInk) {
    std::vector<std::uint16_t> scratch;
    const struct {
        const char* where;
        int row;          // of the N rows
        long long pixel;  // supersampled column
    } inks[] = {
        {"none", -1, 0},
        {"first pixel of the first row", 0, 0},
        {"last pixel of the last row", -2, -1},
        {"last row, middle of the second run", -2, 64 * 20 + 5},
        {"first row, last block", 0, -2},
    };
    for (const int n : {2, 3, 5, 7, 10}) {
        const long long columns = 150;  // runs of 64, 64 and 22 output pixels
        const long long width = columns * n;
        for (const auto& ink : inks) {
            for (const std::uint32_t paper : {0xFFFFFFFFu, 0x00FFFFCCu, 0x80102030u}) {
                std::vector<std::uint32_t> in(static_cast<std::size_t>(width * n), paper);
                if (ink.row != -1) {
                    const long long y = ink.row == -2 ? n - 1 : ink.row;
                    const long long x = ink.pixel < 0 ? width + ink.pixel : std::min(ink.pixel, width - 1);
                    in[static_cast<std::size_t>(y * width + x)] = 0x00000000u;
                }
                std::vector<std::uint32_t> out(static_cast<std::size_t>(columns), 0xDEADBEEFu);
                boxAverage(in.data(), width, n, n, columns, out.data(), columns, scratch);
                EXPECT_TRUE(out == plainAverage(in, columns, n, n))
                    << "factor " << n << ", " << ink.where << ", paper " << std::hex << paper;
            }
        }
    }
}

// A strip drawn in bands of any height, down to one output row, gives the
// rows of the strip drawn at once: shapes, text and the hatch cross the
// bands' edges as they cross the strips'.
TEST(StripBands, AnyBandHeightGivesTheRowsOfTheWholeStrip) {
    const auto page = busyPage();
    for (const bool hatch : {false, true}) {
        Fixture f(7, hatch);
        const auto layout = f.renderer.layoutPage(60, &page);
        ASSERT_TRUE(layout);
        const long long rowBytes = layout->columns * 7 * 7 * 4;
        std::vector<StripRows> whole(static_cast<std::size_t>(layout->plan.strips));
        f.renderer.bandBytes = 1ll << 40;
        for (int i = 0; i < layout->plan.strips; ++i)
            ASSERT_TRUE(f.renderer.renderStrip(*layout, i, &page, "1.2.2026 3:04",
                                               whole[static_cast<std::size_t>(i)]));
        for (const long long bytes : {1ll, rowBytes, 3 * rowBytes + 1, 7 * rowBytes}) {
            f.renderer.bandBytes = bytes;
            StripWorkspace kept;
            for (int i = 0; i < layout->plan.strips; ++i) {
                StripRows banded;
                ASSERT_TRUE(f.renderer.renderStrip(*layout, i, &page, "1.2.2026 3:04", banded, kept));
                const StripRows& w = whole[static_cast<std::size_t>(i)];
                EXPECT_EQ(banded.first, w.first);
                ASSERT_EQ(banded.count, w.count);
                EXPECT_TRUE(banded.pixels == w.pixels) << "strip " << i << ", bands of " << bytes / rowBytes
                                                       << " rows" << (hatch ? ", hatched" : "");
            }
        }
    }
}

// Pages of other programs, with what a shape test leaves out: images
// stretched and blitted, gradients, pattern and mono brushes, clip regions
// and paths, text; at factor 5, whose strips begin at rows that are no
// multiple of a brush pattern's eight. Shapes, images and backgrounds are
// the strip's to the pixel. Text may differ at a band's edge as it differs
// at a strip's: cairo places a glyph cut by its mask's edge by another
// rounding, which moves a few subsamples of a glyph's edge.
TEST(StripBands, CorpusPagesInBandsAreTheirStrips) {
    const std::filesystem::path corpus = std::filesystem::path(SCRIVLET_SHARED_DIR) / "corpus" / "emf";
    if (!std::filesystem::exists(corpus))
        GTEST_SKIP() << "no corpus at " << corpus;
    const char* pages[] = {
        "libemf2svg/test-040.emf",     "libemf2svg/test-185.emf",   "libemf2svg/test-100.emf",
        "libemf2svg/test-042.emf",     "libemf2svg/test-186.emf",   "libemf2svg/test-165.emf",
        "office/lo-core_tdf39894.emf", "office/poi_nested_wmf.emf", "docpages/lo74_chernigovka_17459_p02.emf",
    };
    for (const char* name : pages) {
        const auto page = metafile::Metafile::fromFile(corpus / name);
        ASSERT_TRUE(page) << name;
        for (const int factor : {5, 7}) {
            Fixture f(factor, false);
            const auto layout = f.renderer.layoutPage(factor == 5 ? 50 : 36, &*page);
            ASSERT_TRUE(layout) << name;
            const long long rowBytes = layout->columns * factor * factor * 4;
            StripWorkspace whole, banded;
            long long pixels = 0, differing = 0;
            int worst = 0;
            for (int i = 0; i < layout->plan.strips; ++i) {
                StripRows a, b;
                f.renderer.bandBytes = 1ll << 40;
                ASSERT_TRUE(f.renderer.renderStrip(*layout, i, &*page, std::string(), a, whole));
                f.renderer.bandBytes = 3 * rowBytes;
                ASSERT_TRUE(f.renderer.renderStrip(*layout, i, &*page, std::string(), b, banded));
                ASSERT_EQ(a.pixels.size(), b.pixels.size());
                pixels += static_cast<long long>(a.pixels.size());
                for (std::size_t k = 0; k < a.pixels.size(); ++k) {
                    if (a.pixels[k] == b.pixels[k])
                        continue;
                    ++differing;
                    for (int c = 0; c < 24; c += 8) {
                        const int d = std::abs(static_cast<int>((a.pixels[k] >> c) & 0xFF) -
                                               static_cast<int>((b.pixels[k] >> c) & 0xFF));
                        worst = std::max(worst, d);
                    }
                }
            }
            // At most one pixel in ten thousand, by at most three subsamples.
            EXPECT_LE(differing * 10000, pixels) << name << " factor " << factor << ": " << differing;
            EXPECT_LE(worst, 3 * 255 / (factor * factor) + 1) << name << " factor " << factor;
        }
    }
}

}  // namespace
}  // namespace render
