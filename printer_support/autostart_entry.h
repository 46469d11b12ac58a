#pragma once
// The autostart entry of the desktop that stands in for the RunOnce value:
// $XDG_CONFIG_HOME/autostart/NAME.desktop runs "PROGRAM refresh" at the next
// login, as RunOnce would, and the refresh removes it again.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace printer_support {

// The Exec value that runs `program` with the argument "refresh", quoted by
// the Desktop Entry Specification's rules: the program in double quotes with
// ", `, $ and \ escaped by a backslash, then the value's own escape of
// backslashes, and % doubled (it starts field codes). nullopt for a program
// path with control characters, which no entry line can hold.
std::optional<std::string> autostartExec(std::string_view program);

// Writes the entry (through a temporary file, then renamed); false when the
// folder or the file cannot be written or the program cannot be named.
bool writeAutostartEntry(const std::filesystem::path& entry, std::string_view program);

}  // namespace printer_support
