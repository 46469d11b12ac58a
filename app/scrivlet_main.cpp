// The main program. For now it performs the start-up steps that need no
// window: it prepares the platform folders, loads every setting and reports
// what it found. The windows and the capture worker plug in on top of this.

#include <cstdio>
#include <cstring>
#include <string>

#include "app/session.h"
#include "app/settings_store.h"
#include "platform/folders.h"
#include "platform/registry/registry.h"
#include "printer_support/slprnsupprt.h"

namespace {

const char* formatName(const app::FormatFlags& flags) {
    if (flags.JPG_Default) return "JPEG";
    if (flags.GIF_Default) return "GIF";
    if (flags.PNG_Default) return "PNG";
    if (flags.TIF_Default) return "TIF";
    return "BMP";
}

}  // namespace

int main(int argc, char** argv) {
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

    std::printf("Quillo Scrivlet\n");
    std::printf("  registry (current user):  %s\n", location.currentUserFile.c_str());
    std::printf("  registry (local machine): %s\n", location.localMachineFile.c_str());
    const auto work = folders.workFolder();
    std::printf("  work folder:              %s\n",
                work ? work->c_str() : ("unavailable: " + work.error().message).c_str());
    std::printf("  demonstration:            %s\n", session.DemoMode ? "on" : "off");
    std::printf("  resolution:               %.1f dpi (source %d), scale %d %%\n",
                app::currentResolution(session), session.resolution.CheckN, session.RenderOptions.ScaleCur);
    std::printf("  antialiasing:             %d\n", session.RenderOptions.KodAntialias);
    std::printf("  image format:             %s\n", formatName(session.CurrentFormat));
    const auto install = store.readString(platform::RegRoot::LocalMachine, "InstallPath");
    std::printf("  installation folder:      %s\n", install ? install->c_str() : "(not recorded)");
    // fnSLPrnRefresh is bound at load time (the program does not start
    // without the library); the capture worker calls it after a spool capture.
    int (*const refresh)() = &fnSLPrnRefresh;
    std::printf("  printer support:          libSLPrnSupprt (fnSLPrnRefresh at %p)\n", reinterpret_cast<void*>(refresh));
    std::printf("Page rendering is not built yet; no pages were rendered.\n");
    return 0;
}
