#include "platform/spooler/spooler.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <system_error>

#include "platform/file_lock.h"
#include "platform/registry/registry.h"
#include "platform/text_util.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

std::string keyOf(const std::string& printer) {
    return std::string(kPrintersKey) + "\\" + printer;
}

std::optional<std::string> stringValue(const RegKey& key, std::string_view name) {
    auto v = key.queryValue(name);
    if (!v || (v->type != RegType::Sz && v->type != RegType::ExpandSz))
        return std::nullopt;
    std::string out;
    for (auto b : v->data) {
        if (b == std::byte{0})
            break;
        out.push_back(static_cast<char>(b));
    }
    return out;
}

std::optional<std::uint32_t> dwordValue(const RegKey& key, std::string_view name) {
    auto v = key.queryValue(name);
    if (!v || v->type != RegType::Dword || v->data.size() != 4)
        return std::nullopt;
    std::uint32_t n = 0;
    for (std::size_t i = 4; i-- > 0;) n = (n << 8) | static_cast<std::uint32_t>(v->data[i]);
    return n;
}

// A connection "\\server\share" is the key ",,server,share".
std::string connectionKeyOf(std::string name) {
    std::replace(name.begin(), name.end(), '\\', ',');
    return std::string(kConnectionsKey) + "\\" + name;
}

PrinterInfo printerOf(const RegKey& key, const std::string& name) {
    PrinterInfo p;
    p.name = stringValue(key, "Name").value_or(name);
    p.port = stringValue(key, "Port").value_or("");
    p.driver = stringValue(key, "Printer Driver").value_or("");
    p.dataType = stringValue(key, "Datatype").value_or("RAW");
    p.attributes = dwordValue(key, "Attributes").value_or(0);
    p.status = dwordValue(key, "Status").value_or(0);
    p.printQuality = static_cast<std::int16_t>(dwordValue(key, "PrintQuality").value_or(300));
    return p;
}

std::string fiveDigits(std::uint32_t id) {
    char name[16];
    std::snprintf(name, sizeof name, "%05u", id);
    return name;
}

bool writeAll(int fd, std::span<const std::byte> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Writes `bytes` under a temporary name of its own, then links it to `file`,
// which must not exist yet: readers never see half a file and no existing
// file is replaced. EEXIST in errno when `file` was there already.
bool createComplete(const fs::path& file, std::span<const std::byte> bytes) {
    std::string temp = (file.parent_path() / "submit-XXXXXX").string();
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return false;
    bool ok = ::fchmod(fd, 0644) == 0 && writeAll(fd, bytes);
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::link(temp.c_str(), file.c_str()) == 0;
    const int error = errno;
    ::unlink(temp.c_str());
    errno = error;
    return ok;
}

}  // namespace

WindowsPlatform platformFromEnvironment() {
    const char* v = std::getenv("SCRIVLET_WINDOWS_VERSION");
    if (v == nullptr)
        return WindowsPlatform::Win2000;
    const std::string s = asciiLowerCopy(v);
    if (s == "95" || s == "98" || s == "me")
        return WindowsPlatform::Win9x;
    if (s == "nt4" || s == "nt")
        return WindowsPlatform::NT4;
    return WindowsPlatform::Win2000;
}

Spooler::Spooler(Registry& registry, fs::path windowsFolder, WindowsPlatform platform)
    : m_registry(registry), m_windows(std::move(windowsFolder)), m_platform(platform) {}

fs::path Spooler::spoolFolder() const {
    return m_platform == WindowsPlatform::Win9x ? m_windows / "spool" / "PRINTERS"
                                                : m_windows / "SYSTEM32" / "spool" / "PRINTERS";
}

bool Spooler::addPrinter(const PrinterInfo& p) {
    if (p.name.empty())
        return false;
    auto key = m_registry.createKey(RegRoot::LocalMachine, keyOf(p.name), RegAccess::All);
    if (!key)
        return false;
    key->setString("Name", p.name);
    key->setDword("PrintQuality", static_cast<std::uint32_t>(static_cast<std::uint16_t>(p.printQuality)));
    key->setString("Printer Driver", p.driver);
    return setPrinter(p);
}

std::vector<std::string> Spooler::printerNames() const {
    std::vector<std::string> names;
    auto key = m_registry.openKey(RegRoot::LocalMachine, kPrintersKey, RegAccess::Read);
    if (!key)
        return names;
    for (std::size_t i = 0;; ++i) {
        auto name = key->enumSubKey(i);
        if (!name)
            break;
        names.push_back(*name);
    }
    return names;
}

std::optional<PrinterInfo> Spooler::printer(const std::string& name) const {
    // An empty name would open the printer list itself.
    if (name.empty())
        return std::nullopt;
    auto key = m_registry.openKey(RegRoot::LocalMachine, keyOf(name), RegAccess::Read);
    if (!key)
        return std::nullopt;
    PrinterInfo p = printerOf(*key, name);
    if (defaultPrinter() == p.name)
        p.attributes |= PRINTER_ATTRIBUTE_DEFAULT;
    return p;
}

bool Spooler::addConnection(const PrinterInfo& p) {
    if (p.name.empty() || p.name.find(',') != std::string::npos)
        return false;
    auto key = m_registry.createKey(RegRoot::CurrentUser, connectionKeyOf(p.name), RegAccess::All);
    return key && key->setString("Name", p.name) == RegStatus::Success &&
           key->setString("Printer Driver", p.driver) == RegStatus::Success &&
           key->setString("Port", p.port) == RegStatus::Success &&
           key->setString("Datatype", p.dataType) == RegStatus::Success &&
           key->setDword("Attributes", p.attributes | PRINTER_ATTRIBUTE_NETWORK) == RegStatus::Success &&
           key->setDword("Status", p.status) == RegStatus::Success;
}

std::vector<std::string> Spooler::connectionNames() const {
    std::vector<std::string> names;
    auto key = m_registry.openKey(RegRoot::CurrentUser, kConnectionsKey, RegAccess::Read);
    if (!key)
        return names;
    for (std::size_t i = 0;; ++i) {
        auto name = key->enumSubKey(i);
        if (!name)
            break;
        std::replace(name->begin(), name->end(), ',', '\\');
        names.push_back(*name);
    }
    return names;
}

std::optional<PrinterInfo> Spooler::connection(const std::string& name) const {
    if (name.empty())
        return std::nullopt;
    auto key = m_registry.openKey(RegRoot::CurrentUser, connectionKeyOf(name), RegAccess::Read);
    if (!key)
        return std::nullopt;
    PrinterInfo p = printerOf(*key, name);
    p.attributes |= PRINTER_ATTRIBUTE_NETWORK;
    return p;
}

bool Spooler::setPrinter(const PrinterInfo& p) {
    if (p.name.empty())
        return false;
    auto key = m_registry.openKey(RegRoot::LocalMachine, keyOf(p.name), RegAccess::All);
    if (!key)
        return false;
    // A printer is a network printer while its port is a network path.
    std::uint32_t attributes = p.attributes & ~PRINTER_ATTRIBUTE_DEFAULT;
    const auto old = stringValue(*key, "Port");
    if (old && *old != p.port) {
        attributes = p.port.starts_with("\\\\") ? (attributes | PRINTER_ATTRIBUTE_NETWORK)
                                                : (attributes & ~PRINTER_ATTRIBUTE_NETWORK);
    }
    return key->setString("Port", p.port) == RegStatus::Success &&
           key->setString("Datatype", p.dataType) == RegStatus::Success &&
           key->setDword("Attributes", attributes) == RegStatus::Success &&
           key->setDword("Status", p.status) == RegStatus::Success;
}

bool Spooler::pause(const std::string& name) {
    auto p = printer(name);
    if (!p)
        return false;
    p->status |= PRINTER_STATUS_PAUSED;
    return setPrinter(*p);
}

bool Spooler::resume(const std::string& name) {
    auto p = printer(name);
    if (!p)
        return false;
    p->status &= ~PRINTER_STATUS_PAUSED;
    if (!setPrinter(*p))
        return false;
    // A running printer prints what was waiting.
    for (const auto& job : jobs(name)) removeJob(job.id);
    return true;
}

bool Spooler::setDefaultPrinter(const std::string& name) {
    auto p = printer(name);
    if (!p)
        return false;
    auto key = m_registry.createKey(RegRoot::CurrentUser, kWindowsProfileKey, RegAccess::All);
    return key && key->setString("Device", name + ",winspool," + p->port) == RegStatus::Success;
}

std::string Spooler::profileDevice() const {
    auto key = m_registry.openKey(RegRoot::CurrentUser, kWindowsProfileKey, RegAccess::Read);
    if (!key)
        return ",,,";
    return truncateUtf8(stringValue(*key, "Device").value_or(",,,"), 250);
}

std::optional<std::string> Spooler::defaultPrinter() const {
    const std::string device = profileDevice();
    const std::string name = device.substr(0, device.find(','));
    if (name.empty())
        return std::nullopt;
    return name;
}

std::optional<JobInfo> Spooler::readJob(const fs::path& file) const {
    std::ifstream in(file);
    if (!in)
        return std::nullopt;
    JobInfo job;
    std::string line;
    int lines = 0;
    while (std::getline(in, line) && ++lines <= 16) {
        const auto eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string key = line.substr(0, eq), value = truncateUtf8(line.substr(eq + 1), 1024);
        if (key == "id")
            job.id = static_cast<std::uint32_t>(std::strtoul(value.c_str(), nullptr, 10));
        else if (key == "printer")
            job.printer = value;
        else if (key == "document")
            job.document = value;
        else if (key == "status")
            job.status = static_cast<std::uint32_t>(std::strtoul(value.c_str(), nullptr, 10));
    }
    if (job.id == 0)
        return std::nullopt;
    return job;
}

std::vector<JobInfo> Spooler::jobs(const std::string& printerName) const {
    std::vector<JobInfo> out;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(spoolFolder(), ec)) {
        if (entry.path().extension() != ".job")
            continue;
        if (auto job = readJob(entry.path()); job && equalsIgnoreCase(job->printer, printerName))
            out.push_back(*job);
    }
    std::sort(out.begin(), out.end(), [](const JobInfo& a, const JobInfo& b) { return a.id < b.id; });
    return out;
}

fs::path Spooler::spoolFileOf(std::uint32_t id) const {
    return spoolFolder() / (fiveDigits(id) + ".SPL");
}

std::optional<std::uint32_t> Spooler::submitJob(const std::string& printerName, const std::string& document,
                                                std::span<const std::byte> spoolData) {
    const auto p = printer(printerName);
    if (!p)
        return std::nullopt;
    std::error_code ec;
    fs::create_directories(spoolFolder(), ec);
    // Submitters in other threads and processes take their ids one at a time.
    FileLock lock(spoolFolder() / "spooler.lock");
    if (!lock.locked())
        return std::nullopt;
    // The next id after every id in the folder.
    std::uint32_t id = 1;
    for (const auto& entry : fs::directory_iterator(spoolFolder(), ec)) {
        const std::string stem = entry.path().stem().string();
        const auto n = static_cast<std::uint32_t>(std::strtoul(stem.c_str(), nullptr, 10));
        id = std::max(id, n + 1);
    }
    // An id whose spool file exists (left by a writer that does not lock) is
    // passed over.
    while (!createComplete(spoolFileOf(id), spoolData)) {
        if (errno != EEXIST || id >= 99999)
            return std::nullopt;
        ++id;
    }
    // One line per fact: line breaks in a name would make facts of their own.
    const auto oneLine = [](std::string text) {
        std::replace_if(
            text.begin(), text.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
        return text;
    };
    const std::string record = "id=" + std::to_string(id) + "\nprinter=" + oneLine(printerName) +
                               "\ndocument=" + oneLine(document) + "\nstatus=0\n";
    const fs::path jobFile = spoolFolder() / (fiveDigits(id) + ".job");
    if (!createComplete(jobFile, std::as_bytes(std::span(record.data(), record.size())))) {
        fs::remove(spoolFileOf(id), ec);
        return std::nullopt;
    }
    if (!(p->status & PRINTER_STATUS_PAUSED))
        removeJob(id);  // printed at once
    return id;
}

bool Spooler::removeJob(std::uint32_t id) {
    std::error_code ec;
    const bool removed = fs::remove(spoolFolder() / (fiveDigits(id) + ".job"), ec);
    fs::remove(spoolFileOf(id), ec);
    return removed;
}

bool Spooler::cancelJob(std::uint32_t id) {
    return removeJob(id);
}

bool Spooler::deleteJob(std::uint32_t id) {
    return removeJob(id);
}

}  // namespace platform
