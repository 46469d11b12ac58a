#include "platform/process.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace platform {

namespace fs = std::filesystem;

std::optional<fs::path> findOnPath(std::string_view program) {
    if (program.empty())
        return std::nullopt;
    auto executable = [](const fs::path& p) {
        std::error_code ec;
        return fs::is_regular_file(p, ec) && ::access(p.c_str(), X_OK) == 0;
    };
    if (program.find('/') != std::string_view::npos) {
        fs::path p(program);
        return executable(p) ? std::optional<fs::path>(p) : std::nullopt;
    }
    const char* path = std::getenv("PATH");
    std::string_view folders = path ? path : "/usr/local/bin:/usr/bin:/bin";
    while (true) {
        const std::size_t colon = folders.find(':');
        const std::string_view folder = folders.substr(0, colon);
        const fs::path candidate =
            fs::path(folder.empty() ? "." : std::string(folder)) / std::string(program);
        if (executable(candidate))
            return candidate;
        if (colon == std::string_view::npos)
            return std::nullopt;
        folders.remove_prefix(colon + 1);
    }
}

Expected<int, std::string> runProgram(const fs::path& program, const std::vector<std::string>& arguments) {
    std::vector<std::string> texts;
    texts.reserve(arguments.size() + 1);
    texts.push_back(program.string());
    texts.insert(texts.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    argv.reserve(texts.size() + 1);
    for (auto& text : texts) argv.push_back(text.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ);
    if (spawned != 0)
        return unexpected(std::string(std::strerror(spawned)));
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return unexpected(std::string(std::strerror(errno)));
    }
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return unexpected("ended by signal " + std::to_string(WTERMSIG(status)));
}

}  // namespace platform
