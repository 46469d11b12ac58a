// The renderer's speed on the Professional preset and the backgrounds, each
// case in a child process of its own so that its peak memory is its own:
//   floor          fill + 7 x 7 box average of 17367 x 24556 pixels in
//                  strips, one core (what any supersampled A4 page costs)
//   floor-j2       the same on two threads: the most a second processor
//                  can add to this memory traffic on the machine
//   render         the A4 document page at 300 dpi x 7, renderPage
//   jpeg, gif      the same with the format's encoding and the encoded
//                  preview read back, as the program does it
//   strips-j1/j2   the strips alone on one and two threads (the converter's
//                  -j), with a checksum of their rows compared
//   hatch-*        the default hatch (width 0) and others at 80 and 300 dpi
//                  x 7, beside the plain page at the same resolution
//   bg-*           the background alone (the colour, the same hatches, the
//                  grid) of every band of the 300 dpi page, on one thread:
//                  what the hatch itself costs, without the page's noise
// Each case runs --repeat times (3); the table shows the median CPU time
// (user + system of the child, all threads), the median wall time and the
// child's peak resident memory. A case still running after --timeout
// seconds (120) is stopped and shown as such.
//
// Usage: bench_speed [--repeat N] [--timeout S] [--only NAME-PREFIX]
//        bench_speed --case NAME   (one case, in this process)
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/console_ui.h"
#include "app/session.h"
#include "app/settings_store.h"
#include "cli/strip_pipeline.h"
#include "metafile/metafile.h"
#include "output/formats.h"
#include "platform/folders.h"
#include "platform/registry/registry.h"
#include "render/background.h"
#include "render/box_average.h"
#include "render/page_renderer.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

const fs::path kPage = fs::path(SCRIVLET_SHARED_DIR) / "corpus" / "emf" / "docpages" /
                       "lo74_chernigovka_17459_p02.emf";  // 210 x 287 mm, the closest to A4

double cpuSeconds(const rusage& u) {
    return double(u.ru_utime.tv_sec) + double(u.ru_stime.tv_sec) +
           (double(u.ru_utime.tv_usec) + double(u.ru_stime.tv_usec)) / 1e6;
}

// A machine in a temporary folder: settings, work folder, formats.
struct Machine {
    fs::path home;
    std::unique_ptr<platform::Registry> registry;
    std::unique_ptr<platform::PlatformFolders> folders;
    std::unique_ptr<app::SettingsStore> store;
    app::Session session;
    app::ConsoleUi ui;
    std::unique_ptr<output::FormatService> formats;

    Machine() {
        std::string pattern = (fs::temp_directory_path() / "scrivlet-speed-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            std::abort();
        home = pattern;
        registry =
            std::make_unique<platform::Registry>(platform::RegistryLocation::inFolder(home / "registry"));
        folders = std::make_unique<platform::PlatformFolders>(platform::PlatformFolders::under(home));
        store = std::make_unique<app::SettingsStore>(*registry);
        formats = std::make_unique<output::FormatService>(session, *store, *folders, ui);
        session.RenderOptions.KodAntialias = 7;
        session.RenderOptions.lvBkGrHathStyle = 100;
    }
    ~Machine() {
        std::error_code ec;
        fs::remove_all(home, ec);
    }
};

// The floor: every strip of an A4 page at 300 dpi x 7 filled white and
// reduced, with each thread's strip allocated once. On one thread it is the
// least any supersampled A4 page costs; on two (alternate strips) it shows
// how much of a second processor this memory traffic can use here at all.
int runFloor(int threads) {
    static constexpr int kColumns = 17367, kRows = 24556, kFactor = 7, kStripRows = 80 * kFactor;
    std::vector<std::uint64_t> sums(static_cast<std::size_t>(threads), 0);
    auto work = [&sums, threads](int first) {
        std::vector<std::uint32_t> strip(std::size_t(kColumns) * kStripRows);
        std::vector<std::uint32_t> out(std::size_t(kColumns / kFactor) * (kStripRows / kFactor));
        std::vector<std::uint16_t> scratch;
        for (int top = first * kStripRows; top < kRows; top += threads * kStripRows) {
            const int rows = std::min(kStripRows, kRows - top);
            metafile::fillPixels(strip.data(), std::size_t(kColumns) * rows, 0xFFFFFFu);
            // One pixel of ink in every block row of every 64 output pixels,
            // so that no block is paper alone and the whole average is done.
            for (int y = 0; y < rows; y += kFactor) {
                for (int x = 0; x < kColumns; x += 64 * kFactor)
                    strip[std::size_t(y) * kColumns + x] = 0xFFFFFEu;
            }
            render::boxAverage(strip.data(), kColumns, rows, kFactor, kColumns / kFactor, out.data(),
                               kColumns / kFactor, scratch);
            sums[static_cast<std::size_t>(first)] +=
                out[std::size_t(rows / kFactor - 1) * (kColumns / kFactor)];
        }
    };
    std::vector<std::thread> helpers;
    for (int t = 1; t < threads; ++t) helpers.emplace_back(work, t);
    work(0);
    for (auto& h : helpers) h.join();
    return std::all_of(sums.begin(), sums.end(), [](std::uint64_t v) { return v != 0; }) ? 0 : 1;
}

int renderCase(double dpi, const std::function<void(app::Session&)>& configure,
               const std::function<void(output::FormatService&, render::PageRenderer&)>& encoding = {}) {
    auto page = metafile::Metafile::fromFile(kPage);
    if (!page) {
        std::fprintf(stderr, "cannot read %s\n", kPage.c_str());
        return 2;
    }
    Machine m;
    configure(m.session);
    render::PageRenderer renderer(m.session, m.ui);
    if (const char* kb = std::getenv("BAND_KB"))
        renderer.bandBytes = std::atoll(kb) * 1024;
    if (encoding)
        encoding(*m.formats, renderer);
    const Magick::Image image = renderer.renderPage(dpi, &*page);
    return image.columns() > 0 ? 0 : 1;
}

// The strips alone on `threads` threads, in page order, each strip's rows
// folded into a checksum as it arrives (no page-sized image: this is the
// renderer's share of the converter's -j).
int stripsCase(int threads) {
    auto page = metafile::Metafile::fromFile(kPage);
    if (!page)
        return 2;
    Machine m;
    render::PageRenderer renderer(m.session, m.ui);
    if (const char* kb = std::getenv("BAND_KB"))
        renderer.bandBytes = std::atoll(kb) * 1024;
    const auto layout = renderer.layoutPage(300, &*page);
    if (!layout)
        return 1;
    std::uint64_t h = 1469598103934665603ull;
    long long nextRow = 0;
    std::string error;
    const bool ok = cli::forEachStrip(
        renderer, *layout, &*page, std::string(), threads, nullptr,
        [&h, &nextRow](const render::StripRows& rows) -> std::optional<std::string> {
            if (rows.first != nextRow)
                return std::string("strips out of order");
            nextRow += rows.count;
            const std::size_t n = static_cast<std::size_t>(rows.count * rows.columns);
            for (std::size_t i = 0; i < n; ++i) h = (h ^ rows.pixels[i]) * 1099511628211ull;
            return std::nullopt;
        },
        error);
    if (!ok || nextRow != layout->rows)
        return 1;
    std::printf("checksum %016llx\n", static_cast<unsigned long long>(h));
    return 0;
}

struct Hatch {
    int width = 0, spacing = 8, angle = 0;
};

// The background alone of every band of an A4 page at 300 dpi x 7, drawn
// as the renderer draws it (strips of 80 rows, bands of 17), on one thread.
int backgroundCase(const std::function<void(app::Session&)>& configure) {
    Machine m;
    configure(m.session);
    static constexpr int kColumns = 17367, kRows = 24556, kStripRows = 560, kBandRows = 119;
    auto dib = metafile::DibSection::create(kColumns, kBandRows);
    if (!dib)
        return 2;
    std::uint64_t sum = 0;
    // BACKGROUND_CHECKSUM=1: every pixel of every band folded into a
    // checksum (printed), to compare two builds; not timed then.
    const bool every = std::getenv("BACKGROUND_CHECKSUM") != nullptr;
    std::uint64_t h = 1469598103934665603ull;
    for (int offset = 0; offset < kRows; offset += kStripRows) {
        const int height = std::min(kStripRows, kRows - offset);
        const metafile::RectL rect{0, -offset, kColumns, kRows - offset};
        for (int first = 0; first < height; first += kBandRows) {
            const int rows = std::min(kBandRows, height - first);
            if (!dib->reshapeBand(kColumns, rows, first, height))
                return 1;
            metafile::Dc dc(*dib);
            render::drawBackground(m.session, dc, rect, offset, -1, -1, -1);
            sum += dib->pixel(kColumns / 2, first + rows / 2);
            if (every) {
                for (int y = first; y < first + rows; ++y) {
                    const std::uint32_t* row = dib->row(y);
                    for (int x = 0; x < kColumns; ++x) h = (h ^ (row[x] & 0xFFFFFFu)) * 1099511628211ull;
                }
            }
        }
    }
    if (every)
        std::printf("checksum %016llx\n", static_cast<unsigned long long>(h));
    return sum != 0 ? 0 : 1;
}

std::function<void(app::Session&)> hatched(Hatch h) {
    return [h](app::Session& s) {
        s.RenderOptions.lvBkGrHathStyle = 4;
        s.RenderOptions.lvHatchWidth = h.width;
        s.RenderOptions.lvHatchDepress = h.spacing;
        s.RenderOptions.lvHatchAngle = h.angle;
    };
}

void plain(app::Session&) {}

struct Case {
    std::string name;
    std::string what;
    std::function<int()> run;
};

std::vector<Case> cases() {
    std::vector<Case> list;
    list.push_back({"floor", "fill + 7x7 box average, 17367 x 24556, one core", [] { return runFloor(1); }});
    list.push_back({"floor-j2", "the same on two threads (this machine's own 2-thread gain)",
                    [] { return runFloor(2); }});
    list.push_back({"render", "A4 page 300 dpi x7, render only", [] { return renderCase(300, plain); }});
    auto encoded = [](bool jpeg) {
        return [jpeg] {
            return renderCase(
                300,
                [jpeg](app::Session& s) {
                    s.CurrentFormat = {jpeg, !jpeg, false, false, false};
                },
                [](output::FormatService& formats, render::PageRenderer& renderer) {
                    renderer.applyEncodingOptions = [&formats](Magick::Image& image, double dpi) {
                        formats.applyEncodingOptions(image, dpi);
                    };
                });
        };
    };
    list.push_back({"jpeg", "same + JPEG encode and preview", encoded(true)});
    list.push_back({"gif", "same + GIF encode and preview", encoded(false)});
    list.push_back({"strips-j1", "strips on 1 thread (converter -j 1)", [] { return stripsCase(1); }});
    list.push_back({"strips-j2", "strips on 2 threads (converter -j 2)", [] { return stripsCase(2); }});
    for (int dpi : {80, 300}) {
        const std::string at = std::to_string(dpi);
        list.push_back(
            {"plain-" + at, "no background, " + at + " dpi x7", [dpi] { return renderCase(dpi, plain); }});
        const Hatch hatches[] = {{0, 8, 0},  {0, 8, 30}, {0, 8, 45},  {0, 8, 90},
                                 {3, 8, 60}, {0, 2, 15}, {10, 20, 75}};
        for (const Hatch& h : hatches) {
            const std::string name = "hatch-" + at + "-w" + std::to_string(h.width) + "-s" +
                                     std::to_string(h.spacing) + "-a" + std::to_string(h.angle);
            list.push_back({name,
                            "hatch width " + std::to_string(h.width) + " spacing " +
                                std::to_string(h.spacing) + " angle " + std::to_string(h.angle),
                            [dpi, h] { return renderCase(dpi, hatched(h)); }});
        }
        list.push_back({"demo-" + at, "demonstration grid, " + at + " dpi x7",
                        [dpi] { return renderCase(dpi, [](app::Session& s) { s.DemoMode = true; }); }});
    }
    {
        const Hatch hatches[] = {{0, 8, 0},  {0, 8, 30}, {0, 8, 45},  {0, 8, 90},
                                 {3, 8, 60}, {0, 2, 15}, {10, 20, 75}};
        list.push_back(
            {"bg-plain", "the background colour alone, every band of the 300 dpi page",
             [] { return backgroundCase([](app::Session& s) { s.RenderOptions.lvBkGrHathStyle = 0; }); }});
        for (const Hatch& h : hatches) {
            const std::string name = "bg-w" + std::to_string(h.width) + "-s" + std::to_string(h.spacing) +
                                     "-a" + std::to_string(h.angle);
            list.push_back({name, "its background alone", [h] { return backgroundCase(hatched(h)); }});
        }
        list.push_back({"bg-demo", "the grid alone",
                        [] { return backgroundCase([](app::Session& s) { s.DemoMode = true; }); }});
    }
    return list;
}

struct Sample {
    bool finished = false;
    double wall = 0, cpu = 0, peakMb = 0;
    std::string output;
};

Sample runChild(const std::string& self, const std::string& name, int timeout) {
    Sample sample;
    const fs::path log =
        fs::temp_directory_path() / ("scrivlet-speed-" + std::to_string(::getpid()) + ".out");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const fs::path times = log.string() + ".times";
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, times.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<std::string> args = {self, "--case", name};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const auto start = std::chrono::steady_clock::now();
    if (posix_spawn(&pid, self.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return sample;
    }
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    bool killed = false;
    while (true) {
        const pid_t done = ::wait4(pid, &status, WNOHANG, &usage);
        if (done == pid)
            break;
        const double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!killed && elapsed > timeout) {
            ::kill(pid, SIGKILL);
            killed = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    sample.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    sample.cpu = cpuSeconds(usage);
    {
        // The last line of the child's standard error holds its own times.
        std::ifstream in(times);
        std::string line, last;
        while (std::getline(in, line)) {
            if (!line.empty())
                last = line;
        }
        double cpu = 0, wall = 0;
        if (std::sscanf(last.c_str(), "%lf %lf", &cpu, &wall) == 2) {
            sample.cpu = cpu;
            sample.wall = wall;
        }
        std::error_code ec;
        fs::remove(times, ec);
    }
    sample.peakMb = double(usage.ru_maxrss) / 1024.0;
    sample.finished = !killed && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    std::ifstream in(log);
    std::getline(in, sample.output);
    std::error_code ec;
    fs::remove(log, ec);
    return sample;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

std::string loadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string a, b, c;
    in >> a >> b >> c;
    return a + " " + b + " " + c;
}

}  // namespace

int main(int argc, char** argv) {
    int repeat = 3, timeout = 120;
    std::string only, single;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        if (key == "--repeat")
            repeat = std::max(1, std::atoi(argv[i + 1]));
        else if (key == "--timeout")
            timeout = std::max(1, std::atoi(argv[i + 1]));
        else if (key == "--only")
            only = argv[i + 1];
        else if (key == "--case")
            single = argv[i + 1];
    }
    const auto list = cases();
    if (!single.empty()) {
        Magick::InitializeMagick(nullptr);
        for (const auto& c : list) {
            if (c.name != single)
                continue;
            // The case's own time, without the process start and the
            // image library's initialisation.
            rusage before{}, after{};
            getrusage(RUSAGE_SELF, &before);
            const auto start = std::chrono::steady_clock::now();
            const int code = c.run();
            const double wall =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            getrusage(RUSAGE_SELF, &after);
            std::fprintf(stderr, "%.4f %.4f\n", cpuSeconds(after) - cpuSeconds(before), wall);
            return code;
        }
        std::fprintf(stderr, "no case %s\n", single.c_str());
        return 2;
    }
    if (!fs::exists(kPage)) {
        std::printf("skipped: %s is missing\n", kPage.c_str());
        return 0;
    }
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    std::printf("load average before: %s, %u processors, %d runs a case\n", loadAverage().c_str(),
                std::thread::hardware_concurrency(), repeat);
    std::printf("%-22s %9s %9s %9s  %s\n", "case", "cpu s", "wall s", "peak MB", "what");
    double floorCpu = 0, floorWall = 0, stripsWall = 0;
    for (const auto& c : list) {
        if (!only.empty() && c.name.rfind(only, 0) != 0 && c.name.rfind("floor", 0) != 0)
            continue;
        std::vector<double> cpu, wall, peak;
        bool finished = true;
        std::string output;
        for (int r = 0; r < repeat && finished; ++r) {
            const Sample s = runChild(self, c.name, timeout);
            finished = s.finished;
            cpu.push_back(s.cpu);
            wall.push_back(s.wall);
            peak.push_back(s.peakMb);
            output = s.output;
            if (s.wall > 20)
                break;  // one run is enough for a slow case
        }
        if (c.name == "floor") {
            floorCpu = median(cpu);
            floorWall = median(wall);
        }
        if (c.name == "strips-j1")
            stripsWall = median(wall);
        if (!finished) {
            std::printf("%-22s %9s %9.1f %9.1f  %s (stopped or failed)\n", c.name.c_str(), ">", wall.back(),
                        *std::max_element(peak.begin(), peak.end()), c.what.c_str());
            continue;
        }
        std::printf("%-22s %9.3f %9.3f %9.1f  %s", c.name.c_str(), median(cpu), median(wall),
                    *std::max_element(peak.begin(), peak.end()), c.what.c_str());
        if (c.name == "render" && floorCpu > 0)
            std::printf(" [%.2f x floor]", median(cpu) / floorCpu);
        if (c.name == "floor-j2" && floorWall > 0)
            std::printf(" [%.2f x faster than one]", floorWall / median(wall));
        if (c.name == "strips-j2" && stripsWall > 0)
            std::printf(" [%.2f x faster than one]", stripsWall / median(wall));
        if (!output.empty())
            std::printf(" [%s]", output.c_str());
        std::printf("\n");
        std::fflush(stdout);
    }
    std::printf("load average after: %s\n", loadAverage().c_str());
    return 0;
}
