// scrivlet-convert: enhanced metafiles to PNG pages.
//
//   scrivlet-convert [--dpi N] [-o DIR] [--report] FILE.emf...
//
// Each page is played onto a white page whose size is the picture frame at
// N dots per inch (96 by default) and written as DIR/<name>.png. A file that
// cannot be read is reported and the others go on; the exit code is 1 when
// any file failed. --report lists, per file, the records that were skipped.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/page_raster.h"
#include "metafile/emf_records.h"
#include "metafile/font_fallback.h"

namespace {

void usage() {
    std::fprintf(stderr, "usage: scrivlet-convert [--dpi N] [-o DIR] [--report] FILE.emf...\n");
}

void printReport(const std::string& name, const metafile::PlaybackReport& report) {
    std::printf("  %s: %d records played\n", name.c_str(), report.recordsPlayed);
    for (const auto& [type, count] : report.skipped) {
        std::printf("    skipped %s (%u): %d\n", std::string(metafile::emf::recordName(type)).c_str(), type,
                    count);
    }
    for (const auto& [type, count] : report.malformed) {
        std::printf("    malformed %s (%u): %d\n", std::string(metafile::emf::recordName(type)).c_str(), type,
                    count);
    }
    for (const auto& [face, runs] : report.fonts) {
        std::printf("    font \"%s\" drawn with \"%s\": %d text records\n", face.c_str(),
                    metafile::resolvedFamily(face).c_str(), runs);
    }
    if (report.glyphIndexRuns > 0) {
        std::printf("    glyph-index text drawn with the substitute font's glyphs: %d records\n",
                    report.glyphIndexRuns);
    }
    if (report.missingGlyphs > 0) {
        std::printf("    characters drawn from a fallback font: %d\n", report.missingGlyphs);
    }
    if (report.emfPlusOnly) {
        std::printf("    EMF+ only: the page's drawing is in EMF+ records, which are not played\n");
    } else if (report.emfPlus) {
        std::printf("    EMF+ and EMF records: the EMF records were played\n");
    }
    if (!report.truncation.empty())
        std::printf("    record list cut short: %s\n", report.truncation.c_str());
    for (const auto& note : report.notes) std::printf("    note: %s\n", note.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    double dpi = 96;
    std::filesystem::path outDir = ".";
    bool showReport = false;
    std::vector<std::filesystem::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--dpi" && i + 1 < argc) {
            char* end = nullptr;
            dpi = std::strtod(argv[++i], &end);
            if (end == argv[i] || *end != '\0' || !(dpi > 0 && dpi <= 4800)) {
                std::fprintf(stderr, "scrivlet-convert: --dpi needs a number from 1 to 4800\n");
                return 2;
            }
        } else if (arg == "-o" && i + 1 < argc) {
            outDir = argv[++i];
        } else if (arg == "--report") {
            showReport = true;
        } else if (arg == "-h" || arg == "--help") {
            usage();
            return 0;
        } else if (!arg.empty() && arg[0] == '-') {
            usage();
            return 2;
        } else {
            inputs.emplace_back(arg);
        }
    }
    if (inputs.empty()) {
        usage();
        return 2;
    }
    std::error_code ec;
    std::filesystem::create_directories(outDir, ec);
    int failures = 0;
    for (const auto& input : inputs) {
        auto mf = metafile::Metafile::fromFile(input);
        if (!mf) {
            std::fprintf(stderr, "scrivlet-convert: %s: %s\n", input.c_str(), mf.error().message.c_str());
            ++failures;
            continue;
        }
        auto raster = cli::rasterise(*mf, dpi);
        if (!raster) {
            std::fprintf(stderr, "scrivlet-convert: %s: %s\n", input.c_str(), raster.error().c_str());
            ++failures;
            continue;
        }
        const auto output = outDir / (input.stem().string() + ".png");
        if (auto error = cli::writePng(raster->page, output)) {
            std::fprintf(stderr, "scrivlet-convert: %s: cannot write %s: %s\n", input.c_str(), output.c_str(),
                         error->c_str());
            ++failures;
            continue;
        }
        std::printf("%s -> %s (%dx%d)\n", input.c_str(), output.c_str(), raster->page.width(),
                    raster->page.height());
        if (showReport)
            printReport(input.filename().string(), raster->report);
    }
    return failures == 0 ? 0 : 1;
}
