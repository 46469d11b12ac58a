#include "cli/page_raster.h"

#include <cairo.h>

#include <cmath>
#include <memory>

#include "metafile/dc.h"

namespace cli {

std::optional<std::pair<long long, long long>> pageSize(const metafile::EmfHeader& h, double dpi) {
    const double w = double(h.rclFrame.right) - h.rclFrame.left;
    const double hgt = double(h.rclFrame.bottom) - h.rclFrame.top;
    if (w <= 0 || hgt <= 0 || dpi <= 0)
        return std::nullopt;
    const double cols = std::ceil(w * dpi * 0.0003937007874015748);
    const double rows = std::ceil(hgt * dpi * 0.0003937007874015748);
    return std::make_pair(static_cast<long long>(cols), static_cast<long long>(rows));
}

platform::Expected<PageRaster, std::string> rasterise(const metafile::Metafile& mf, double dpi) {
    const auto size = pageSize(mf.header(), dpi);
    if (!size) {
        return platform::unexpected(std::string("the picture frame is empty"));
    }
    if (size->first > 1'000'000 || size->second > 1'000'000 ||
        size->first * size->second > metafile::DibSection::kMaxPixels) {
        return platform::unexpected("the page is too large (" + std::to_string(size->first) + " x " +
                                    std::to_string(size->second) + " pixels)");
    }
    auto page = metafile::DibSection::create(static_cast<int>(size->first), static_cast<int>(size->second));
    if (!page) {
        return platform::unexpected(std::string("not enough memory for the page"));
    }
    page->fill(0xFFFFFF);
    metafile::Dc dc(*page);
    auto report = metafile::playMetafile(mf, dc, {0, 0, page->width(), page->height()});
    return PageRaster{std::move(*page), std::move(report)};
}

std::optional<std::string> writePng(const metafile::DibSection& page, const std::filesystem::path& file) {
    // cairo reads the pixels in place: RGB24 is the DIB's own layout.
    auto* data = reinterpret_cast<unsigned char*>(const_cast<std::uint32_t*>(page.pixels().data()));
    std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> surface(
        cairo_image_surface_create_for_data(data, CAIRO_FORMAT_RGB24, page.width(), page.height(),
                                            page.width() * 4),
        cairo_surface_destroy);
    const cairo_status_t status = cairo_surface_write_to_png(surface.get(), file.c_str());
    if (status != CAIRO_STATUS_SUCCESS) {
        return std::string(cairo_status_to_string(status));
    }
    return std::nullopt;
}

}  // namespace cli
