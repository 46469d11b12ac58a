#include <cmath>
#include <list>

#include "app/emf_spool_writer.h"
#include "tests/cli/convert_fixture.h"
#include "tests/metafile/record_builder.h"
#include "tests/support/pdf_info.h"

namespace cli::testing {
namespace {

namespace fs = std::filesystem;
using testing_support::havePdfInfo;
using testing_support::pageSizes;

std::list<Magick::Image> frames(const fs::path& file) {
    std::list<Magick::Image> list;
    Magick::readImages(&list, file.string());
    return list;
}

std::string text(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Pages from loose metafiles and a spool file, in argument order, into all
// four documents at once; no page file of its own is written.
TEST_F(ConvertTest, DocumentsTakeEveryPageOfEveryInputInOrder) {
    const auto first = page("first.emf", 5000, 8000, 1);  // 50 x 80 mm
    std::vector<std::vector<std::byte>> spoolPages = {pageBytes(8000, 5000, 2), pageBytes(6000, 6000, 3)};
    writeBytes(dir / "Job.SPL", app::writeEmfSpool(u"Report", spoolPages));
    const fs::path out = dir / "out";
    const auto result =
        convert({"-o", out.string(), "--dpi", "100", "--gif-delay", "300", "--pdf-format", "jpg", "--pdf",
                 (dir / "all.pdf").string(), "--gallery", (dir / "site" / "deep").string(), "--multipage-tif",
                 (dir / "all.tif").string(), "--animated-gif", (dir / "all.gif").string(), first.string(),
                 (dir / "Job.SPL").string()});
    ASSERT_EQ(result.status, kAllWritten) << result.err;
    EXPECT_FALSE(fs::exists(out / "first.png"));
    EXPECT_FALSE(fs::exists(out / "Job0001.png"));

    // The pages' sizes as single files at the same resolution.
    ASSERT_EQ(convert({"-o", (dir / "single").string(), "--dpi", "100", "--base-name", "S", first.string(),
                       (dir / "Job.SPL").string()})
                  .status,
              kAllWritten);
    std::vector<std::pair<std::size_t, std::size_t>> expected;
    for (const char* name : {"S0001.png", "S0002.png", "S0003.png"}) {
        std::size_t w = 0, h = 0;
        pixels(dir / "single" / name, &w, &h);
        expected.emplace_back(w, h);
    }
    ASSERT_GT(expected[0].second, expected[0].first) << "portrait";
    ASSERT_GT(expected[1].first, expected[1].second) << "landscape";
    std::vector<std::pair<std::size_t, std::size_t>> tif, gif;
    for (const auto& f : frames(dir / "all.tif")) {
        tif.emplace_back(f.columns(), f.rows());
        EXPECT_EQ(f.compressType(), Magick::LZWCompression);
    }
    for (const auto& f : frames(dir / "all.gif")) {
        gif.emplace_back(f.columns(), f.rows());
        EXPECT_EQ(f.animationDelay(), 30u);
    }
    EXPECT_EQ(tif, expected);
    EXPECT_EQ(gif.size(), expected.size()) << "GIF frames";
    EXPECT_EQ(gif.front(), expected.front());

    if (havePdfInfo()) {
        const auto sizes = pageSizes(dir / "all.pdf");
        ASSERT_EQ(sizes.size(), expected.size());
        for (std::size_t i = 0; i < sizes.size(); ++i) {
            EXPECT_NEAR(sizes[i].first, expected[i].first * 72.0 / 100, 0.01) << "page " << i + 1;
            EXPECT_NEAR(sizes[i].second, expected[i].second * 72.0 / 100, 0.01) << "page " << i + 1;
        }
    }

    // The gallery's folder was made; BASE is the first input's name.
    const fs::path site = dir / "site" / "deep";
    EXPECT_TRUE(fs::exists(site / "first.html"));
    for (const char* name : {"header.html", "bottoms.html", "0001.png", "0001_.png", "0002.png", "0002_.png",
                             "0003.png", "0003_.png"})
        EXPECT_TRUE(fs::exists(site / "first_files" / name)) << name;
    std::size_t w = 0, h = 0;
    pixels(site / "first_files" / "0002.png", &w, &h);
    EXPECT_EQ(std::make_pair(w, h), expected[1]) << "numbered in input order";
    pixels(site / "first_files" / "0002_.png", &w, &h);
    EXPECT_EQ(w, 130u) << "a landscape thumbnail fills the width";
    const std::string bottoms = text(site / "first_files" / "bottoms.html");
    EXPECT_NE(bottoms.find("<A HREF='0003.png' TARGET=win_right><IMG SRC='0003_.png'"), std::string::npos);
    EXPECT_EQ(bottoms.substr(bottoms.size() - 25), "  </CENTER></BODY></HTML>");
    EXPECT_NE(text(site / "first.html").find("<FRAME SRC='first_files/0001.png' NAME=win_right>"),
              std::string::npos);
}

TEST_F(ConvertTest, GalleryBaseNameAndFormat) {
    const auto a = page("a.emf", 4000, 4000, 1);
    const auto result =
        convert({"--gallery", (dir / "g").string(), "--base-name", "Album", "--format", "tif", a.string()});
    ASSERT_EQ(result.status, kAllWritten) << result.err;
    EXPECT_TRUE(fs::exists(dir / "g" / "Album.html"));
    EXPECT_TRUE(fs::exists(dir / "g" / "Album_files" / "0001.bmp")) << "TIF makes a BMP gallery";
    EXPECT_NE(result.out.find("Album.html"), std::string::npos) << result.out;
}

TEST_F(ConvertTest, DocumentFailuresAreSaidAndCounted) {
    const auto a = page("a.emf", 4000, 4000, 1);
    testing_support::writeFile(dir / "junk.emf", "not a metafile");
    testing_support::writeFile(dir / "blocker", "a file");
    // 20 km square: too large to render at any resolution.
    writeBytes(dir / "huge.emf",
               metafile::EmfWriter({0, 0, 2'000'000'000, 2'000'000'000}, {1000, 1000}, {254, 254}).finish());
    struct Case {
        std::vector<std::string> args;
        const char* said;  // in the error output
    };
    const std::vector<Case> cases = {
        {{"--pdf", (dir / "blocker" / "x.pdf").string(), a.string()}, "x.pdf"},
        {{"--multipage-tif", (dir / "missing" / "x.tif").string(), a.string()}, "x.tif"},
        {{"--animated-gif", (dir / "x.gif").string(), (dir / "junk.emf").string()}, "junk.emf"},
        {{"--gallery", (dir / "blocker").string(), a.string()}, "blocker"},
        {{"--animated-gif", (dir / "y.gif").string(), a.string(), (dir / "junk.emf").string()}, "junk.emf"},
        {{"--pdf", (dir / "z.pdf").string(), (dir / "huge.emf").string(), a.string()},
         "huge.emf: the page is"},
    };
    for (const auto& c : cases) {
        const auto result = convert(c.args);
        EXPECT_EQ(result.status, kSomeFailed) << c.said << ": " << result.err;
        EXPECT_NE(result.err.find(c.said), std::string::npos) << result.err;
    }
    EXPECT_FALSE(fs::exists(dir / "x.gif")) << "no pages, no file";
    EXPECT_EQ(frames(dir / "y.gif").size(), 1u) << "the good page is written";
    EXPECT_EQ(convert({"--pdf", "", a.string()}).status, kBadUsage);
    EXPECT_EQ(convert({"--gallery"}).status, kBadUsage);
    const std::string help = helpText();
    for (const char* option : {"--pdf FILE", "--gallery DIR", "--multipage-tif FILE", "--animated-gif FILE"})
        EXPECT_NE(help.find(option), std::string::npos) << option;
}

// A page with a record that selects an object never made.
std::vector<std::byte> malformedPage() {
    metafile::EmfWriter w({0, 0, 3000, 3000}, {1000, 1000}, {254, 254});
    w.rectangle({10, 10, 60, 60});
    w.selectObject(77);
    return w.finish();
}

// A page of RLE pictures that each leave every pixel out: the page's budget
// of decoded pixels runs out after the fourth.
std::vector<std::byte> pageCutAtItsBudget() {
    using namespace metafile::testing;
    const std::uint32_t palette[2] = {0x000000, 0xFFFFFF};
    const auto info = bitmapInfo(4096, 4096, 8, 1 /* RLE8 */, palette);
    const std::vector<std::byte> bits = {std::byte{0}, std::byte{1}};  // end of bitmap at once
    std::vector<std::vector<std::byte>> records;
    for (int i = 0; i < 8; ++i)
        records.push_back(stretchDiBitsRecord(info, bits, 4096, 4096, {i, 0, i + 1, 1}));
    return metafileOf(records);
}

// A dashed line across the lower part of the page, run back and forth until
// its dash steps spend the budget of the strips it crosses; the first strip
// draws none of it.
std::vector<std::byte> pageCutInALaterStrip() {
    metafile::EmfWriter w({0, 0, 26458, 26458}, {1000, 1000}, {254, 254});
    metafile::Pen pen;
    pen.style = metafile::gdi::PS_DASH;
    w.selectObject(w.createPen(pen));
    std::vector<metafile::PointL> points;
    for (int i = 0; i < 140'000; ++i) points.push_back({i % 2 == 0 ? 0 : 999, 900});
    w.polyline(points);
    w.rectangle({0, 950, 1000, 1000});
    return w.finish();
}

// A page that still draws says what was wrong with it, whatever it is written
// into, without --report; the sound page beside it says nothing.
TEST_F(ConvertTest, DamagedPagesAreSaidInEveryOutput) {
    const auto sound = page("sound.emf", 3000, 3000, 1);
    writeBytes(dir / "malformed.emf", malformedPage());
    writeBytes(dir / "cut.emf", pageCutAtItsBudget());
    writeBytes(dir / "late.emf", pageCutInALaterStrip());
    const std::vector<std::vector<std::string>> outputs = {
        {"-o", (dir / "pages").string()},
        {"--pdf", (dir / "all.pdf").string()},
        {"--gallery", (dir / "site").string()},
        {"--multipage-tif", (dir / "all.tif").string()},
        {"--animated-gif", (dir / "all.gif").string()},
    };
    for (const auto& output : outputs) {
        auto args = output;
        for (const char* name : {"sound.emf", "malformed.emf", "cut.emf", "late.emf"})
            args.push_back((dir / name).string());
        const auto result = convert(args);
        const std::string& label = output.front();
        EXPECT_EQ(result.status, kAllWritten) << label << ": " << result.err;
        EXPECT_NE(
            result.err.find((dir / "malformed.emf").string() + ": damaged: 1 malformed record(s) skipped"),
            std::string::npos)
            << label << ": " << result.err;
        EXPECT_NE(result.err.find((dir / "cut.emf").string() +
                                  ": damaged: drawing stopped early (the page was cut"),
                  std::string::npos)
            << label << ": " << result.err;
        EXPECT_NE(result.err.find((dir / "late.emf").string() + ": damaged: drawing stopped early"),
                  std::string::npos)
            << label << ": " << result.err;
        EXPECT_EQ(result.err.find(sound.string() + ": damaged"), std::string::npos)
            << label << ": " << result.err;
        EXPECT_TRUE(fs::exists(fs::path(output.back()))) << label;
    }
    EXPECT_EQ(frames(dir / "all.gif").size(), 4u) << "damaged pages are kept";
}

// The corpus's spool files into one PDF: a page for every spool page, each
// as large as its pixels at the resolution.
TEST_F(ConvertTest, CorpusSpoolFilesMakeOnePdf) {
    const fs::path spool = fs::path(SCRIVLET_SHARED_DIR) / "corpus" / "spool";
    if (!fs::exists(spool))
        GTEST_SKIP() << "no shared corpus";
    if (!havePdfInfo())
        GTEST_SKIP() << "pdfinfo (poppler-utils) is not installed";
    const std::vector<std::string> inputs = {(spool / "hughbe_EMFSpoolfileReader_00003.SPL").string(),
                                             (spool / "stories2_00035.SPL").string(),
                                             (spool / "hughbe_export_0000s10.SPL").string()};
    for (const char* dpi : {"150", "72"}) {
        const fs::path png = dir / (std::string("png") + dpi);
        std::vector<std::string> args = {"--dpi", dpi, "--base-name", "P", "-o", png.string()};
        args.insert(args.end(), inputs.begin(), inputs.end());
        ASSERT_EQ(convert(args).status, kAllWritten);
        const fs::path pdf = dir / (std::string("corpus") + dpi + ".pdf");
        args = {"--dpi", dpi, "--pdf", pdf.string()};
        args.insert(args.end(), inputs.begin(), inputs.end());
        const auto result = convert(args);
        ASSERT_EQ(result.status, kAllWritten) << result.err;
        const auto sizes = pageSizes(pdf);
        ASSERT_EQ(sizes.size(), 4u) << "2 + 1 + 1 spool pages";
        for (std::size_t i = 0; i < sizes.size(); ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "P%04zu.png", i + 1);
            std::size_t w = 0, h = 0;
            pixels(png / name, &w, &h);
            EXPECT_NEAR(sizes[i].first, w * 72.0 / std::stod(dpi), 0.01) << dpi << " dpi page " << i + 1;
            EXPECT_NEAR(sizes[i].second, h * 72.0 / std::stod(dpi), 0.01) << dpi << " dpi page " << i + 1;
        }
    }
}

}  // namespace
}  // namespace cli::testing
