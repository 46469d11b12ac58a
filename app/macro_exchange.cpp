#include "app/macro_exchange.h"

#include <fstream>
#include <string_view>
#include <system_error>
#include <vector>

#include "app/settings_store.h"
#include "platform/folders.h"

namespace app {
namespace {

namespace fs = std::filesystem;
using platform::RegRoot;

constexpr std::string_view kMacroIniName = "lvSLMacro.ini";

}  // namespace

MacroIniLines parseMacroIni(std::span<const std::byte> bytes) {
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    MacroIniLines lines;
    std::optional<std::string>* slots[] = {&lines.documentName, &lines.windowTitle, &lines.clipboardFlag};
    std::size_t pos = 0;
    for (auto* slot : slots) {
        if (pos >= text.size()) {
            break;
        }
        const auto end = text.find('\n', pos);
        std::string_view line =
            text.substr(pos, end == std::string_view::npos ? text.size() - pos : end - pos);
        pos = end == std::string_view::npos ? text.size() : end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        // A NUL ends the text of a line, as it would in the program's buffers;
        // a line longer than the buffer is cut, and its rest is not taken for
        // the next line.
        line = line.substr(0, line.find('\0'));
        *slot = std::string(line.substr(0, kMaxTextLength));
    }
    return lines;
}

fs::path macroIniPath(const SettingsStore& store, const platform::PlatformFolders& folders) {
    if (auto folder = store.localAppDataFolder(); folder && folder->size() > 3) {
        const fs::path candidate = folders.nativePath(*folder) / kMacroIniName;
        std::error_code ec;
        if (fs::is_regular_file(candidate, ec)) {
            return candidate;
        }
    }
    return folders.nativePath("c:\\lvSLMacro.ini");
}

std::optional<MacroIniLines> readMacroIni(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::vector<std::byte> bytes(kMaxMacroIniBytes);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return parseMacroIni(bytes);
}

bool readWordWindowTitle(const SettingsStore& store, const platform::PlatformFolders& folders,
                         MacroExchange& exchange) {
    if (auto title = store.readString(RegRoot::CurrentUser, "CurWordWinName")) {
        exchange.WordWindowTitle = std::move(*title);
        return true;
    }
    auto lines = readMacroIni(macroIniPath(store, folders));
    if (!lines || !lines->windowTitle) {
        return false;
    }
    exchange.WordWindowTitle = std::move(*lines->windowTitle);
    return true;
}

bool readDocumentName(const SettingsStore& store, const platform::PlatformFolders& folders,
                      MacroExchange& exchange) {
    if (auto name = store.readString(RegRoot::CurrentUser, "CurDocName")) {
        exchange.DocumentName = std::move(*name);
        return true;
    }
    auto lines = readMacroIni(macroIniPath(store, folders));
    if (!lines || !lines->documentName) {
        return false;
    }
    exchange.DocumentName = std::move(*lines->documentName);
    return true;
}

bool takeClipboardFlag(SettingsStore& store, const platform::PlatformFolders& folders) {
    if (auto flag = store.readString(RegRoot::CurrentUser, "CurWordKodClipbrd")) {
        store.writeString(RegRoot::CurrentUser, "CurWordKodClipbrd", "FALSE");
        return *flag == "TRUE";
    }
    auto lines = readMacroIni(macroIniPath(store, folders));
    return lines && lines->clipboardFlag && *lines->clipboardFlag == "TRUE";
}

}  // namespace app
