// scrivlet-word: plays the Word side of the capture with pages given as
// enhanced-metafile files.
//
//   scrivlet-word spool --document NAME [--printer NAME] [--start PROGRAM] [--wait] PAGE.emf...
//   scrivlet-word clipboard --document NAME [--start PROGRAM] [--wait] PAGE.emf
//
// Spool route: writes lvSLPrnMacro.ini, prepares the printer through
// fnSLPrnSetting, records the document, window title and print moment,
// queues a spool job "Microsoft Word - NAME" on the capture printer (EMF
// spool data; on 95/98/Me the pages go to ~EMF files of the temporary folder
// that the spool data name) and starts the main program. Clipboard route:
// puts the page on the clipboard, records the exchange values and starts the
// main program. The main program is <InstallPath>/Scrivlet unless --start
// names another one; when there is none, the pages wait for it. With --wait
// the tool waits for the main program and ends with its exit status.
//
// Exit status: 0 done, 1 the pages could not be handed over, 2 bad usage.

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "app/emf_spool_writer.h"
#include "app/page_acquisition.h"
#include "app/printer_macro_file.h"
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

// A page as Word would print it: a whole enhanced metafile. A file the
// reader had to cut short is refused rather than sent in part.
std::optional<std::vector<std::byte>> readPage(const fs::path& file) {
    auto mf = metafile::Metafile::fromFile(file);
    if (!mf) {
        std::fprintf(stderr, "scrivlet-word: %s: %s\n", file.c_str(), mf.error().message.c_str());
        return std::nullopt;
    }
    if (!mf->truncation().empty()) {
        std::fprintf(stderr, "scrivlet-word: %s: the metafile is cut short (%s); not sent\n", file.c_str(),
                     mf->truncation().c_str());
        return std::nullopt;
    }
    return std::vector<std::byte>(mf->bytes().begin(), mf->bytes().end());
}

// Starts the main program; with `wait`, its exit status (1 when it could not
// be started or did not end normally), otherwise 0.
int startMainProgram(const std::string& program, bool wait) {
    std::error_code ec;
    if (program.empty() || !fs::exists(program, ec)) {
        std::printf("main program not found (%s); the pages wait for it\n",
                    program.empty() ? "-" : program.c_str());
        return wait ? 1 : 0;
    }
    pid_t pid = 0;
    std::string file = program;
    char* argv[] = {file.data(), nullptr};
    if (posix_spawn(&pid, file.c_str(), nullptr, nullptr, argv, environ) != 0) {
        std::fprintf(stderr, "scrivlet-word: cannot start %s\n", program.c_str());
        return 1;
    }
    std::printf("started %s\n", program.c_str());
    std::fflush(stdout);
    if (!wait)
        return 0;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return 1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

// 95/98/Me: each page goes to a new file "~EMF" + 8 characters of the
// temporary folder; the names, in page order, or nullopt when one cannot be
// written (the files written so far are removed).
std::optional<std::vector<std::string>> writeTemporaryPages(
    const fs::path& temp, const std::vector<std::vector<std::byte>>& pages) {
    std::vector<std::string> names;
    unsigned next = static_cast<unsigned>(::getpid()) & 0xFFFF;
    for (const auto& page : pages) {
        bool written = false;
        for (unsigned tries = 0; tries < 0x10000 && !written; ++tries, next = (next + 1) & 0xFFFF) {
            char name[16];
            std::snprintf(name, sizeof name, "~EMF%04X.TMP", next);
            const fs::path file = temp / name;
            const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if (fd < 0) {
                if (errno == EEXIST)
                    continue;
                break;
            }
            std::size_t done = 0;
            while (done < page.size()) {
                const ssize_t n = ::write(fd, page.data() + done, page.size() - done);
                if (n <= 0)
                    break;
                done += static_cast<std::size_t>(n);
            }
            ::close(fd);
            if (done != page.size()) {
                fs::remove(file);
                break;
            }
            names.emplace_back(name);
            written = true;
        }
        if (!written) {
            for (const auto& n : names) fs::remove(temp / n);
            return std::nullopt;
        }
    }
    return names;
}

bool stillQueued(const platform::Spooler& spooler, const std::string& printer, std::uint32_t job) {
    for (const auto& queued : spooler.jobs(printer)) {
        if (queued.id == job)
            return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr,
                     "usage: scrivlet-word spool|clipboard --document NAME [--printer NAME] [--start "
                     "PROGRAM] [--wait] PAGE.emf...\n");
        return 2;
    }
    const std::string route = argv[1];
    std::string document, printerName, start;
    bool wait = false;
    std::vector<fs::path> pageFiles;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--document" && i + 1 < argc)
            document = argv[++i];
        else if (arg == "--printer" && i + 1 < argc)
            printerName = argv[++i];
        else if (arg == "--start" && i + 1 < argc)
            start = argv[++i];
        else if (arg == "--wait")
            wait = true;
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
            start = (folders.nativePath(*install) / app::kMainProgramName).string();
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
        return startMainProgram(start, wait);
    }

    // 1. The macro's printer file: "<printer> on <port>".
    if (printerName.empty())
        printerName = spooler.defaultPrinter().value_or("");
    if (printerName.empty()) {
        std::fprintf(stderr,
                     "scrivlet-word: no capture printer: there is no default printer; name one with "
                     "--printer\n");
        return 1;
    }
    const auto printer = spooler.printer(printerName);
    if (!printer) {
        std::fprintf(stderr, "scrivlet-word: no printer \"%s\"\n", printerName.c_str());
        return 1;
    }
    const fs::path macro = app::printerMacroFile(store, folders);
    std::error_code ec;
    fs::create_directories(macro.parent_path(), ec);
    if (!(std::ofstream(macro, std::ios::trunc) << printer->name << " on " << printer->port << "\n")) {
        std::fprintf(stderr, "scrivlet-word: cannot write %s\n", macro.c_str());
        return 1;
    }
    // 2. Prepare the printer.
    fnSLPrnSetting();
    // 3. The exchange values with the print moment (local time).
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    char date[40], time[40];
    std::snprintf(date, sizeof date, "%d",
                  (t.tm_year + 1900 - 2000) * 10000 + (t.tm_mon + 1) * 100 + t.tm_mday);
    std::snprintf(time, sizeof time, "%d", t.tm_hour * 10000 + t.tm_min * 100 + t.tm_sec);
    store.writeString(RegRoot::CurrentUser, "CurDocName", document);
    store.writeString(RegRoot::CurrentUser, "CurWordWinName", title);
    store.writeString(RegRoot::CurrentUser, "CurWordKodClipbrd", "FALSE");
    store.writeString(RegRoot::CurrentUser, "CurSPLTimeInfo1", date);
    store.writeString(RegRoot::CurrentUser, "CurSPLTimeInfo2", time);
    // 4. Print to the (paused) capture printer.
    std::vector<std::byte> spool;
    if (spooler.platform() == platform::WindowsPlatform::Win9x) {
        const auto temp = folders.systemTempFolder();
        const auto names = temp ? writeTemporaryPages(*temp, pages) : std::nullopt;
        if (!names) {
            std::fprintf(stderr, "scrivlet-word: the pages cannot be written to the temporary folder\n");
            fnSLPrnRefresh();
            return 1;
        }
        spool = app::writeWin9xSpool(*names);
    } else {
        spool = app::writeEmfSpool(toUtf16(title), pages);
    }
    const auto job = spooler.submitJob(printer->name, title, spool);
    if (!job || !stillQueued(spooler, printer->name, *job)) {
        // Without a queued job the main program finds no pages: say so, and
        // put back whatever fnSLPrnSetting changed.
        if (job)
            std::fprintf(stderr,
                         "scrivlet-word: the printer \"%s\" is not paused, so job %u left the queue at once; "
                         "nothing was captured\n",
                         printer->name.c_str(), *job);
        else
            std::fprintf(stderr, "scrivlet-word: the job cannot be queued on \"%s\"\n",
                         printer->name.c_str());
        fnSLPrnRefresh();
        return 1;
    }
    std::printf("queued job %u \"%s\" with %zu page(s) on \"%s\"\n", *job, title.c_str(), pages.size(),
                printer->name.c_str());
    // 5. Start the main program.
    return startMainProgram(start, wait);
}
