#include "app/page_acquisition.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <fstream>
#include <system_error>

#include "app/printer_macro_file.h"
#include "app/session.h"
#include "app/settings_store.h"
#include "app/ui_port.h"
#include "platform/folders.h"
#include "platform/text_util.h"

namespace app {
namespace {

namespace fs = std::filesystem;
using platform::WindowsPlatform;

std::tm timeOf(const fs::path& file, bool local) {
    struct stat info {};
    const std::time_t t = ::stat(file.c_str(), &info) == 0 ? info.st_mtime : 0;
    std::tm parts{};
    if (local) {
        localtime_r(&t, &parts);
    } else {
        gmtime_r(&t, &parts);
    }
    return parts;
}

long long parseDecimal(const std::optional<std::string>& text) {
    if (!text || text->empty())
        return 0;
    char* end = nullptr;
    const long long v = std::strtoll(text->c_str(), &end, 10);
    return (end != nullptr && *end == '\0') ? v : 0;
}

}  // namespace

std::string pageFileName(std::uint32_t job, int page) {
    char part[16];
    std::snprintf(part, sizeof part,
                  page < 10     ? "000%d"
                  : page < 100  ? "00%d"
                  : page < 1000 ? "0%d"
                                : "%d",
                  page);
    return std::to_string(job) + part + ".emf";
}

std::optional<fs::path> expectedSpoolFile(const platform::Spooler& spooler, std::uint32_t job) {
    if (job >= 100000)
        return std::nullopt;
    char name[16];
    std::snprintf(name, sizeof name, "%05u.SPL", job);
    return spooler.spoolFolder() / name;
}

std::uint32_t spoolFileTimeValue(int year, int month, int day, int hour, int minute, int second) {
    const long long v =
        ((((static_cast<long long>(year) - 2003) * 360 + month * 30 + day) * 24 + hour) * 60 + minute) * 60 +
        second;
    return static_cast<std::uint32_t>(static_cast<unsigned long long>(v));
}

PageAcquisition::PageAcquisition(Session& session, SettingsStore& store,
                                 const platform::PlatformFolders& folders, platform::Spooler& spooler,
                                 UserInterfacePort& ui)
    : m_session(session), m_store(store), m_folders(folders), m_spooler(spooler), m_ui(ui) {}

fs::path PageAcquisition::printerMacroFile() const {
    return app::printerMacroFile(m_store, m_folders);
}

fs::path PageAcquisition::workFolder() const {
    auto work = m_folders.workFolder();
    return work ? *work : fs::path();
}

void PageAcquisition::systemMessage(const std::string& text) {
    // No owner and the system's default caption.
    m_ui.showMessage(text, "Error", MessageButtons::Ok, MessageIcon::None);
}

bool PageAcquisition::findCapturePrinter() {
    if (auto line = readFirstLine(printerMacroFile())) {
        if (auto name = printerOfActivePrinterText(*line, m_spooler)) {
            m_session.CapturePrinterName = *name;
            return true;
        }
        // A line without " on " (another language's Word, an empty or damaged
        // file) names no printer: the default printer, which is also the one
        // the printer-support library prepared, so the job is found.
    }
    switch (m_spooler.platform()) {
        case WindowsPlatform::Win9x: {
            const auto name = m_spooler.defaultPrinter();
            const auto info = name ? m_spooler.printer(*name) : std::nullopt;
            if (!info) {
                systemMessage("dwNeeded == 0");
                return false;
            }
            m_session.PrinterDpi = info->printQuality;
            m_session.CapturePrinterName = info->name;
            return true;
        }
        case WindowsPlatform::NT4: {
            // The profile's default ",,," names no printer.
            const std::string device = m_spooler.profileDevice();
            const std::string name = device.substr(0, device.find(','));
            if (name.empty())
                return false;
            m_session.CapturePrinterName = name;
            return true;
        }
        case WindowsPlatform::Win2000: {
            const auto name = m_spooler.defaultPrinter();
            if (!name)
                return false;
            m_session.CapturePrinterName = platform::truncateUtf8(*name, 260);
            return true;
        }
    }
    return false;
}

bool PageAcquisition::captureSpoolJobs(const std::string& title) {
    if (!m_spooler.printer(m_session.CapturePrinterName))
        return false;
    const auto jobs = m_spooler.jobs(m_session.CapturePrinterName);
    for (const auto& job : jobs) {
        // The first 30 characters decide, case-sensitively.
        if (std::strncmp(job.document.c_str(), title.c_str(), 30) != 0)
            continue;
        auto path = expectedSpoolFile(m_spooler, job.id);
        if (m_spooler.platform() == WindowsPlatform::Win9x) {
            if (path)
                copyTemporaryPages(*path, job.id);
            continue;
        }
        const std::string found = findSpoolFileByTime(m_spooler.spoolFolder());
        if (found.size() > 3)
            path = fs::path(found);
        if (!path)
            continue;
        const std::tm t = timeOf(*path, false);
        m_store.writeDword(
            platform::RegRoot::CurrentUser, "LastSplFileTime",
            spoolFileTimeValue(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec));
        cutEmfPages(*path, job.id);
    }
    return true;
}

void PageAcquisition::copyTemporaryPages(const fs::path& spoolFile, std::uint32_t job) {
    // 95/98/Me: the spool file names its pages' temporary files "~EMFxxxxxxxx".
    auto temp = m_folders.systemTempFolder();
    if (!temp)
        return;
    reportCut(spoolFile, app::copyTemporaryPages(spoolFile, *temp, job, workFolder()));
}

std::string PageAcquisition::findSpoolFileByTime(const fs::path& folder) {
    const long long threshold =
        parseDecimal(m_store.readString(platform::RegRoot::CurrentUser, "CurSPLTimeInfo1")) * 1000000 +
        parseDecimal(m_store.readString(platform::RegRoot::CurrentUser, "CurSPLTimeInfo2"));
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        if (platform::equalsIgnoreCase(entry.path().extension().string(), ".spl"))
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    if (files.empty()) {
        const auto answer = m_ui.showMessage("Error SPL-file access! (0001)\nRun 'Quick Start Reference'?",
                                             kMessageCaption, MessageButtons::YesNo, MessageIcon::Question);
        if (answer == MessageAnswer::Yes && startProgram) {
            const auto install = m_store.readString(platform::RegRoot::LocalMachine, "InstallPath");
            startProgram(m_folders.nativePath(install.value_or("")) / kMainProgramName, "quick");
        }
        return "_";
    }
    for (const auto& file : files) {
        const std::tm t = timeOf(file, true);
        const long long stamp = static_cast<long long>(t.tm_year + 1900 - 2000) * 10000000000LL +
                                static_cast<long long>(t.tm_mon + 1) * 100000000LL + t.tm_mday * 1000000LL +
                                t.tm_hour * 10000LL + t.tm_min * 100LL + t.tm_sec;
        if (stamp >= threshold)
            return file.string();
    }
    return "_";
}

bool PageAcquisition::cutEmfPages(const fs::path& spoolFile, std::uint32_t job) {
    const CutResult result = app::cutEmfPages(spoolFile, job, workFolder());
    reportCut(spoolFile, result);
    return result.readToEnd;
}

void PageAcquisition::reportCut(const fs::path& spoolFile, const CutResult& result) {
    // A damaged or cut-short spool file is said, not passed over in silence.
    if (!result.problem.empty())
        std::fprintf(stderr, "Spool file %s: %s.\n", spoolFile.c_str(), result.problem.c_str());
    if (result.unwritten && !m_pagesUnwritten) {
        m_pagesUnwritten = true;
        m_ui.showMessage("The pages could not be written to the work folder:\n" + result.problem +
                             "\nThe document stays in the print queue; start Scrivlet again once the "
                             "folder can be written.",
                         kMessageCaption, MessageButtons::Ok, MessageIcon::Error);
    }
}

void PageAcquisition::deleteQueuedJobs() {
    if (!m_spooler.printer(m_session.CapturePrinterName))
        return;
    for (const auto& job : m_spooler.jobs(m_session.CapturePrinterName)) {
        if (m_spooler.platform() == WindowsPlatform::Win9x) {
            m_spooler.cancelJob(job.id);
        } else {
            m_spooler.deleteJob(job.id);
        }
    }
}

PrinterInventory PageAcquisition::collectPrinterInventory() {
    // A printer that cannot be opened is said and listed by its name alone.
    PrinterInventory inventory;
    for (const auto& name : m_spooler.printerNames()) {
        const auto info = m_spooler.printer(name);
        if (!info)
            systemMessage("!bFlag || !hPrinter. Error 020010");
        inventory.local.push_back(info ? PrinterInventoryEntry{info->name, info->port, info->driver,
                                                               info->dataType, info->attributes}
                                       : PrinterInventoryEntry{name, {}, {}, {}, 0});
    }
    for (const auto& name : m_spooler.connectionNames()) {
        const auto info = m_spooler.connection(name);
        if (!info)
            systemMessage("!bFlag || !hPrinter. Error 020013");
        inventory.connections.push_back(info ? PrinterInventoryEntry{info->name, info->port, info->driver,
                                                                     info->dataType, info->attributes}
                                             : PrinterInventoryEntry{name, {}, {}, {}, 0});
    }
    return inventory;
}

}  // namespace app
