// The writers on a 20-page A4 document at 150 dpi: JPG files, a PDF with JPG
// pages inside, an HTML gallery (every page rendered twice: the page and its
// thumbnail), a multipage TIF and an animated GIF, and the other single-file
// formats, beside the render alone. Time per page is the counter
// cpu_ms_per_page (user and system time of every thread of the process, so
// that other work on a loaded machine does not count) and ms_per_page (wall
// time); peak_rss_mb is the process's peak, so run one benchmark a process
// (bench/writers.sh does) to read it. The pages are drawn without
// antialiasing unless SCRIVLET_BENCH_ANTIALIAS gives the factor (3 is the
// program's own default).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "app/console_ui.h"
#include "app/session.h"
#include "app/settings_store.h"
#include "metafile/metafile.h"
#include "output/encoding.h"
#include "output/formats.h"
#include "output/html_gallery.h"
#include "output/image_file.h"
#include "output/mail.h"
#include "output/pdf_export.h"
#include "output/run_snapshot.h"
#include "output/save_command.h"
#include "output/writer_services.h"
#include "output/writer_thread.h"
#include "platform/folders.h"
#include "platform/registry/registry.h"

namespace {

namespace fs = std::filesystem;

constexpr int kPages = 20;
constexpr double kDpi = 150.0;

// The antialiasing factor the pages are drawn with: 0 (none) unless
// SCRIVLET_BENCH_ANTIALIAS says otherwise.
int antialiasFactor() {
    const char* value = std::getenv("SCRIVLET_BENCH_ANTIALIAS");
    return value != nullptr ? std::atoi(value) : 0;
}

// A machine in a folder of its own with the document captured.
struct Machine {
    fs::path home;
    std::unique_ptr<platform::Registry> registry;
    std::unique_ptr<platform::PlatformFolders> folders;
    std::unique_ptr<app::SettingsStore> store;
    app::Session session;
    app::ConsoleUi ui;
    std::unique_ptr<output::FormatService> formats;
    std::unique_ptr<output::Mailer> mailer;
    std::unique_ptr<output::WriterThread> thread;
    std::unique_ptr<output::WriterServices> services;

    Machine() {
        std::string pattern = (fs::temp_directory_path() / "scrivlet-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            std::abort();
        home = pattern;
        registry =
            std::make_unique<platform::Registry>(platform::RegistryLocation::inFolder(home / "registry"));
        folders = std::make_unique<platform::PlatformFolders>(platform::PlatformFolders::under(home));
        store = std::make_unique<app::SettingsStore>(*registry);
        formats = std::make_unique<output::FormatService>(session, *store, *folders, ui);
        formats->encodedPreview = false;
        mailer = std::make_unique<output::Mailer>(ui);
        thread = std::make_unique<output::WriterThread>(session);
        services = std::make_unique<output::WriterServices>(output::WriterServices{
            session, *store, *folders, ui, *formats, *mailer, *thread, {}, "true", home.string(), "Doc"});
        store->writeString(platform::RegRoot::CurrentUser, "PDF_Bitmp_Format", "JPG");
        session.resolution.CheckN = 2;
        session.resolution.userResolution = kDpi;
        session.RenderOptions.KodAntialias = antialiasFactor();
        session.RenderOptions.lvBkGrHathStyle = 100;
        session.CurrentFormat = {true, false, false, false, false};
        session.options.StartFile_Opt = false;
        // The demonstration pages (A4) in turn.
        for (int i = 0; i < kPages; ++i) {
            const auto file = fs::path(SCRIVLET_SOURCE_DIR) / "samples" / "emf" /
                              ("page000" + std::to_string(i % 3 + 1) + ".emf");
            auto page = metafile::Metafile::fromFile(file);
            if (!page)
                std::abort();
            auto& record = session.PageList.record(i);
            char name[16];
            std::snprintf(name, sizeof name, "1%04d.emf", i + 1);
            record.fileName = name;
            record.metafile = std::make_shared<const metafile::Metafile>(std::move(*page));
        }
        session.PageList.publish(kPages);
        session.PageList.currentPage = -1;  // every page is rendered by the run
    }
    ~Machine() {
        std::error_code ec;
        fs::remove_all(home, ec);
    }

    output::RunSnapshot snapshot(int multipageMode) {
        session.MultipageMode = multipageMode;
        auto snap = output::takeSnapshot(session);
        session.MultipageMode = 0;
        snap.saveFolder = home.string();
        snap.baseName = "Doc";
        return snap;
    }
};

void init() {
    static bool done = [] {
        Magick::InitializeMagick(nullptr);
        return true;
    }();
    (void)done;
}

// Milliseconds of user and system time the process has used, all threads.
double cpuMilliseconds(const rusage& usage) {
    const auto ms = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_usec) / 1000.0;
    };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// CPU and wall time of the whole loop per page, and the peak memory so far.
class PageClock {
public:
    explicit PageClock(benchmark::State& state) : m_state(state), m_start(std::chrono::steady_clock::now()) {
        getrusage(RUSAGE_SELF, &m_startUsage);
    }
    ~PageClock() {
        const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - m_start;
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        const auto pages =
            static_cast<double>(std::max<benchmark::IterationCount>(1, m_state.iterations())) * kPages;
        m_state.counters["cpu_ms_per_page"] =
            (cpuMilliseconds(usage) - cpuMilliseconds(m_startUsage)) / pages;
        m_state.counters["ms_per_page"] = elapsed.count() / pages;
        m_state.counters["peak_rss_mb"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
    }

private:
    benchmark::State& m_state;
    std::chrono::steady_clock::time_point m_start;
    rusage m_startUsage{};
};

// Rendering alone, with the JPG options the writers give each page.
void BM_RenderOnly(benchmark::State& state) {
    init();
    Machine m;
    const auto snap = m.snapshot(0);
    PageClock clock(state);
    for (auto _ : state) {
        output::RunRenderer renderer(m.session, snap, *m.store, *m.folders, m.ui);
        for (int i = 0; i < kPages; ++i) {
            Magick::Image image = renderer.renderPage(i, kDpi);
            benchmark::DoNotOptimize(image.columns());
        }
    }
}

void BM_SaveJpgFiles(benchmark::State& state) {
    init();
    Machine m;
    const auto snap = m.snapshot(0);
    PageClock clock(state);
    for (auto _ : state) benchmark::DoNotOptimize(output::runImageWriter(*m.services, snap).size());
}

// The same with baseline (not progressive) JPEG files.
void BM_SaveJpgBaseline(benchmark::State& state) {
    init();
    Machine m;
    m.session.formatOptions.JPG_Progress = false;
    const auto snap = m.snapshot(0);
    PageClock clock(state);
    for (auto _ : state) benchmark::DoNotOptimize(output::runImageWriter(*m.services, snap).size());
}

// The other formats as single files with their default options; the
// argument is the format's code (2 GIF, 3 PNG, 4 BMP, 5 TIF).
void BM_SaveFiles(benchmark::State& state) {
    init();
    Machine m;
    const auto code = static_cast<app::FormatCode>(state.range(0));
    m.session.CurrentFormat = {code == app::FormatCode::JPG, code == app::FormatCode::GIF,
                               code == app::FormatCode::PNG, code == app::FormatCode::BMP,
                               code == app::FormatCode::TIF};
    const auto snap = m.snapshot(0);
    PageClock clock(state);
    for (auto _ : state) benchmark::DoNotOptimize(output::runImageWriter(*m.services, snap).size());
}

// One rendered page taken through each format's options and encoder again
// and again, each step's CPU time a page apart: where a format's writing
// time goes. The argument is the format's code (1 JPG, progressive, through
// libjpeg; 2 GIF, 3 PNG, 4 BMP, 5 TIF), or 6 for JPG through the image
// library's own JPEG writer, for comparison.
void BM_EncodePage(benchmark::State& state) {
    init();
    Machine m;
    m.session.formatOptions = {};
    const auto snap = m.snapshot(0);
    output::RunRenderer renderer(m.session, snap, *m.store, *m.folders, m.ui);
    const Magick::Image page = renderer.renderPage(0, kDpi);
    const auto code = state.range(0) == 6 ? 1 : state.range(0);
    const bool library = state.range(0) == 6;
    const app::FormatFlags flags{code == 1, code == 2, code == 3, code == 4, code == 5};
    const output::OptionSet set = output::chooseOptionSet(0, flags, "");
    const std::string encoder = code == 1   ? "JPEG"
                                : code == 2 ? "GIF"
                                : code == 3 ? "PNG"
                                : code == 4 ? "BMP"
                                            : "TIFF";
    double options = 0, encoding = 0;
    for (auto _ : state) {
        rusage a{}, b{}, c{};
        getrusage(RUSAGE_SELF, &a);
        Magick::Image copy(page);
        output::applyOptionSet(copy, set, m.session.formatOptions);
        output::applyDensity(copy, kDpi);
        getrusage(RUSAGE_SELF, &b);
        if (library) {
            Magick::Blob blob;
            copy.write(&blob, encoder);
            benchmark::DoNotOptimize(blob.length());
        } else {
            benchmark::DoNotOptimize(output::encodeImage(copy, encoder, "page")->length());
        }
        getrusage(RUSAGE_SELF, &c);
        options += cpuMilliseconds(b) - cpuMilliseconds(a);
        encoding += cpuMilliseconds(c) - cpuMilliseconds(b);
    }
    const auto runs = static_cast<double>(state.iterations());
    state.counters["options_cpu_ms"] = options / runs;
    state.counters["encode_cpu_ms"] = encoding / runs;
}

void BM_PdfWithJpgInside(benchmark::State& state) {
    init();
    Machine m;
    const auto snap = m.snapshot(1);
    PageClock clock(state);
    for (auto _ : state) benchmark::DoNotOptimize(output::runPdfWriter(*m.services, snap, {}));
}

void BM_HtmlGalleryJpg(benchmark::State& state) {
    init();
    Machine m;
    const auto snap = m.snapshot(0);
    PageClock clock(state);
    for (auto _ : state) benchmark::DoNotOptimize(output::runHtmlWriter(*m.services, snap));
}

// The multipage TIF and the animated GIF keep each page encoded, never more
// than one page's pixels.
void BM_MultipageTif(benchmark::State& state) {
    init();
    Machine m;
    const auto snap = m.snapshot(2);
    PageClock clock(state);
    for (auto _ : state) benchmark::DoNotOptimize(output::runPdfWriter(*m.services, snap, {}));
}

void BM_AnimatedGif(benchmark::State& state) {
    init();
    Machine m;
    const auto snap = m.snapshot(3);
    PageClock clock(state);
    for (auto _ : state) benchmark::DoNotOptimize(output::runPdfWriter(*m.services, snap, {}));
}

BENCHMARK(BM_RenderOnly)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_SaveJpgFiles)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_SaveJpgBaseline)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_SaveFiles)->Unit(benchmark::kMillisecond)->Iterations(2)->DenseRange(2, 5);
BENCHMARK(BM_EncodePage)->Unit(benchmark::kMillisecond)->Iterations(10)->DenseRange(1, 6);
BENCHMARK(BM_PdfWithJpgInside)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_HtmlGalleryJpg)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_MultipageTif)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_AnimatedGif)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
