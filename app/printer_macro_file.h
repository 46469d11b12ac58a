#pragma once
// lvSLPrnMacro.ini, the Word macro's printer file: where it lies and the
// printer its first line names. The main program, the printer-support
// library and the Word-side tool share these rules, so that all three agree
// on the capture printer.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace platform {
class PlatformFolders;
class Spooler;
}  // namespace platform

namespace app {

class SettingsStore;

// "Local AppData"\Scrivlet\lvSLPrnMacro.ini, or c:\lvSLPrnMacro.ini when that
// folder name has 3 characters or fewer.
std::filesystem::path printerMacroFile(const SettingsStore& store, const platform::PlatformFolders& folders);

// The first line of a text file without its line end, cut at a NUL and to at
// most 259 characters; nullopt when the file cannot be opened.
std::optional<std::string> readFirstLine(const std::filesystem::path& file);

// The printer of Word's active-printer text "NAME on PORT". A printer name may
// hold " on " itself ("Print on Demand on LPT1:"), so of the texts before each
// " on " the longest that names a printer the spooler knows wins; when none
// does, the text before the last " on " (ports hold no " on "). nullopt when
// the text holds no " on " or the name would be empty: the caller then takes
// the default printer.
std::optional<std::string> printerOfActivePrinterText(std::string_view text,
                                                      const platform::Spooler& spooler);

}  // namespace app
