#include "cli/convert_run.h"

#include <sys/stat.h>

#include <filesystem>

#include "app/emf_spool_writer.h"
#include "app/spool_cutter.h"
#include "cli/page_converter.h"
#include "metafile/metafile.h"
#include "tests/cli/convert_fixture.h"
#include "tests/support/sanitizers.h"

namespace cli::testing {
namespace {

namespace fs = std::filesystem;
using testing_support::readFile;

constexpr int kAlwaysStream = 0;
constexpr int kNeverStream = 1'000'000;

// A4 at 96 dpi: 794 x 1123 pixels, six strips.
constexpr std::int32_t kA4W = 21000, kA4H = 29700;

TEST_F(ConvertTest, MoreThreadsGiveTheSameBytes) {
    // Narrow pages keep the work small; a spans four strips (605 rows), c
    // two, b one.
    const auto pa = page("a.emf", 3000, 16000, 1);
    const auto pb = page("b.emf", 3000, 3000, 2);
    const auto pc = page("c.emf", 2500, 9000, 3);
    struct Case {
        std::vector<std::string> options;
        int stream;
        const char* label;
    };
    const std::vector<Case> cases = {
        {{}, kNeverStream, "PNG as one image"},
        {{}, kAlwaysStream, "PNG streamed"},
        {{"--no-interlace"}, kAlwaysStream, "PNG streamed without interlace"},
        {{"--antialias", "3", "--background", "hatch"}, kAlwaysStream, "supersampled and hatched, streamed"},
        {{"--antialias", "2", "--format", "jpg"}, kNeverStream, "JPG"},
        {{"--format", "gif"}, kNeverStream, "GIF"},
    };
    for (const auto& c : cases) {
        std::vector<std::vector<std::string>> outputs;
        // -j 1; three pages on three threads; one page with its strips on three.
        for (const auto& jobs : {"1", "3"}) {
            for (const bool onePage : {false, true}) {
                const std::string out = (dir / ("out" + std::string(jobs) + (onePage ? "p" : "m"))).string();
                std::vector<std::string> args = {"-j", jobs, "-o", out};
                args.insert(args.end(), c.options.begin(), c.options.end());
                args.push_back(pa.string());
                if (!onePage) {
                    args.push_back(pb.string());
                    args.push_back(pc.string());
                }
                const auto result = convert(args, c.stream);
                ASSERT_EQ(result.status, kAllWritten) << c.label << ": " << result.err;
                std::vector<std::string> files;
                for (const char* stem : {"a", "b", "c"}) {
                    const auto ext = c.options.size() > 1 && c.options.back() == "jpg"   ? ".jpg"
                                     : c.options.size() > 1 && c.options.back() == "gif" ? ".gif"
                                                                                         : ".png";
                    const fs::path file = fs::path(out) / (std::string(stem) + ext);
                    if (onePage && std::string(stem) != "a")
                        continue;
                    ASSERT_TRUE(fs::exists(file)) << c.label << " " << file;
                    files.push_back(readFile(file));
                }
                outputs.push_back(files);
            }
        }
        // [j1 many, j1 one, j3 many, j3 one]
        EXPECT_EQ(outputs[0], outputs[2]) << c.label << ": pages in parallel";
        EXPECT_EQ(outputs[1], outputs[3]) << c.label << ": strips in parallel";
        EXPECT_EQ(outputs[0][0], outputs[1][0]) << c.label;
    }
}

// Every format that is written a row at a time gives the pixels of the
// page assembled as one image; JPEG and BMP files are the same bytes.
TEST_F(ConvertTest, StreamedPagesDecodeToTheWholeImagePixels) {
    const auto a = page("a.emf", kA4W, kA4H, 5);
    struct Case {
        std::vector<std::string> options;
        const char* extension;
        bool sameBytes;
    };
    const std::vector<Case> cases = {
        {{}, ".png", false},
        {{"--no-interlace"}, ".png", false},
        {{"--antialias", "3", "--background", "hatch", "--hatch-angle", "30"}, ".png", false},
        {{"--format", "jpg"}, ".jpg", true},
        {{"--format", "jpg", "--grey"}, ".jpg", true},
        {{"--format", "jpg", "--no-progressive", "--quality", "55"}, ".jpg", true},
        {{"--format", "tif"}, ".tif", false},
        {{"--format", "tif", "--no-lzw"}, ".tif", false},
        {{"--format", "bmp"}, ".bmp", true},
    };
    for (const auto& c : cases) {
        std::string label;
        for (const auto& option : c.options) label += option + " ";
        SCOPED_TRACE(label);
        std::vector<std::vector<unsigned char>> decoded;
        std::vector<std::string> bytes;
        std::vector<std::size_t> sizes;
        for (const int stream : {kAlwaysStream, kNeverStream}) {
            const std::string out = (dir / ("s" + std::to_string(stream))).string();
            std::vector<std::string> args = {"-o", out, "--dpi", "96.7"};
            args.insert(args.end(), c.options.begin(), c.options.end());
            args.push_back(a.string());
            const auto result = convert(args, stream);
            ASSERT_EQ(result.status, kAllWritten) << result.err;
            const fs::path file = fs::path(out) / (std::string("a") + c.extension);
            std::size_t w = 0, h = 0;
            decoded.push_back(pixels(file, &w, &h));
            bytes.push_back(readFile(file));
            sizes.push_back(w), sizes.push_back(h);
            const Magick::Image image(file.string());
            EXPECT_EQ(dotsPerInch(image), 96) << "stream " << stream;
            if (std::string(c.extension) == ".tif") {
                const bool lzw = c.options.back() != "--no-lzw";
                EXPECT_EQ(image.compressType() == Magick::LZWCompression, lzw) << "stream " << stream;
            }
        }
        EXPECT_EQ(sizes[0], 800u) << "ceil(21000 x 96.7 / 2540)";
        EXPECT_EQ(sizes[0], sizes[2]);
        EXPECT_EQ(sizes[1], sizes[3]);
        EXPECT_TRUE(decoded[0] == decoded[1]) << "streamed and whole pages differ";
        if (c.sameBytes) {
            EXPECT_TRUE(bytes[0] == bytes[1]) << "streamed and whole files differ";
        }
    }
}

// A page of several compressed pieces (about a million pixels each): the
// streamed PNG, plain or interlaced, decodes to the pixels of the page
// assembled as one image and encoded by the image library, and a second run
// over the first file gives the same bytes.
TEST_F(ConvertTest, StreamedPngOfSeveralPiecesDecodesToTheWholeImagePixels) {
    const auto a = page("a.emf", kA4W, kA4H, 7);
    for (const char* interlace : {"--no-interlace", "--interlace"}) {
        SCOPED_TRACE(interlace);
        std::vector<std::vector<unsigned char>> decoded;
        for (const int stream : {kAlwaysStream, kNeverStream}) {
            const std::string out = (dir / ("p" + std::to_string(stream))).string();
            const auto result = convert({"-o", out, "--dpi", "150", interlace, a.string()}, stream);
            ASSERT_EQ(result.status, kAllWritten) << result.err;
            const fs::path file = fs::path(out) / "a.png";
            std::size_t w = 0, h = 0;
            decoded.push_back(pixels(file, &w, &h));
            EXPECT_EQ(w * h, 1241u * 1754u) << "ceil(21000 x 150 / 2540) x ceil(29700 x 150 / 2540)";
            if (stream == kAlwaysStream) {
                const std::string first = readFile(file);
                std::size_t idat = 0;
                for (std::size_t at = first.find("IDAT"); at != std::string::npos;
                     at = first.find("IDAT", at + 4))
                    ++idat;
                EXPECT_GE(idat, 3u) << "several pieces";
                ASSERT_EQ(convert({"-o", out, "--dpi", "150", interlace, a.string()}, stream).status,
                          kAllWritten);
                EXPECT_TRUE(readFile(file) == first) << "the same page again, other bytes";
            }
        }
        EXPECT_TRUE(decoded[0] == decoded[1]) << "streamed and whole pages differ";
    }
}

// A page in a format whose colours come from the whole page, larger than
// the image library takes as one image, is refused with the limit before it
// is drawn; nothing is written and the run fails. True-colour formats write
// such a page a row at a time.
TEST_F(ConvertTest, PagesBeyondTheLibraryLimitAreRefusedWhereTheyCannotStream) {
    const auto a = page("a.emf", kA4W, kA4H, 5);  // 794 x 1123 at 96 dpi: 0.89 megapixels
    const auto earlier = MagickCore::GetMagickResourceLimit(MagickCore::AreaResource);
    ASSERT_EQ(MagickCore::SetMagickResourceLimit(MagickCore::AreaResource, 500'000), MagickCore::MagickTrue);
    struct Case {
        std::vector<std::string> options;
        const char* file;
        bool written;
    };
    const std::vector<Case> cases = {
        {{"--format", "gif"}, "a.gif", false}, {{"--format", "png", "--png-type", "indexed"}, "a.png", false},
        {{"--sharpen"}, "a.png", false},       {{"--format", "tif"}, "a.tif", true},
        {{"--format", "bmp"}, "a.bmp", true},
    };
    for (const auto& c : cases) {
        const fs::path out = dir / ("out-" + std::string(c.file) + std::to_string(c.options.size()));
        std::vector<std::string> args = {"-o", out.string()};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.push_back(a.string());
        const auto result = convert(args, 1);  // streamed above one strip: the page has six
        SCOPED_TRACE(c.options.back());
        EXPECT_EQ(result.status, c.written ? kAllWritten : kSomeFailed) << result.err;
        EXPECT_EQ(fs::exists(out / c.file), c.written);
        if (!c.written) {
            EXPECT_NE(result.err.find("794 x 1123 pixels"), std::string::npos) << result.err;
            EXPECT_NE(result.err.find("limit of 0.5 megapixels"), std::string::npos) << result.err;
            EXPECT_EQ(result.out.find("->"), std::string::npos) << "no page reported written";
            EXPECT_TRUE(fs::is_empty(out)) << "nothing left behind";
        }
    }
    MagickCore::SetMagickResourceLimit(MagickCore::AreaResource, earlier);
}

TEST_F(ConvertTest, LargePagesStreamOthersAreOneImage) {
    PageConverter converter(defaultSettings());
    const auto small = metafile::Metafile::fromBytes(pageBytes(kA4W, kA4H, 1)).value();
    const auto tall = metafile::Metafile::fromBytes(pageBytes(kA4W, kA4H * 2, 1)).value();
    const auto every = converter.convert(small, dir / "every.png", 1);
    ASSERT_FALSE(every.error) << *every.error;
    EXPECT_TRUE(every.streamed) << "every page of a format written a row at a time";
    converter.streamAboveStrips = 8;
    const auto one = converter.convert(small, dir / "small.png", 1);
    ASSERT_FALSE(one.error) << *one.error;
    EXPECT_FALSE(one.streamed) << "six strips";
    const auto two = converter.convert(tall, dir / "tall.png", 1);
    ASSERT_FALSE(two.error) << *two.error;
    EXPECT_TRUE(two.streamed) << "twelve strips";
    EXPECT_EQ(two.rows, 2246);

    // Each format's page of twelve strips, written a row at a time where
    // the format allows it.
    struct Format {
        app::FormatFlags flags;
        const char* file;
        bool streamable;
    };
    for (const auto& format : std::vector<Format>{{{true, false, false, false, false}, "tall.jpg", true},
                                                  {{false, true, false, false, false}, "tall.gif", false},
                                                  {{false, false, false, true, false}, "tall.bmp", true},
                                                  {{false, false, false, false, true}, "tall.tif", true}}) {
        ConvertSettings settings = defaultSettings();
        settings.format = format.flags;
        PageConverter formatConverter(settings);
        EXPECT_EQ(formatConverter.streamable(), format.streamable) << format.file;
        const auto outcome = formatConverter.convert(tall, dir / format.file, 2);
        ASSERT_FALSE(outcome.error) << format.file << ": " << *outcome.error;
        EXPECT_EQ(outcome.streamed, format.streamable) << format.file;
        EXPECT_EQ(Magick::Image((dir / format.file).string()).rows(), 2246u) << format.file;
    }
    ConvertSettings indexedTif = defaultSettings();
    indexedTif.format = app::FormatFlags{false, false, false, false, true};
    indexedTif.formatOptions.TIF_TrueIndexGray = 3;
    EXPECT_FALSE(PageConverter(indexedTif).streamable()) << "black and white TIF";
    ConvertSettings sharpened = defaultSettings();
    sharpened.render.lvSharpen = true;
    EXPECT_FALSE(PageConverter(sharpened).streamable());
    ConvertSettings indexed = defaultSettings();
    indexed.formatOptions.PNG_TrueIndexGray = 1;
    EXPECT_FALSE(PageConverter(indexed).streamable());
    EXPECT_TRUE(converter.streamable());
}

// A JPEG page too large to hold as a progressive file is written as a
// baseline one of the same pixels, and the run says so on standard error.
TEST_F(ConvertTest, AJpegPageTooLargeToHoldSaysItIsBaseline) {
    const auto a = page("a.emf", 6000, 5000, 4);
    const auto held = convert({"--format", "jpg", "-o", (dir / "held").string(), a.string()});
    ASSERT_EQ(held.status, kAllWritten) << held.err;
    EXPECT_EQ(held.err, "");
    const auto cut = convert({"--format", "jpg", "-o", (dir / "cut").string(), a.string()}, -1, 1);
    ASSERT_EQ(cut.status, kAllWritten) << cut.err;
    EXPECT_EQ(cut.err.rfind("scrivlet-convert: " + a.string() +
                                ": written as a baseline JPEG with the standard tables: a progressive file",
                            0),
              0u)
        << cut.err;
    EXPECT_EQ(Magick::Image((dir / "held" / "a.jpg").string()).interlaceType(), Magick::JPEGInterlace);
    EXPECT_EQ(Magick::Image((dir / "cut" / "a.jpg").string()).interlaceType(), Magick::NoInterlace);
    EXPECT_TRUE(pixels(dir / "held" / "a.jpg") == pixels(dir / "cut" / "a.jpg"));
}

// The files carry the format options of the settings table and the
// resolution truncated to a whole number.
TEST_F(ConvertTest, FormatsCarryTheirDefaultOptionsAndTheDensity) {
    const auto a = page("a.emf", 15000, 10000, 7);
    struct Case {
        const char* format;
        const char* extension;
        std::function<void(const Magick::Image&)> check;
    };
    const std::vector<Case> cases = {
        {"jpg", ".jpg",
         [](const Magick::Image& i) {
             EXPECT_EQ(i.magick(), "JPEG");
             EXPECT_EQ(i.quality(), 90u);
             EXPECT_NE(i.interlaceType(), Magick::NoInterlace) << "progressive";
         }},
        {"gif", ".gif",
         [](const Magick::Image& i) {
             EXPECT_EQ(i.magick(), "GIF");
             EXPECT_LE(i.totalColors(), 64u);
         }},
        {"tif", ".tif",
         [](const Magick::Image& i) {
             EXPECT_EQ(i.magick(), "TIFF");
             EXPECT_EQ(i.compressType(), Magick::LZWCompression);
         }},
        {"bmp", ".bmp", [](const Magick::Image& i) { EXPECT_EQ(i.magick(), "BMP"); }},
        {"png", ".png", [](const Magick::Image& i) { EXPECT_EQ(i.magick(), "PNG"); }},
    };
    for (const auto& c : cases) {
        const std::string out = (dir / c.format).string();
        const auto result = convert({"--format", c.format, "--dpi", "150.9", "-o", out, a.string()});
        ASSERT_EQ(result.status, kAllWritten) << c.format << ": " << result.err;
        Magick::Image image((fs::path(out) / (std::string("a") + c.extension)).string());
        SCOPED_TRACE(c.format);
        c.check(image);
        EXPECT_EQ(image.columns(), 892u) << "ceil(15000 x 150.9 / 2540)";
        const std::string bytes = readFile(fs::path(out) / (std::string("a") + c.extension));
        EXPECT_EQ(bytes.find("tIME"), std::string::npos) << "the same page gives the same bytes";
        EXPECT_EQ(bytes.find("date:"), std::string::npos) << "the same page gives the same bytes";
        if (std::string(c.format) != "gif") {  // GIF holds no resolution
            EXPECT_EQ(dotsPerInch(image), 150) << "density of the truncated dpi";
        }
    }
    // A PNG made from the whole image (sharpened, or of a palette) holds no
    // date either.
    for (const std::vector<std::string>& options :
         {std::vector<std::string>{"--sharpen"}, std::vector<std::string>{"--png-type", "indexed"}}) {
        const std::string whole = (dir / ("whole" + options.back())).string();
        std::vector<std::string> args = {"--format", "png", "-o", whole};
        args.insert(args.end(), options.begin(), options.end());
        args.push_back(a.string());
        const auto result = convert(args);
        ASSERT_EQ(result.status, kAllWritten) << options.back() << ": " << result.err;
        const std::string bytes = readFile(fs::path(whole) / "a.png");
        ASSERT_FALSE(bytes.empty()) << options.back();
        EXPECT_EQ(bytes.find("tIME"), std::string::npos) << options.back();
        EXPECT_EQ(bytes.find("date:"), std::string::npos) << options.back();
    }
    // Options change what the file holds.
    const std::string out = (dir / "jpg40").string();
    ASSERT_EQ(convert({"--format=jpg", "--quality=40", "--no-progressive", "-o", out, a.string()}).status,
              kAllWritten);
    Magick::Image low((fs::path(out) / "a.jpg").string());
    EXPECT_EQ(low.quality(), 40u);
    EXPECT_EQ(low.interlaceType(), Magick::NoInterlace);
    const std::string tif = (dir / "tifplain").string();
    ASSERT_EQ(convert({"--format=tif", "--no-lzw", "-o", tif, a.string()}).status, kAllWritten);
    EXPECT_NE(Magick::Image((fs::path(tif) / "a.tif").string()).compressType(), Magick::LZWCompression);
    const std::string gif = (dir / "gif8").string();
    ASSERT_EQ(convert({"--format=gif", "--colors=8", "-o", gif, a.string()}).status, kAllWritten);
    EXPECT_LE(Magick::Image((fs::path(gif) / "a.gif").string()).totalColors(), 8u);
}

TEST_F(ConvertTest, SpoolFilesGiveTheirPagesByTheSaveRule) {
    const std::vector<std::vector<std::byte>> pages = {pageBytes(kA4W, kA4H, 1), pageBytes(10000, 5000, 2),
                                                       pageBytes(5000, 5000, 3)};
    writeBytes(dir / "Job.SPL", app::writeEmfSpool(u"Report", pages));
    const std::string out = (dir / "out").string();
    auto result = convert({"-o", out, (dir / "Job.SPL").string()});
    ASSERT_EQ(result.status, kAllWritten) << result.err;
    std::size_t w = 0, h = 0;
    pixels(fs::path(out) / "Job0001.png", &w, &h);
    EXPECT_EQ(w, 794u);
    pixels(fs::path(out) / "Job0002.png", &w, &h);
    EXPECT_EQ(w, 378u);
    EXPECT_TRUE(fs::exists(fs::path(out) / "Job0003.png"));
    EXPECT_FALSE(fs::exists(fs::path(out) / "Job0004.png"));

    const auto emf = page("loose.emf", 5000, 5000, 4);
    result = convert({"-o", out, "--base-name", "Doc", emf.string(), (dir / "Job.SPL").string()});
    ASSERT_EQ(result.status, kAllWritten) << result.err;
    for (const char* name : {"Doc0001.png", "Doc0002.png", "Doc0003.png", "Doc0004.png"})
        EXPECT_TRUE(fs::exists(fs::path(out) / name)) << name;
    pixels(fs::path(out) / "Doc0002.png", &w, &h);
    EXPECT_EQ(w, 794u) << "the spool file's first page follows the loose page";
}

// A spool file of more pages than the page list holds is cut at the limit
// and says so; it is not called damaged.
TEST_F(ConvertTest, ASpoolFilePastThePageLimitSaysSoAndIsNotDamaged) {
    const std::vector<std::vector<std::byte>> pages(app::kMaxCutPages + 1, pageBytes(300, 300, 1));
    writeBytes(dir / "Many.SPL", app::writeEmfSpool(u"Many", pages));
    const std::string out = (dir / "out").string();
    const auto result = convert({"--dpi", "1", "-o", out, (dir / "Many.SPL").string()});
    ASSERT_EQ(result.status, kAllWritten) << result.err;
    EXPECT_TRUE(fs::exists(fs::path(out) / "Many2000.png"));
    EXPECT_FALSE(fs::exists(fs::path(out) / "Many2001.png"));
    EXPECT_NE(result.err.find("more than 2000 pages; only the first 2000 were taken"), std::string::npos)
        << result.err;
    EXPECT_EQ(result.err.find("damaged"), std::string::npos) << result.err;
}

// The corpus's spool files give their pages; the pages equal the ones cut
// out of them by another program, kept beside them.
TEST_F(ConvertTest, CorpusSpoolFilesGiveTheirPages) {
    const fs::path spool = fs::path(SCRIVLET_SHARED_DIR) / "corpus" / "spool";
    if (!fs::exists(spool))
        GTEST_SKIP() << "no shared corpus";
    struct Case {
        const char* file;
        int pages;
        std::vector<const char*> references;  // the pages cut elsewhere, in order
    };
    const std::vector<Case> cases = {
        {"hughbe_EMFSpoolfileReader_00003.SPL", 2, {"EMFSpool_0001.emf", "EMFSpool_0002.emf"}},
        {"stories2_00035.SPL", 1, {"EMFSpool_0000.emf"}},
        {"hughbe_export_0000s10.SPL", 1, {}},
    };
    for (const auto& c : cases) {
        const fs::path input = spool / c.file;
        const std::string stem = input.stem().string();
        const fs::path out = dir / stem;
        const auto result = convert({"-o", out.string(), input.string()});
        ASSERT_EQ(result.status, kAllWritten) << c.file << ": " << result.err;
        for (int p = 1; p <= c.pages + 1; ++p) {
            char number[24];
            std::snprintf(number, sizeof number, "%04d", p);
            EXPECT_EQ(fs::exists(out / (stem + number + ".png")), p <= c.pages) << c.file << " page " << p;
        }
        for (std::size_t p = 0; p < c.references.size(); ++p) {
            const fs::path reference = spool / "pages" / c.references[p];
            ASSERT_EQ(convert({"-o", (dir / "ref").string(), reference.string()}).status, kAllWritten);
            char number[24];
            std::snprintf(number, sizeof number, "%04zu", p + 1);
            EXPECT_TRUE(pixels(out / (stem + number + ".png")) ==
                        pixels(dir / "ref" / (fs::path(c.references[p]).stem().string() + ".png")))
                << c.file << " page " << p + 1 << " differs from " << c.references[p];
        }
    }
    const auto xps = convert({"-o", (dir / "xps").string(), (spool / "hughbe_00015_xps_zip.SPL").string()});
    EXPECT_EQ(xps.status, kSomeFailed) << "an XPS spool file is refused";
    EXPECT_NE(xps.err.find("hughbe_00015_xps_zip.SPL"), std::string::npos) << xps.err;
}

TEST_F(ConvertTest, ExitStatusNamesEachFailedInput) {
    const auto good = page("good.emf", 5000, 5000, 1);
    testing_support::writeFile(dir / "junk.emf", "this is not a metafile at all, only some text");
    testing_support::writeFile(dir / "junk.spl", "nor is this a spool file");
    const std::string out = (dir / "out").string();
    const auto result = convert({"-o", out, good.string(), (dir / "missing.emf").string(),
                                 (dir / "junk.emf").string(), (dir / "junk.spl").string()});
    EXPECT_EQ(result.status, kSomeFailed);
    EXPECT_TRUE(fs::exists(fs::path(out) / "good.png")) << "the good page is still written";
    for (const char* name : {"missing.emf", "junk.emf", "junk.spl"})
        EXPECT_NE(result.err.find(name), std::string::npos) << name << " is named: " << result.err;
    EXPECT_EQ(result.err.find("good.emf"), std::string::npos) << result.err;
    EXPECT_EQ(convert({"-o", out, good.string()}).status, kAllWritten);
}

TEST_F(ConvertTest, TwoInputsForOneNameWriteNothing) {
    fs::create_directories(dir / "x");
    fs::create_directories(dir / "y");
    const auto first = page("x/page.emf", 5000, 5000, 1);
    const auto other = page("other.emf", 5000, 5000, 1);
    const auto second = page("y/page.emf", 5000, 5000, 2);
    const std::string out = (dir / "out").string();
    const auto result = convert({"-o", out, other.string(), first.string(), second.string()});
    EXPECT_EQ(result.status, kBadUsage);
    EXPECT_NE(result.err.find("page.png"), std::string::npos) << result.err;
    EXPECT_FALSE(fs::exists(fs::path(out) / "other.png")) << "nothing is written";
    EXPECT_EQ(
        convert({"-o", out, "--base-name", "P", other.string(), first.string(), second.string()}).status,
        kAllWritten);
}

TEST_F(ConvertTest, OutputsAreReplacedButLinksAreNotWrittenThrough) {
    const auto a = page("a.emf", 5000, 5000, 1);
    const auto b = page("b.emf", 5000, 5000, 2);
    const fs::path out = dir / "out";
    fs::create_directories(out);
    testing_support::writeFile(out / "a.png", "old");
    testing_support::writeFile(dir / "victim", "precious");
    fs::create_symlink(dir / "victim", out / "b.png");
    const auto result = convert({"-o", out.string(), a.string(), b.string()});
    EXPECT_EQ(result.status, kSomeFailed);
    EXPECT_NE(readFile(out / "a.png"), "old");
    EXPECT_EQ(readFile(dir / "victim"), "precious");
    EXPECT_TRUE(fs::is_symlink(out / "b.png"));
    EXPECT_NE(result.err.find("symbolic link"), std::string::npos) << result.err;
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(out)) ++files;
    EXPECT_EQ(files, 2u) << "no temporary file left behind";
}

TEST_F(ConvertTest, ADamagedPageThatRendersSaysSo) {
    auto bytes = pageBytes(10000, 10000, 1);
    // Cut inside the last drawing record: the reader keeps what came before.
    bytes.resize(bytes.size() - 30);
    writeBytes(dir / "cut.emf", bytes);
    const std::string out = (dir / "out").string();
    const auto result = convert({"-o", out, (dir / "cut.emf").string()});
    ASSERT_EQ(result.status, kAllWritten) << "a cut page still renders: " << result.err;
    EXPECT_TRUE(fs::exists(fs::path(out) / "cut.png"));
    EXPECT_NE(result.err.find("damaged"), std::string::npos) << "stderr: " << result.err;
    EXPECT_NE(result.err.find("cut.emf"), std::string::npos);
}

// A page with damaged records still renders and says how many were skipped,
// the first one included.
TEST_F(ConvertTest, APageWithMalformedRecordsSaysHowMany) {
    for (const int bad : {1, 2}) {
        metafile::EmfWriter w({0, 0, 5000, 5000}, {1000, 1000}, {254, 254});
        w.rectangle({10, 10, 100, 100});
        for (int i = 0; i < bad; ++i) w.selectObject(77);  // never created
        const std::string name = "bad" + std::to_string(bad) + ".emf";
        writeBytes(dir / name, w.finish());
        const std::string out = (dir / "out").string();
        const auto result = convert({"-o", out, (dir / name).string()});
        ASSERT_EQ(result.status, kAllWritten) << result.err;
        EXPECT_NE(result.err.find(std::to_string(bad) + " malformed record"), std::string::npos)
            << "stderr: " << result.err;
        EXPECT_NE(result.err.find(name), std::string::npos) << result.err;
    }
}

// On a terminal a bar counts the pages; each message first clears it, so
// that no message is written over the bar.
TEST_F(ConvertTest, TheProgressBarCountsPagesAndMakesWayForMessages) {
    const auto a = page("a.emf", 5000, 5000, 1);
    const std::vector<std::string> args = {
        "-j", "1", "-o", (dir / "out").string(), a.string(), (dir / "missing.emf").string()};
    for (const bool bar : {true, false}) {
        auto line = parseCommandLine(args, {});
        ASSERT_TRUE(line);
        RunSettings run;
        run.progressBar = bar;
        run.out = std::tmpfile();
        run.err = std::tmpfile();
        EXPECT_EQ(runConversion(*line, run), kSomeFailed);
        drain(run.out);
        const std::string err = drain(run.err);
        if (!bar) {
            EXPECT_EQ(err.find('\r'), std::string::npos) << "no bar off a terminal";
            continue;
        }
        // Forty places, filled in proportion to the pages done.
        EXPECT_NE(err.find("\r[" + std::string(20, '#') + std::string(20, ' ') + "] 1/2 pages"),
                  std::string::npos)
            << err;
        EXPECT_NE(err.find("\r[" + std::string(40, '#') + "] 2/2 pages"), std::string::npos) << err;
        const auto message = err.find("scrivlet-convert: ");
        ASSERT_NE(message, std::string::npos) << err;
        EXPECT_EQ(err.rfind("\r\033[K", message), message - 4) << "the bar is cleared before the message";
        // and drawn again, as it was, after it.
        const auto shownAt = err.rfind("\r[", message);
        ASSERT_NE(shownAt, std::string::npos) << err;
        const std::string shown = err.substr(shownAt, message - 4 - shownAt);
        const auto lineEnd = err.find('\n', message);
        ASSERT_NE(lineEnd, std::string::npos) << err;
        EXPECT_EQ(err.substr(lineEnd + 1, shown.size()), shown) << err;
        EXPECT_EQ(err.substr(err.size() - 4), "\r\033[K") << "and when the run ends";
    }
}

// A strip whose drawing surface cannot be made fails its page with a clear
// error, on one thread and on several; nothing is written.
TEST_F(ConvertTest, AStripTooLargeToDrawFailsThePage) {
    // 1,000,000 x 100 pixels at 96 dpi, 20 x 20 supersampled: allowed as a
    // page, but one output row's band (20,000,000 x 20) exceeds the drawing
    // surface's cap.
    const auto widest = page("widest.emf", 26'458'333, 2'646, 1);
    for (const char* jobs : {"1", "2"}) {
        const std::string out = (dir / (std::string("out") + jobs)).string();
        const auto result =
            convert({"-j", jobs, "--antialias", "20", "-o", out, widest.string()}, kAlwaysStream);
        EXPECT_EQ(result.status, kSomeFailed) << jobs;
        EXPECT_NE(result.err.find("widest.emf: not enough memory for a strip"), std::string::npos)
            << result.err;
        EXPECT_FALSE(fs::exists(fs::path(out) / "widest.png")) << jobs;
        EXPECT_TRUE(fs::is_empty(out)) << "no temporary file left behind";
    }
#ifdef SCRIVLET_THREAD_SANITIZED
    GTEST_SKIP() << "the banded page (1.6 billion pixels drawn) is left out under the thread sanitizer";
#endif
    // 400,000 x 1,000 pixels, 2 x 2: a strip (800,000 x 400) is past the cap,
    // but it is drawn in bands of a few rows that are not.
    const auto wide = page("wide.emf", 10'583'333, 26'458, 1);
    const auto banded =
        convert({"--antialias", "2", "-o", (dir / "banded").string(), wide.string()}, kAlwaysStream);
    EXPECT_EQ(banded.status, kAllWritten) << banded.err;
    EXPECT_TRUE(fs::exists(dir / "banded" / "wide.png"));
    // As one image it is past the image library's limits: said, not aborted.
    const auto whole = convert({"-o", (dir / "whole").string(), wide.string()}, kNeverStream);
    EXPECT_EQ(whole.status, kSomeFailed);
    EXPECT_NE(whole.err.find("wide.emf: "), std::string::npos) << whole.err;
    const auto tooWide = convert({"--dpi", "2400", "-o", (dir / "big").string(), wide.string()});
    EXPECT_EQ(tooWide.status, kSomeFailed);
    EXPECT_NE(tooWide.err.find("too large"), std::string::npos) << tooWide.err;
}

TEST_F(ConvertTest, ReportCountsGlyphIndexText) {
    metafile::EmfWriter w({0, 0, 5000, 5000}, {1000, 1000}, {254, 254});
    const std::u16string glyphs = {36, 37, 38};
    w.extTextOut({10, 10}, glyphs, {}, 0x0010);  // ETO_GLYPH_INDEX
    writeBytes(dir / "glyphs.emf", w.finish());
    const auto result = convert({"--report", "-o", (dir / "out").string(), (dir / "glyphs.emf").string()});
    ASSERT_EQ(result.status, kAllWritten) << result.err;
    EXPECT_NE(result.out.find("glyph-index text drawn with the substitute font's glyphs: 1 records"),
              std::string::npos)
        << result.out;
}

TEST_F(ConvertTest, ReportListsThePageOnStandardOutput) {
    const auto a = page("a.emf", 5000, 5000, 1);
    const auto result = convert({"--report", "-o", (dir / "out").string(), a.string()});
    ASSERT_EQ(result.status, kAllWritten) << result.err;
    EXPECT_NE(result.out.find("records played"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("Liberation Sans"), std::string::npos) << result.out;
}

}  // namespace
}  // namespace cli::testing
