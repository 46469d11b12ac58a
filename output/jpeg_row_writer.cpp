// The JPEG row writer on the libjpeg encoder. Colour rows are handed over as
// they come (0x00RRGGBB in memory is blue, green, red and an unused byte).
// Grey files: each batch of rows becomes an image of its own, is given the
// format's options (which make it grey, pixel by pixel) and its grey levels
// are taken as the whole page's encoder takes them, so that the file is the
// same bytes either way. The compressed bytes go straight to the file.

#include <cstring>

#include "output/row_writer.h"
#include "render/page_renderer.h"

namespace output {
namespace {

class JpegRowWriter : public RowWriter {
public:
    JpegRowWriter(int fd, const RowImage& image, JpegSettings settings,
                  std::function<void(Magick::Image&)> greyStep, std::uint64_t heldLimit)
        : m_image(image), m_greyStep(std::move(greyStep)) {
        if (settings.grey && !m_greyStep) {
            m_error = "a grey JPEG file needs the step that makes its rows grey";
            return;
        }
        const std::uint64_t held = heldCoefficientBytes(image.columns, image.rows, settings);
        if (held > heldLimit) {
            m_note = std::string("written as a baseline JPEG with the standard tables: ") +
                     (settings.progressive ? "a progressive" : "an optimised") +
                     " file of this page would hold " + std::to_string((held + (1 << 20) - 1) >> 20) +
                     " MB of coefficients in memory";
            settings.progressive = false;
            settings.optimizeCoding = false;
        }
        m_encoder.writeTo(fd);
        if (!m_encoder.start(image.columns, image.rows, settings,
                             settings.grey ? JpegLayout::Grey : JpegLayout::Bgrx))
            m_error = m_encoder.error();
        m_grey = settings.grey;
    }

    bool writeRow(const std::uint32_t* row) override { return writeRows(row, 1, m_image.columns); }

    bool writeRows(const std::uint32_t* rows, std::uint32_t count, std::size_t stride) override {
        if (!m_error.empty())
            return false;
        if (count > m_image.rows - m_written)
            return fail("more rows than the image has");
        bool ok = true;
        if (m_grey) {
            ok = greyRows(rows, count, stride);
        } else if (stride == m_image.columns) {
            ok = m_encoder.writeRows(reinterpret_cast<const unsigned char*>(rows), count);
        } else {
            for (std::uint32_t y = 0; y < count && ok; ++y)
                ok = m_encoder.writeRows(reinterpret_cast<const unsigned char*>(rows + y * stride), 1);
        }
        if (!ok)
            return fail(m_error.empty() ? m_encoder.error() : m_error);
        m_written += count;
        return true;
    }

    std::optional<std::string> finish() override {
        if (!m_error.empty())
            return m_error;
        if (m_written != m_image.rows)
            return fail("the page ended early"), m_error;
        if (!m_encoder.finish())
            return fail(m_encoder.error()), m_error;
        return std::nullopt;
    }

    const std::string& error() const override { return m_error; }
    std::string note() const override { return m_note; }

private:
    bool fail(const std::string& text) {
        if (m_error.empty())
            m_error = text;
        return false;
    }

    // The rows as an image of the library's, given the options, then the
    // grey level of each pixel as 8 bits, as the whole page's encoder reads
    // them.
    bool greyRows(const std::uint32_t* rows, std::uint32_t count, std::size_t stride) {
        const std::size_t columns = m_image.columns;
        render::StripRows copy;
        copy.count = count;
        copy.columns = static_cast<long long>(columns);
        copy.pixels.resize(columns * count);
        for (std::uint32_t y = 0; y < count; ++y)
            std::memcpy(copy.pixels.data() + y * columns, rows + y * stride, columns * sizeof(std::uint32_t));
        Magick::Image strip(Magick::Geometry(columns, count), Magick::Color("white"));
        strip.modifyImage();
        if (!render::copyRows(copy, strip))
            return fail("the image library gave no pixel row");
        m_greyStep(strip);
        const Magick::PixelPacket* q = strip.getConstPixels(0, 0, columns, count);
        if (q == nullptr || strip.columns() != columns || strip.rows() != count)
            return fail("the image library gave no pixel row");
        m_line.resize(columns * count);
        const MagickCore::Image* core = strip.constImage();
        for (std::size_t i = 0; i < m_line.size(); ++i)
            m_line[i] = MagickCore::ScaleQuantumToChar(
                MagickCore::ClampToQuantum(MagickCore::GetPixelLuma(core, q + i)));
        return m_encoder.writeRows(m_line.data(), count);
    }

    RowImage m_image;
    std::function<void(Magick::Image&)> m_greyStep;
    JpegEncoder m_encoder;
    std::vector<unsigned char> m_line;
    std::uint32_t m_written = 0;
    bool m_grey = false;
    std::string m_error;
    std::string m_note;
};

}  // namespace

std::unique_ptr<RowWriter> openJpegRowWriter(int fd, const RowImage& image, const JpegSettings& settings,
                                             std::function<void(Magick::Image&)> greyStep,
                                             std::uint64_t heldLimit) {
    return std::make_unique<JpegRowWriter>(fd, image, settings, std::move(greyStep), heldLimit);
}

}  // namespace output
