#include "output/encoding.h"

#include <algorithm>
#include <cmath>

namespace output {
namespace {

using MagickCore::Quantum;  // QuantumRange names it unqualified
constexpr double kHalfIntensity = QuantumRange / 2.0;

// The image type with a colour reduction to `colors` entries, dithered or
// not. The library's palette type reduces a page of more than 256 colours
// by itself, dithering whatever it is told, so a palette is made by the
// reduction first; a grey image is made grey first and its levels reduced.
void reduceColours(Magick::Image& image, Magick::ImageType type, std::int32_t colors, bool dither) {
    image.quantizeDither(dither);
    if (type != Magick::PaletteType)
        image.type(type);
    image.quantizeColors(static_cast<std::size_t>(std::clamp(colors, 2, 256)));
    image.quantize(false);
    if (type == Magick::PaletteType)
        image.type(type);
}

}  // namespace

OptionSet chooseOptionSet(int multipageMode, const app::FormatFlags& f, std::string_view pdfInsideFormat) {
    if (multipageMode <= 0) {
        return f.JPG_Default   ? OptionSet::JPG
               : f.GIF_Default ? OptionSet::GIF
               : f.PNG_Default ? OptionSet::PNG
               : f.TIF_Default ? OptionSet::TIF
               : f.BMP_Default ? OptionSet::BMP
                               : OptionSet::None;
    }
    if (multipageMode == 1) {
        return pdfInsideFormat == "JPG"   ? OptionSet::JPG
               : pdfInsideFormat == "GIF" ? OptionSet::GIF
               : pdfInsideFormat == "PNG" ? OptionSet::PNG
               : pdfInsideFormat == "TIF" ? OptionSet::TIF
                                          : OptionSet::None;
    }
    if (multipageMode == 2)
        return OptionSet::TIF;
    if (multipageMode == 3)
        return OptionSet::GIF;
    return OptionSet::None;
}

void applyOptionSet(Magick::Image& image, OptionSet set, const app::FormatSettings& o) {
    // The library keeps 16 bits a sample unless told otherwise; the pages
    // have 8.
    image.depth(8);
    switch (set) {
        case OptionSet::JPG:
            image.type(o.JPG_Gray ? Magick::GrayscaleType : Magick::TrueColorType);
            image.interlaceType(o.JPG_Progress ? Magick::LineInterlace : Magick::NoInterlace);
            // The library reads quality 0 as "its default" (92): the lowest
            // quality is the encoder's 1.
            image.quality(static_cast<std::size_t>(std::clamp(o.JPG_Quality, 1, 100)));
            break;
        case OptionSet::GIF:
            reduceColours(image, o.GIF_IndexGray != 0 ? Magick::GrayscaleType : Magick::PaletteType,
                          o.GIF_Colors, o.GIF_Dither);
            image.interlaceType(o.GIF_Interlace ? Magick::LineInterlace : Magick::NoInterlace);
            break;
        case OptionSet::PNG:
            if (o.PNG_TrueIndexGray == 1 || o.PNG_TrueIndexGray == 2) {
                reduceColours(image, o.PNG_TrueIndexGray == 1 ? Magick::PaletteType : Magick::GrayscaleType,
                              o.PNG_Colors, o.PNG_Dither);
                // The encoder adds the background colour to a full palette
                // of 256 and then fails: a page needs no background chunk.
                image.defineValue("png", "exclude-chunk", "bKGD");
            } else {
                image.type(Magick::TrueColorType);
            }
            image.interlaceType(o.PNG_Interlace ? Magick::LineInterlace : Magick::NoInterlace);
            break;
        case OptionSet::TIF:
            if (o.TIF_TrueIndexGray == 1 || o.TIF_TrueIndexGray == 2) {
                reduceColours(image, o.TIF_TrueIndexGray == 1 ? Magick::PaletteType : Magick::GrayscaleType,
                              o.TIF_Colors, false);
            } else if (o.TIF_TrueIndexGray == 3) {
                // The library's own black and white dithers: each pixel
                // becomes black or white by its grey level instead.
                image.type(Magick::GrayscaleType);
                image.threshold(kHalfIntensity);
                image.type(Magick::BilevelType);
                image.depth(1);
            } else {
                image.type(Magick::TrueColorType);
            }
            image.compressType(o.TIF_Lzw ? Magick::LZWCompression : Magick::NoCompression);
            break;
        case OptionSet::BMP:
            image.type(Magick::TrueColorType);
            image.interlaceType(Magick::NoInterlace);
            break;
        case OptionSet::None:
            break;
    }
}

void applyDensity(Magick::Image& image, double dpi) {
    image.resolutionUnits(Magick::PixelsPerInchResolution);
    const auto r = static_cast<std::size_t>(std::max(0.0, std::trunc(dpi)));
    image.density(Magick::Geometry(r, r));
}

}  // namespace output
