// The main program. With a display it opens its window (the capture's pages
// arrive as thumbnails, the first one shown). Without one, when the display
// cannot be opened, or when asked with --headless, it works headless: with
// "quick" it renders the demonstration pages of the installation folder,
// otherwise it runs the capture worker (spool or clipboard route); either way
// the pages are written as image files in the current format, and it says
// where.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "app/console_ui.h"
#include "app/headless_capture.h"
#include "app/session.h"
#include "app/settings_store.h"
#include "app/start_program.h"
#include "metafile/metafile.h"
#include "output/formats.h"
#include "output/image_file.h"
#include "platform/folders.h"
#include "platform/registry/registry.h"
#include "printer_support/slprnsupprt.h"
#include "render/magick.h"
#include "render/page_renderer.h"
#ifdef SCRIVLET_WINDOW
#include "ui/wx/main_program.h"
#endif

namespace {

namespace fs = std::filesystem;

fs::path outputFolder() {
    const char* outEnv = std::getenv("SCRIVLET_OUTPUT");
    return outEnv != nullptr && *outEnv != '\0' ? fs::path(outEnv) : fs::current_path() / "scrivlet-output";
}

bool hasDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* v = std::getenv(name);
        if (v != nullptr && *v != '\0')
            return true;
    }
    return false;
}

// The shell's "open" of a program with one parameter, as the capture asks
// for it.
void startProgram(const fs::path& program, const std::string& parameter) {
    app::startProgram(program, parameter);
}

const char* formatName(const app::FormatFlags& flags) {
    if (flags.JPG_Default)
        return "JPEG";
    if (flags.GIF_Default)
        return "GIF";
    if (flags.PNG_Default)
        return "PNG";
    if (flags.TIF_Default)
        return "TIF";
    return "BMP";
}

// The demonstration: every sample page rendered at the current resolution
// and written as Demo0001.jpg, Demo0002.jpg ... in the output folder.
int runDemonstration(app::Session& session, app::SettingsStore& store,
                     const platform::PlatformFolders& folders) {
    const auto install = store.readString(platform::RegRoot::LocalMachine, "InstallPath");
    if (!install) {
        // A hive that could not be read has said why; it says nothing about
        // what was recorded.
        const auto key = store.registry().openKey(platform::RegRoot::LocalMachine, app::kProductKey,
                                                  platform::RegAccess::Read);
        if (key || key.error() == platform::RegStatus::NotFound)
            std::fprintf(stderr, "No installation folder is recorded (InstallPath); run ./setup.sh first.\n");
        return 1;
    }
    const fs::path samples = folders.nativePath(*install) / "emf";
    std::vector<fs::path> pages;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(samples, ec)) {
        if (entry.path().extension() == ".emf")
            pages.push_back(entry.path());
    }
    std::sort(pages.begin(), pages.end());
    if (pages.empty()) {
        std::fprintf(stderr, "No sample pages in %s.\n", samples.c_str());
        return 1;
    }
    const fs::path out = outputFolder();
    app::ConsoleUi ui;
    if (fs::create_directories(out, ec); ec) {
        output::reportOutputError(ui, output::OutputError{out.string(), ec.message()});
        return 1;
    }
    render::PageRenderer renderer(session, ui);
    output::FormatService formatService(session, store, folders, ui);
    renderer.applyEncodingOptions = [&](Magick::Image& image, double resolution) {
        formatService.applyEncodingOptions(image, resolution);
    };
    const double dpi = app::currentResolution(session);
    int number = 0, written = 0, failed = 0;
    for (const auto& file : pages) {
        auto mf = metafile::Metafile::fromFile(file);
        if (!mf) {
            std::fprintf(stderr, "%s: %s\n", file.c_str(), mf.error().message.c_str());
            ++failed;
            continue;
        }
        Magick::Image image = renderer.renderPage(dpi, &*mf);
        char name[32];
        std::snprintf(name, sizeof name, "Demo%04d%s", ++number,
                      std::string(output::extensionOf(session.CurrentFormat)).c_str());
        if (auto result = output::writeImageFile(image, out / name); !result) {
            output::reportOutputError(ui, result.error());
            ++failed;
            continue;
        }
        ++written;
        std::printf("  %s (%zux%zu pixels, %.0f dpi)\n", (out / name).c_str(), image.columns(), image.rows(),
                    dpi);
    }
    std::printf("%d demonstration page(s) written to %s\n", written, out.c_str());
    return failed == 0 ? 0 : 1;
}

}  // namespace

namespace {

constexpr const char* kUsage =
    "usage: Scrivlet [quick] [--headless]      capture, or with quick the demonstration pages\n"
    "       Scrivlet [--headless] [--] FILE...  enhanced metafiles and EMF spool files as the pages\n";

}  // namespace

int main(int argc, char** argv) {
    Magick::InitializeMagick(nullptr);
    const auto location = platform::RegistryLocation::fromEnvironment();
    platform::Registry registry(location);
    const auto folders = platform::PlatformFolders::fromEnvironment();
    platform::ensureLocalAppDataValue(registry, folders);

    app::Session session;
    app::SettingsStore store(registry);
    store.loadSettings(session);
    if (argc > 1 && std::strcmp(argv[1], "quick") == 0) {
        session.DemoMode = true;
    }
    bool headlessAsked = false;
    bool options = true;
    for (int i = session.DemoMode ? 2 : 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (options && arg == "--") {
            options = false;
        } else if (options && (arg == "--help" || arg == "-h")) {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (options && arg == "--headless") {
            headlessAsked = true;
        } else if (options && arg.size() > 1 && arg.front() == '-') {
            std::fprintf(stderr, "Scrivlet: unknown option %s (a file of that name: put -- before it)\n%s",
                         argv[i], kUsage);
            return 2;
        } else if (session.DemoMode) {
            std::fprintf(stderr, "Scrivlet: quick shows the demonstration pages and takes no files (%s)\n%s",
                         argv[i], kUsage);
            return 2;
        } else {
            session.OpenedFiles.emplace_back(argv[i]);  // "Scrivlet FILE...": the files are the pages
        }
    }
    if (!session.OpenedFiles.empty())
        session.macroExchange.DocumentName = session.OpenedFiles.front().filename().string();

    std::printf("Quillo Scrivlet\n");
    std::printf("  registry (current user):  %s\n", location.currentUserFile.c_str());
    std::printf("  registry (local machine): %s\n", location.localMachineFile.c_str());
    const auto work = folders.workFolder();
    std::printf("  work folder:              %s\n",
                work ? work->c_str() : ("unavailable: " + work.error().message).c_str());
    std::printf("  resolution:               %.1f dpi (source %d), scale %d %%\n",
                app::currentResolution(session), session.resolution.CheckN, session.RenderOptions.ScaleCur);
    std::printf("  antialiasing:             %d\n", session.RenderOptions.KodAntialias);
    std::printf("  image format:             %s\n", formatName(session.CurrentFormat));
    // fnSLPrnRefresh is bound at load time (the program does not start
    // without the library); the capture worker calls it after a spool capture.
    int (*const refresh)() = &fnSLPrnRefresh;
    std::printf("  printer support:          libSLPrnSupprt (fnSLPrnRefresh at %p)\n",
                reinterpret_cast<void*>(refresh));
    const char* headlessReason = "no display";
    if (headlessAsked) {
        headlessReason = nullptr;
    } else if (hasDisplay()) {
#ifdef SCRIVLET_WINDOW
        std::fflush(stdout);
        const int status =
            ui::runWindowed(argc, argv, {session, store, registry, folders, refresh, startProgram});
        if (status >= 0)
            return status;
        headlessReason = "the display cannot be opened";
#else
        headlessReason = "built without windows";
#endif
    }
    if (session.DemoMode) {
        std::printf("Quick-start demonstration:\n");
        return runDemonstration(session, store, folders);
    }
    if (headlessReason == nullptr)
        std::printf("Capture (headless, as asked):\n");
    else
        std::printf("Capture (headless: %s):\n", headlessReason);
    app::ConsoleUi ui;
    return app::runHeadlessCapture(
        {session, store, registry, folders, ui, refresh, startProgram, outputFolder()});
}
