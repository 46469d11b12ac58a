// The program itself: help on standard output, usage errors with status 2
// and the range named, status 1 for a failed input.

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>

#include "tests/cli/convert_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

struct ProgramRun {
    int status = -1;
    std::string out;
};

// Runs the converter with `arguments` (already quoted); standard error joins
// standard output only when `withErrors`.
ProgramRun program(const std::string& arguments, bool withErrors) {
    const std::string command =
        std::string(SCRIVLET_CONVERT) + " " + arguments + (withErrors ? " 2>&1" : " 2>/dev/null");
    ProgramRun run;
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr)
        return run;
    std::array<char, 4096> buffer{};
    std::size_t got = 0;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) run.out.append(buffer.data(), got);
    const int status = ::pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

TEST(ConvertProgram, HelpGoesToStandardOutput) {
    const ProgramRun help = program("--help", false);
    EXPECT_EQ(help.status, 0);
    for (const char* option : {"--preset", "--settings", "--dpi", "--antialias", "--background-color",
                               "--hatch-lines", "--format", "--quality", "--tif-type", "--gif-delay",
                               "--pdf-format", "--report", "--base-name", "-j N", "-o DIR"}) {
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    }
}

TEST(ConvertProgram, UsageErrorsExitTwoAndNameTheRange) {
    struct Case {
        const char* arguments;
        const char* expected;
    };
    const Case cases[] = {{"--dpi 0 a.emf", "1 to 2400"},
                          {"--scale=301 a.emf", "1 to 300"},
                          {"--antialias 4 a.emf", "0, 2, 3, 5, 7, 10, 15 or 20"},
                          {"--hatch-angle 91 a.emf", "0 to 90"},
                          {"--gif-delay 6001 a.emf", "0 to 6000"},
                          {"--colors 1 a.emf", "2 to 256"},
                          {"", "no input files"},
                          {"--bogus a.emf", "unknown option"}};
    for (const auto& c : cases) {
        const ProgramRun run = program(c.arguments, true);
        EXPECT_EQ(run.status, 2) << c.arguments;
        EXPECT_NE(run.out.find(c.expected), std::string::npos) << c.arguments << ": " << run.out;
    }
}

TEST(ConvertProgram, AMissingInputExitsOne) {
    testing_support::TempDir dir;
    const ProgramRun run =
        program("-o '" + (dir / "out").string() + "' '" + (dir / "none.emf").string() + "'", true);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("none.emf"), std::string::npos) << run.out;
}

TEST(ConvertProgram, TheImageLibraryStartsOnlyForThePagesThatUseIt) {
    // The library logs its own start when asked to: a page written a row at
    // a time must not start it, one encoded whole or with its header must.
    testing_support::TempDir dir;
    const auto page = dir / "page.emf";
    cli::testing::writeBytes(page, cli::testing::pageBytes(21000, 29700, 1));
    struct Case {
        const char* options;
        bool starts;
    };
    const Case cases[] = {{"--format png", false},          {"--format tif", false},
                          {"--format jpg", false},          {"--format png --png-type indexed", true},
                          {"--format png --sharpen", true}, {"--format gif", true},
                          {"--format bmp", true},           {"--format jpg --grey", true}};
    ::setenv("MAGICK_DEBUG", "Configure", 1);
    for (const Case& c : cases) {
        const ProgramRun run = program(std::string("--dpi 50 ") + c.options + " -o '" +
                                           (dir / "out").string() + "' '" + page.string() + "'",
                                       true);
        EXPECT_EQ(run.status, 0) << c.options << ": " << run.out;
        EXPECT_EQ(run.out.find("Configure") != std::string::npos, c.starts) << c.options << ": " << run.out;
    }
    ::unsetenv("MAGICK_DEBUG");
}

// Stopped while it writes a page, the program removes the page's temporary
// file and ends as the signal ends a program.
TEST(ConvertProgram, StoppedByASignalItLeavesNoHalfWrittenFile) {
    testing_support::TempDir dir;
    const auto page = dir / "page.emf";
    cli::testing::writeBytes(page, cli::testing::pageBytes(21000, 29700, 2));
    const auto out = dir / "out";
    std::filesystem::create_directories(out);
    for (const int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // A page of 19842 x 28062 pixels on one thread: seconds of work.
            ::execl(SCRIVLET_CONVERT, "scrivlet-convert", "-j", "1", "--dpi", "2400", "-o", out.c_str(),
                    page.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        bool writing = false;
        int status = 0;
        for (int i = 0; i < 6000 && !writing; ++i) {
            for (const auto& entry : std::filesystem::directory_iterator(out))
                writing = writing || entry.path().filename().string().starts_with(".~");
            if (!writing) {
                ASSERT_EQ(::waitpid(child, &status, WNOHANG), 0) << "the page was done before it was stopped";
                ::usleep(10000);
            }
        }
        ASSERT_TRUE(writing) << "no temporary file appeared";
        ::kill(child, signal);
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
        EXPECT_TRUE(std::filesystem::is_empty(out)) << "a file was left behind";
    }
}

}  // namespace
