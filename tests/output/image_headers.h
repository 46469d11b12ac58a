#pragma once
// What the written image files say about themselves, read from their bytes:
// enough of PNG, TIFF, JPEG, GIF and BMP headers to check the encoding
// options. Every read is bounds-checked; a field that is missing reads -1.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace testing_support {

struct PngHeader {
    int bitDepth = -1;
    int colourType = -1;  // 0 grey, 2 RGB, 3 palette, 4 grey + alpha, 6 RGBA
    int interlace = -1;   // 0 none, 1 Adam7
    int paletteEntries = -1;
    long long pixelsPerMetre = -1;  // pHYs, x
};

struct TiffTags {
    std::map<int, std::vector<std::uint32_t>> values;  // short and long tags
    std::map<int, double> rationals;                   // first rational of a tag
    int get(int tag) const {
        auto it = values.find(tag);
        return it == values.end() || it->second.empty() ? -1 : static_cast<int>(it->second[0]);
    }
};

struct JpegHeader {
    bool progressive = false;
    int frameMarker = -1;  // 0xC0 baseline, 0xC1 extended, 0xC2 progressive
    int components = -1;
    std::vector<int> sampling;    // a component's factors: horizontal * 16 + vertical
    int firstLumaQuantiser = -1;  // the DC entry of quantisation table 0
    int densityUnits = -1;        // JFIF: 1 dots per inch
    int xDensity = -1;
    int yDensity = -1;
};

struct GifHeader {
    int globalColourTableSize = -1;
    bool interlaced = false;  // the first image descriptor's flag
};

struct BmpHeader {
    int bitsPerPixel = -1;
    long long xPixelsPerMetre = -1;
};

PngHeader readPng(const std::string& bytes);
TiffTags readTiff(const std::string& bytes);
JpegHeader readJpeg(const std::string& bytes);
GifHeader readGif(const std::string& bytes);
BmpHeader readBmp(const std::string& bytes);

// TIFF tag numbers.
inline constexpr int kBitsPerSample = 258, kCompression = 259, kPhotometric = 262, kSamplesPerPixel = 277,
                     kXResolution = 282, kResolutionUnit = 296;

}  // namespace testing_support
