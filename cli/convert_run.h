#pragma once
// A converter run: the inputs cut into pages (a spool file as the page
// acquisition cuts it), every output name settled and checked before
// anything is written, then the pages rendered on the threads allowed, each
// page reported and each failed input named with its reason.

#include <cstdint>
#include <cstdio>

#include "cli/convert_options.h"

namespace cli {

// The exit status: every page written, some input failed, bad usage.
enum ExitStatus { kAllWritten = 0, kSomeFailed = 1, kBadUsage = 2 };

struct RunSettings {
    int streamAboveStrips = -1;       // -1: the converter's own threshold
    std::uint64_t jpegHeldLimit = 0;  // 0: the JPEG writer's own
    bool progressBar = false;         // a bar on `err` (a terminal)
    // The image library's threads once it starts (0: its own limit; a run
    // of pages in parallel gives it one).
    std::uint64_t libraryThreadLimit = 0;
    std::FILE* out = stdout;
    std::FILE* err = stderr;
};

int runConversion(const CommandLine& line, const RunSettings& run);

}  // namespace cli
