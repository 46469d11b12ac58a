#include "output/emergency_report.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <ctime>

#include "app/page_acquisition.h"
#include "app/session.h"
#include "app/settings_store.h"
#include "output/image_file.h"
#include "output/mail.h"
#include "output/writer_services.h"
#include "platform/file_attributes.h"
#include "platform/folders.h"
#include "platform/registry/registry.h"
#include "platform/spooler/spooler.h"
#include "platform/text_util.h"
#include "platform/windows_version.h"

namespace output {
namespace {

namespace fs = std::filesystem;
using platform::RegAccess;
using platform::RegRoot;

// The attribute words in the report's fixed order.
struct AttributeWord {
    std::uint32_t bit;
    const char* word;
};
constexpr std::array<AttributeWord, 13> kAttributeWords = {{
    {platform::FILE_ATTRIBUTE_ARCHIVE, "ARCHIVE; "},
    {platform::FILE_ATTRIBUTE_COMPRESSED, "COMPRESSED; "},
    {platform::FILE_ATTRIBUTE_DIRECTORY, "DIRECTORY; "},
    {platform::FILE_ATTRIBUTE_ENCRYPTED, "ENCRYPTED; "},
    {platform::FILE_ATTRIBUTE_HIDDEN, "HIDDEN; "},
    {platform::FILE_ATTRIBUTE_NORMAL, "NORMAL; "},
    {platform::FILE_ATTRIBUTE_NOT_CONTENT_INDEXED, "NOT_CONTENT_INDEXED; "},
    {platform::FILE_ATTRIBUTE_OFFLINE, "OFFLINE; "},
    {platform::FILE_ATTRIBUTE_READONLY, "READONLY; "},
    {platform::FILE_ATTRIBUTE_REPARSE_POINT, "REPARSE_POINT; "},
    {platform::FILE_ATTRIBUTE_SPARSE_FILE, "SPARSE_FILE; "},
    {platform::FILE_ATTRIBUTE_SYSTEM, "SYSTEM; "},
    {platform::FILE_ATTRIBUTE_TEMPORARY, "TEMPORARY;"},
}};

RegRoot rootOf(int root) {
    return root == 0 ? RegRoot::CurrentUser : RegRoot::LocalMachine;
}

// Value names and texts pass through buffers of 260 bytes.
std::string bufferText(std::string_view text) {
    return platform::truncateUtf8(text.substr(0, text.find('\0')), app::kMaxTextLength);
}

std::string printerLine(const app::PrinterInventoryEntry& p) {
    return p.name + "(" + p.driver + ") " + p.port + " " + p.dataType + " " +
           std::to_string(static_cast<std::int32_t>(p.attributes));
}

// Lines ended by CR LF, as a file written in text mode has them.
std::string textModeFile(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\r\n";
    return text;
}

}  // namespace

ReportTime localReportTime() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm t{};
    localtime_r(&seconds, &t);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    return {t.tm_mon + 1, t.tm_mday, t.tm_year + 1900, t.tm_hour, t.tm_min, t.tm_sec, static_cast<int>(ms)};
}

std::string reportTimeLine(const ReportTime& t) {
    char line[96];
    std::snprintf(line, sizeof line, "%d:%d:%d  %d:%d:%d:%d", t.month, t.day, t.year, t.hour, t.minute,
                  t.second, t.millisecond);
    return line;
}

std::string spoolFolderLine(const fs::path& folder) {
    std::string line = "SPL-dir Attributes = ";
    const std::uint32_t attributes = platform::fileAttributes(folder);
    for (const auto& a : kAttributeWords)
        if ((attributes & a.bit) != 0)
            line += a.word;
    line += platform::folderSearchFindsAnything(folder) ? " != INVALID_HANDLE_VALUE (yes)"
                                                        : " == INVALID_HANDLE_VALUE (no!)";
    return line;
}

EmergencyReport::EmergencyReport(WriterServices& services, const platform::Spooler& spooler,
                                 app::PageAcquisition& acquisition)
    : m_services(services), m_spooler(spooler), m_acquisition(acquisition) {}

fs::path EmergencyReport::installFolder() const {
    const auto install = m_services.store.readString(RegRoot::LocalMachine, "InstallPath");
    if (!install || install->empty())
        return {};
    return m_services.folders.nativePath(*install);
}

fs::path EmergencyReport::userDataFolder() const {
    return platform::userDataFolder(m_services.store.localAppDataFolder(), m_services.folders);
}

std::string EmergencyReport::accessLine(int root) const {
    const std::string name = root == 0 ? "HKCU" : "HKLM";
    const platform::Registry& registry = m_services.store.registry();
    // Each key opened is closed at once: the handle ends with its scope.
    if (registry.openKey(rootOf(root), app::kProductKey, RegAccess::All))
        return name + " -> KEY_ALL_ACCESS";
    if (registry.openKey(rootOf(root), app::kProductKey, RegAccess::Write))
        return name + " -> KEY_WRITE";
    if (registry.openKey(rootOf(root), app::kProductKey, RegAccess::Read))
        return name + " -> KEY_READ";
    return name + " != ERROR_SUCCESS";
}

void EmergencyReport::valueLines(int root, std::vector<std::string>& out) const {
    out.push_back(root == 0 ? "HKCU:" : "HKLM:");
    const auto key = m_services.store.registry().openKey(rootOf(root), app::kProductKey, RegAccess::Read);
    if (!key)
        return;
    for (std::size_t index = 0;; ++index) {
        const auto value = key->enumValue(index);
        // No more items ends the list; so does any other failure, which
        // would otherwise repeat at every index.
        if (!value)
            break;
        const std::string name = bufferText(std::string_view(value->name.data(), value->name.size()));
        if (value->type == platform::RegType::Sz) {
            const std::string text(reinterpret_cast<const char*>(value->data.data()), value->data.size());
            out.push_back("(REG_SZ)    " + std::to_string(index) + ": " + name + " = " + bufferText(text));
        } else if (value->type == platform::RegType::Dword && value->data.size() == 4) {
            std::uint32_t n = 0;
            for (std::size_t i = 4; i-- > 0;) n = (n << 8) | static_cast<std::uint32_t>(value->data[i]);
            out.push_back("(REG_DWORD) " + std::to_string(index) + ": " + name + " = " +
                          std::to_string(static_cast<std::int32_t>(n)));
        }
    }
}

std::vector<std::string> EmergencyReport::lines() {
    std::vector<std::string> out;
    out.push_back("");
    out.push_back(kReportBanner);
    out.push_back(reportTimeLine(clock()));
    out.push_back("");
    const auto local = m_services.store.localAppDataFolder();
    out.push_back("AppDataFolder = " +
                  (local ? platform::joinPath(*local, "Scrivlet") : std::string("(not recorded)")));
    // The temporary path as the system gives it, with its closing separator,
    // then the work folder's name between separators.
    const auto temp = m_services.folders.systemTempFolder();
    out.push_back("TmpDir        = " + (temp ? temp->string() + "/" : std::string()) + "/Scrivlet/");
    const auto version = platform::windowsVersion(m_services.store.registry(), m_spooler.platform());
    out.push_back("osv = " + std::to_string(version.major) + "." + std::to_string(version.minor) + "." +
                  std::to_string(version.build) + "." + version.servicePack);
    out.push_back(spoolFolderLine(m_spooler.spoolFolder()));
    out.push_back(accessLine(0));
    out.push_back(accessLine(1));
    if (const auto key =
            m_services.store.registry().openKey(RegRoot::LocalMachine, kMailClientKey, RegAccess::Read)) {
        if (const auto value = key->queryValue(""); value && value->type == platform::RegType::Sz) {
            if (const auto text = app::textOfValue(*value))
                out.push_back("DefEClient = " + *text);
        }
    }
    valueLines(1, out);
    valueLines(0, out);
    const app::PrinterInventory printers = m_acquisition.collectPrinterInventory();
    if (!printers.local.empty()) {
        out.push_back("Local :");
        for (const auto& p : printers.local) out.push_back(printerLine(p));
    }
    if (!printers.connections.empty()) {
        out.push_back("Net :");
        for (const auto& p : printers.connections) out.push_back(printerLine(p));
    }
    out.push_back("");
    out.push_back(reportTimeLine(clock()));
    out.push_back(kReportBanner);
    return out;
}

std::string EmergencyReport::run() {
    WriterServices& s = m_services;
    const std::string text = textModeFile(lines());
    const auto bytes = std::as_bytes(std::span(text.data(), text.size()));
    // The installation folder first; an installed package may own it, and
    // then the report goes to the user's own data folder.
    const fs::path install = installFolder();
    const fs::path userData = userDataFolder();
    std::vector<fs::path> folders;
    if (!install.empty())
        folders.push_back(install);
    if (install != userData)
        folders.push_back(userData);
    std::string reasons;
    for (const auto& folder : folders) {
        if (folder == userData) {
            std::error_code ec;
            fs::create_directories(folder, ec);
        }
        const std::string path = platform::joinPath(folder.string(), kReportFileName);
        const auto written = replaceFile(path, bytes);
        if (!written) {
            reasons += "\n" + written.error().message();
            continue;
        }
        const auto answer =
            s.ui.showMessage(std::string("File '") + kReportFileName + "' was saved to '" + folder.string() +
                                 "'\nSend it to Quillo Support?",
                             app::kMessageCaption, app::MessageButtons::YesNo, app::MessageIcon::Question);
        if (answer == app::MessageAnswer::Yes) {
            s.session.OutputFileList.at(0) = path;
            s.mailer.sendReport(path);
        }
        return path;
    }
    s.ui.showMessage(std::string("The emergency report could not be written:") + reasons,
                     app::kMessageCaption, app::MessageButtons::Ok, app::MessageIcon::Error);
    return {};
}

}  // namespace output
