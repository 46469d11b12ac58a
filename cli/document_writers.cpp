#include "cli/document_writers.h"

#include <algorithm>
#include <cctype>

#include "cli/page_converter.h"
#include "cli/page_report.h"
#include "metafile/metafile.h"
#include "output/gallery_html.h"
#include "output/html_gallery.h"
#include "output/image_file.h"
#include "output/multipage_image.h"
#include "output/naming_rule.h"
#include "output/page_file.h"
#include "output/pdf_layer.h"
#include "render/magick_guard.h"

namespace cli {
namespace {

namespace fs = std::filesystem;

// Renders the pages one at a time and hands each to `take`; false when a
// page failed (said, and left out). A damaged page that still drew is said
// and kept.
template <class Render, class Take>
bool eachPage(const std::vector<DocumentPage>& pages, const DocumentSinks& sinks, Render&& render,
              Take&& take) {
    bool ok = true;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        auto page = metafile::Metafile::fromFile(pages[i].source);
        if (!page) {
            sinks.error(pages[i].label + ": " + page.error().message);
            ok = false;
            continue;
        }
        metafile::PlaybackReport report;
        auto image = render(*page, &report);
        if (!image) {
            sinks.error(pages[i].label + ": " + image.error());
            ok = false;
            continue;
        }
        if (const std::string damage = damageLine(pages[i].label, report); !damage.empty())
            sinks.error(damage);
        if (auto failure = take(static_cast<int>(i), *page, std::move(*image))) {
            sinks.error(pages[i].label + ": " + *failure);
            ok = false;
        }
    }
    return ok;
}

bool writePdf(const CommandLine& line, const std::vector<DocumentPage>& pages, const fs::path& scratch,
              const DocumentSinks& sinks) {
    const fs::path& file = *line.pdf;
    PageConverter converter(line.settings, scratch / "pdf-settings");
    std::string extension = "." + converter.pdfInsideFormat();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    output::PDF* p = output::PDF_new();
    if (output::PDF_begin_document(p, file.c_str(), 0, "") == -1) {
        sinks.error("cannot write " + file.string() + ": " + output::PDF_get_errmsg(p));
        output::PDF_delete(p);
        return false;
    }
    int placed = 0;
    bool ok = eachPage(
        pages, sinks,
        [&](const metafile::Metafile& page, metafile::PlaybackReport* report) {
            return converter.renderForDocument(page, 1, report);
        },
        [&](int index, const metafile::Metafile&, Magick::Image image) -> std::optional<std::string> {
            const fs::path pageFile = scratch / (output::sequenceNumber(index) + extension);
            if (auto failure = output::writePageFile(image, pageFile))
                return "cannot write " + pageFile.string() + ": " + *failure;
            const int handle = output::PDF_load_image(p, "auto", pageFile.c_str(), 0, "");
            std::error_code ec;
            fs::remove(pageFile, ec);
            if (handle == -1)
                return std::string(output::PDF_get_errmsg(p));
            output::PDF_begin_page_ext(p, 10.0, 10.0, "");
            output::PDF_fit_image(p, handle, 0.0, 0.0, "adjustpage");
            output::PDF_close_image(p, handle);
            output::PDF_end_page_ext(p, "");
            ++placed;
            return std::nullopt;
        });
    if (placed == 0) {
        // A document without pages is no document: nothing is left behind.
        sinks.error("no page could be placed in " + file.string() + "; it was not written");
        output::PDF_delete(p);
        return false;
    }
    if (output::PDF_end_document(p, "") == -1) {
        sinks.error("cannot write " + file.string() + ": " + output::PDF_get_errmsg(p));
        ok = false;
    } else {
        sinks.written(file.string() + " (" + std::to_string(placed) + " pages)\n");
    }
    output::PDF_delete(p);
    return ok;
}

bool writeGallery(const CommandLine& line, const std::vector<DocumentPage>& pages,
                  const DocumentSinks& sinks) {
    const fs::path& folder = *line.gallery;
    const std::string base = line.baseName ? *line.baseName : line.inputs.front().stem().string();
    std::error_code ec;
    fs::create_directories(folder, ec);
    const fs::path gallery = folder / (base + "_files");
    if (ec || !output::prepareGalleryFolder(gallery.string())) {
        sinks.error("cannot make the gallery folder " + gallery.string() +
                    (ec ? ": " + ec.message() : std::string()));
        return false;
    }
    const std::string extension = output::galleryExtension(line.settings.format);
    const auto writeText = [&](const fs::path& file, const std::string& text) {
        const auto written = output::replaceFile(file, std::as_bytes(std::span(text.data(), text.size())));
        if (!written)
            sinks.error(written.error().message());
        return written.hasValue();
    };
    bool ok = writeText(folder / (base + ".html"), output::framesetHtml(base, extension));
    ok = writeText(gallery / "header.html", output::headerHtml(base)) && ok;
    std::string bottoms = output::bottomsHead(base);
    PageConverter converter(line.settings);
    ok = eachPage(
             pages, sinks,
             [&](const metafile::Metafile& page, metafile::PlaybackReport* report) {
                 return converter.renderForDocument(page, 0, report);
             },
             [&](int index, const metafile::Metafile& page,
                 Magick::Image image) -> std::optional<std::string> {
                 const std::string number = output::sequenceNumber(index);
                 const fs::path pageFile = gallery / (number + extension);
                 if (auto failure = output::writePageFile(image, pageFile))
                     return "cannot write " + pageFile.string() + ": " + *failure;
                 auto thumbnail = converter.renderThumbnail(page, output::kThumbnailDpi);
                 if (!thumbnail)
                     return "its thumbnail: " + thumbnail.error();
                 if (auto reason = render::magickCall([&] {
                         thumbnail->scale(Magick::Geometry(output::kThumbnailBox, output::kThumbnailBox));
                     }))
                     return "its thumbnail: " + *reason;
                 const fs::path thumbFile = gallery / (number + "_" + extension);
                 if (auto failure = output::writePageFile(*thumbnail, thumbFile))
                     return "cannot write " + thumbFile.string() + ": " + *failure;
                 bottoms += output::bottomsLink(number, extension);
                 return std::nullopt;
             }) &&
         ok;
    bottoms += output::kBottomsEnd;
    ok = writeText(gallery / "bottoms.html", bottoms) && ok;
    sinks.written((folder / (base + ".html")).string() + " (" + std::to_string(pages.size()) + " pages)\n");
    return ok;
}

bool writeMultipage(const CommandLine& line, const std::vector<DocumentPage>& pages, int mode,
                    const fs::path& file, const DocumentSinks& sinks) {
    PageConverter converter(line.settings);
    output::MultipageImageWriter writer(mode, line.settings.formatOptions.GIF_Delay);
    bool ok = eachPage(
        pages, sinks,
        [&](const metafile::Metafile& page, metafile::PlaybackReport* report) {
            return converter.renderForDocument(page, mode, report);
        },
        [&](int, const metafile::Metafile&, Magick::Image image) {
            return writer.addPage(std::move(image));
        });
    if (auto failure = writer.finish(file)) {
        sinks.error("cannot write " + file.string() + ": " + *failure);
        return false;
    }
    sinks.written(file.string() + " (" + std::to_string(writer.pageCount()) + " pages)\n");
    return ok;
}

}  // namespace

bool writeDocuments(const CommandLine& line, const std::vector<DocumentPage>& pages, const fs::path& scratch,
                    const DocumentSinks& sinks) {
    bool ok = true;
    if (line.pdf)
        ok = writePdf(line, pages, scratch, sinks) && ok;
    if (line.gallery)
        ok = writeGallery(line, pages, sinks) && ok;
    if (line.multipageTif)
        ok = writeMultipage(line, pages, output::kMultipageTif, *line.multipageTif, sinks) && ok;
    if (line.animatedGif)
        ok = writeMultipage(line, pages, output::kMultipageGif, *line.animatedGif, sinks) && ok;
    return ok;
}

}  // namespace cli
