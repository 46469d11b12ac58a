#pragma once
// Page acquisition on the spool route: the capture printer, its jobs, their
// spool files and the pages cut out of them into the work folder.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/spool_cutter.h"
#include "platform/spooler/spooler.h"

namespace platform {
class PlatformFolders;
}

namespace app {

// The main program's file in the installation folder.
inline constexpr const char* kMainProgramName = "Scrivlet";

struct Session;
class SettingsStore;
class UserInterfacePort;

// The printer tables of the emergency report.
struct PrinterInventoryEntry {
    std::string name;
    std::string port;
    std::string driver;
    std::string dataType;
    std::uint32_t attributes = 0;
};
struct PrinterInventory {
    std::vector<PrinterInventoryEntry> local;
    std::vector<PrinterInventoryEntry> connections;
};

// Page file name of page `page` (from 1) of job `job`: 120003.emf for job 12, page 3.
std::string pageFileName(std::uint32_t job, int page);
// The expected spool file of a job: <Windows>\spool\PRINTERS\0000J.SPL (with
// SYSTEM32 on NT); none for ids of 100000 or more.
std::optional<std::filesystem::path> expectedSpoolFile(const platform::Spooler& spooler, std::uint32_t job);
// LastSplFileTime: seconds in a calendar of 360-day years counted from 2003.
std::uint32_t spoolFileTimeValue(int year, int month, int day, int hour, int minute, int second);

class PageAcquisition {
public:
    PageAcquisition(Session& session, SettingsStore& store, const platform::PlatformFolders& folders,
                    platform::Spooler& spooler, UserInterfacePort& ui);

    // Starts a program through the shell (the demonstration offer); the
    // default does nothing.
    std::function<void(const std::filesystem::path& program, const std::string& parameter)> startProgram;

    bool findCapturePrinter();
    bool captureSpoolJobs(const std::string& title);
    std::string findSpoolFileByTime(const std::filesystem::path& folder);
    bool cutEmfPages(const std::filesystem::path& spoolFile, std::uint32_t job);
    void deleteQueuedJobs();
    // A page could not be written to the work folder (said to the user):
    // the jobs must stay queued and the printer paused, or the document is
    // lost.
    bool pagesUnwritten() const { return m_pagesUnwritten; }
    PrinterInventory collectPrinterInventory();

    // lvSLPrnMacro.ini: "Local AppData"\Scrivlet, or c:\ when that folder
    // name has 3 characters or fewer.
    std::filesystem::path printerMacroFile() const;
    std::filesystem::path workFolder() const;

private:
    void systemMessage(const std::string& text);
    void copyTemporaryPages(const std::filesystem::path& spoolFile, std::uint32_t job);
    void reportCut(const std::filesystem::path& spoolFile, const CutResult& result);

    Session& m_session;
    SettingsStore& m_store;
    const platform::PlatformFolders& m_folders;
    platform::Spooler& m_spooler;
    UserInterfacePort& m_ui;
    bool m_pagesUnwritten = false;
};

}  // namespace app
