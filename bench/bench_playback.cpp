// Plays every corpus page at 96 dpi onto a white page, one benchmark per
// file (the files of the shared corpus: emf/libemf2svg, emf/office,
// emf/docpages). bench/playback_summary.py turns the results into the
// median and 90th percentile per page.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/page_raster.h"
#include "metafile/metafile.h"

namespace {

namespace fs = std::filesystem;

void playPage(benchmark::State& state, const metafile::Metafile& mf) {
    for (auto _ : state) {
        auto raster = cli::rasterise(mf, 96);
        if (!raster) {
            state.SkipWithError(raster.error().c_str());
            return;
        }
        benchmark::DoNotOptimize(raster->page.pixels().data());
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    const fs::path corpus = fs::path(SCRIVLET_SHARED_DIR) / "corpus" / "emf";
    std::vector<fs::path> files;
    std::error_code ec;
    for (const char* folder : {"libemf2svg", "office", "docpages"}) {
        for (const auto& entry : fs::directory_iterator(corpus / folder, ec)) {
            if (entry.path().extension() == ".emf")
                files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    static std::vector<metafile::Metafile> pages;
    pages.reserve(files.size());
    for (const auto& file : files) {
        auto mf = metafile::Metafile::fromFile(file);
        if (!mf)
            continue;
        pages.push_back(std::move(*mf));
        const std::string name = file.parent_path().filename().string() + "/" + file.filename().string();
        const auto& page = pages.back();
        benchmark::RegisterBenchmark(name.c_str(), [&page](benchmark::State& s) { playPage(s, page); })
            ->Unit(benchmark::kMillisecond)
            ->Iterations(3);
    }
    if (files.empty()) {
        std::fprintf(stderr, "bench_playback: no corpus under %s\n", corpus.c_str());
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
