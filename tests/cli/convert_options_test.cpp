#include "cli/convert_options.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "cli/convert_run.h"

namespace cli {
namespace {

platform::Expected<CommandLine, std::string> parse(std::vector<std::string> args,
                                                   const StoredSettingsReader& stored = {}) {
    return parseCommandLine(args, stored);
}

TEST(ConvertDefaults, AreThePlainPageInPngWithTheTableFormatOptions) {
    const auto line = parse({"page.emf"});
    ASSERT_TRUE(line) << line.error();
    const ConvertSettings& s = line->settings;
    EXPECT_EQ(s.dpi, 96);
    EXPECT_EQ(s.render.KodAntialias, 0);
    EXPECT_EQ(s.render.lvBkGrHathStyle, 100) << "white page";
    EXPECT_FALSE(s.render.lvSharpen);
    EXPECT_FALSE(s.render.lvIncludeDateTime);
    EXPECT_EQ(s.render.ScaleCur, 100);
    EXPECT_TRUE(s.format.PNG_Default);
    EXPECT_FALSE(s.format.JPG_Default || s.format.GIF_Default || s.format.BMP_Default ||
                 s.format.TIF_Default);
    EXPECT_EQ(s.formatOptions.JPG_Quality, 90);
    EXPECT_TRUE(s.formatOptions.JPG_Progress);
    EXPECT_EQ(s.formatOptions.GIF_Colors, 64);
    EXPECT_EQ(s.formatOptions.PNG_Colors, 64);
    EXPECT_TRUE(s.formatOptions.TIF_Lzw);
    EXPECT_EQ(s.pdfInsideFormat, "BMP");
    EXPECT_EQ(line->outputFolder, ".");
    EXPECT_EQ(line->jobs, 0);
    EXPECT_FALSE(line->baseName);
    ASSERT_EQ(line->inputs.size(), 1u);
}

// Each number option at both ends of its range, and just outside them: the
// error names the option and the range.
TEST(ConvertOptions, NumberRangesAcceptTheirEndsAndNameTheRangeOutside) {
    struct Case {
        const char* option;
        long long low, high;
        std::function<long long(const CommandLine&)> field;
    };
    const std::vector<Case> cases = {
        {"--dpi", 1, 2400, [](const CommandLine& l) { return static_cast<long long>(l.settings.dpi); }},
        {"--scale", 1, 300, [](const CommandLine& l) { return l.settings.render.ScaleCur; }},
        {"--hatch-angle", 0, 90, [](const CommandLine& l) { return l.settings.render.lvHatchAngle; }},
        {"--hatch-spacing", 0, 100, [](const CommandLine& l) { return l.settings.render.lvHatchDepress; }},
        {"--hatch-width", 0, 100, [](const CommandLine& l) { return l.settings.render.lvHatchWidth; }},
        {"--quality", 0, 100, [](const CommandLine& l) { return l.settings.formatOptions.JPG_Quality; }},
        {"--colors", 2, 256, [](const CommandLine& l) { return l.settings.formatOptions.TIF_Colors; }},
        {"--gif-delay", 0, 6000, [](const CommandLine& l) { return l.settings.formatOptions.GIF_Delay; }},
        {"-j", 1, 1024, [](const CommandLine& l) { return l.jobs; }},
    };
    for (const auto& c : cases) {
        for (const long long value : {c.low, c.high}) {
            const auto line = parse({c.option, std::to_string(value), "a.emf"});
            ASSERT_TRUE(line) << c.option << " " << value << ": " << line.error();
            EXPECT_EQ(c.field(*line), value) << c.option;
        }
        const std::string range = std::to_string(c.low) + " to " + std::to_string(c.high);
        for (const long long value : {c.low - 1, c.high + 1}) {
            const auto line = parse({c.option, std::to_string(value), "a.emf"});
            ASSERT_FALSE(line) << c.option << " " << value;
            EXPECT_NE(line.error().find(c.option), std::string::npos) << line.error();
            EXPECT_NE(line.error().find(range), std::string::npos) << line.error();
        }
        EXPECT_FALSE(parse({c.option, "12x", "a.emf"})) << c.option << " takes numbers only";
        EXPECT_FALSE(parse({c.option, "", "a.emf"})) << c.option << " empty";
    }
}

TEST(ConvertOptions, ChoicesSetTheirCodes) {
    struct Case {
        std::vector<std::string> args;
        std::function<bool(const CommandLine&)> check;
        const char* label;
    };
    const std::vector<Case> cases = {
        {{"--antialias", "7"}, [](auto& l) { return l.settings.render.KodAntialias == 7; }, "antialias 7"},
        {{"--antialias", "20"}, [](auto& l) { return l.settings.render.KodAntialias == 20; }, "antialias 20"},
        {{"--background", "solid"}, [](auto& l) { return l.settings.render.lvBkGrHathStyle == 99; }, "solid"},
        {{"--background", "hatch"}, [](auto& l) { return l.settings.render.lvBkGrHathStyle == 4; }, "hatch"},
        {{"--background", "hatch", "--background", "none"},
         [](auto& l) { return l.settings.render.lvBkGrHathStyle == 100; },
         "none"},
        {{"--background", "-3"}, [](auto& l) { return l.settings.render.lvBkGrHathStyle == -3; }, "code"},
        {{"--background-color", "FF8000"},
         [](auto& l) { return l.settings.render.lvCurBkGrColor == 0x0080FFu; },
         "RRGGBB to COLORREF"},
        {{"--hatch-color=#0000ff"},
         [](auto& l) { return l.settings.render.lvHatchColor == 0xFF0000u; },
         "#blue"},
        {{"--hatch-lines", "vertical"},
         [](auto& l) { return l.settings.render.lvHatchLnVert && !l.settings.render.lvHatchLnHor; },
         "vertical"},
        {{"--hatch-lines", "horizontal"},
         [](auto& l) { return !l.settings.render.lvHatchLnVert && l.settings.render.lvHatchLnHor; },
         "horizontal"},
        {{"--hatch-lines", "vertical", "--hatch-lines", "both"},
         [](auto& l) { return l.settings.render.lvHatchLnVert && l.settings.render.lvHatchLnHor; },
         "both"},
        {{"--format", "jpg"},
         [](auto& l) { return l.settings.format.JPG_Default && !l.settings.format.PNG_Default; },
         "jpg"},
        {{"--format", "GIF"}, [](auto& l) { return l.settings.format.GIF_Default; }, "GIF"},
        {{"--format", "bmp"}, [](auto& l) { return l.settings.format.BMP_Default; }, "bmp"},
        {{"--format", "tif"}, [](auto& l) { return l.settings.format.TIF_Default; }, "tif"},
        {{"--png-type", "indexed"},
         [](auto& l) { return l.settings.formatOptions.PNG_TrueIndexGray == 1; },
         "png"},
        {{"--png-type", "grey"},
         [](auto& l) { return l.settings.formatOptions.PNG_TrueIndexGray == 2; },
         "png g"},
        {{"--tif-type", "bw"},
         [](auto& l) { return l.settings.formatOptions.TIF_TrueIndexGray == 3; },
         "tif bw"},
        {{"--tif-type", "grey"},
         [](auto& l) { return l.settings.formatOptions.TIF_TrueIndexGray == 2; },
         "tif g"},
        {{"--pdf-format", "png"}, [](auto& l) { return l.settings.pdfInsideFormat == "PNG"; }, "pdf png"},
        {{"--pdf-format", "jpg"}, [](auto& l) { return l.settings.pdfInsideFormat == "JPG"; }, "pdf jpg"},
        {{"--sharpen", "--date-stamp"},
         [](auto& l) { return l.settings.render.lvSharpen && l.settings.render.lvIncludeDateTime; },
         "toggles"},
        {{"--no-progressive"},
         [](auto& l) { return !l.settings.formatOptions.JPG_Progress; },
         "no-progressive"},
        {{"--no-progressive", "--progressive"},
         [](auto& l) { return l.settings.formatOptions.JPG_Progress; },
         "progressive"},
        {{"--grey"},
         [](auto& l) {
             return l.settings.formatOptions.JPG_Gray && l.settings.formatOptions.GIF_IndexGray == 1;
         },
         "grey"},
        {{"--grey", "--no-grey"},
         [](auto& l) {
             return !l.settings.formatOptions.JPG_Gray && l.settings.formatOptions.GIF_IndexGray == 0;
         },
         "no-grey"},
        {{"--dither"},
         [](auto& l) { return l.settings.formatOptions.GIF_Dither && l.settings.formatOptions.PNG_Dither; },
         "dither"},
        {{"--dither", "--no-dither"},
         [](auto& l) { return !l.settings.formatOptions.GIF_Dither && !l.settings.formatOptions.PNG_Dither; },
         "no-dither"},
        {{"--no-interlace"},
         [](auto& l) {
             return !l.settings.formatOptions.GIF_Interlace && !l.settings.formatOptions.PNG_Interlace;
         },
         "no-interlace"},
        {{"--no-interlace", "--interlace"},
         [](auto& l) {
             return l.settings.formatOptions.GIF_Interlace && l.settings.formatOptions.PNG_Interlace;
         },
         "interlace"},
        {{"--no-lzw"}, [](auto& l) { return !l.settings.formatOptions.TIF_Lzw; }, "no-lzw"},
        {{"--no-lzw", "--lzw"}, [](auto& l) { return l.settings.formatOptions.TIF_Lzw; }, "lzw"},
        {{"--colors=16"},
         [](auto& l) {
             const auto& f = l.settings.formatOptions;
             return f.GIF_Colors == 16 && f.PNG_Colors == 16 && f.TIF_Colors == 16;
         },
         "colors for every palette"},
        {{"--dpi", "96.7"}, [](auto& l) { return l.settings.dpi == 96.7; }, "fractional dpi"},
        {{"--dpi=300"}, [](auto& l) { return l.settings.dpi == 300; }, "--opt=value"},
        {{"-j4"}, [](auto& l) { return l.jobs == 4; }, "attached short value"},
        {{"--jobs=3"}, [](auto& l) { return l.jobs == 3; }, "long jobs"},
        {{"-o", "out"}, [](auto& l) { return l.outputFolder == "out"; }, "-o"},
        {{"-oout"}, [](auto& l) { return l.outputFolder == "out"; }, "-oDIR"},
        {{"--base-name", "Report"}, [](auto& l) { return l.baseName == "Report"; }, "base name"},
        {{"--report"}, [](auto& l) { return l.report; }, "report"},
    };
    for (const auto& c : cases) {
        auto args = c.args;
        args.push_back("a.emf");
        const auto line = parse(args);
        ASSERT_TRUE(line) << c.label << ": " << line.error();
        EXPECT_TRUE(c.check(*line)) << c.label;
    }
}

TEST(ConvertOptions, BadUsageIsAnErrorNamingTheOption) {
    struct Case {
        std::vector<std::string> args;
        const char* expected;  // in the error text
    };
    const std::vector<Case> cases = {
        {{"--antialias", "4", "a.emf"}, "0, 2, 3, 5, 7, 10, 15 or 20"},
        {{"--antialias", "1", "a.emf"}, "--antialias"},
        {{"--format", "webp", "a.emf"}, "jpg|gif|png|bmp|tif"},
        {{"--background", "stripes", "a.emf"}, "none|solid|hatch"},
        {{"--background-color", "12345", "a.emf"}, "RRGGBB"},
        {{"--background-color", "12345G", "a.emf"}, "RRGGBB"},
        {{"--hatch-lines", "diagonal", "a.emf"}, "vertical|horizontal|both"},
        {{"--png-type", "bw", "a.emf"}, "true|indexed|grey"},
        {{"--tif-type", "cmyk", "a.emf"}, "true|indexed|grey|bw"},
        {{"--pdf-format", "gif", "a.emf"}, "BMP|JPG|TIF|PNG"},
        {{"--preset", "fast", "a.emf"}, "text|professional|photo|demo"},
        {{"--frobnicate", "a.emf"}, "unknown option --frobnicate"},
        {{"--sharpen=yes", "a.emf"}, "--sharpen takes no value"},
        {{"a.emf", "--dpi"}, "--dpi needs a value"},
        {{"--base-name", "a/b", "a.emf"}, "--base-name"},
        {{"--base-name", "..", "a.emf"}, "--base-name"},
        {{"--dpi", "96"}, "no input files"},
        {{"--settings", "a.emf"}, "--settings"},  // no reader given
        {{"--format", "", "a.emf"}, "jpg|gif|png|bmp|tif"},
        {{"--png-type=", "a.emf"}, "true|indexed|grey"},
        {{"--tif-type", "", "a.emf"}, "true|indexed|grey|bw"},
        {{"--hatch-lines", "", "a.emf"}, "vertical|horizontal|both"},
        {{"--pdf-format", "", "a.emf"}, "BMP|JPG|TIF|PNG"},
        {{"--preset", "", "a.emf"}, "text|professional|photo|demo"},
        {{"--background", "", "a.emf"}, "none|solid|hatch"},
        {{"-o", "", "a.emf"}, "-o needs a folder"},
    };
    for (const auto& c : cases) {
        const auto line = parse(c.args);
        ASSERT_FALSE(line) << c.expected;
        EXPECT_NE(line.error().find(c.expected), std::string::npos) << line.error();
    }
}

TEST(ConvertOptions, ErrorTextsAreWhole) {
    struct Case {
        std::vector<std::string> args;
        const char* text;
    };
    const std::vector<Case> cases = {
        {{"--format", "webp", "a.emf"}, "--format needs one of jpg|gif|png|bmp|tif (got \"webp\")"},
        {{"--hatch-angle=91", "a.emf"}, "--hatch-angle needs a whole number from 0 to 90 (got \"91\")"},
        {{"--dpi", "0", "a.emf"}, "--dpi needs a number from 1 to 2400 (got \"0\")"},
        {{"--hatch-color", "red", "a.emf"},
         "--hatch-color needs a colour as six hexadecimal digits RRGGBB (got \"red\")"},
    };
    for (const auto& c : cases) {
        const auto line = parse(c.args);
        ASSERT_FALSE(line) << c.text;
        EXPECT_EQ(line.error(), c.text);
    }
}

TEST(ConvertOptions, DoubleDashEndsTheOptions) {
    const auto line = parse({"--dpi", "100", "--", "--dpi", "-x.emf"});
    ASSERT_TRUE(line) << line.error();
    EXPECT_EQ(line->settings.dpi, 100);
    ASSERT_EQ(line->inputs.size(), 2u);
    EXPECT_EQ(line->inputs[0], "--dpi");
    EXPECT_EQ(line->inputs[1], "-x.emf");
    const auto dash = parse({"-"});
    ASSERT_TRUE(dash) << "a lone dash is a file name";
    EXPECT_EQ(dash->inputs[0], "-");
}

TEST(ConvertOptions, HelpNeedsNoInputs) {
    const auto line = parse({"--help"});
    ASSERT_TRUE(line) << line.error();
    EXPECT_TRUE(line->help);
    EXPECT_TRUE(parse({"-h"})->help);
}

TEST(ConvertOptions, HelpListsEveryOption) {
    const std::string help = helpText();
    for (const char* option : {"--preset",
                               "--settings",
                               "--dpi",
                               "--scale",
                               "--antialias",
                               "--sharpen",
                               "--date-stamp",
                               "--background",
                               "--background-color",
                               "--hatch-color",
                               "--hatch-angle",
                               "--hatch-spacing",
                               "--hatch-width",
                               "--hatch-lines",
                               "--format",
                               "--quality",
                               "--progressive",
                               "--no-progressive",
                               "--grey",
                               "--no-grey",
                               "--colors",
                               "--dither",
                               "--no-dither",
                               "--interlace",
                               "--no-interlace",
                               "--png-type",
                               "--tif-type",
                               "--lzw",
                               "--no-lzw",
                               "--gif-delay",
                               "--pdf-format",
                               "--report",
                               "-o DIR",
                               "--base-name",
                               "-j N",
                               "--help",
                               "--"}) {
        EXPECT_NE(help.find(option), std::string::npos) << option;
    }
    // The defaults the help names.
    for (const char* text :
         {"resolution, 1 to 2400 (default 96)", "page scale, 1 to 300 (default 100)", "(default 0)",
          "(default png;", "JPG quality, 0 to 100 (default 90)", "(default progressive)",
          "(GIF, PNG, TIF; default 64)", "(default interlaced)", "compression (default on)"}) {
        EXPECT_NE(help.find(text), std::string::npos) << text;
    }
    // Each value list and range as the options check them.
    for (const char* text :
         {"--preset text|professional|photo|demo", "--dpi N                 resolution, 1 to 2400",
          "--scale PERCENT         page scale, 1 to 300", "0, 2, 3, 5, 7, 10, 15 or 20",
          "--background none|solid|hatch|CODE", "--hatch-angle DEG       0 to 90", "hatch lines, 0 to 100",
          "line width in pixels, 0 to 100", "--hatch-lines vertical|horizontal|both",
          "--format jpg|gif|png|bmp|tif", "quality, 0 to 100", "palette size, 2 to 256",
          "--png-type true|indexed|grey", "--tif-type true|indexed|grey|bw", "delay, 0 to 6000",
          "--pdf-format bmp|jpg|tif|png", "1 to 1024"}) {
        EXPECT_NE(help.find(text), std::string::npos) << text;
    }
    // The exit statuses the program ends with.
    for (const std::string& text :
         {"Exit status: " + std::to_string(kAllWritten) + " every page written",
          std::to_string(kSomeFailed) + " some input failed", std::to_string(kBadUsage) + " bad usage"})
        EXPECT_NE(help.find(text), std::string::npos) << text;
}

// The presets as their table writes them; options after a preset override it.
TEST(ConvertOptions, PresetsApplyTheirTableValues) {
    struct Case {
        const char* name;
        double dpi;
        bool gif, tif, jpg;
        std::int32_t style;
    };
    const Case cases[] = {{"text", 120, true, false, false, 100},
                          {"professional", 300, false, true, false, 100},
                          {"photo", 200, false, false, true, 100},
                          {"demo", 80, true, false, false, 4}};
    for (const auto& c : cases) {
        const auto line = parse({"--preset", c.name, "a.emf"});
        ASSERT_TRUE(line) << c.name << ": " << line.error();
        const ConvertSettings& s = line->settings;
        EXPECT_DOUBLE_EQ(s.dpi, c.dpi) << c.name;
        EXPECT_EQ(s.render.KodAntialias, 7) << c.name;
        EXPECT_EQ(s.render.ScaleCur, 100) << c.name;
        EXPECT_EQ(s.render.lvBkGrHathStyle, c.style) << c.name;
        EXPECT_EQ(s.format.GIF_Default, c.gif) << c.name;
        EXPECT_EQ(s.format.TIF_Default, c.tif) << c.name;
        EXPECT_EQ(s.format.JPG_Default, c.jpg) << c.name;
        EXPECT_FALSE(s.format.PNG_Default) << c.name;
    }
    const auto text = parse({"--preset=text", "a.emf"});
    EXPECT_EQ(text->settings.formatOptions.GIF_Colors, 256);
    EXPECT_FALSE(text->settings.formatOptions.GIF_Dither);
    const auto demo = parse({"--preset", "demo", "a.emf"});
    EXPECT_EQ(demo->settings.render.lvHatchColor, 15137535u);
    EXPECT_EQ(demo->settings.render.lvCurBkGrColor, 13954047u);
    EXPECT_EQ(demo->settings.render.lvHatchDepress, 10);
    const auto overridden = parse({"--preset", "professional", "--dpi", "150", "--format", "png", "a.emf"});
    EXPECT_EQ(overridden->settings.dpi, 150);
    EXPECT_TRUE(overridden->settings.format.PNG_Default);
    EXPECT_FALSE(overridden->settings.format.TIF_Default);
    const auto before = parse({"--dpi", "150", "--preset", "professional", "a.emf"});
    EXPECT_EQ(before->settings.dpi, 300) << "the preset comes after the option and wins";
}

TEST(ConvertOptions, StoredSettingsAreTakenWhereTheyStandAndOverridden) {
    ConvertSettings stored = defaultSettings();
    stored.dpi = 150;
    stored.render.KodAntialias = 5;
    stored.format = app::FormatFlags{true, false, false, false, false};
    stored.formatOptions.JPG_Quality = 55;
    int reads = 0;
    const StoredSettingsReader reader = [&]() -> platform::Expected<ConvertSettings, std::string> {
        ++reads;
        return stored;
    };
    const auto line = parse({"--dpi", "300", "--settings", "--quality", "70", "a.emf"}, reader);
    ASSERT_TRUE(line) << line.error();
    EXPECT_EQ(reads, 1);
    EXPECT_EQ(line->settings.dpi, 150) << "--settings replaces what came before it";
    EXPECT_EQ(line->settings.render.KodAntialias, 5);
    EXPECT_TRUE(line->settings.format.JPG_Default);
    EXPECT_EQ(line->settings.formatOptions.JPG_Quality, 70) << "an option after --settings overrides it";

    const StoredSettingsReader broken = []() -> platform::Expected<ConvertSettings, std::string> {
        return platform::unexpected(std::string("cannot read HKCU.reg"));
    };
    const auto failed = parse({"--settings", "a.emf"}, broken);
    ASSERT_FALSE(failed);
    EXPECT_NE(failed.error().find("cannot read HKCU.reg"), std::string::npos);
}

}  // namespace
}  // namespace cli
