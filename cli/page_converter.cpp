#include "cli/page_converter.h"

#include <cmath>
#include <cstdio>
#include <new>

#include "cli/strip_pipeline.h"
#include "metafile/metafile.h"
#include "output/image_file.h"
#include "output/row_options.h"
#include "output/row_writer.h"
#include "render/magick_guard.h"

namespace cli {

namespace fs = std::filesystem;

PageConverter::PageConverter(const ConvertSettings& settings, const fs::path& storeFolder)
    : m_settings(settings),
      m_registry(storeFolder.empty() ? platform::RegistryLocation{}
                                     : platform::RegistryLocation::inFolder(storeFolder)) {
    if (!storeFolder.empty())
        m_store.writeString(platform::RegRoot::CurrentUser, "PDF_Bitmp_Format", settings.pdfInsideFormat);
    m_session.RenderOptions = settings.render;
    m_session.CurrentFormat = settings.format;
    m_session.formatOptions = settings.formatOptions;
    m_session.MultipageMode = 0;
    m_formats.encodedPreview = false;
    m_renderer.applyEncodingOptions = [this](Magick::Image& image, double dpi) {
        m_formats.applyEncodingOptions(image, dpi);
    };
}

void PageConverter::startLibrary() {
    static ImageLibrary processLibrary;
    (library != nullptr ? *library : processLibrary).start();
}

platform::Expected<Magick::Image, std::string> PageConverter::renderWhole(const metafile::Metafile& page,
                                                                          double dpi,
                                                                          metafile::PlaybackReport* report) {
    startLibrary();
    if (!m_renderer.layoutPage(dpi, &page))
        return platform::unexpected(
            std::string("the page is empty or too large to render at this resolution"));
    Magick::Image image;
    if (auto reason = render::magickCall([&] { image = m_renderer.renderPage(dpi, &page, report); }))
        return platform::unexpected("the image library failed: " + *reason);
    if (image.columns() == 0 || image.rows() == 0)
        return platform::unexpected(std::string("the page could not be rendered"));
    return image;
}

platform::Expected<Magick::Image, std::string> PageConverter::renderForDocument(
    const metafile::Metafile& page, int multipageMode, metafile::PlaybackReport* report) {
    m_session.MultipageMode = multipageMode;
    auto image = renderWhole(page, m_settings.dpi, report);
    m_session.MultipageMode = 0;
    return image;
}

platform::Expected<Magick::Image, std::string> PageConverter::renderThumbnail(const metafile::Metafile& page,
                                                                              double thumbnailDpi) {
    m_session.ThumbnailMode = true;
    auto image = renderWhole(page, thumbnailDpi);
    m_session.ThumbnailMode = false;
    return image;
}

std::string PageConverter::pdfInsideFormat() const {
    return m_formats.pdfInsideFormat();
}

bool PageConverter::streamable() const {
    if (m_session.RenderOptions.lvSharpen)
        return false;  // each pixel takes its neighbours from the whole page
    const app::FormatSettings& o = m_session.formatOptions;
    switch (output::currentFormatCode(m_session.CurrentFormat)) {
        case app::FormatCode::PNG:
            return o.PNG_TrueIndexGray == 0;
        case app::FormatCode::TIF:
            return o.TIF_TrueIndexGray == 0;
        case app::FormatCode::JPG:
        case app::FormatCode::BMP:
            return true;
        case app::FormatCode::GIF:
            break;
    }
    return false;  // a palette or grey levels chosen from the whole page
}

std::optional<std::string> PageConverter::wholeRefusal(long long columns, long long rows) const {
    const auto limit = static_cast<long long>(
        std::min<MagickCore::MagickSizeType>(MagickCore::GetMagickResourceLimit(MagickCore::AreaResource),
                                             static_cast<MagickCore::MagickSizeType>(1) << 62));
    if (columns * rows <= limit)
        return std::nullopt;
    const std::string why = m_session.RenderOptions.lvSharpen
                                ? std::string("sharpening takes each pixel's neighbours from the whole page")
                                : std::string("this format's colours are chosen from the whole page");
    const auto megapixels = [](long long pixels) {
        char text[32];
        std::snprintf(text, sizeof text, "%.1f", static_cast<double>(pixels) / 1e6);
        return std::string(text);
    };
    return "the page of " + std::to_string(columns) + " x " + std::to_string(rows) + " pixels (" +
           megapixels(columns * rows) + " megapixels) is larger than the image library's limit of " +
           megapixels(limit) + " megapixels for one image, and " + why +
           "; lower --dpi or --scale, or write it as true-colour png, tif, jpg or bmp without --sharpen";
}

PageOutcome PageConverter::convert(const metafile::Metafile& page, const fs::path& target, int stripThreads) {
    PageOutcome outcome;
    if (auto refusal = output::replaceRefusal(target)) {
        outcome.error = target.string() + " " + *refusal;
        return outcome;
    }
    const auto layout = m_renderer.layoutPage(m_settings.dpi, &page);
    if (!layout) {
        outcome.error = std::string("the page is empty or too large to render at this resolution");
        return outcome;
    }
    outcome.columns = layout->columns;
    outcome.rows = layout->rows;
    try {
        outcome.streamed = streamable() && layout->plan.strips > streamAboveStrips;
        if (!outcome.streamed) {
            startLibrary();
            if (auto refusal = wholeRefusal(layout->columns, layout->rows)) {
                outcome.error = *refusal;
                return outcome;
            }
        }
        outcome.error = outcome.streamed ? writeStreamed(page, *layout, target, stripThreads, outcome)
                                         : writeWhole(page, *layout, target, stripThreads, outcome);
    } catch (const Magick::Exception& e) {
        outcome.error = std::string("the image library failed: ") + e.what();
    } catch (const std::bad_alloc&) {
        outcome.error = std::string("not enough memory for the page");
    } catch (const std::exception& e) {
        outcome.error = std::string("the page could not be converted: ") + e.what();
    }
    return outcome;
}

std::optional<std::string> PageConverter::writeWhole(const metafile::Metafile& page,
                                                     const render::PageLayout& layout, const fs::path& target,
                                                     int threads, PageOutcome& outcome) {
    Magick::Image image = render::unfilledImage(static_cast<std::size_t>(layout.columns),
                                                static_cast<std::size_t>(layout.rows));
    std::string error;
    const bool drawn = forEachStrip(
        m_renderer, layout, &page, m_renderer.stampText(&page), threads, &outcome.report,
        [&image](const render::StripRows& rows) -> std::optional<std::string> {
            if (!render::copyRows(rows, image))
                return std::string("the image library gave no pixel row");
            return std::nullopt;
        },
        error);
    if (!drawn)
        return error;
    m_formats.applyEncodingOptions(image, m_settings.dpi);
    // The same page gives the same bytes: no dates of the run in the file.
    image.defineValue("png", "exclude-chunks", "date,time");
    auto encoded = output::encodeImage(image, output::encoderFor(target), target);
    if (!encoded)
        return encoded.error().message();
    auto written = output::replaceFile(
        target, std::span(static_cast<const std::byte*>(encoded->data()), encoded->length()),
        output::AtLink::Refuse);
    if (!written)
        return written.error().message();
    return std::nullopt;
}

std::optional<std::string> PageConverter::writeStreamed(const metafile::Metafile& page,
                                                        const render::PageLayout& layout,
                                                        const fs::path& target, int threads,
                                                        PageOutcome& outcome) {
    auto out = output::AtomicFile::begin(target, output::AtLink::Refuse);
    if (!out)
        return out.error().message();
    std::string reason;
    auto writer = openRowWriter(out->fd(), layout, target, threads, reason);
    if (!writer)
        return "cannot write " + target.string() + ": " + reason;
    std::string error;
    const bool drawn = forEachStrip(
        m_renderer, layout, &page, m_renderer.stampText(&page), threads, &outcome.report,
        [&writer](const render::StripRows& rows) -> std::optional<std::string> {
            if (!writer->writeRows(rows.row(0), static_cast<std::uint32_t>(rows.count),
                                   static_cast<std::size_t>(rows.columns)))
                return writer->error();
            return std::nullopt;
        },
        error);
    if (!drawn)
        return error;
    if (auto failure = writer->finish())
        return "cannot write " + target.string() + ": " + *failure;
    if (auto failure = out->commit())
        return failure->message();
    outcome.note = writer->note();
    return std::nullopt;
}

std::unique_ptr<output::RowWriter> PageConverter::openRowWriter(int fd, const render::PageLayout& layout,
                                                                const fs::path& target, int threads,
                                                                std::string& reason) {
    const app::FormatCode code = output::currentFormatCode(m_session.CurrentFormat);
    const output::RowOptions options = output::rowOptionsOf(code, m_session.formatOptions, m_settings.dpi);
    output::RowImage shape;
    shape.columns = static_cast<std::uint32_t>(layout.columns);
    shape.rows = static_cast<std::uint32_t>(layout.rows);
    shape.density = options.density;
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    switch (code) {
        case app::FormatCode::PNG:
            shape.interlace = options.interlace;
            return output::openPngRowWriter(fd, shape, folder.string(), threads);
        case app::FormatCode::JPG: {
            std::function<void(Magick::Image&)> greyStep;
            if (options.jpeg.grey) {
                // The grey levels are the library's, as a whole page's are.
                startLibrary();
                greyStep = [this](Magick::Image& rows) {
                    m_formats.applyEncodingOptions(rows, m_settings.dpi);
                };
            }
            return output::openJpegRowWriter(fd, shape, options.jpeg, std::move(greyStep), jpegHeldLimit);
        }
        case app::FormatCode::TIF:
            return output::openTiffRowWriter(fd, shape, options.lzw);
        case app::FormatCode::BMP: {
            // The header is the library's own, taken from its file of one
            // pixel with the same options.
            startLibrary();
            const unsigned char white[3] = {255, 255, 255};
            Magick::Image probe(1, 1, "RGB", Magick::CharPixel, white);
            m_formats.applyEncodingOptions(probe, m_settings.dpi);
            auto onePixel = output::encodeImage(probe, "BMP", target);
            if (!onePixel) {
                reason = onePixel.error().reason;
                return nullptr;
            }
            const auto* bytes = static_cast<const unsigned char*>(onePixel->data());
            return output::openBmpRowWriter(fd, shape,
                                            std::vector<unsigned char>(bytes, bytes + onePixel->length()));
        }
        case app::FormatCode::GIF:
            break;
    }
    reason = "this format is not written a row at a time";
    return nullptr;
}

}  // namespace cli
