// The TIFF row writer on libtiff: RGB, 8 bits a sample, contiguous samples,
// strips of a fixed number of rows (each encoded when full), LZW with the
// horizontal predictor or no compression, and the density as the resolution
// in inches. libtiff reaches the file through our own callbacks (the
// descriptor stays the caller's); its errors are kept for this file only.

#include <sys/stat.h>
#include <tiffio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "output/row_writer.h"

namespace output {
namespace {

// About 64 KB of pixels a strip.
constexpr std::size_t kStripBytes = 64 * 1024;

tmsize_t readProc(thandle_t handle, void* data, tmsize_t size) {
    const ssize_t got =
        ::read(static_cast<int>(reinterpret_cast<intptr_t>(handle)), data, static_cast<std::size_t>(size));
    return got;
}

tmsize_t writeProc(thandle_t handle, void* data, tmsize_t size) {
    const int fd = static_cast<int>(reinterpret_cast<intptr_t>(handle));
    auto* bytes = static_cast<const unsigned char*>(data);
    tmsize_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, bytes + done, static_cast<std::size_t>(size - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return -1;
        done += n;
    }
    return done;
}

toff_t seekProc(thandle_t handle, toff_t offset, int whence) {
    const off_t at =
        ::lseek(static_cast<int>(reinterpret_cast<intptr_t>(handle)), static_cast<off_t>(offset), whence);
    return at < 0 ? static_cast<toff_t>(-1) : static_cast<toff_t>(at);
}

int closeProc(thandle_t) {
    return 0;  // the descriptor is the caller's
}

toff_t sizeProc(thandle_t handle) {
    struct stat status {};
    if (::fstat(static_cast<int>(reinterpret_cast<intptr_t>(handle)), &status) != 0)
        return 0;
    return static_cast<toff_t>(status.st_size);
}

int mapProc(thandle_t, void**, toff_t*) {
    return 0;
}

void unmapProc(thandle_t, void*, toff_t) {}

// Keeps the first message; 1 tells libtiff it was handled.
int onError(TIFF*, void* user, const char* module, const char* format, va_list arguments) {
    auto* text = static_cast<std::string*>(user);
    if (text->empty()) {
        char message[512];
        std::vsnprintf(message, sizeof message, format, arguments);
        *text = module != nullptr && *module != '\0' ? std::string(module) + ": " + message : message;
    }
    return 1;
}

int onWarning(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

class TiffRowWriter : public RowWriter {
public:
    TiffRowWriter(int fd, const RowImage& image, bool lzw)
        : m_image(image), m_row(static_cast<std::size_t>(image.columns) * 3) {
        TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
        if (options == nullptr) {
            m_error = "libtiff cannot start";
            return;
        }
        TIFFOpenOptionsSetErrorHandlerExtR(options, onError, &m_libraryError);
        TIFFOpenOptionsSetWarningHandlerExtR(options, onWarning, nullptr);
        m_tiff =
            TIFFClientOpenExt("page", "wm", reinterpret_cast<thandle_t>(static_cast<intptr_t>(fd)), readProc,
                              writeProc, seekProc, closeProc, sizeProc, mapProc, unmapProc, options);
        TIFFOpenOptionsFree(options);
        if (m_tiff == nullptr) {
            fail("libtiff cannot start");
            return;
        }
        const std::size_t rowsPerStrip =
            std::max<std::size_t>(1, kStripBytes / std::max<std::size_t>(1, m_row.size()));
        const bool tagged =
            TIFFSetField(m_tiff, TIFFTAG_IMAGEWIDTH, image.columns) == 1 &&
            TIFFSetField(m_tiff, TIFFTAG_IMAGELENGTH, image.rows) == 1 &&
            TIFFSetField(m_tiff, TIFFTAG_BITSPERSAMPLE, 8) == 1 &&
            TIFFSetField(m_tiff, TIFFTAG_SAMPLESPERPIXEL, 3) == 1 &&
            TIFFSetField(m_tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB) == 1 &&
            TIFFSetField(m_tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) == 1 &&
            TIFFSetField(m_tiff, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT) == 1 &&
            TIFFSetField(m_tiff, TIFFTAG_COMPRESSION, lzw ? COMPRESSION_LZW : COMPRESSION_NONE) == 1 &&
            (!lzw || TIFFSetField(m_tiff, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL) == 1) &&
            TIFFSetField(m_tiff, TIFFTAG_ROWSPERSTRIP, static_cast<std::uint32_t>(rowsPerStrip)) == 1 &&
            TIFFSetField(m_tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH) == 1 &&
            TIFFSetField(m_tiff, TIFFTAG_XRESOLUTION, static_cast<double>(image.density)) == 1 &&
            TIFFSetField(m_tiff, TIFFTAG_YRESOLUTION, static_cast<double>(image.density)) == 1;
        if (!tagged)
            fail("libtiff refused the page's tags");
    }

    ~TiffRowWriter() override {
        if (m_tiff != nullptr)
            TIFFCleanup(m_tiff);
    }

    bool writeRow(const std::uint32_t* row) override {
        if (!m_error.empty())
            return false;
        if (m_written >= m_image.rows)
            return fail("more rows than the image has");
        for (std::uint32_t x = 0; x < m_image.columns; ++x) {
            m_row[3 * x] = static_cast<unsigned char>(row[x] >> 16);
            m_row[3 * x + 1] = static_cast<unsigned char>(row[x] >> 8);
            m_row[3 * x + 2] = static_cast<unsigned char>(row[x]);
        }
        if (TIFFWriteScanline(m_tiff, m_row.data(), m_written, 0) != 1)
            return fail("cannot write a row");
        ++m_written;
        return true;
    }

    std::optional<std::string> finish() override {
        if (!m_error.empty())
            return m_error;
        if (m_written != m_image.rows)
            return fail("the page ended early"), m_error;
        if (TIFFWriteDirectory(m_tiff) != 1 || TIFFFlush(m_tiff) != 1)
            return fail("cannot complete the file"), m_error;
        return std::nullopt;
    }

    const std::string& error() const override { return m_error; }

private:
    bool fail(const std::string& text) {
        if (m_error.empty())
            m_error = m_libraryError.empty() ? text : text + ": " + m_libraryError;
        return false;
    }

    RowImage m_image;
    std::vector<unsigned char> m_row;
    TIFF* m_tiff = nullptr;
    std::uint32_t m_written = 0;
    std::string m_libraryError;
    std::string m_error;
};

}  // namespace

std::unique_ptr<RowWriter> openTiffRowWriter(int fd, const RowImage& image, bool lzw) {
    return std::make_unique<TiffRowWriter>(fd, image, lzw);
}

}  // namespace output
