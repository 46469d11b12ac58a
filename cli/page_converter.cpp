#include "cli/page_converter.h"

#include <cmath>
#include <new>

#include "cli/atomic_output.h"
#include "cli/strip_pipeline.h"
#include "metafile/metafile.h"
#include "output/image_file.h"
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

platform::Expected<Magick::Image, std::string> PageConverter::renderWhole(const metafile::Metafile& page,
                                                                          double dpi) {
    if (!m_renderer.layoutPage(dpi, &page))
        return platform::unexpected(
            std::string("the page is empty or too large to render at this resolution"));
    Magick::Image image;
    if (auto reason = render::magickCall([&] { image = m_renderer.renderPage(dpi, &page); }))
        return platform::unexpected("the image library failed: " + *reason);
    if (image.columns() == 0 || image.rows() == 0)
        return platform::unexpected(std::string("the page could not be rendered"));
    return image;
}

platform::Expected<Magick::Image, std::string> PageConverter::renderForDocument(
    const metafile::Metafile& page, int multipageMode) {
    m_session.MultipageMode = multipageMode;
    auto image = renderWhole(page, m_settings.dpi);
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
    return output::currentFormatCode(m_session.CurrentFormat) == app::FormatCode::PNG &&
           m_session.formatOptions.PNG_TrueIndexGray == 0 && !m_session.RenderOptions.lvSharpen;
}

PageOutcome PageConverter::convert(const metafile::Metafile& page, const fs::path& target, int stripThreads) {
    PageOutcome outcome;
    if (auto refusal = replaceRefusal(target)) {
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
    Magick::Image image(
        Magick::Geometry(static_cast<std::size_t>(layout.columns), static_cast<std::size_t>(layout.rows)),
        Magick::Color("white"));
    image.modifyImage();
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
        target, std::span(static_cast<const std::byte*>(encoded->data()), encoded->length()));
    if (!written)
        return written.error().message();
    return std::nullopt;
}

std::optional<std::string> PageConverter::writeStreamed(const metafile::Metafile& page,
                                                        const render::PageLayout& layout,
                                                        const fs::path& target, int threads,
                                                        PageOutcome& outcome) {
    // The format's options as the encoding step gives them, read off a
    // one-pixel image that takes the same step.
    Magick::Image probe(Magick::Geometry(1, 1), Magick::Color("white"));
    m_formats.applyEncodingOptions(probe, m_settings.dpi);
    output::RowImage shape;
    shape.columns = static_cast<std::uint32_t>(layout.columns);
    shape.rows = static_cast<std::uint32_t>(layout.rows);
    shape.density = static_cast<unsigned>(probe.density().width());
    shape.interlace = probe.interlaceType() != Magick::NoInterlace;

    auto out = AtomicOutput::begin(target);
    if (!out)
        return target.string() + ": " + out.error();
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    auto writer = output::openPngRowWriter(out->fd(), shape, folder.string());
    std::string error;
    const bool drawn = forEachStrip(
        m_renderer, layout, &page, m_renderer.stampText(&page), threads, &outcome.report,
        [&writer](const render::StripRows& rows) -> std::optional<std::string> {
            for (long long y = 0; y < rows.count; ++y) {
                if (!writer->writeRow(rows.row(y)))
                    return writer->error();
            }
            return std::nullopt;
        },
        error);
    if (!drawn)
        return error;
    if (auto failure = writer->finish())
        return "cannot write " + target.string() + ": " + *failure;
    return out->commit();
}

}  // namespace cli
