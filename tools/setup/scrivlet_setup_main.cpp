// ScrivletSetup: records an installation folder the way the product's setup
// does, so that the programs find their files.
//   ScrivletSetup <installation folder>
// writes InstallPath and Version under the local machine's product key and
// makes sure the emulated spooler has a capture printer. Exit status 0 when
// all of it was done, 1 when a step failed (said on standard error), 2 for
// bad usage.

#include <cstdio>
#include <string_view>

#include "tools/setup/setup_run.h"

int main(int argc, char** argv) {
    const std::string_view argument = argc == 2 ? argv[1] : "";
    if (argument == "--help" || argument == "-h") {
        std::printf("usage: %s <installation folder>\n", argv[0]);
        return 0;
    }
    // A folder whose name starts with a dash is given as ./-name.
    if (argc != 2 || argument.starts_with('-')) {
        std::fprintf(stderr, "usage: %s <installation folder>\n", argv[0]);
        return 2;
    }
    const auto location = platform::RegistryLocation::fromEnvironment();
    platform::Registry registry(location);
    const auto folders = platform::PlatformFolders::fromEnvironment();
    const tools::SetupResult result =
        tools::runSetup({registry, location, folders, platform::platformFromEnvironment()}, argv[1]);
    std::fputs(result.output.c_str(), stdout);
    std::fputs(result.errors.c_str(), stderr);
    return result.status;
}
