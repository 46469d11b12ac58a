#pragma once
// The shell's "open" of a program with one parameter: the program is started
// beside this process and not waited for.

#include <cstdio>
#include <filesystem>
#include <string>

namespace app {

// True when the program was started; otherwise says so on `errors` (the
// program's name and the reason) and returns false.
bool startProgram(const std::filesystem::path& program, const std::string& parameter,
                  std::FILE* errors = stderr);

}  // namespace app
