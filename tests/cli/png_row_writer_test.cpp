#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <vector>

#include "output/row_writer.h"
#include "render/magick.h"
#include "tests/support/temp_dir.h"

namespace output {
namespace {

namespace fs = std::filesystem;

// A 7 x 5 page whose every pixel differs: rows of 0x00RRGGBB.
std::vector<std::uint32_t> sample(std::uint32_t columns, std::uint32_t rows) {
    std::vector<std::uint32_t> pixels(columns * rows);
    for (std::uint32_t i = 0; i < pixels.size(); ++i) pixels[i] = (i * 2654435761u) & 0xFFFFFF;
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

TEST(PngRowWriter, DecodesToItsRowsWithTheDensity) {
    Magick::InitializeMagick(nullptr);
    testing_support::TempDir dir;
    const RowImage shape{7, 5, 150, false};
    const auto pixels = sample(shape.columns, shape.rows);
    for (const bool interlace : {false, true}) {
        const fs::path file = dir / (interlace ? "i.png" : "n.png");
        {
            Descriptor out(file, O_WRONLY | O_CREAT | O_TRUNC);
            RowImage s = shape;
            s.interlace = interlace;
            auto writer = openPngRowWriter(out.fd(), s, dir.path().string());
            for (std::uint32_t y = 0; y < s.rows; ++y) ASSERT_TRUE(writer->writeRow(&pixels[y * s.columns]));
            const auto failure = writer->finish();
            ASSERT_FALSE(failure) << *failure;
        }
        Magick::Image image(file.string());
        ASSERT_EQ(image.columns(), 7u);
        ASSERT_EQ(image.rows(), 5u);
        EXPECT_EQ(image.interlaceType() != Magick::NoInterlace, interlace);
        std::vector<unsigned char> rgb(7 * 5 * 3);
        image.write(0, 0, 7, 5, "RGB", Magick::CharPixel, rgb.data());
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            EXPECT_EQ(rgb[3 * i], (pixels[i] >> 16) & 0xFF) << i;
            EXPECT_EQ(rgb[3 * i + 1], (pixels[i] >> 8) & 0xFF) << i;
            EXPECT_EQ(rgb[3 * i + 2], pixels[i] & 0xFF) << i;
        }
        const double x = image.xResolution();
        EXPECT_EQ(
            std::lround(image.resolutionUnits() == Magick::PixelsPerCentimeterResolution ? x * 2.54 : x),
            150);
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()),
                  interlace ? 2 : 1)
            << "the kept rows leave no file behind";
    }
}

TEST(PngRowWriter, TheRowCountMustMatch) {
    testing_support::TempDir dir;
    const RowImage shape{4, 2, 96, false};
    const auto pixels = sample(4, 3);
    for (const bool interlace : {false, true}) {
        RowImage s = shape;
        s.interlace = interlace;
        {
            Descriptor out(dir / "more.png", O_WRONLY | O_CREAT | O_TRUNC);
            auto writer = openPngRowWriter(out.fd(), s, dir.path().string());
            EXPECT_TRUE(writer->writeRow(&pixels[0]));
            EXPECT_TRUE(writer->writeRow(&pixels[4]));
            EXPECT_FALSE(writer->writeRow(&pixels[8])) << "a third row of two";
            EXPECT_NE(writer->error().find("more rows"), std::string::npos) << writer->error();
            EXPECT_TRUE(writer->finish()) << "a writer that failed does not finish";
        }
        {
            Descriptor out(dir / "fewer.png", O_WRONLY | O_CREAT | O_TRUNC);
            auto writer = openPngRowWriter(out.fd(), s, dir.path().string());
            EXPECT_TRUE(writer->writeRow(&pixels[0]));
            const auto failure = writer->finish();
            ASSERT_TRUE(failure);
            EXPECT_NE(failure->find("ended early"), std::string::npos) << *failure;
        }
    }
}

TEST(PngRowWriter, WriteFailuresComeBackWithTheReason) {
    testing_support::TempDir dir;
    testing_support::writeFile(dir / "readonly.png", "");
    const auto pixels = sample(4, 2);
    for (const bool interlace : {false, true}) {
        Descriptor readOnly(dir / "readonly.png", O_RDONLY);
        auto writer = openPngRowWriter(readOnly.fd(), RowImage{4, 2, 96, interlace}, dir.path().string());
        bool rows = true;
        for (int y = 0; y < 2 && rows; ++y) rows = writer->writeRow(&pixels[static_cast<std::size_t>(y) * 4]);
        const auto failure = rows ? writer->finish() : std::optional<std::string>(writer->error());
        ASSERT_TRUE(failure) << "interlace " << interlace;
        EXPECT_NE(failure->find("Bad file descriptor"), std::string::npos) << *failure;
        EXPECT_EQ(rows, interlace) << "an interlaced page writes nothing before its last row";
    }
    Descriptor out(dir / "x.png", O_WRONLY | O_CREAT | O_TRUNC);
    auto writer = openPngRowWriter(out.fd(), RowImage{4, 2, 96, true}, (dir / "no" / "such").string());
    EXPECT_FALSE(writer->writeRow(&pixels[0]));
    EXPECT_NE(writer->error().find("scratch"), std::string::npos) << writer->error();
}

}  // namespace
}  // namespace output
