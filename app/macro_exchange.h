#pragma once
// What the Word macro hands over besides the pages: the Word window title,
// the document name and the clipboard flag, from the registry or, when the
// registry value cannot be read, from the text file lvSLMacro.ini.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

namespace platform {
class PlatformFolders;
}

namespace app {

class SettingsStore;

struct MacroExchange {
    std::string WordWindowTitle;  // at most 259 characters
    std::string DocumentName;     // at most 259 characters
};

// The three lines of lvSLMacro.ini: document name, Word window title and
// "TRUE" for the clipboard route. Each line is taken without its line end
// (LF or CR LF) and cut to 259 characters; a line the file does not have is
// absent.
struct MacroIniLines {
    std::optional<std::string> documentName;
    std::optional<std::string> windowTitle;
    std::optional<std::string> clipboardFlag;
};

inline constexpr std::size_t kMaxMacroIniBytes = 64 * 1024;

MacroIniLines parseMacroIni(std::span<const std::byte> bytes);

// The exchange file's place: "Local AppData"\lvSLMacro.ini when that folder
// name is longer than 3 characters and the file exists there, otherwise
// c:\lvSLMacro.ini.
std::filesystem::path macroIniPath(const SettingsStore& store, const platform::PlatformFolders& folders);

// Reads the exchange file (its first 64 KiB); absent when it cannot be opened.
std::optional<MacroIniLines> readMacroIni(const std::filesystem::path& file);

bool readWordWindowTitle(const SettingsStore& store, const platform::PlatformFolders& folders,
                         MacroExchange& exchange);
bool readDocumentName(const SettingsStore& store, const platform::PlatformFolders& folders,
                      MacroExchange& exchange);
// Whether the clipboard route is in force. The registry flag is consumed
// ("FALSE" is written back at once); the file's flag is not.
bool takeClipboardFlag(SettingsStore& store, const platform::PlatformFolders& folders);

}  // namespace app
