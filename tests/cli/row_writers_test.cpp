#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <cmath>
#include <functional>
#include <vector>

#include "output/encoding.h"
#include "output/image_file.h"
#include "output/row_writer.h"
#include "render/magick.h"
#include "tests/output/image_headers.h"
#include "tests/support/temp_dir.h"

namespace output {
namespace {

namespace fs = std::filesystem;

// A page whose pixels vary: flat runs (which compress) and every colour
// changing from row to row, as 0x00RRGGBB rows.
std::vector<std::uint32_t> sample(std::uint32_t columns, std::uint32_t rows) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(columns) * rows);
    for (std::uint32_t y = 0; y < rows; ++y) {
        for (std::uint32_t x = 0; x < columns; ++x) {
            const std::uint32_t i = y * columns + x;
            pixels[i] = (x / 17 + y / 5) % 3 == 0 ? 0xFFFFFF : (i * 2654435761u) & 0xFFFFFF;
        }
    }
    return pixels;
}

class Descriptor {
public:
    Descriptor(const fs::path& file, int flags) : m_fd(::open(file.c_str(), flags | O_CLOEXEC, 0600)) {}
    ~Descriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int fd() const { return m_fd; }

private:
    int m_fd;
};

// Writes `pixels` in strips of `strip` rows (the last shorter); the
// writer's failure, if any.
std::optional<std::string> writeInStrips(RowWriter& writer, const std::vector<std::uint32_t>& pixels,
                                         std::uint32_t columns, std::uint32_t rows, std::uint32_t strip) {
    for (std::uint32_t y = 0; y < rows; y += strip) {
        if (!writer.writeRows(&pixels[static_cast<std::size_t>(y) * columns], std::min(strip, rows - y),
                              columns))
            return writer.error();
    }
    return writer.finish();
}

std::vector<unsigned char> decodedRgb(const fs::path& file, std::size_t columns, std::size_t rows) {
    Magick::Image image(file.string());
    EXPECT_EQ(image.columns(), columns);
    EXPECT_EQ(image.rows(), rows);
    std::vector<unsigned char> rgb(columns * rows * 3);
    image.write(0, 0, columns, rows, "RGB", Magick::CharPixel, rgb.data());
    return rgb;
}

std::vector<unsigned char> rgbOf(const std::vector<std::uint32_t>& pixels) {
    std::vector<unsigned char> rgb(pixels.size() * 3);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        rgb[3 * i] = static_cast<unsigned char>(pixels[i] >> 16);
        rgb[3 * i + 1] = static_cast<unsigned char>(pixels[i] >> 8);
        rgb[3 * i + 2] = static_cast<unsigned char>(pixels[i]);
    }
    return rgb;
}

std::uint32_t bigEndian(const std::string& bytes, std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at])) << 24 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 3]));
}

// Every chunk's CRC holds and the IDAT chunks together are one zlib stream
// whose checksum holds; the number of bytes it inflates to.
std::size_t checkPngStream(const std::string& file, int* idatChunks) {
    EXPECT_EQ(file.compare(0, 8, "\x89PNG\r\n\x1a\n"), 0);
    std::string stream;
    *idatChunks = 0;
    std::size_t at = 8;
    while (at + 12 <= file.size()) {
        const std::uint32_t length = bigEndian(file, at);
        const std::string type = file.substr(at + 4, 4);
        EXPECT_LE(at + 12 + length, file.size());
        const auto* data = reinterpret_cast<const Bytef*>(file.data() + at + 4);
        EXPECT_EQ(crc32(crc32(0, nullptr, 0), data, length + 4), bigEndian(file, at + 8 + length)) << type;
        if (type == "IDAT") {
            stream += file.substr(at + 8, length);
            ++*idatChunks;
        }
        at += 12 + length;
        if (type == "IEND")
            break;
    }
    EXPECT_EQ(at, file.size()) << "IEND ends the file";
    z_stream z{};
    EXPECT_EQ(inflateInit(&z), Z_OK);
    std::vector<unsigned char> out(1 << 16);
    z.next_in = reinterpret_cast<Bytef*>(stream.data());
    z.avail_in = static_cast<uInt>(stream.size());
    int result = Z_OK;
    while (result == Z_OK) {
        z.next_out = out.data();
        z.avail_out = static_cast<uInt>(out.size());
        result = inflate(&z, Z_NO_FLUSH);
    }
    EXPECT_EQ(result, Z_STREAM_END) << "the stream and its checksum: " << (z.msg ? z.msg : "");
    EXPECT_EQ(z.avail_in, 0u) << "nothing after the stream's end";
    const std::size_t total = z.total_out;
    inflateEnd(&z);
    return total;
}

// Pages of more than one compressed piece (a piece holds about a million
// pixels) in several strips: one valid stream that decodes to the rows, the
// same bytes on one thread or several.
TEST(PngRowWriter, PiecesOnThreadsMakeOneStreamOfTheRows) {
    Magick::InitializeMagick(nullptr);
    testing_support::TempDir dir;
    constexpr std::uint32_t kColumns = 1031, kRows = 2203;  // 2.3 million pixels
    const auto pixels = sample(kColumns, kRows);
    const auto expected = rgbOf(pixels);
    for (const bool interlace : {false, true}) {
        std::vector<std::string> files;
        for (const int threads : {1, 3}) {
            SCOPED_TRACE(std::string(interlace ? "interlaced" : "plain") + ", threads " +
                         std::to_string(threads));
            const fs::path file = dir / ("p" + std::to_string(interlace) + std::to_string(threads) + ".png");
            {
                Descriptor out(file, O_WRONLY | O_CREAT | O_TRUNC);
                auto writer = openPngRowWriter(out.fd(), RowImage{kColumns, kRows, 150, interlace},
                                               dir.path().string(), threads);
                const auto failure = writeInStrips(*writer, pixels, kColumns, kRows, 203);
                ASSERT_FALSE(failure) << *failure;
            }
            files.push_back(testing_support::readFile(file));
            int idat = 0;
            const std::size_t raw = checkPngStream(files.back(), &idat);
            EXPECT_GE(idat, 3) << "several pieces";
            // The filtered rows: a filter byte and three bytes a pixel, for
            // every row of every pass.
            std::size_t expectedRaw = 0;
            if (!interlace) {
                expectedRaw = kRows * (1 + 3 * std::size_t{kColumns});
            } else {
                const std::uint32_t passes[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                                    {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
                for (const auto& p : passes) {
                    const std::size_t w = (kColumns - p[0] + p[2] - 1) / p[2],
                                      h = (kRows - p[1] + p[3] - 1) / p[3];
                    expectedRaw += h * (1 + 3 * w);
                }
            }
            EXPECT_EQ(raw, expectedRaw);
            Magick::Image image(file.string());
            EXPECT_EQ(image.interlaceType() != Magick::NoInterlace, interlace);
            const double x = image.xResolution();
            EXPECT_EQ(
                std::lround(image.resolutionUnits() == Magick::PixelsPerCentimeterResolution ? x * 2.54 : x),
                150);
            EXPECT_TRUE(decodedRgb(file, kColumns, kRows) == expected) << "decoded pixels differ";
        }
        EXPECT_TRUE(files[0] == files[1]) << "the thread count changed the bytes";
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()),
                  interlace ? 4 : 2)
            << "the kept pieces leave no file behind";
    }
}

// Small pages: a row, a column, a pixel, widths where some of the seven
// passes of an interlaced page are empty, and rows of whole 32-byte blocks
// (the filter's unit) that end their piece's buffer.
TEST(PngRowWriter, SmallAndNarrowPagesDecode) {
    Magick::InitializeMagick(nullptr);
    testing_support::TempDir dir;
    for (const auto& [columns, rows] : std::vector<std::pair<std::uint32_t, std::uint32_t>>{
             {1, 1}, {1, 9}, {9, 1}, {3, 3}, {5, 2}, {7, 5}, {32, 2}, {64, 3}}) {
        for (const bool interlace : {false, true}) {
            SCOPED_TRACE(std::to_string(columns) + "x" + std::to_string(rows) +
                         (interlace ? " interlaced" : ""));
            const auto pixels = sample(columns, rows);
            const fs::path file = dir / "s.png";
            {
                Descriptor out(file, O_WRONLY | O_CREAT | O_TRUNC);
                auto writer = openPngRowWriter(out.fd(), RowImage{columns, rows, 96, interlace},
                                               dir.path().string(), 2);
                const auto failure = writeInStrips(*writer, pixels, columns, rows, 2);
                ASSERT_FALSE(failure) << *failure;
            }
            int idat = 0;
            checkPngStream(testing_support::readFile(file), &idat);
            EXPECT_TRUE(decodedRgb(file, columns, rows) == rgbOf(pixels));
        }
    }
}

// The page's resolution in the file: pixels a metre, the nearest whole
// number to its dots per inch.
TEST(PngRowWriter, TheResolutionIsTheNearestWholePixelsAMetre) {
    testing_support::TempDir dir;
    const auto pixels = sample(9, 4);
    struct Case {
        unsigned dpi;
        long long perMetre;
    };
    const Case cases[] = {{1, 39}, {72, 2835}, {96, 3780}, {150, 5906}, {300, 11811}, {600, 23622}};
    for (const Case& c : cases) {
        const fs::path file = dir / "dpi.png";
        {
            Descriptor out(file, O_WRONLY | O_CREAT | O_TRUNC);
            auto writer = openPngRowWriter(out.fd(), RowImage{9, 4, c.dpi, false}, dir.path().string(), 1);
            const auto failure = writeInStrips(*writer, pixels, 9, 4, 4);
            ASSERT_FALSE(failure) << *failure;
        }
        EXPECT_EQ(testing_support::readPng(testing_support::readFile(file)).pixelsPerMetre, c.perMetre)
            << c.dpi << " dpi";
    }
}

// The descriptors this process holds open.
long openDescriptors() {
    return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
}

// A writer closes what it opened (an interlaced page's scratch file) whether
// its page was finished, refused or left unfinished: a run of many pages
// does not run out of descriptors.
TEST(PngRowWriter, AWriterLeavesNoDescriptorOpen) {
    testing_support::TempDir dir;
    constexpr std::uint32_t kColumns = 40, kRows = 30;
    const auto pixels = sample(kColumns, kRows + 1);
    struct Case {
        const char* what;
        bool interlace;
        std::uint32_t rows;  // given before the writer goes; all of them are finished
    };
    const Case cases[] = {
        {"interlaced, finished", true, kRows},
        {"interlaced, left halfway", true, kRows / 2},
        {"interlaced, a row too many", true, kRows + 1},
        {"plain, finished", false, kRows},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Descriptor out(dir / "d.png", O_WRONLY | O_CREAT | O_TRUNC);
        const long before = openDescriptors();
        {
            auto writer = openPngRowWriter(out.fd(), RowImage{kColumns, kRows, 96, c.interlace},
                                           dir.path().string(), 1);
            EXPECT_EQ(writer->writeRows(pixels.data(), c.rows, kColumns), c.rows <= kRows) << writer->error();
            if (c.rows == kRows) {
                const auto failure = writer->finish();
                EXPECT_FALSE(failure) << *failure;
            }
        }
        EXPECT_EQ(openDescriptors(), before);
    }
}

// The formats' options as the encoding step gives them, on an image of the
// page's pixels: the file the image library's path writes.
struct LibraryPage {
    Magick::Image image;
    explicit LibraryPage(const std::vector<std::uint32_t>& pixels, std::uint32_t columns, std::uint32_t rows,
                         OptionSet set, const app::FormatSettings& options) {
        image = Magick::Image(Magick::Geometry(columns, rows), Magick::Color("white"));
        image.read(columns, rows, "RGB", Magick::CharPixel, rgbOf(pixels).data());
        applyOptionSet(image, set, options);
        applyDensity(image, 150.6);
    }
};

// JPEG, TIFF and BMP row writers against the library's path for the same
// page: the same pixels, and for JPEG and BMP the same bytes.
TEST(RowWriters, GiveTheLibraryPathsPixels) {
    Magick::InitializeMagick(nullptr);
    testing_support::TempDir dir;
    constexpr std::uint32_t kColumns = 203, kRows = 157;
    const auto pixels = sample(kColumns, kRows);
    struct Case {
        const char* label;
        OptionSet set;
        std::function<void(app::FormatSettings&)> options;
        const char* encoder;
        bool sameBytes;
    };
    const std::vector<Case> cases = {
        {"jpeg progressive 90", OptionSet::JPG, [](app::FormatSettings&) {}, "JPEG", true},
        {"jpeg baseline 40", OptionSet::JPG,
         [](app::FormatSettings& o) { o.JPG_Progress = false, o.JPG_Quality = 40; }, "JPEG", true},
        {"jpeg grey", OptionSet::JPG, [](app::FormatSettings& o) { o.JPG_Gray = true; }, "JPEG", true},
        {"tif lzw", OptionSet::TIF, [](app::FormatSettings&) {}, "TIFF", false},
        {"tif plain", OptionSet::TIF, [](app::FormatSettings& o) { o.TIF_Lzw = false; }, "TIFF", false},
        {"bmp", OptionSet::BMP, [](app::FormatSettings&) {}, "BMP", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        app::FormatSettings options;
        c.options(options);
        LibraryPage whole(pixels, kColumns, kRows, c.set, options);
        const fs::path reference = dir / (std::string("whole.") + c.encoder);
        ASSERT_TRUE(writeImageFile(whole.image, reference.string() + (c.set == OptionSet::JPG   ? ".jpg"
                                                                      : c.set == OptionSet::TIF ? ".tif"
                                                                                                : ".bmp")));
        const fs::path wholeFile = reference.string() + (c.set == OptionSet::JPG   ? ".jpg"
                                                         : c.set == OptionSet::TIF ? ".tif"
                                                                                   : ".bmp");
        const RowImage shape{kColumns, kRows, 150, false};
        const fs::path file = dir / "rows";
        {
            Descriptor out(file, O_RDWR | O_CREAT | O_TRUNC);
            std::unique_ptr<RowWriter> writer;
            if (c.set == OptionSet::JPG) {
                LibraryPage probe(std::vector<std::uint32_t>(kColumns, 0xFFFFFF), kColumns, 1, c.set,
                                  options);
                writer =
                    openJpegRowWriter(out.fd(), shape, jpegSettingsOf(probe.image),
                                      [&](Magick::Image& rows) { applyOptionSet(rows, c.set, options); });
            } else if (c.set == OptionSet::TIF) {
                writer = openTiffRowWriter(out.fd(), shape, options.TIF_Lzw);
            } else {
                LibraryPage probe(std::vector<std::uint32_t>(1, 0xFFFFFF), 1, 1, c.set, options);
                auto oneRow = encodeImage(probe.image, "BMP", "probe.bmp");
                ASSERT_TRUE(oneRow);
                const auto* bytes = static_cast<const unsigned char*>(oneRow->data());
                writer = openBmpRowWriter(out.fd(), shape,
                                          std::vector<unsigned char>(bytes, bytes + oneRow->length()));
            }
            const auto failure = writeInStrips(*writer, pixels, kColumns, kRows, 16);
            ASSERT_FALSE(failure) << *failure;
        }
        const fs::path named = dir / (std::string("rows.") + wholeFile.extension().string().substr(1));
        fs::rename(file, named);
        EXPECT_TRUE(decodedRgb(named, kColumns, kRows) == decodedRgb(wholeFile, kColumns, kRows))
            << "decoded pixels differ";
        if (c.sameBytes) {
            EXPECT_TRUE(testing_support::readFile(named) == testing_support::readFile(wholeFile))
                << "bytes differ";
        }
        if (c.set == OptionSet::TIF) {
            const Magick::Image image(named.string());
            EXPECT_EQ(image.compressType() == Magick::LZWCompression, options.TIF_Lzw);
            EXPECT_EQ(std::lround(image.xResolution()), 150);
            EXPECT_EQ(image.resolutionUnits(), Magick::PixelsPerInchResolution);
        }
        if (c.set == OptionSet::TIF || c.set == OptionSet::BMP) {
            // A true-colour file of any page: no reduction to grey levels.
            EXPECT_EQ(Magick::Image(named.string()).type(), Magick::TrueColorType);
        }
    }
}

// Every writer refuses rows past the last, a page that ends early and a
// file it cannot write, with the reason, never a file called complete.
TEST(RowWriters, RowCountsAndWriteFailures) {
    Magick::InitializeMagick(nullptr);
    testing_support::TempDir dir;
    const auto pixels = sample(4, 3);
    Magick::Image probe(Magick::Geometry(1, 1), Magick::Color("white"));
    applyOptionSet(probe, OptionSet::BMP, app::FormatSettings{});
    applyDensity(probe, 96);
    auto blob = encodeImage(probe, "BMP", "probe.bmp");
    ASSERT_TRUE(blob);
    const auto* bmpBytes = static_cast<const unsigned char*>(blob->data());
    const std::vector<unsigned char> bmpHeader(bmpBytes, bmpBytes + blob->length());
    struct Case {
        const char* label;
        std::function<std::unique_ptr<RowWriter>(int fd, const RowImage&)> open;
    };
    const std::string scratch = dir.path().string();
    const std::vector<Case> cases = {
        {"png", [&](int fd, const RowImage& i) { return openPngRowWriter(fd, i, scratch, 2); }},
        {"png interlaced",
         [&](int fd, RowImage i) {
             i.interlace = true;
             return openPngRowWriter(fd, i, scratch, 1);
         }},
        {"jpeg", [](int fd, const RowImage& i) { return openJpegRowWriter(fd, i, JpegSettings{}); }},
        {"tiff", [](int fd, const RowImage& i) { return openTiffRowWriter(fd, i, true); }},
        {"bmp", [&](int fd, const RowImage& i) { return openBmpRowWriter(fd, i, bmpHeader); }},
    };
    const RowImage shape{4, 2, 96, false};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        {
            Descriptor out(dir / "more", O_RDWR | O_CREAT | O_TRUNC);
            auto writer = c.open(out.fd(), shape);
            EXPECT_TRUE(writer->writeRows(pixels.data(), 2, 4));
            EXPECT_FALSE(writer->writeRow(&pixels[8])) << "a third row of two";
            EXPECT_NE(writer->error().find("more rows"), std::string::npos) << writer->error();
            EXPECT_TRUE(writer->finish()) << "a writer that failed does not finish";
        }
        {
            Descriptor out(dir / "fewer", O_RDWR | O_CREAT | O_TRUNC);
            auto writer = c.open(out.fd(), shape);
            EXPECT_TRUE(writer->writeRow(&pixels[0]));
            const auto failure = writer->finish();
            ASSERT_TRUE(failure);
            EXPECT_NE(failure->find("ended early"), std::string::npos) << *failure;
        }
        {
            testing_support::writeFile(dir / "readonly", "");
            Descriptor readOnly(dir / "readonly", O_RDONLY);
            auto writer = c.open(readOnly.fd(), shape);
            const bool rows = writer->writeRows(pixels.data(), 2, 4);
            const auto failure = rows ? writer->finish() : std::optional<std::string>(writer->error());
            ASSERT_TRUE(failure) << "nothing could be written";
            EXPECT_FALSE(failure->empty());
        }
    }
    // A BMP file that is not of one pixel in 24 bits gives no header.
    Magick::Image two(Magick::Geometry(2, 1), Magick::Color("white"));
    applyOptionSet(two, OptionSet::BMP, app::FormatSettings{});
    auto twoPixels = encodeImage(two, "BMP", "two.bmp");
    ASSERT_TRUE(twoPixels);
    const auto* twoBytes = static_cast<const unsigned char*>(twoPixels->data());
    for (const auto& header : {std::vector<unsigned char>(twoBytes, twoBytes + twoPixels->length()),
                               std::vector<unsigned char>(bmpHeader.begin(), bmpHeader.begin() + 40)}) {
        Descriptor out(dir / "wide.bmp", O_RDWR | O_CREAT | O_TRUNC);
        auto wider = openBmpRowWriter(out.fd(), RowImage{4, 2, 96, false}, header);
        EXPECT_FALSE(wider->writeRows(pixels.data(), 1, 4));
        EXPECT_NE(wider->error().find("BMP header"), std::string::npos) << wider->error();
    }
    // The interlaced PNG needs its scratch file.
    Descriptor png(dir / "x.png", O_WRONLY | O_CREAT | O_TRUNC);
    auto writer = openPngRowWriter(png.fd(), RowImage{4, 2, 96, true}, (dir / "no" / "such").string(), 1);
    EXPECT_FALSE(writer->writeRow(&pixels[0]));
    EXPECT_NE(writer->error().find("scratch"), std::string::npos) << writer->error();
}

// The coefficients libjpeg holds for a whole image: 8 x 8 blocks of two-byte
// coefficients, three components at full chroma resolution from quality 90,
// 4:2:0 below it, one for grey; none for a baseline file of standard tables.
TEST(JpegHeldCoefficients, PerLayoutAndQuality) {
    struct Case {
        const char* label;
        JpegSettings settings;
        std::uint64_t bytes;
    };
    JpegSettings colour90;
    colour90.quality = 90;
    JpegSettings colour89 = colour90;
    colour89.quality = 89;
    JpegSettings grey = colour90;
    grey.grey = true;
    JpegSettings progressive = colour89;
    progressive.optimizeCoding = false;
    progressive.progressive = true;
    JpegSettings streamed = colour90;
    streamed.optimizeCoding = false;
    const std::vector<Case> cases = {
        {"full chroma", colour90, 3ull * 26 * 20 * 128},
        {"4:2:0", colour89, 6ull * 13 * 10 * 128},
        {"grey", grey, 26ull * 20 * 128},
        {"progressive, standard tables", progressive, 6ull * 13 * 10 * 128},
        {"baseline, standard tables", streamed, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(heldCoefficientBytes(203, 157, c.settings), c.bytes) << c.label;
    EXPECT_EQ(heldCoefficientBytes(12048, 15591, colour90), 3ull * 1506 * 1949 * 128) << "the largest page";
}

// A page whose coefficients would take more than the limit is written as a
// baseline file with the standard tables, its bytes on the way as its rows
// come; it decodes to the pixels of the file its options asked for, and the
// writer says what it did.
TEST(JpegRowWriter, APageTooLargeToHoldIsWrittenBaselineAsItsRowsCome) {
    Magick::InitializeMagick(nullptr);
    testing_support::TempDir dir;
    constexpr std::uint32_t kColumns = 400, kRows = 600;  // more bytes than one buffer
    const auto pixels = sample(kColumns, kRows);
    const RowImage shape{kColumns, kRows, 150, false};
    JpegSettings asked;
    asked.quality = 90;
    asked.progressive = true;
    const auto write = [&](const fs::path& file, const JpegSettings& settings, std::uint64_t limit,
                           std::string& note, off_t& sizeBeforeFinish) {
        Descriptor out(file, O_RDWR | O_CREAT | O_TRUNC);
        auto writer = openJpegRowWriter(out.fd(), shape, settings, {}, limit);
        for (std::uint32_t y = 0; y < kRows; y += 16)
            ASSERT_TRUE(writer->writeRows(&pixels[y * kColumns], std::min(16u, kRows - y), kColumns))
                << writer->error();
        sizeBeforeFinish = ::lseek(out.fd(), 0, SEEK_END);
        ASSERT_FALSE(writer->finish());
        note = writer->note();
    };
    // The start-of-frame marker, found by walking the segments before it.
    const auto frameMarker = [](const std::string& bytes) {
        const auto at = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
        for (std::size_t i = 2; i + 3 < bytes.size() && at(i) == 0xFF;) {
            if (at(i + 1) == 0xC0 || at(i + 1) == 0xC2)
                return at(i + 1);
            i += 2 + (std::size_t{at(i + 2)} << 8 | at(i + 3));
        }
        return static_cast<unsigned char>(0);
    };
    const std::uint64_t held = heldCoefficientBytes(kColumns, kRows, asked);
    std::string note;
    off_t early = 0;
    write(dir / "held.jpg", asked, held, note, early);
    EXPECT_EQ(note, "") << "a page of exactly the limit is held";
    EXPECT_EQ(early, 0) << "a progressive file is written at the end";
    EXPECT_EQ(frameMarker(testing_support::readFile(dir / "held.jpg")), 0xC2) << "progressive";

    write(dir / "cut.jpg", asked, held - 1, note, early);
    EXPECT_EQ(
        note,
        "written as a baseline JPEG with the standard tables: a progressive file of this page would hold "
        "2 MB of coefficients in memory");
    EXPECT_GT(early, 0) << "the bytes go out before the last row";
    EXPECT_EQ(frameMarker(testing_support::readFile(dir / "cut.jpg")), 0xC0) << "baseline";
    EXPECT_TRUE(decodedRgb(dir / "cut.jpg", kColumns, kRows) == decodedRgb(dir / "held.jpg", kColumns, kRows))
        << "the same pixels";

    JpegSettings optimised = asked;
    optimised.progressive = false;
    write(dir / "optimised.jpg", optimised, held - 1, note, early);
    EXPECT_NE(note.find("an optimised file"), std::string::npos) << note;
    EXPECT_TRUE(testing_support::readFile(dir / "optimised.jpg") ==
                testing_support::readFile(dir / "cut.jpg"));
}

}  // namespace
}  // namespace output
