// The PNG row writer on libpng: RGB, 8 bits a sample, pHYs from the density.
// Interlaced (Adam7) files need every row once per pass, so their rows are
// kept as RGB bytes in an unnamed scratch file and read back for each pass:
// memory stays at a few rows whatever the page's size.

#include <fcntl.h>
#include <png.h>
#include <unistd.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include "output/row_writer.h"

namespace output {
namespace {

// pHYs holds pixels a metre: dots per inch / 0.0254, rounded.
png_uint_32 pixelsPerMetre(unsigned dpi) {
    return static_cast<png_uint_32>(dpi * 100.0 / 2.54 + 0.5);
}

void writeData(png_structp png, png_bytep data, png_size_t length) {
    const int fd = *static_cast<int*>(png_get_io_ptr(png));
    while (length > 0) {
        const ssize_t written = ::write(fd, data, length);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            png_error(png, std::strerror(errno == 0 ? EIO : errno));
        data += written;
        length -= static_cast<png_size_t>(written);
    }
}

void flushData(png_structp) {}

// libpng reports errors by longjmp: the text is kept for the caller.
void onError(png_structp png, png_const_charp message) {
    auto* text = static_cast<std::string*>(png_get_error_ptr(png));
    *text = message;
    png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}

// An unnamed file in `folder` (or the temporary folder), gone when closed.
int scratchFile(const std::string& folder) {
    int fd = ::open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0)
        return fd;
    std::string pattern = (folder.empty() ? std::string(".") : folder) + "/.scrivlet-rows.XXXXXX";
    fd = ::mkstemp(pattern.data());
    if (fd >= 0)
        ::unlink(pattern.c_str());
    return fd;
}

bool readAll(int fd, unsigned char* data, std::size_t length, off_t offset) {
    while (length > 0) {
        const ssize_t got = ::pread(fd, data, length, offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        data += got, length -= static_cast<std::size_t>(got), offset += got;
    }
    return true;
}

bool writeAll(int fd, const unsigned char* data, std::size_t length) {
    while (length > 0) {
        const ssize_t written = ::write(fd, data, length);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written, length -= static_cast<std::size_t>(written);
    }
    return true;
}

class PngRowWriter : public RowWriter {
public:
    PngRowWriter(int fd, const RowImage& image, const std::string& scratchFolder)
        : m_fd(fd), m_image(image), m_row(static_cast<std::size_t>(image.columns) * 3) {
        if (image.interlace) {
            m_scratch = scratchFile(scratchFolder);
            if (m_scratch < 0)
                m_error = std::string("cannot make a scratch file: ") + std::strerror(errno);
        }
    }
    ~PngRowWriter() override {
        if (m_png != nullptr)
            png_destroy_write_struct(&m_png, &m_info);
        if (m_scratch >= 0)
            ::close(m_scratch);
    }

    bool writeRow(const std::uint32_t* row) override {
        if (!m_error.empty() || m_written >= m_image.rows)
            return fail("more rows than the image has");
        for (std::uint32_t x = 0; x < m_image.columns; ++x) {
            m_row[3 * x] = static_cast<unsigned char>(row[x] >> 16);
            m_row[3 * x + 1] = static_cast<unsigned char>(row[x] >> 8);
            m_row[3 * x + 2] = static_cast<unsigned char>(row[x]);
        }
        ++m_written;
        if (m_image.interlace)
            return writeAll(m_scratch, m_row.data(), m_row.size()) ||
                   fail("cannot keep the rows: write failed");
        if (m_written == 1 && !begin())
            return false;
        return rowOut(m_row.data());
    }

    std::optional<std::string> finish() override {
        if (!m_error.empty())
            return m_error;
        if (m_written != m_image.rows)
            return fail("the page ended early"), m_error;
        if (m_image.interlace && !writePasses())
            return m_error;
        if (setjmp(png_jmpbuf(m_png)))
            return m_error;
        png_write_end(m_png, nullptr);
        return std::nullopt;
    }

    const std::string& error() const override { return m_error; }

private:
    bool fail(const std::string& text) {
        if (m_error.empty())
            m_error = text;
        return false;
    }

    bool begin() {
        m_png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &m_error, onError, onWarning);
        if (m_png == nullptr)
            return fail("libpng cannot start");
        m_info = png_create_info_struct(m_png);
        if (m_info == nullptr)
            return fail("libpng cannot start");
        if (setjmp(png_jmpbuf(m_png)))
            return false;
        png_set_write_fn(m_png, &m_fd, writeData, flushData);
        png_set_IHDR(m_png, m_info, m_image.columns, m_image.rows, 8, PNG_COLOR_TYPE_RGB,
                     m_image.interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        const png_uint_32 ppm = pixelsPerMetre(m_image.density);
        png_set_pHYs(m_png, m_info, ppm, ppm, PNG_RESOLUTION_METER);
        png_write_info(m_png, m_info);
        if (m_image.interlace)
            png_set_interlace_handling(m_png);
        return true;
    }

    bool rowOut(unsigned char* data) {
        if (setjmp(png_jmpbuf(m_png)))
            return false;
        png_write_row(m_png, data);
        return true;
    }

    // Adam7: every row once per pass; libpng takes each pass's pixels.
    bool writePasses() {
        if (!begin())
            return false;
        const int passes = png_set_interlace_handling(m_png);
        for (int pass = 0; pass < passes; ++pass) {
            for (std::uint32_t y = 0; y < m_image.rows; ++y) {
                const off_t offset = static_cast<off_t>(y) * static_cast<off_t>(m_row.size());
                if (!readAll(m_scratch, m_row.data(), m_row.size(), offset))
                    return fail("cannot read the kept rows back");
                if (!rowOut(m_row.data()))
                    return false;
            }
        }
        return true;
    }

    int m_fd;
    RowImage m_image;
    std::vector<unsigned char> m_row;
    int m_scratch = -1;
    std::uint32_t m_written = 0;
    png_structp m_png = nullptr;
    png_infop m_info = nullptr;
    std::string m_error;
};

}  // namespace

std::unique_ptr<RowWriter> openPngRowWriter(int fd, const RowImage& image, const std::string& scratchFolder) {
    return std::make_unique<PngRowWriter>(fd, image, scratchFolder);
}

}  // namespace output
