#include "output/gif_frames.h"

#include <gtest/gtest.h>

#include <list>

#include "render/magick.h"

namespace output {
namespace {

std::vector<std::byte> gifOf(Magick::Image image) {
    Magick::Blob blob;
    image.write(&blob, "GIF");
    const auto* data = static_cast<const std::byte*>(blob.data());
    return {data, data + blob.length()};
}

Magick::Image page(std::size_t w, std::size_t h, const char* colour, bool interlace = false) {
    Magick::Image image(Magick::Geometry(w, h), Magick::Color(colour));
    image.fillColor("black");
    image.draw(Magick::DrawableRectangle(0, 0, 2, 1));
    image.interlaceType(interlace ? Magick::LineInterlace : Magick::NoInterlace);
    return image;
}

std::vector<unsigned char> rgb(Magick::Image image) {
    std::vector<unsigned char> out(image.columns() * image.rows() * 3);
    image.write(0, 0, image.columns(), image.rows(), "RGB", Magick::CharPixel, out.data());
    return out;
}

std::list<Magick::Image> readBack(const std::vector<std::byte>& bytes) {
    std::list<Magick::Image> frames;
    Magick::readImages(&frames, Magick::Blob(bytes.data(), bytes.size()));
    return frames;
}

TEST(GifFrameJoiner, FramesKeepTheirSizeColoursAndOrder) {
    Magick::InitializeMagick(nullptr);
    GifFrameJoiner joiner(25);
    const std::vector<std::vector<std::byte>> sources = {
        gifOf(page(20, 10, "red")), gifOf(page(10, 30, "blue", true)), gifOf(page(5, 5, "lime"))};
    for (const auto& source : sources) ASSERT_FALSE(joiner.addFrame(source));
    EXPECT_EQ(joiner.frameCount(), 3u);
    const auto bytes = joiner.finish();
    // The logical screen is as large as the largest frame: 20 x 30.
    ASSERT_GT(bytes.size(), 13u);
    EXPECT_EQ(std::to_integer<int>(bytes[6]) | std::to_integer<int>(bytes[7]) << 8, 20);
    EXPECT_EQ(std::to_integer<int>(bytes[8]) | std::to_integer<int>(bytes[9]) << 8, 30);
    EXPECT_EQ(std::to_integer<int>(bytes.back()), 0x3B);
    const auto frames = readBack(bytes);
    ASSERT_EQ(frames.size(), 3u);
    const std::vector<std::pair<std::size_t, std::size_t>> sizes = {{20, 10}, {10, 30}, {5, 5}};
    std::size_t i = 0;
    for (const auto& f : frames) {
        EXPECT_EQ(f.columns(), sizes[i].first) << i;
        EXPECT_EQ(f.rows(), sizes[i].second) << i;
        EXPECT_EQ(f.animationDelay(), 25u) << i;
        EXPECT_EQ(f.animationIterations(), 0u) << "repeated for ever";
        EXPECT_EQ(rgb(f), rgb(readBack(sources[i]).front())) << "the same pixels as its own file: " << i;
        ++i;
    }
    EXPECT_NE(std::next(frames.begin())->interlaceType(), Magick::NoInterlace) << "interlace is kept";
    EXPECT_EQ(frames.front().interlaceType(), Magick::NoInterlace);
}

TEST(GifFrameJoiner, DamagedFramesAreRefusedAndLeaveNothing) {
    Magick::InitializeMagick(nullptr);
    const auto good = gifOf(page(12, 12, "red"));
    std::vector<std::vector<std::byte>> bad = {
        {},
        {good.begin(), good.begin() + 6},
        {good.begin(), good.begin() + 12},
        {good.begin(), good.begin() + 20},
        {good.begin(), good.end() - 2},
    };
    std::vector<std::byte> other(good);
    other[0] = std::byte{'X'};
    bad.push_back(other);
    std::vector<std::byte> noImage(good.begin(), good.begin() + 13);
    noImage.push_back(std::byte{0x3B});
    bad.push_back(noImage);
    std::vector<std::byte> unknown(good.begin(), good.begin() + 13);
    unknown.push_back(std::byte{0x42});
    bad.push_back(unknown);
    GifFrameJoiner joiner(0);
    for (std::size_t i = 0; i < bad.size(); ++i) {
        const auto failure = joiner.addFrame(bad[i]);
        EXPECT_TRUE(failure.has_value()) << i;
        EXPECT_EQ(joiner.frameCount(), 0u) << i;
    }
    EXPECT_FALSE(joiner.addFrame({good.begin(), good.end() - 1})) << "the trailer is not needed";
    EXPECT_EQ(readBack(joiner.finish()).size(), 1u);
}

}  // namespace
}  // namespace output
