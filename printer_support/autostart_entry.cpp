#include "printer_support/autostart_entry.h"

#include <fstream>
#include <system_error>

namespace printer_support {

namespace fs = std::filesystem;

namespace {

bool hasControlCharacter(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return true;
    }
    return false;
}

// A string value of an entry: backslashes doubled.
std::string escapeValue(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == '\\')
            out += '\\';
        out += c;
    }
    return out;
}

}  // namespace

std::optional<std::string> autostartExec(std::string_view program) {
    if (program.empty() || hasControlCharacter(program))
        return std::nullopt;
    std::string quoted = "\"";
    for (const char c : program) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    quoted += "\" refresh";
    std::string exec;
    for (const char c : escapeValue(quoted)) {
        if (c == '%')
            exec += '%';
        exec += c;
    }
    return exec;
}

bool writeAutostartEntry(const fs::path& entry, std::string_view program) {
    const auto exec = autostartExec(program);
    if (!exec)
        return false;
    std::error_code ec;
    fs::create_directories(entry.parent_path(), ec);
    const fs::path temp = entry.string() + ".part";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << "[Desktop Entry]\n"
            << "Type=Application\n"
            << "Name=Scrivlet printer restore\n"
            << "Comment=Puts the capture printer back after an interrupted capture\n"
            << "Exec=" << *exec << "\n"
            << "TryExec=" << escapeValue(program) << "\n"
            << "NoDisplay=true\n"
            << "Terminal=false\n"
            << "X-GNOME-Autostart-Phase=Applications\n";
        if (!out) {
            fs::remove(temp, ec);
            return false;
        }
    }
    fs::rename(temp, entry, ec);
    if (ec) {
        fs::remove(temp, ec);
        return false;
    }
    return true;
}

}  // namespace printer_support
