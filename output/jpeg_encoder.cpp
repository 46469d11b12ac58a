#include "output/jpeg_encoder.h"

#include <algorithm>
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iterator>
#include <limits>
#include <type_traits>

#include "output/row_io.h"

// jpeglib.h needs size_t and FILE declared before it.
// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

namespace output {
namespace {

constexpr std::size_t kFirstBuffer = 64 * 1024;
constexpr std::uint32_t kRowsPerCall = 16;

// libjpeg's error manager with the place to jump back to: the handler must
// not return, and the library's own ends the process.
struct ErrorManager {
    jpeg_error_mgr base;  // first: libjpeg hands back a pointer to it
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void onError(j_common_ptr info) {
    auto* manager = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, manager->message);
    std::longjmp(manager->jump, 1);
}

// Warnings (and trace messages) change nothing in what is written.
void onMessage(j_common_ptr, int) {}

// The compressed bytes grow in a vector; the library fills it. With a file,
// the vector is a buffer of fixed size written out whenever it is full.
struct Destination {
    jpeg_destination_mgr base;  // first, as above
    std::vector<unsigned char>* bytes;
    int fd = -1;
    int writeError = 0;  // errno of a failed write to the file
};

// Resizes the buffer to `size` and points the library past `used` bytes;
// out of memory ends the encoding through the error handler.
void growTo(j_compress_ptr info, std::size_t used, std::size_t size) {
    auto* destination = reinterpret_cast<Destination*>(info->dest);
    bool grown = false;
    try {
        destination->bytes->resize(size);
        grown = true;
    } catch (const std::exception&) {
    }
    if (!grown) {
        info->err->msg_parm.i[0] = 0;
        ERREXIT(info, JERR_OUT_OF_MEMORY);
    }
    destination->base.next_output_byte = destination->bytes->data() + used;
    destination->base.free_in_buffer = size - used;
}

// Writes the first `used` bytes of the buffer to the file; a failure ends
// the encoding through the error handler.
void flushTo(j_compress_ptr info, std::size_t used) {
    auto* destination = reinterpret_cast<Destination*>(info->dest);
    if (const int error = writeAll(destination->fd, destination->bytes->data(), used)) {
        destination->writeError = error;
        ERREXIT(info, JERR_FILE_WRITE);
    }
    destination->base.next_output_byte = destination->bytes->data();
    destination->base.free_in_buffer = destination->bytes->size();
}

void initDestination(j_compress_ptr info) {
    growTo(info, 0, kFirstBuffer);
}

// Called when the buffer is full, whatever free_in_buffer says.
boolean emptyBuffer(j_compress_ptr info) {
    auto* destination = reinterpret_cast<Destination*>(info->dest);
    const std::size_t used = destination->bytes->size();
    if (destination->fd >= 0)
        flushTo(info, used);
    else
        growTo(info, used, used * 2);
    return TRUE;
}

void termDestination(j_compress_ptr info) {
    auto* destination = reinterpret_cast<Destination*>(info->dest);
    const std::size_t used = destination->bytes->size() - destination->base.free_in_buffer;
    if (destination->fd >= 0) {
        flushTo(info, used);
        destination->bytes->clear();
    } else {
        destination->bytes->resize(used);
    }
}

bool greyColourspace(Magick::ColorspaceType space) {
    return space == Magick::GRAYColorspace || space == Magick::Rec601LumaColorspace ||
           space == Magick::Rec709LumaColorspace;
}

// Every pixel's red, green and blue are equal.
bool greyPixels(const Magick::Image& image) {
    const MagickCore::ImageType type = image.constImage()->type;
    if (type == MagickCore::GrayscaleType || type == MagickCore::GrayscaleMatteType ||
        type == MagickCore::BilevelType)
        return true;
    const std::size_t columns = image.columns();
    for (std::size_t y = 0; y < image.rows(); ++y) {
        const Magick::PixelPacket* p = image.getConstPixels(0, static_cast<ssize_t>(y), columns, 1);
        if (p == nullptr)
            return false;
        for (std::size_t x = 0; x < columns; ++x) {
            if (p[x].red != p[x].green || p[x].green != p[x].blue)
                return false;
        }
    }
    return true;
}

// The library's pixel packets as libjpeg can take them: four samples of
// 16 bits in a row, red, green and blue in one of two orders (the fourth,
// opacity, unused). Other builds of the library go through RGB bytes.
constexpr JpegLayout packetLayout() {
    if constexpr (sizeof(Magick::PixelPacket) == 4 * sizeof(Magick::Quantum) &&
                  std::is_same_v<Magick::Quantum, std::uint16_t>) {
        if (offsetof(Magick::PixelPacket, red) == 0 && offsetof(Magick::PixelPacket, green) == 2 &&
            offsetof(Magick::PixelPacket, blue) == 4)
            return JpegLayout::Rgbx;
        if (offsetof(Magick::PixelPacket, blue) == 0 && offsetof(Magick::PixelPacket, green) == 2 &&
            offsetof(Magick::PixelPacket, red) == 4)
            return JpegLayout::Bgrx;
    }
    return JpegLayout::Rgb;
}
constexpr JpegLayout kPacketLayout = packetLayout();

// 16-bit samples to 8 bits as the library scales them, (v + 128 - ((v +
// 128) >> 8)) >> 8, that is v / 257 rounded. Blocks of a fixed length on
// pointers that cannot overlap, which the compiler turns into a few vector
// instructions each: the sample loop is most of the handoff's cost.
void scaleSamples(const Magick::Quantum* __restrict in, unsigned char* __restrict out, std::size_t count) {
    constexpr std::size_t kBlock = 32;
    const auto scale = [](std::uint32_t v) {
        return static_cast<unsigned char>(((v + 128) - ((v + 128) >> 8)) >> 8);
    };
    std::size_t i = 0;
    for (; i + kBlock <= count; i += kBlock) {
        for (std::size_t k = 0; k < kBlock; ++k) out[i + k] = scale(in[i + k]);
    }
    for (; i < count; ++i) out[i] = scale(in[i]);
}

// A progressive file's scans: the DC of every component first (the whole
// page at an eighth of its size), then the luma's AC in three bands of
// frequencies and each chroma's AC. Spectral selection only: no coefficient
// is sent in two halves as libjpeg's own script sends them, which took twice
// the encoding time for files no smaller on document pages. The coefficients,
// so the decoded pixels, are those of the baseline file.
void setProgression(jpeg_compress_struct& info) {
    // Each scan: its components, their indexes, the first and last
    // coefficient, and no successive approximation (Ah, Al 0).
    static const jpeg_scan_info kColour[] = {
        {3, {0, 1, 2}, 0, 0, 0, 0}, {1, {0}, 1, 5, 0, 0},  {1, {0}, 6, 14, 0, 0},
        {1, {0}, 15, 63, 0, 0},     {1, {1}, 1, 63, 0, 0}, {1, {2}, 1, 63, 0, 0},
    };
    static const jpeg_scan_info kGrey[] = {
        {1, {0}, 0, 0, 0, 0},
        {1, {0}, 1, 5, 0, 0},
        {1, {0}, 6, 14, 0, 0},
        {1, {0}, 15, 63, 0, 0},
    };
    const bool grey = info.num_components == 1;
    info.scan_info = grey ? kGrey : kColour;
    info.num_scans = grey ? static_cast<int>(std::size(kGrey)) : static_cast<int>(std::size(kColour));
    info.progressive_mode = TRUE;
}

std::uint16_t densityOf(double resolution) {
    return static_cast<std::uint16_t>(
        std::clamp(resolution, 0.0, static_cast<double>(std::numeric_limits<std::uint16_t>::max())));
}

}  // namespace

struct JpegEncoder::State {
    jpeg_compress_struct info{};
    ErrorManager error{};
    Destination destination{};
    std::vector<unsigned char> bytes;
    std::string errorText;
    std::size_t rowBytes = 0;
    std::uint32_t rows = 0;
    std::uint32_t written = 0;
    bool created = false;
    bool started = false;
    bool failed = false;

    ~State() {
        if (created)
            jpeg_destroy_compress(&info);
    }

    bool fail(std::string text) {
        if (!failed)
            errorText = std::move(text);
        failed = true;
        return false;
    }
    // After the handler jumped back: its message, or why the file could
    // not be written.
    bool jumpedBack() {
        return fail(destination.writeError != 0 ? std::string(std::strerror(destination.writeError))
                                                : std::string(error.message));
    }
};

JpegEncoder::JpegEncoder() : m_state(std::make_unique<State>()) {
    State& s = *m_state;
    s.info.err = jpeg_std_error(&s.error.base);
    s.error.base.error_exit = onError;
    s.error.base.emit_message = onMessage;
    s.destination.base.init_destination = initDestination;
    s.destination.base.empty_output_buffer = emptyBuffer;
    s.destination.base.term_destination = termDestination;
    s.destination.bytes = &s.bytes;
}

JpegEncoder::~JpegEncoder() = default;

std::vector<unsigned char>& JpegEncoder::bytes() {
    return m_state->bytes;
}

void JpegEncoder::writeTo(int fd) {
    m_state->destination.fd = fd;
}

const std::string& JpegEncoder::error() const {
    return m_state->errorText;
}

// Each call into libjpeg sits behind its own setjmp; the frames between it
// and the handler are libjpeg's and the callbacks above, which hold nothing
// to destroy when they jump.
bool JpegEncoder::start(std::uint32_t width, std::uint32_t height, const JpegSettings& settings,
                        JpegLayout layout) {
    State& s = *m_state;
    if (s.failed || s.started)
        return s.fail("the encoder was started already");
    if (settings.grey != (layout == JpegLayout::Grey))
        return s.fail("grey pixels make a grey file and colour pixels a colour file");
    if (setjmp(s.error.jump) != 0)
        return s.jumpedBack();
    jpeg_create_compress(&s.info);
    s.created = true;
    s.info.dest = &s.destination.base;
    s.info.image_width = width;
    s.info.image_height = height;
    // The extended layouts convert to YCbCr as RGB does, reading the
    // samples from their places.
    s.info.input_components = layout == JpegLayout::Grey ? 1 : layout == JpegLayout::Rgb ? 3 : 4;
    s.info.in_color_space = layout == JpegLayout::Grey   ? JCS_GRAYSCALE
                            : layout == JpegLayout::Rgb  ? JCS_RGB
                            : layout == JpegLayout::Rgbx ? JCS_EXT_RGBX
                                                         : JCS_EXT_BGRX;
    jpeg_set_defaults(&s.info);
    s.info.write_JFIF_header = TRUE;
    s.info.density_unit = static_cast<UINT8>(settings.densityUnit);
    s.info.X_density = settings.xDensity;
    s.info.Y_density = settings.yDensity;
    s.info.optimize_coding = settings.optimizeCoding ? TRUE : FALSE;
    if (settings.progressive)
        setProgression(s.info);
    const int quality = std::clamp(settings.quality, 1, 100);
    jpeg_set_quality(&s.info, quality, TRUE);
    s.info.dct_method = quality <= 90 ? JDCT_IFAST : JDCT_ISLOW;
    if (quality >= 90) {
        for (int i = 0; i < s.info.num_components; ++i) {
            s.info.comp_info[i].h_samp_factor = 1;
            s.info.comp_info[i].v_samp_factor = 1;
        }
    }
    jpeg_start_compress(&s.info, TRUE);
    s.rowBytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(s.info.input_components);
    s.rows = height;
    s.started = true;
    return true;
}

bool JpegEncoder::writeRows(const unsigned char* rows, std::uint32_t count) {
    State& s = *m_state;
    if (s.failed)
        return false;
    if (!s.started)
        return s.fail("the encoder was not started");
    if (count > s.rows - s.written)
        return s.fail("more rows than the image has");
    if (setjmp(s.error.jump) != 0)
        return s.jumpedBack();
    JSAMPROW pointers[kRowsPerCall];
    for (std::uint32_t done = 0; done < count;) {
        const std::uint32_t n = std::min(kRowsPerCall, count - done);
        for (std::uint32_t i = 0; i < n; ++i)
            pointers[i] = const_cast<JSAMPROW>(rows + (done + i) * s.rowBytes);
        done += static_cast<std::uint32_t>(jpeg_write_scanlines(&s.info, pointers, n));
    }
    s.written += count;
    return true;
}

bool JpegEncoder::finish() {
    State& s = *m_state;
    if (s.failed)
        return false;
    if (!s.started)
        return s.fail("the encoder was not started");
    if (setjmp(s.error.jump) != 0)
        return s.jumpedBack();
    jpeg_finish_compress(&s.info);
    s.started = false;
    return true;
}

std::uint64_t heldCoefficientBytes(std::uint32_t width, std::uint32_t height, const JpegSettings& settings) {
    if (!settings.progressive && !settings.optimizeCoding)
        return 0;
    // Blocks of 8 x 8 coefficients of two bytes each, the image padded to
    // whole units: one 8 x 8 block a component at full chroma resolution
    // (and for grey), else four luma blocks and one of each chroma a 16 x 16
    // unit (the quality rule of start()).
    constexpr std::uint64_t kBlockBytes = 64 * sizeof(JCOEF);
    const auto units = [&](std::uint64_t size) {
        return (std::uint64_t{width} + size - 1) / size * ((std::uint64_t{height} + size - 1) / size);
    };
    if (settings.grey)
        return units(8) * kBlockBytes;
    if (std::clamp(settings.quality, 1, 100) >= 90)
        return 3 * units(8) * kBlockBytes;
    return 6 * units(16) * kBlockBytes;
}

JpegSettings jpegSettingsOf(const Magick::Image& image) {
    JpegSettings settings;
    const std::size_t quality = image.quality();
    settings.quality = quality == 0 ? 92 : static_cast<int>(std::min<std::size_t>(quality, 100));
    const MagickCore::ImageInfo* info = image.constImageInfo();
    settings.progressive = info->interlace != MagickCore::NoInterlace;
    const bool trueColour = info->type == MagickCore::TrueColorType;
    settings.grey = !trueColour && (greyColourspace(image.colorSpace()) || greyPixels(image));
    const double x = image.xResolution();
    const double y = image.yResolution();
    if (x != 0.0 && y != 0.0) {
        settings.xDensity = densityOf(x);
        settings.yDensity = densityOf(y);
        settings.densityUnit = image.resolutionUnits() == Magick::PixelsPerInchResolution         ? 1
                               : image.resolutionUnits() == Magick::PixelsPerCentimeterResolution ? 2
                                                                                                  : 0;
    }
    return settings;
}

platform::Expected<Magick::Blob, std::string> encodeJpeg(const Magick::Image& source) {
    // Pages are sRGB or grey; anything else is written as sRGB.
    const Magick::ColorspaceType space = source.colorSpace();
    Magick::Image converted;
    const Magick::Image* image = &source;
    if (space != Magick::sRGBColorspace && space != Magick::RGBColorspace && !greyColourspace(space)) {
        converted = source;
        converted.colorSpace(Magick::sRGBColorspace);
        image = &converted;
    }
    const std::size_t columns = image->columns();
    const std::size_t rows = image->rows();
    if (columns > std::numeric_limits<std::uint32_t>::max() ||
        rows > std::numeric_limits<std::uint32_t>::max())
        return platform::unexpected(std::string("the page is too large for a JPEG file"));
    const JpegSettings settings = jpegSettingsOf(*image);
    const JpegLayout layout = settings.grey ? JpegLayout::Grey : kPacketLayout;
    JpegEncoder encoder;
    if (!encoder.start(static_cast<std::uint32_t>(columns), static_cast<std::uint32_t>(rows), settings,
                       layout))
        return platform::unexpected(encoder.error());
    const std::size_t bytesPerPixel = layout == JpegLayout::Grey ? 1 : layout == JpegLayout::Rgb ? 3 : 4;
    std::vector<unsigned char> strip(columns * bytesPerPixel * kRowsPerCall);
    const MagickCore::Image* core = image->constImage();
    for (std::size_t y = 0; y < rows; y += kRowsPerCall) {
        const std::size_t n = std::min<std::size_t>(kRowsPerCall, rows - y);
        const Magick::PixelPacket* p = image->getConstPixels(0, static_cast<ssize_t>(y), columns, n);
        if (p == nullptr)
            return platform::unexpected(std::string("the image library gave no pixel row"));
        unsigned char* q = strip.data();
        const std::size_t count = columns * n;
        if (layout == JpegLayout::Grey) {
            for (std::size_t i = 0; i < count; ++i)
                q[i] = MagickCore::ScaleQuantumToChar(
                    MagickCore::ClampToQuantum(MagickCore::GetPixelLuma(core, p + i)));
        } else if (layout == JpegLayout::Rgb) {
            for (std::size_t i = 0; i < count; ++i) {
                q[3 * i] = MagickCore::ScaleQuantumToChar(p[i].red);
                q[3 * i + 1] = MagickCore::ScaleQuantumToChar(p[i].green);
                q[3 * i + 2] = MagickCore::ScaleQuantumToChar(p[i].blue);
            }
        } else {
            scaleSamples(reinterpret_cast<const Magick::Quantum*>(p), q, 4 * count);
        }
        if (!encoder.writeRows(strip.data(), static_cast<std::uint32_t>(n)))
            return platform::unexpected(encoder.error());
    }
    if (!encoder.finish())
        return platform::unexpected(encoder.error());
    const auto& bytes = encoder.bytes();
    return Magick::Blob(bytes.data(), bytes.size());
}

}  // namespace output
