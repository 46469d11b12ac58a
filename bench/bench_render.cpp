// renderPage on the demonstration pages: time per page and the peak memory
// of the process, for the resolutions and antialiasing factors users pick.
// The strips keep the drawing surface to one strip, whatever the factor.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <filesystem>

#include "app/console_ui.h"
#include "app/session.h"
#include "metafile/metafile.h"
#include "render/page_renderer.h"

namespace {

void BM_RenderPage(benchmark::State& state) {
    static bool initialised = [] {
        Magick::InitializeMagick(nullptr);
        return true;
    }();
    (void)initialised;
    const auto file = std::filesystem::path(SCRIVLET_SOURCE_DIR) / "samples" / "emf" / "page0001.emf";
    auto mf = metafile::Metafile::fromFile(file);
    if (!mf) {
        state.SkipWithError("no sample page");
        return;
    }
    app::Session session;
    app::ConsoleUi ui;
    session.RenderOptions.KodAntialias = static_cast<int>(state.range(1));
    render::PageRenderer renderer(session, ui);
    for (auto _ : state) {
        Magick::Image image = renderer.renderPage(static_cast<double>(state.range(0)), &*mf);
        benchmark::DoNotOptimize(image.columns());
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_mb"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}
BENCHMARK(BM_RenderPage)
    ->Args({96, 0})
    ->Args({96, 3})
    ->Args({300, 0})
    ->Args({300, 3})
    ->Args({300, 10})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
