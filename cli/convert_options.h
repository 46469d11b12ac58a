#pragma once
// The converter's command line: the rendering and format settings it
// applies (the converter's own defaults, a preset, the main program's stored
// settings, then single options, left to right), where the files go and how
// many render threads may run.

#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/options.h"
#include "platform/expected.h"

namespace cli {

// Everything a page's render and encoding read, as the main program keeps it.
struct ConvertSettings {
    double dpi = 96;
    app::RenderSettings render;
    app::FormatFlags format;
    app::FormatSettings formatOptions;
    std::string pdfInsideFormat = "BMP";  // kept for the multipage PDF writer
};

// The converter's defaults: 96 dpi, PNG, no supersampling, a white page, no
// sharpening and no date stamp; every format option as the settings table
// gives it.
ConvertSettings defaultSettings();

struct CommandLine {
    ConvertSettings settings;
    bool help = false;
    bool report = false;
    std::filesystem::path outputFolder = ".";
    std::optional<std::string> baseName;
    int jobs = 0;  // render threads in all; 0 = one per core
    // Documents over all pages of all inputs; with any of them no page is
    // written as an image file of its own.
    std::optional<std::filesystem::path> pdf;
    std::optional<std::filesystem::path> gallery;  // the folder of BASE.html and BASE_files
    std::optional<std::filesystem::path> multipageTif;
    std::optional<std::filesystem::path> animatedGif;
    bool writesDocuments() const { return pdf || gallery || multipageTif || animatedGif; }
    std::vector<std::filesystem::path> inputs;
};

// Reads the main program's stored settings (for --settings); an error text
// when they cannot be read.
using StoredSettingsReader = std::function<platform::Expected<ConvertSettings, std::string>()>;

// Parses the arguments after the program name. The error text names the
// option and, for a number, its range.
platform::Expected<CommandLine, std::string> parseCommandLine(std::span<const std::string> args,
                                                              const StoredSettingsReader& stored);

// The settings of the main program's stored values (through loadSettings).
platform::Expected<ConvertSettings, std::string> readStoredSettings();

// The text of --help.
std::string helpText();

}  // namespace cli
