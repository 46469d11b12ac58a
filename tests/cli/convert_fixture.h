#pragma once
// Pages made with the metafile writer and runs of the converter that keep
// their standard output and error, for the converter's tests.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cli/convert_options.h"
#include "cli/convert_run.h"
#include "metafile/emf_writer.h"
#include "render/magick.h"
#include "tests/support/temp_dir.h"

namespace cli::testing {

// A page of `frameW` x `frameH` hundredths of a millimetre with coloured
// shapes and a line of text that vary with `seed`, over the whole height so
// that every strip draws something.
inline std::vector<std::byte> pageBytes(std::int32_t frameW, std::int32_t frameH, int seed) {
    metafile::EmfWriter w({0, 0, frameW, frameH}, {1000, 1000}, {254, 254});
    // Reference-device pixels: the frame / 25.4.
    const auto width = static_cast<std::int32_t>(frameW / 25.4),
               height = static_cast<std::int32_t>(frameH / 25.4);
    for (int i = 0; i < 12; ++i) {
        metafile::Brush brush;
        brush.color = metafile::rgb(static_cast<std::uint8_t>(40 * i + seed * 37),
                                    static_cast<std::uint8_t>(200 - 15 * i),
                                    static_cast<std::uint8_t>(seed * 91 + i * 13));
        const auto b = w.createBrush(brush);
        w.selectObject(b);
        const std::int32_t top = height * i / 12;
        const std::int32_t left = (width * ((i * 7 + seed) % 10)) / 14;
        if (i % 2 == 0) {
            w.ellipse({left, top, left + width / 3, top + height / 10});
        } else {
            w.rectangle({left, top, left + width / 4, top + height / 7});
        }
        w.deleteObject(b);
    }
    metafile::LogFont font;
    font.height = -std::max(8, height / 30);
    font.faceName = "Liberation Sans";
    const auto f = w.createFont(font);
    w.selectObject(f);
    w.setBkMode(1);
    w.extTextOut({width / 20, height / 2}, u"Scrivlet strip test 0123456789");
    return w.finish();
}

inline void writeBytes(const std::filesystem::path& file, const std::vector<std::byte>& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

inline std::string drain(std::FILE* file) {
    std::string text;
    std::rewind(file);
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
    std::fclose(file);
    return text;
}

// Parses `args` and runs them; a parse error is status 2 with its text.
inline RunResult convert(const std::vector<std::string>& args, int streamAboveStrips = -1,
                         std::uint64_t jpegHeldLimit = 0) {
    RunResult result;
    auto line = parseCommandLine(args, {});
    if (!line) {
        result.status = kBadUsage;
        result.err = line.error();
        return result;
    }
    RunSettings run;
    run.streamAboveStrips = streamAboveStrips;
    run.jpegHeldLimit = jpegHeldLimit;
    run.out = std::tmpfile();
    run.err = std::tmpfile();
    result.status = runConversion(*line, run);
    result.out = drain(run.out);
    result.err = drain(run.err);
    return result;
}

// The decoded pixels, 8 bits a channel, RGB.
inline std::vector<unsigned char> pixels(const std::filesystem::path& file, std::size_t* columns = nullptr,
                                         std::size_t* rows = nullptr) {
    Magick::Image image(file.string());
    std::vector<unsigned char> data(image.columns() * image.rows() * 3);
    image.write(0, 0, image.columns(), image.rows(), "RGB", Magick::CharPixel, data.data());
    if (columns != nullptr)
        *columns = image.columns();
    if (rows != nullptr)
        *rows = image.rows();
    return data;
}

// The density in dots per inch as the file holds it (PNG and BMP keep
// pixels a centimetre or metre), rounded to a whole number.
inline long dotsPerInch(const Magick::Image& image) {
    const double x = image.xResolution();
    return std::lround(image.resolutionUnits() == Magick::PixelsPerCentimeterResolution ? x * 2.54 : x);
}

class ConvertTest : public ::testing::Test {
protected:
    testing_support::TempDir dir;

    void SetUp() override { Magick::InitializeMagick(nullptr); }

    std::filesystem::path page(const std::string& name, std::int32_t frameW, std::int32_t frameH, int seed) {
        const auto file = dir / name;
        writeBytes(file, pageBytes(frameW, frameH, seed));
        return file;
    }
};

}  // namespace cli::testing
