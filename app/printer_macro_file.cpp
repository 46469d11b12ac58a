#include "app/printer_macro_file.h"

#include <fstream>

#include "app/settings_store.h"
#include "platform/folders.h"
#include "platform/spooler/spooler.h"
#include "platform/text_util.h"

namespace app {

namespace fs = std::filesystem;

fs::path printerMacroFile(const SettingsStore& store, const platform::PlatformFolders& folders) {
    const auto local = store.localAppDataFolder();
    if (local && local->size() > 3)
        return folders.nativePath(*local) / "Scrivlet" / "lvSLPrnMacro.ini";
    return folders.nativePath("c:\\lvSLPrnMacro.ini");
}

std::optional<std::string> readFirstLine(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string line;
    char c = 0;
    // Longer lines are read no further than a bounded buffer.
    while (line.size() < 4096 && in.get(c) && c != '\n') line.push_back(c);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    line = line.substr(0, line.find('\0'));
    return platform::truncateUtf8(line, kMaxTextLength);
}

std::optional<std::string> printerOfActivePrinterText(std::string_view text,
                                                      const platform::Spooler& spooler) {
    constexpr std::string_view kOn = " on ";
    std::optional<std::string> last;
    for (auto at = text.find(kOn); at != std::string_view::npos; at = text.find(kOn, at + 1)) {
        if (at == 0)
            continue;
        last = std::string(text.substr(0, at));
    }
    if (!last)
        return std::nullopt;
    // From the longest candidate down: the first one the spooler knows.
    for (auto at = text.rfind(kOn); at != std::string_view::npos && at > 0; at = text.rfind(kOn, at - 1)) {
        const std::string name(text.substr(0, at));
        if (spooler.printer(name))
            return name;
    }
    return last;
}

}  // namespace app
