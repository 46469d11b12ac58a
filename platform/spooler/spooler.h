#pragma once
// The print spooler, emulated in the folder that plays the Windows folder:
// printers live in the registry where Windows keeps them, the default printer
// in the profile value Windows uses, and each queued job is a spool file
// NNNNN.SPL with a small job file NNNNN.job beside it in the spool folder.
// A job sent to a running printer is printed at once (it leaves the queue);
// on a paused printer it stays queued with its spool file.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace platform {

class Registry;

enum class WindowsPlatform { Win9x, NT4, Win2000 };

// The platform from $SCRIVLET_WINDOWS_VERSION ("95", "98", "me", "nt4"),
// Windows 2000 and later otherwise.
WindowsPlatform platformFromEnvironment();

inline constexpr std::uint32_t PRINTER_ATTRIBUTE_DEFAULT = 0x4;
inline constexpr std::uint32_t PRINTER_ATTRIBUTE_NETWORK = 0x10;
inline constexpr std::uint32_t PRINTER_ATTRIBUTE_RAW_ONLY = 0x1000;
inline constexpr std::uint32_t PRINTER_STATUS_PAUSED = 0x1;

// PRINTER_INFO_2, the facts the program reads.
struct PrinterInfo {
    std::string name;
    std::string port;
    std::string driver;
    std::string dataType = "RAW";
    std::uint32_t attributes = 0;
    std::uint32_t status = 0;
    std::int16_t printQuality = 300;  // dmPrintQuality of the device mode
};

// JOB_INFO_1, the facts the program reads.
struct JobInfo {
    std::uint32_t id = 0;
    std::string printer;
    std::string document;
    std::uint32_t status = 0;
};

class Spooler {
public:
    Spooler(Registry& registry, std::filesystem::path windowsFolder, WindowsPlatform platform);

    WindowsPlatform platform() const { return m_platform; }
    const std::filesystem::path& windowsFolder() const { return m_windows; }
    // <Windows>\spool\PRINTERS on 95/98/Me, <Windows>\SYSTEM32\spool\PRINTERS on NT.
    std::filesystem::path spoolFolder() const;

    // Printers.
    bool addPrinter(const PrinterInfo& printer);
    std::vector<std::string> printerNames() const;
    std::optional<PrinterInfo> printer(const std::string& name) const;
    bool setPrinter(const PrinterInfo& printer);  // writes port, data type, attributes, status
    bool pause(const std::string& name);
    bool resume(const std::string& name);

    // The user's network printer connections, kept where Windows keeps them:
    // a key per connection under the current user's Printers\Connections,
    // "\\server\share" stored as ",,server,share", with a printer's values.
    // A connection always carries PRINTER_ATTRIBUTE_NETWORK.
    bool addConnection(const PrinterInfo& printer);
    // Names as "\\server\share", in the order they were added.
    std::vector<std::string> connectionNames() const;
    std::optional<PrinterInfo> connection(const std::string& name) const;

    // The default printer: "name,winspool,port" in the user's profile value.
    bool setDefaultPrinter(const std::string& name);
    std::optional<std::string> defaultPrinter() const;
    // NT 4: the profile entry "device" of section "windows" (the same value).
    std::string profileDevice() const;

    // Jobs, in queue order.
    std::vector<JobInfo> jobs(const std::string& printer) const;
    // Queues a job; on a running printer it is printed at once. Returns the id.
    std::optional<std::uint32_t> submitJob(const std::string& printer, const std::string& document,
                                           std::span<const std::byte> spoolData);
    bool cancelJob(std::uint32_t id);  // 95/98/Me
    bool deleteJob(std::uint32_t id);  // NT and later
    std::filesystem::path spoolFileOf(std::uint32_t id) const;

private:
    std::optional<JobInfo> readJob(const std::filesystem::path& file) const;
    bool removeJob(std::uint32_t id);

    Registry& m_registry;
    std::filesystem::path m_windows;
    WindowsPlatform m_platform;
};

// Where printers and the default printer are kept.
inline constexpr const char* kPrintersKey = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers";
inline constexpr const char* kConnectionsKey = "Printers\\Connections";
inline constexpr const char* kWindowsProfileKey = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";

}  // namespace platform
