#include "cli/convert_options.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string_view>

#include "app/session.h"
#include "render/option_commands.h"

namespace cli {
namespace {

using Error = std::string;
using Result = std::optional<Error>;  // an error text, or none

// The background style codes of the settings.
constexpr std::int32_t kStyleWhite = 100;
constexpr std::int32_t kStyleSolid = 99;
constexpr std::int32_t kStyleHatch = 4;

bool sameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// A whole number from `low` to `high`.
Result wholeNumber(std::string_view option, std::string_view text, long long low, long long high,
                   std::int32_t& out) {
    long long value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value < low || value > high) {
        return std::string(option) + " needs a whole number from " + std::to_string(low) + " to " +
               std::to_string(high) + " (got \"" + std::string(text) + "\")";
    }
    out = static_cast<std::int32_t>(value);
    return std::nullopt;
}

// One of `names`; its index.
Result oneOf(std::string_view option, std::string_view text, std::span<const std::string_view> names,
             std::size_t& out) {
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (sameText(text, names[i])) {
            out = i;
            return std::nullopt;
        }
    }
    std::string list;
    for (std::size_t i = 0; i < names.size(); ++i) list += (i == 0 ? "" : "|") + std::string(names[i]);
    return std::string(option) + " needs one of " + list + " (got \"" + std::string(text) + "\")";
}

// RRGGBB as a COLORREF (0x00BBGGRR).
Result colour(std::string_view option, std::string_view text, std::uint32_t& out) {
    if (!text.empty() && text.front() == '#')
        text.remove_prefix(1);
    unsigned rgb = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, rgb, 16);
    if (text.size() != 6 || ec != std::errc() || ptr != end)
        return std::string(option) + " needs a colour as six hexadecimal digits RRGGBB (got \"" +
               std::string(text) + "\")";
    out = ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
    return std::nullopt;
}

struct Parser {
    CommandLine line;
    const StoredSettingsReader& stored;

    ConvertSettings& s() { return line.settings; }
    app::FormatSettings& f() { return line.settings.formatOptions; }
};

using Handler = Result (*)(Parser& p, std::string_view option, std::string_view value);

struct OptionSpec {
    std::string_view name;
    bool takesValue;
    Handler handle;
};

Result presetOption(Parser& p, std::string_view option, std::string_view value) {
    static constexpr std::array<std::string_view, 4> names = {"text", "professional", "photo", "demo"};
    std::size_t which = 0;
    if (auto error = oneOf(option, value, names, which))
        return error;
    app::Session session;
    session.RenderOptions = p.s().render;
    session.CurrentFormat = p.s().format;
    session.formatOptions = p.s().formatOptions;
    render::setPresetValues(session, static_cast<render::Preset>(which + 1),
                            [](const char*, std::int32_t) {});
    p.s().render = session.RenderOptions;
    p.s().format = session.CurrentFormat;
    p.s().formatOptions = session.formatOptions;
    p.s().dpi = app::currentResolution(session);
    return std::nullopt;
}

Result settingsOption(Parser& p, std::string_view, std::string_view) {
    auto loaded = p.stored ? p.stored() : platform::unexpected(std::string("no stored settings"));
    if (!loaded)
        return "--settings: " + loaded.error();
    p.s() = *loaded;
    return std::nullopt;
}

Result dpiOption(Parser& p, std::string_view option, std::string_view value) {
    double dpi = 0;
    const char* end = value.data() + value.size();
    const auto [ptr, ec] = std::from_chars(value.data(), end, dpi);
    if (value.empty() || ec != std::errc() || ptr != end || !(dpi >= 1 && dpi <= 2400))
        return std::string(option) + " needs a number from 1 to 2400 (got \"" + std::string(value) + "\")";
    p.s().dpi = dpi;
    return std::nullopt;
}

Result antialiasOption(Parser& p, std::string_view option, std::string_view value) {
    static constexpr std::array<std::int32_t, 8> factors = {0, 2, 3, 5, 7, 10, 15, 20};
    std::int32_t n = -1;
    if (!wholeNumber(option, value, 0, 20, n) &&
        std::find(factors.begin(), factors.end(), n) != factors.end()) {
        p.s().render.KodAntialias = n;
        return std::nullopt;
    }
    return std::string(option) + " needs 0, 2, 3, 5, 7, 10, 15 or 20 (got \"" + std::string(value) + "\")";
}

Result backgroundOption(Parser& p, std::string_view option, std::string_view value) {
    static constexpr std::array<std::string_view, 3> names = {"none", "solid", "hatch"};
    static constexpr std::array<std::int32_t, 3> styles = {kStyleWhite, kStyleSolid, kStyleHatch};
    std::size_t which = 0;
    if (!oneOf(option, value, names, which)) {
        p.s().render.lvBkGrHathStyle = styles[which];
        return std::nullopt;
    }
    std::int32_t code = 0;
    if (!wholeNumber(option, value, INT32_MIN, INT32_MAX, code)) {
        p.s().render.lvBkGrHathStyle = code;
        return std::nullopt;
    }
    return std::string(option) + " needs none|solid|hatch or a style code (got \"" + std::string(value) +
           "\")";
}

Result hatchLinesOption(Parser& p, std::string_view option, std::string_view value) {
    static constexpr std::array<std::string_view, 3> names = {"vertical", "horizontal", "both"};
    std::size_t which = 0;
    if (auto error = oneOf(option, value, names, which))
        return error;
    p.s().render.lvHatchLnVert = which != 1;
    p.s().render.lvHatchLnHor = which != 0;
    return std::nullopt;
}

Result formatOption(Parser& p, std::string_view option, std::string_view value) {
    static constexpr std::array<std::string_view, 5> names = {"jpg", "gif", "png", "bmp", "tif"};
    std::size_t which = 0;
    if (auto error = oneOf(option, value, names, which))
        return error;
    p.s().format = app::FormatFlags{which == 0, which == 1, which == 2, which == 3, which == 4};
    return std::nullopt;
}

Result colorsOption(Parser& p, std::string_view option, std::string_view value) {
    std::int32_t n = 0;
    if (auto error = wholeNumber(option, value, 2, 256, n))
        return error;
    p.f().GIF_Colors = p.f().PNG_Colors = p.f().TIF_Colors = n;
    return std::nullopt;
}

Result pngTypeOption(Parser& p, std::string_view option, std::string_view value) {
    static constexpr std::array<std::string_view, 3> names = {"true", "indexed", "grey"};
    std::size_t which = 0;
    if (auto error = oneOf(option, value, names, which))
        return error;
    p.f().PNG_TrueIndexGray = static_cast<std::int32_t>(which);
    return std::nullopt;
}

Result tifTypeOption(Parser& p, std::string_view option, std::string_view value) {
    static constexpr std::array<std::string_view, 4> names = {"true", "indexed", "grey", "bw"};
    std::size_t which = 0;
    if (auto error = oneOf(option, value, names, which))
        return error;
    p.f().TIF_TrueIndexGray = static_cast<std::int32_t>(which);
    return std::nullopt;
}

Result pdfFormatOption(Parser& p, std::string_view option, std::string_view value) {
    static constexpr std::array<std::string_view, 4> names = {"BMP", "JPG", "TIF", "PNG"};
    std::size_t which = 0;
    if (auto error = oneOf(option, value, names, which))
        return error;
    p.s().pdfInsideFormat = std::string(names[which]);
    return std::nullopt;
}

Result baseNameOption(Parser& p, std::string_view option, std::string_view value) {
    if (value.empty() || value == "." || value == ".." || value.find('/') != std::string_view::npos ||
        value.find('\0') != std::string_view::npos)
        return std::string(option) + " needs a file name without a folder (got \"" + std::string(value) +
               "\")";
    p.line.baseName = std::string(value);
    return std::nullopt;
}

Result outputOption(Parser& p, std::string_view option, std::string_view value) {
    if (value.empty())
        return std::string(option) + " needs a folder";
    p.line.outputFolder = std::filesystem::path(value);
    return std::nullopt;
}

// A document's file or folder: any non-empty path.
Result documentPath(std::string_view option, std::string_view value,
                    std::optional<std::filesystem::path>& out) {
    if (value.empty() || value.find('\0') != std::string_view::npos)
        return std::string(option) + " needs a file name";
    out = std::filesystem::path(value);
    return std::nullopt;
}

Result jobsOption(Parser& p, std::string_view option, std::string_view value) {
    std::int32_t n = 0;
    if (auto error = wholeNumber(option, value, 1, 1024, n))
        return error;
    p.line.jobs = n;
    return std::nullopt;
}

// Number options that set one field each, with their ranges.
#define SCRIVLET_NUMBER(NAME, LOW, HIGH, FIELD)                                      \
    OptionSpec {                                                                     \
        NAME, true, [](Parser& p, std::string_view option, std::string_view value) { \
            return wholeNumber(option, value, LOW, HIGH, p.FIELD);                   \
        }                                                                            \
    }
#define SCRIVLET_FLAG(NAME, EXPR)                                                                 \
    OptionSpec {                                                                                  \
        NAME, false, [](Parser& p, std::string_view, std::string_view) -> Result { return EXPR; } \
    }

const std::array<OptionSpec, 43>& optionTable() {
    static const std::array<OptionSpec, 43> table = {{
        {"--help", false,
         [](Parser& p, std::string_view, std::string_view) -> Result {
             return p.line.help = true, std::nullopt;
         }},
        {"-h", false,
         [](Parser& p, std::string_view, std::string_view) -> Result {
             return p.line.help = true, std::nullopt;
         }},
        {"--preset", true, presetOption},
        {"--settings", false, settingsOption},
        {"--dpi", true, dpiOption},
        SCRIVLET_NUMBER("--scale", 1, 300, s().render.ScaleCur),
        {"--antialias", true, antialiasOption},
        SCRIVLET_FLAG("--sharpen", (p.s().render.lvSharpen = true, std::nullopt)),
        SCRIVLET_FLAG("--date-stamp", (p.s().render.lvIncludeDateTime = true, std::nullopt)),
        {"--background", true, backgroundOption},
        {"--background-color", true,
         [](Parser& p, std::string_view o, std::string_view v) {
             return colour(o, v, p.s().render.lvCurBkGrColor);
         }},
        {"--hatch-color", true,
         [](Parser& p, std::string_view o, std::string_view v) {
             return colour(o, v, p.s().render.lvHatchColor);
         }},
        SCRIVLET_NUMBER("--hatch-angle", 0, 90, s().render.lvHatchAngle),
        SCRIVLET_NUMBER("--hatch-spacing", 0, 100, s().render.lvHatchDepress),
        SCRIVLET_NUMBER("--hatch-width", 0, 100, s().render.lvHatchWidth),
        {"--hatch-lines", true, hatchLinesOption},
        {"--format", true, formatOption},
        SCRIVLET_NUMBER("--quality", 0, 100, f().JPG_Quality),
        SCRIVLET_FLAG("--progressive", (p.f().JPG_Progress = true, std::nullopt)),
        SCRIVLET_FLAG("--no-progressive", (p.f().JPG_Progress = false, std::nullopt)),
        SCRIVLET_FLAG("--grey", (p.f().JPG_Gray = true, p.f().GIF_IndexGray = 1, std::nullopt)),
        SCRIVLET_FLAG("--no-grey", (p.f().JPG_Gray = false, p.f().GIF_IndexGray = 0, std::nullopt)),
        {"--colors", true, colorsOption},
        SCRIVLET_FLAG("--dither", (p.f().GIF_Dither = p.f().PNG_Dither = true, std::nullopt)),
        SCRIVLET_FLAG("--no-dither", (p.f().GIF_Dither = p.f().PNG_Dither = false, std::nullopt)),
        SCRIVLET_FLAG("--interlace", (p.f().GIF_Interlace = p.f().PNG_Interlace = true, std::nullopt)),
        SCRIVLET_FLAG("--no-interlace", (p.f().GIF_Interlace = p.f().PNG_Interlace = false, std::nullopt)),
        {"--png-type", true, pngTypeOption},
        {"--tif-type", true, tifTypeOption},
        SCRIVLET_FLAG("--lzw", (p.f().TIF_Lzw = true, std::nullopt)),
        SCRIVLET_FLAG("--no-lzw", (p.f().TIF_Lzw = false, std::nullopt)),
        SCRIVLET_NUMBER("--gif-delay", 0, 6000, f().GIF_Delay),
        {"--pdf-format", true, pdfFormatOption},
        SCRIVLET_FLAG("--report", (p.line.report = true, std::nullopt)),
        {"-o", true, outputOption},
        {"--output", true, outputOption},
        {"--base-name", true, baseNameOption},
        {"--pdf", true,
         [](Parser& p, std::string_view o, std::string_view v) { return documentPath(o, v, p.line.pdf); }},
        {"--gallery", true,
         [](Parser& p, std::string_view o,
            std::string_view v) { return documentPath(o, v, p.line.gallery); }},
        {"--multipage-tif", true,
         [](Parser& p, std::string_view o,
            std::string_view v) { return documentPath(o, v, p.line.multipageTif); }},
        {"--animated-gif", true,
         [](Parser& p, std::string_view o,
            std::string_view v) { return documentPath(o, v, p.line.animatedGif); }},
        {"-j", true, jobsOption},
        {"--jobs", true, jobsOption},
    }};
    return table;
}

#undef SCRIVLET_NUMBER
#undef SCRIVLET_FLAG

const OptionSpec* findOption(std::string_view name) {
    for (const auto& spec : optionTable()) {
        if (spec.name == name)
            return &spec;
    }
    return nullptr;
}

}  // namespace

ConvertSettings defaultSettings() {
    ConvertSettings s;
    s.dpi = 96;
    s.render.KodAntialias = 0;
    s.render.lvBkGrHathStyle = kStyleWhite;
    s.render.lvSharpen = false;
    s.render.lvIncludeDateTime = false;
    s.format = app::FormatFlags{false, false, true, false, false};
    return s;
}

platform::Expected<CommandLine, std::string> parseCommandLine(std::span<const std::string> args,
                                                              const StoredSettingsReader& stored) {
    Parser parser{CommandLine{}, stored};
    parser.line.settings = defaultSettings();
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            if (arg.empty())
                return platform::unexpected(std::string("an empty file name"));
            parser.line.inputs.emplace_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        // --name=value, or a short option with its value attached (-j4, -oDIR).
        std::string_view name = arg;
        std::optional<std::string_view> attached;
        if (arg.rfind("--", 0) == 0) {
            if (const auto eq = arg.find('='); eq != std::string::npos) {
                name = std::string_view(arg).substr(0, eq);
                attached = std::string_view(arg).substr(eq + 1);
            }
        } else if (arg.size() > 2) {
            name = std::string_view(arg).substr(0, 2);
            attached = std::string_view(arg).substr(2);
        }
        const OptionSpec* spec = findOption(name);
        if (spec == nullptr)
            return platform::unexpected("unknown option " + std::string(name) + " (see --help)");
        std::string_view value;
        if (spec->takesValue) {
            if (attached) {
                value = *attached;
            } else if (i + 1 < args.size()) {
                value = args[++i];
            } else {
                return platform::unexpected(std::string(name) + " needs a value");
            }
        } else if (attached) {
            return platform::unexpected(std::string(name) + " takes no value");
        }
        if (auto error = spec->handle(parser, name, value))
            return platform::unexpected(*error);
    }
    if (!parser.line.help && parser.line.inputs.empty())
        return platform::unexpected(std::string("no input files (see --help)"));
    return parser.line;
}

std::string helpText() {
    return R"(usage: scrivlet-convert [OPTION]... FILE...

Renders enhanced metafiles (.emf) and EMF spool files (.spl) to image files,
through the main program's page renderer and format options.

Names: page.emf gives page.png; a spool file's pages are numbered after its
name (job.spl gives job0001.png, job0002.png, ...). With --base-name every page
of every file is numbered NAME0001, NAME0002, ... in the order given.

Settings (applied left to right; later options override earlier ones):
  --preset text|professional|photo|demo
                          a preset's resolution, antialiasing, background and format
  --settings              the main program's stored settings
  --dpi N                 resolution, 1 to 2400 (default 96)
  --scale PERCENT         page scale, 1 to 300 (default 100)
  --antialias N           supersampling factor: 0, 2, 3, 5, 7, 10, 15 or 20 (default 0)
  --sharpen               sharpen the finished page
  --date-stamp            draw the date and time at the page's top left
  --background none|solid|hatch|CODE
                          white page, background colour, colour and hatch, or a style code
  --background-color RRGGBB
  --hatch-color RRGGBB
  --hatch-angle DEG       0 to 90
  --hatch-spacing N       pixels between hatch lines, 0 to 100
  --hatch-width N         hatch line width in pixels, 0 to 100
  --hatch-lines vertical|horizontal|both

Format (default png; options not given take the stored-settings defaults):
  --format jpg|gif|png|bmp|tif
  --quality N             JPG quality, 0 to 100 (default 90)
  --progressive, --no-progressive    JPG (default progressive)
  --grey, --no-grey       grey levels only (JPG, GIF)
  --colors N              palette size, 2 to 256 (GIF, PNG, TIF; default 64)
  --dither, --no-dither   dither while reducing colours (GIF, PNG)
  --interlace, --no-interlace        GIF and PNG (default interlaced)
  --png-type true|indexed|grey
  --tif-type true|indexed|grey|bw
  --lzw, --no-lzw         TIF LZW compression (default on)
  --gif-delay MS          animation frame delay, 0 to 6000
  --pdf-format bmp|jpg|tif|png       the multipage PDF's inside format

Documents (all pages of all files, in the order given, numbered 0001, 0002, ...;
with any of these no page is written as an image file of its own):
  --pdf FILE              one multipage PDF; each page as large as its pixels
                          at the resolution, placed in the --pdf-format
  --gallery DIR           an HTML gallery: DIR/BASE.html and DIR/BASE_files/ with
                          the pages in the format (TIF gives BMP) and thumbnails;
                          BASE is --base-name or the first file's name; DIR is
                          made when missing
  --multipage-tif FILE    one TIF of all pages, with the TIF options
  --animated-gif FILE     one animated GIF of all pages, with the GIF options and
                          --gif-delay between frames

Run:
  -o DIR, --output DIR    output folder (default: the current folder)
  --base-name NAME        number every page NAME0001, NAME0002, ...
  -j N, --jobs N          render threads in all, 1 to 1024 (default: one per core)
  --report                list, per page, the records skipped and the fonts used
  -h, --help              this text
  --                      ends the options

Options take their value as the next argument or as --option=value.
An existing output file is replaced (written beside it, then renamed); a
symbolic link is never written through. Exit status: 0 every page written,
1 some input failed, 2 bad usage.
)";
}

}  // namespace cli
