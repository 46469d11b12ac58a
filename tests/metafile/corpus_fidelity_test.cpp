// Every corpus page that has a reference rendering is played and compared
// with it by ink F1 (does the same drawing appear, within 2 pixels; the
// measure of the corpus's fidelity tool). Each page must stay at or above
// its floor in tests/data/corpus_fidelity_floor.tsv, so a drawing change
// that moves any page shows at once. Skipped when the corpus is absent.
//
// Each measured page is printed as "ink_f1<TAB>dpi<TAB>folder<TAB>page<TAB>value",
// from which a new floor file can be made after a deliberate change.

#include <cairo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "metafile/dc.h"
#include "metafile/dib_section.h"
#include "metafile/metafile.h"
#include "metafile/player.h"

namespace metafile {
namespace {

namespace fs = std::filesystem;

const fs::path kCorpus = fs::path(SCRIVLET_SHARED_DIR) / "corpus";
const fs::path kFloors = fs::path(SCRIVLET_SOURCE_DIR) / "tests/data/corpus_fidelity_floor.tsv";

// An RGB picture as 0xRRGGBB values, row by row.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t at(int x, int y) const {
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                      static_cast<std::size_t>(x)];
    }
};

std::optional<Picture> readPng(const fs::path& file) {
    std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> surface(
        cairo_image_surface_create_from_png(file.c_str()), cairo_surface_destroy);
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS)
        return std::nullopt;
    cairo_surface_flush(surface.get());
    Picture p;
    p.width = cairo_image_surface_get_width(surface.get());
    p.height = cairo_image_surface_get_height(surface.get());
    const int stride = cairo_image_surface_get_stride(surface.get());
    const unsigned char* data = cairo_image_surface_get_data(surface.get());
    p.pixels.resize(static_cast<std::size_t>(p.width) * static_cast<std::size_t>(p.height));
    for (int y = 0; y < p.height; ++y) {
        const auto* row =
            reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        for (int x = 0; x < p.width; ++x)
            p.pixels[static_cast<std::size_t>(y) * p.width + x] = row[x] & 0xFFFFFF;
    }
    return p;
}

// The page as the converter renders it: the frame at `dpi`, on white.
std::optional<Picture> render(const fs::path& emf, double dpi) {
    auto mf = Metafile::fromFile(emf);
    if (!mf.hasValue())
        return std::nullopt;
    const RectL& frame = mf->header().rclFrame;
    const int w = static_cast<int>(std::ceil((double(frame.right) - frame.left) * dpi / 2540));
    const int h = static_cast<int>(std::ceil((double(frame.bottom) - frame.top) * dpi / 2540));
    auto dib = DibSection::create(w, h);
    if (!dib)
        return std::nullopt;
    dib->fill(0xFFFFFF);
    Dc dc(*dib);
    playMetafile(*mf, dc, {0, 0, w, h});
    Picture p;
    p.width = w;
    p.height = h;
    p.pixels.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x)
            p.pixels[static_cast<std::size_t>(y) * w + x] = dib->pixel(x, y) & 0xFFFFFF;
    }
    return p;
}

// The page's background: the most common colour of a coarse sample of the
// reference (the smallest value among equals).
std::uint32_t background(const Picture& ref) {
    const std::size_t n = ref.pixels.size();
    const std::size_t step = std::max<std::size_t>(1, n / 200000);
    std::map<std::uint32_t, std::size_t> counts;
    for (std::size_t i = 0; i < n; i += step) ++counts[ref.pixels[i]];
    std::uint32_t best = 0xFFFFFF;
    std::size_t most = 0;
    for (const auto& [colour, count] : counts) {
        if (count > most) {
            most = count;
            best = colour;
        }
    }
    return best;
}

// Ink: more than 40 away from the background in some channel.
std::vector<std::uint8_t> inkMask(const Picture& p, int w, int h, std::uint32_t bg) {
    std::vector<std::uint8_t> mask(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const std::uint32_t c = p.at(x, y);
            int d = 0;
            for (int shift : {0, 8, 16}) {
                d = std::max(d, std::abs(int((c >> shift) & 0xFF) - int((bg >> shift) & 0xFF)));
            }
            mask[static_cast<std::size_t>(y) * w + x] = d > 40;
        }
    }
    return mask;
}

// Grows the mask by `r` pixels in each direction (a square).
std::vector<std::uint8_t> dilate(const std::vector<std::uint8_t>& mask, int w, int h, int r) {
    std::vector<std::uint8_t> across(mask.size()), out(mask.size());
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* row = &mask[static_cast<std::size_t>(y) * w];
        std::uint8_t* dst = &across[static_cast<std::size_t>(y) * w];
        for (int x = 0; x < w; ++x) {
            if (!row[x])
                continue;
            for (int k = std::max(0, x - r); k <= std::min(w - 1, x + r); ++k) dst[k] = 1;
        }
    }
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            if (!across[static_cast<std::size_t>(y) * w + x])
                continue;
            for (int k = std::max(0, y - r); k <= std::min(h - 1, y + r); ++k)
                out[static_cast<std::size_t>(k) * w + x] = 1;
        }
    }
    return out;
}

// Ink F1 of `ours` against `ref`: 0 when the sizes differ by more than a
// pixel; 1 when neither has ink.
double inkF1(const Picture& ours, const Picture& ref) {
    if (std::abs(ours.width - ref.width) > 1 || std::abs(ours.height - ref.height) > 1)
        return 0;
    const int w = std::min(ours.width, ref.width), h = std::min(ours.height, ref.height);
    const std::uint32_t bg = background(ref);
    const auto io = inkMask(ours, w, h, bg), ir = inkMask(ref, w, h, bg);
    const auto no = std::count(io.begin(), io.end(), 1), nr = std::count(ir.begin(), ir.end(), 1);
    if (no == 0 && nr == 0)
        return 1;
    if (no == 0 || nr == 0)
        return 0;
    const auto dr = dilate(ir, w, h, 2), dO = dilate(io, w, h, 2);
    std::size_t hitOurs = 0, hitRef = 0;
    for (std::size_t i = 0; i < io.size(); ++i) {
        hitOurs += io[i] && dr[i];
        hitRef += ir[i] && dO[i];
    }
    const double precision = double(hitOurs) / double(no), recall = double(hitRef) / double(nr);
    return precision + recall == 0 ? 0 : 2 * precision * recall / (precision + recall);
}

struct Floor {
    int dpi;
    std::string folder;
    std::string page;
    double floor;
};

std::vector<Floor> readFloors() {
    std::vector<Floor> floors;
    std::ifstream in(kFloors);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        Floor f;
        if (fields >> f.dpi >> f.folder >> f.page >> f.floor)
            floors.push_back(f);
    }
    return floors;
}

std::set<std::string> unreliable() {
    std::set<std::string> stems;
    std::ifstream in(kCorpus / "reference96/UNRELIABLE.txt");
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line[0] != '#')
            stems.insert(line);
    }
    return stems;
}

struct Set {
    int dpi;
    const char* folder;
};

void PrintTo(const Set& set, std::ostream* out);

class CorpusFidelity : public ::testing::TestWithParam<Set> {};

TEST_P(CorpusFidelity, EveryPageHoldsItsFloor) {
    const Set set = GetParam();
    const fs::path refs = kCorpus / ("reference" + std::to_string(set.dpi)) / "emf" / set.folder;
    if (!fs::is_directory(refs))
        GTEST_SKIP() << "no corpus references at " << refs;
    std::map<std::string, double> floors;
    for (const auto& f : readFloors()) {
        if (f.dpi == set.dpi && f.folder == set.folder)
            floors[f.page] = f.floor;
    }
    const auto skip = unreliable();
    std::set<std::string> pages;
    for (const auto& entry : fs::directory_iterator(refs)) {
        if (entry.path().extension() == ".png" && !skip.count(entry.path().stem().string()))
            pages.insert(entry.path().stem().string());
    }
    ASSERT_FALSE(pages.empty());
    for (const auto& page : pages) {
        SCOPED_TRACE(page);
        const auto ref = readPng(refs / (page + ".png"));
        ASSERT_TRUE(ref.has_value());
        const auto ours = render(kCorpus / "emf" / set.folder / (page + ".emf"), set.dpi);
        ASSERT_TRUE(ours.has_value());
        const double f1 = inkF1(*ours, *ref);
        std::printf("ink_f1\t%d\t%s\t%s\t%.4f\n", set.dpi, set.folder, page.c_str(), f1);
        const auto floor = floors.find(page);
        // Every reference has a floor: a page added to the corpus is noticed.
        if (floor == floors.end()) {
            ADD_FAILURE() << "no floor";
            continue;
        }
        EXPECT_GE(f1, floor->second);
    }
}

void PrintTo(const Set& set, std::ostream* out) {
    *out << set.folder << " at " << set.dpi << " dpi";
}

INSTANTIATE_TEST_SUITE_P(Pages, CorpusFidelity,
                         ::testing::Values(Set{96, "docpages"}, Set{96, "office"}, Set{96, "libemf2svg"},
                                           Set{300, "docpages"}, Set{300, "office"}),
                         [](const ::testing::TestParamInfo<Set>& p) {
                             return std::string(p.param.folder) + "_" + std::to_string(p.param.dpi);
                         });

}  // namespace
}  // namespace metafile
