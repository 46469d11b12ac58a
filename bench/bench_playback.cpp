// Renders every corpus page at 96 dpi onto a white page through the page
// renderer, as the converter does by default, one benchmark per
// file (the files of the shared corpus: emf/libemf2svg, emf/office,
// emf/docpages). bench/playback_summary.py turns the results into the
// median and 90th percentile per page.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/console_ui.h"
#include "app/session.h"
#include "metafile/metafile.h"
#include "render/page_renderer.h"

namespace {

namespace fs = std::filesystem;

void playPage(benchmark::State& state, const metafile::Metafile& mf) {
    app::Session session;
    session.RenderOptions.KodAntialias = 0;
    session.RenderOptions.lvBkGrHathStyle = 100;
    app::ConsoleUi ui;
    render::PageRenderer renderer(session, ui);
    for (auto _ : state) {
        Magick::Image image = renderer.renderPage(96, &mf);
        if (image.columns() == 0) {
            state.SkipWithError("the page could not be rendered");
            return;
        }
        benchmark::DoNotOptimize(image.columns());
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    Magick::InitializeMagick(*argv);
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
