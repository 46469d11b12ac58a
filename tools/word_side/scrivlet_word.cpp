// scrivlet-word: plays the Word side of the capture with pages given as
// enhanced-metafile files.
//
//   scrivlet-word spool --document NAME [--printer NAME] [--start PROGRAM] PAGE.emf...
//   scrivlet-word clipboard --document NAME [--start PROGRAM] PAGE.emf
//
// Spool route: writes lvSLPrnMacro.ini, prepares the printer through
// fnSLPrnSetting, records the document, window title and print moment,
// queues an EMF spool job "Microsoft Word - NAME" on the capture printer and
// starts the main program. Clipboard route: puts the page on the clipboard,
// records the exchange values and starts the main program. The main program
// is <InstallPath>/Scrivlet unless --start names another one; when there is
// none, the pages wait for it.

#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/emf_spool_writer.h"
#include "app/settings_store.h"
#include "metafile/metafile.h"
#include "platform/clipboard.h"
#include "platform/folders.h"
#include "platform/registry/registry.h"
#include "platform/spooler/spooler.h"
#include "printer_support/slprnsupprt.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using platform::RegRoot;

std::u16string toUtf16(const std::string& s) {
    std::u16string out;
    for (unsigned char c : s) out.push_back(c);  // document names: Latin-1 is enough here
    return out;
}

std::optional<std::vector<std::byte>> readPage(const fs::path& file) {
    auto mf = metafile::Metafile::fromFile(file);
    if (!mf) {
        std::fprintf(stderr, "scrivlet-word: %s: %s\n", file.c_str(), mf.error().message.c_str());
        return std::nullopt;
    }
    return std::vector<std::byte>(mf->bytes().begin(), mf->bytes().end());
}

void startMainProgram(const std::string& program) {
    std::error_code ec;
    if (program.empty() || !fs::exists(program, ec)) {
        std::printf("main program not found (%s); the pages wait for it\n",
                    program.empty() ? "-" : program.c_str());
        return;
    }
    pid_t pid = 0;
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ) == 0) {
        std::printf("started %s\n", program.c_str());
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr,
                     "usage: scrivlet-word spool|clipboard --document NAME [--printer NAME] [--start "
                     "PROGRAM] PAGE.emf...\n");
        return 2;
    }
    const std::string route = argv[1];
    std::string document, printerName, start;
    std::vector<fs::path> pageFiles;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--document" && i + 1 < argc)
            document = argv[++i];
        else if (arg == "--printer" && i + 1 < argc)
            printerName = argv[++i];
        else if (arg == "--start" && i + 1 < argc)
            start = argv[++i];
        else
            pageFiles.emplace_back(arg);
    }
    if ((route != "spool" && route != "clipboard") || document.empty() || pageFiles.empty()) {
        std::fprintf(stderr, "scrivlet-word: give a route, --document NAME and at least one page\n");
        return 2;
    }
    std::vector<std::vector<std::byte>> pages;
    for (const auto& f : pageFiles) {
        auto page = readPage(f);
        if (!page)
            return 1;
        pages.push_back(std::move(*page));
    }

    platform::Registry registry(platform::RegistryLocation::fromEnvironment());
    const auto folders = platform::PlatformFolders::fromEnvironment();
    platform::ensureLocalAppDataValue(registry, folders);
    app::SettingsStore store(registry);
    const auto windows = folders.windowsFolder();
    if (!windows) {
        std::fprintf(stderr, "scrivlet-word: %s\n", windows.error().message.c_str());
        return 1;
    }
    platform::Spooler spooler(registry, *windows, platform::platformFromEnvironment());
    const std::string title = "Microsoft Word - " + document;
    if (start.empty()) {
        const auto install = store.readString(RegRoot::LocalMachine, "InstallPath");
        if (install)
            start = (folders.nativePath(*install) / "Scrivlet").string();
    }

    if (route == "clipboard") {
        platform::FileClipboard clipboard(*windows / "clipboard");
        if (!clipboard.open() || !clipboard.setEnhancedMetafile(pages.front())) {
            std::fprintf(stderr, "scrivlet-word: the clipboard cannot be written\n");
            return 1;
        }
        clipboard.close();
        store.writeString(RegRoot::CurrentUser, "CurWordKodClipbrd", "TRUE");
        store.writeString(RegRoot::CurrentUser, "CurWordWinName", title);
        store.writeString(RegRoot::CurrentUser, "CurDocName", document);
        std::printf("page on the clipboard\n");
        startMainProgram(start);
        return 0;
    }

    // 1. The macro's printer file: "<printer> on <port>".
    if (printerName.empty())
        printerName = spooler.defaultPrinter().value_or("");
    const auto printer = spooler.printer(printerName);
    if (!printer) {
        std::fprintf(stderr, "scrivlet-word: no printer \"%s\"\n", printerName.c_str());
        return 1;
    }
    const auto local = store.localAppDataFolder();
    const fs::path macro = local && local->size() > 3
                               ? folders.nativePath(*local) / "Scrivlet" / "lvSLPrnMacro.ini"
                               : folders.nativePath("c:\\lvSLPrnMacro.ini");
    std::error_code ec;
    fs::create_directories(macro.parent_path(), ec);
    std::ofstream(macro, std::ios::trunc) << printer->name << " on " << printer->port << "\n";
    // 2. Prepare the printer.
    fnSLPrnSetting();
    // 3. The exchange values with the print moment (local time).
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    char date[40], time[40];
    std::snprintf(date, sizeof date, "%02d%02d%02d", t.tm_year + 1900 - 2000, t.tm_mon + 1, t.tm_mday);
    std::snprintf(time, sizeof time, "%02d%02d%02d", t.tm_hour, t.tm_min, t.tm_sec);
    store.writeString(RegRoot::CurrentUser, "CurDocName", document);
    store.writeString(RegRoot::CurrentUser, "CurWordWinName", title);
    store.writeString(RegRoot::CurrentUser, "CurWordKodClipbrd", "FALSE");
    store.writeString(RegRoot::CurrentUser, "CurSPLTimeInfo1", std::to_string(std::stoi(date)));
    store.writeString(RegRoot::CurrentUser, "CurSPLTimeInfo2", std::to_string(std::stoi(time)));
    // 4. Print to the (paused) capture printer.
    const auto spool = app::writeEmfSpool(toUtf16(title), pages);
    const auto job = spooler.submitJob(printer->name, title, spool);
    if (!job) {
        std::fprintf(stderr, "scrivlet-word: the job cannot be queued\n");
        return 1;
    }
    std::printf("queued job %u \"%s\" with %zu page(s) on \"%s\"\n", *job, title.c_str(), pages.size(),
                printer->name.c_str());
    // 5. Start the main program.
    startMainProgram(start);
    return 0;
}
