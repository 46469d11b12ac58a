#include "app/start_program.h"

#include <spawn.h>

#include <cstring>

extern char** environ;

namespace app {

bool startProgram(const std::filesystem::path& program, const std::string& parameter, std::FILE* errors) {
    pid_t pid = 0;
    std::string file = program.string(), arg = parameter;
    char* argv[] = {file.data(), arg.data(), nullptr};
    // The child is not waited for; the process reaps it at exit (a started
    // program outlives it anyway).
    if (const int error = posix_spawn(&pid, file.c_str(), nullptr, nullptr, argv, environ); error != 0) {
        std::fprintf(errors, "Scrivlet: cannot start %s: %s\n", file.c_str(), std::strerror(error));
        return false;
    }
    return true;
}

}  // namespace app
