// scrivlet-convert: enhanced metafiles and EMF spool files to image files,
// through the main program's page renderer and format options. See --help.

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/convert_options.h"
#include "cli/convert_run.h"
#include "output/unfinished_files.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    auto line = cli::parseCommandLine(args, cli::readStoredSettings);
    if (!line) {
        std::fprintf(stderr, "scrivlet-convert: %s\n", line.error().c_str());
        return cli::kBadUsage;
    }
    if (line->help) {
        std::fputs(cli::helpText().c_str(), stdout);
        return cli::kAllWritten;
    }
    // Stopped by Ctrl+C or a kill, the run leaves no half-written file.
    output::removeUnfinishedFilesOnSignals();
    cli::RunSettings run;
    // Render threads are the converter's own (-j); the image library, when
    // a page needs it, encodes on the thread that asks, so that runs stay
    // the same whatever the count.
    run.libraryThreadLimit = 1;
    run.progressBar = ::isatty(STDERR_FILENO) != 0;
    return cli::runConversion(*line, run);
}
