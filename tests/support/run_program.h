#pragma once
// Runs a program to its end with the test's environment, its standard output
// and error caught in files.

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

extern char** environ;

namespace testing_support {

struct ProgramRun {
    int status = -1;  // the exit status; -1 when it did not start or end normally
    std::string out;
    std::string err;
};

inline ProgramRun runProgram(const std::vector<std::string>& args, const std::filesystem::path& scratch) {
    ProgramRun run;
    const std::string outFile = (scratch / "stdout.txt").string(),
                      errFile = (scratch / "stderr.txt").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<std::string> copies(args);
    std::vector<char*> argv;
    for (auto& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int started = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0)
        return run;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = readFile(outFile);
    run.err = readFile(errFile);
    return run;
}

}  // namespace testing_support
