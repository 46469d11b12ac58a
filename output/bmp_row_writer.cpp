// The BMP row writer: the header of the image library's own file of one
// pixel with the page's options, its sizes made the page's, then the rows
// as blue, green, red bytes padded to four bytes, the last row first: each
// batch of rows lands at its place in the file.

#include <cerrno>
#include <cstring>
#include <limits>

#include "output/row_io.h"
#include "output/row_writer.h"

namespace output {
namespace {

std::uint32_t readU32(const std::vector<unsigned char>& bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 | static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

void putU32(std::vector<unsigned char>& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + static_cast<std::size_t>(i)] = static_cast<unsigned char>(value >> (8 * i));
}

// Offsets in the file header and the information header after it.
constexpr std::size_t kFileSize = 2, kPixelOffset = 10, kInfoSize = 14, kWidth = 18, kHeight = 22,
                      kBitCount = 28, kCompression = 30, kImageSize = 34, kMinimumHeader = 54;

class BmpRowWriter : public RowWriter {
public:
    BmpRowWriter(int fd, const RowImage& image, const std::vector<unsigned char>& onePixelFile)
        : m_fd(fd),
          m_image(image),
          m_stride((static_cast<std::size_t>(image.columns) * 3 + 3) & ~std::size_t{3}) {
        takeHeader(onePixelFile);
    }

    bool writeRow(const std::uint32_t* row) override { return writeRows(row, 1, m_image.columns); }

    bool writeRows(const std::uint32_t* rows, std::uint32_t count, std::size_t stride) override {
        if (!m_error.empty())
            return false;
        if (count > m_image.rows - m_written)
            return fail("more rows than the image has");
        if (!m_headerWritten) {
            if (const int error = writeAllAt(m_fd, m_header.data(), m_header.size(), 0))
                return fail(std::strerror(error));
            m_headerWritten = true;
        }
        // Page rows y .. y + count - 1 are file rows in the reverse order,
        // one block that ends where row y starts.
        m_block.assign(m_stride * count, 0);
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint32_t* in = rows + i * stride;
            unsigned char* out = m_block.data() + (count - 1 - i) * m_stride;
            for (std::uint32_t x = 0; x < m_image.columns; ++x) {
                out[3 * x] = static_cast<unsigned char>(in[x]);
                out[3 * x + 1] = static_cast<unsigned char>(in[x] >> 8);
                out[3 * x + 2] = static_cast<unsigned char>(in[x] >> 16);
            }
        }
        const std::uint64_t lastFileRow = m_image.rows - m_written - count;
        const auto offset = static_cast<off_t>(m_header.size() + lastFileRow * m_stride);
        if (const int error = writeAllAt(m_fd, m_block.data(), m_block.size(), offset))
            return fail(std::strerror(error));
        m_written += count;
        return true;
    }

    std::optional<std::string> finish() override {
        if (!m_error.empty())
            return m_error;
        if (m_written != m_image.rows)
            return fail("the page ended early"), m_error;
        return std::nullopt;
    }

    const std::string& error() const override { return m_error; }

private:
    bool fail(const std::string& text) {
        if (m_error.empty())
            m_error = text;
        return false;
    }

    // The one-pixel file must be what this writer writes: 24 bits a pixel,
    // no compression, one row of one pixel (padded to four bytes) after the
    // header.
    void takeHeader(const std::vector<unsigned char>& file) {
        if (file.size() < kMinimumHeader || file[0] != 'B' || file[1] != 'M') {
            fail("the image library gave no BMP header");
            return;
        }
        const std::uint32_t pixels = readU32(file, kPixelOffset);
        if (pixels < kMinimumHeader || pixels > file.size() || file.size() - pixels != 4 ||
            readU32(file, kWidth) != 1 || readU32(file, kHeight) != 1 ||
            (file[kBitCount] | file[kBitCount + 1] << 8) != 24 || readU32(file, kCompression) != 0 ||
            readU32(file, kInfoSize) + 14 > pixels) {
            fail("the image library's BMP header is not one of 24-bit rows");
            return;
        }
        const std::uint64_t imageSize = static_cast<std::uint64_t>(m_stride) * m_image.rows;
        if (m_image.rows > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max()) ||
            m_image.columns > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max()) ||
            pixels + imageSize > std::numeric_limits<std::uint32_t>::max()) {
            fail("the page is too large for a BMP file (4 GB)");
            return;
        }
        m_header.assign(file.begin(), file.begin() + pixels);
        putU32(m_header, kFileSize, static_cast<std::uint32_t>(pixels + imageSize));
        putU32(m_header, kWidth, m_image.columns);
        putU32(m_header, kHeight, m_image.rows);
        putU32(m_header, kImageSize, static_cast<std::uint32_t>(imageSize));
    }

    int m_fd;
    RowImage m_image;
    std::size_t m_stride;
    std::vector<unsigned char> m_header;
    std::vector<unsigned char> m_block;
    std::uint32_t m_written = 0;
    bool m_headerWritten = false;
    std::string m_error;
};

}  // namespace

std::unique_ptr<RowWriter> openBmpRowWriter(int fd, const RowImage& image,
                                            const std::vector<unsigned char>& onePixelFile) {
    return std::make_unique<BmpRowWriter>(fd, image, onePixelFile);
}

}  // namespace output
