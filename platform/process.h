#pragma once
// Other programs of the desktop (the mail program, the default opener, the
// desktop's settings tool), found on PATH at the moment they are needed and
// run without a shell.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/expected.h"

namespace platform {

// The executable file `program` in one of the folders of PATH, searched now;
// a name with a "/" is taken as a path. None when nothing executable is found.
std::optional<std::filesystem::path> findOnPath(std::string_view program);

// Runs `program` with `arguments` (no shell, the environment inherited) and
// waits for it: its exit status, or the reason it could not run or ended by
// a signal.
Expected<int, std::string> runProgram(const std::filesystem::path& program,
                                      const std::vector<std::string>& arguments);

}  // namespace platform
