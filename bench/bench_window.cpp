// The main window's speed on a display (run it on a virtual one:
// tests/gui/with_xvfb.sh build/release/bin/bench_window):
//   first page: from the start-up steps to the first paint of the page view
//   with the demonstration's page 1 (no Tip of the Day), median of 5 starts
//   in this process (the toolkit's own start is timed once apart);
//   scrolling: a 300-dpi page scrolled line by line, each paint's time
//   (only the visible part is drawn).

#include <sys/stat.h>
#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/timer.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

#include "app/session.h"
#include "app/settings_store.h"
#include "platform/folders.h"
#include "platform/registry/registry.h"
#include "render/magick.h"
#include "ui/main_commands.h"
#include "ui/wx/lv_frame_win.h"
#include "ui/wx/main_program.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

class Stop : public wxTimer {
public:
    Stop(wxEventLoopBase& loop, std::function<bool()> done) : m_loop(loop), m_done(std::move(done)) {}
    void Notify() override {
        if (m_done())
            m_loop.Exit();
    }

private:
    wxEventLoopBase& m_loop;
    std::function<bool()> m_done;
};

// Runs the toolkit until `done`; a wait past a minute ends the benchmark
// with the wait's name instead of running on for ever.
void runUntil(const std::function<bool()>& done, const char* what) {
    const auto end = Clock::now() + std::chrono::minutes(1);
    bool late = false;
    wxGUIEventLoop loop;
    Stop stop(loop, [&] {
        late = Clock::now() > end;
        return late || done();
    });
    stop.Start(1);
    loop.Run();
    if (late && !done()) {
        std::fprintf(stderr, "bench_window: no %s within a minute\n", what);
        std::exit(1);
    }
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct Machine {
    fs::path root;
    Machine() {
        char pattern[] = "/tmp/scrivlet-bench-XXXXXX";
        root = ::mkdtemp(pattern);
        for (const char* name : {"registry", "home", "config", "data", "cache", "install/emf"})
            fs::create_directories(root / name);
        ::setenv("SCRIVLET_REGISTRY", (root / "registry").c_str(), 1);
        ::setenv("HOME", (root / "home").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
        ::setenv("XDG_CACHE_HOME", (root / "cache").c_str(), 1);
        for (int i = 1; i <= 3; ++i) {
            const std::string name = "page000" + std::to_string(i) + ".emf";
            fs::copy_file(fs::path(SCRIVLET_SOURCE_DIR) / "samples" / "emf" / name,
                          root / "install" / "emf" / name);
        }
    }
    ~Machine() {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (std::getenv("DISPLAY") == nullptr) {
        std::printf("no display: run through tests/gui/with_xvfb.sh\n");
        return 77;
    }
    Magick::InitializeMagick(nullptr);
    const auto toolkit = Clock::now();
    wxApp::SetInstance(new wxApp);
    int count = argc;
    if (!wxEntryStart(count, argv))
        return 77;
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    std::printf("toolkit start: %.1f ms\n",
                std::chrono::duration<double, std::milli>(Clock::now() - toolkit).count());
    Machine machine;
    {
        wxGUIEventLoop outer;
        wxEventLoopActivator active(&outer);
        std::vector<double> firstPage;
        for (int run = 0; run < 6; ++run) {
            platform::Registry registry(platform::RegistryLocation::fromEnvironment());
            app::SettingsStore store(registry);
            store.writeString(platform::RegRoot::LocalMachine, "InstallPath",
                              (machine.root / "install").string());
            store.writeDword(platform::RegRoot::CurrentUser, "lvStartHelpCheck", 1);
            const auto folders = platform::PlatformFolders::fromEnvironment();
            app::Session session;
            ui::MainProgram program({session, store, registry, folders, [] { return 0; }, {}});
            const auto start = Clock::now();
            program.start({"quick"});
            runUntil([&] { return program.frame()->pageView()->imagePaints() > 0; }, "first page painted");
            const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            if (run > 0)  // the first run warms the file cache and the fonts
                firstPage.push_back(ms);
            if (run == 5) {
                // Scrolling a 300-dpi page.
                session.resolution.CheckN = 2;
                session.resolution.userResolution = 300;
                session.DemoMode = false;
                program.commands().router().dispatch(ui::cmd::kAntialiasNone, ui::CommandMap::StartButton);
                program.waitForCapture();
                std::vector<double> paints;
                ui::PageView* view = program.frame()->pageView();
                for (int line = 0; line < 20; ++line) {
                    const int before = view->imagePaints();
                    const int y = program.view().viewY;
                    view->scroll(app::ScrollBar::Vertical, ui::ScrollKind::LineDown);
                    if (program.view().viewY == y)
                        break;  // at the bottom
                    runUntil([&] { return view->imagePaints() > before; }, "paint after scrolling");
                    paints.push_back(view->lastPaintMilliseconds());
                }
                const auto image = session.CurrentImage.load();
                // The first paint of a new image turns it into a window
                // bitmap once; the others copy only what is visible.
                const double first = paints.front();
                paints.erase(paints.begin());
                std::printf(
                    "scrolling a %zux%zu page (300 dpi): first paint %.2f ms (with the bitmap conversion), "
                    "then median %.2f ms, max %.2f ms (%zu paints)\n",
                    image->columns(), image->rows(), first, median(paints),
                    *std::max_element(paints.begin(), paints.end()), paints.size());
            }
            program.requestClose();
            runUntil([&] { return program.closed(); }, "close");
        }
        std::printf("first page painted after the start-up steps: median %.1f ms of %zu starts\n",
                    median(firstPage), firstPage.size());
    }
    wxEntryCleanup();
    return 0;
}
