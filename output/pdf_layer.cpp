#include "output/pdf_layer.h"

#include <cairo-pdf.h>
#include <cairo.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "render/magick.h"

namespace output {

namespace {

namespace fs = std::filesystem;

struct LoadedImage {
    cairo_surface_t* surface = nullptr;
    double widthPt = 0;
    double heightPt = 0;
};

double toDpi(const Magick::Image& image, double value) {
    if (value <= 0)
        return 72.0;
    if (image.resolutionUnits() != Magick::PixelsPerCentimeterResolution)
        return value;
    // BMP and PNG keep whole pixels a metre (1 of them is 0.0254 dpi), the
    // encoder cutting the fraction off: 72 dpi is stored as 2834 and reads
    // back as 71.98. A value within one such step of a whole number of dots
    // per inch is that number.
    const double dpi = value * 2.54;
    const double whole = std::round(dpi);
    return std::abs(dpi - whole) < 0.026 ? whole : dpi;
}

bool isJpeg(const std::vector<unsigned char>& bytes) {
    return bytes.size() > 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF;
}

}  // namespace

struct PDF {
    std::string target;
    std::string temporary;
    std::FILE* file = nullptr;
    cairo_surface_t* surface = nullptr;
    cairo_t* cr = nullptr;
    bool writeFailed = false;
    std::string error;
    std::string searchPath;
    std::map<int, LoadedImage> images;
    int nextImage = 1;
    double pageWidth = 10;
    double pageHeight = 10;

    void fail(std::string why) { error = std::move(why); }

    void closeDocument(bool keep) {
        if (cr)
            cairo_destroy(cr);
        cr = nullptr;
        if (surface) {
            if (keep)
                cairo_surface_finish(surface);
            else
                writeFailed = true;  // drop what cairo still writes
            cairo_surface_destroy(surface);
        }
        surface = nullptr;
        if (file)
            std::fclose(file);
        file = nullptr;
        if (!temporary.empty() && !keep)
            ::unlink(temporary.c_str());
        if (!keep)
            temporary.clear();
    }
};

namespace {

cairo_status_t writeToFile(void* closure, const unsigned char* data, unsigned int length) {
    auto* p = static_cast<PDF*>(closure);
    if (p->writeFailed || !p->file)
        return CAIRO_STATUS_WRITE_ERROR;
    if (std::fwrite(data, 1, length, p->file) != length) {
        p->writeFailed = true;
        p->fail(std::strerror(errno));
        return CAIRO_STATUS_WRITE_ERROR;
    }
    return CAIRO_STATUS_SUCCESS;
}

std::string nameOf(const char* text, int length) {
    if (!text)
        return {};
    return length > 0 ? std::string(text, static_cast<std::size_t>(length)) : std::string(text);
}

}  // namespace

PDF* PDF_new() {
    return new PDF;
}

void PDF_delete(PDF* p) {
    if (!p)
        return;
    for (auto& [handle, image] : p->images) cairo_surface_destroy(image.surface);
    p->images.clear();
    p->closeDocument(false);
    delete p;
}

int PDF_begin_document(PDF* p, const char* filename, int length, const char* /*optlist*/) {
    const std::string target = nameOf(filename, length);
    if (target.empty()) {
        p->fail("no file name");
        return -1;
    }
    const fs::path path(target);
    if (fs::is_directory(path)) {
        p->fail("is a folder");
        return -1;
    }
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    std::string temporary = (folder / ("." + path.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        p->fail(std::strerror(errno));
        return -1;
    }
    ::fchmod(fd, 0644);
    p->file = ::fdopen(fd, "wb");
    if (!p->file) {
        ::close(fd);
        ::unlink(temporary.c_str());
        p->fail(std::strerror(errno));
        return -1;
    }
    p->target = target;
    p->temporary = temporary;
    p->writeFailed = false;
    p->surface = cairo_pdf_surface_create_for_stream(writeToFile, p, p->pageWidth, p->pageHeight);
    p->cr = cairo_create(p->surface);
    if (cairo_surface_status(p->surface) != CAIRO_STATUS_SUCCESS ||
        cairo_status(p->cr) != CAIRO_STATUS_SUCCESS) {
        p->fail(cairo_status_to_string(cairo_surface_status(p->surface)));
        p->closeDocument(false);
        return -1;
    }
    return 1;
}

void PDF_set_parameter(PDF* p, const char* key, const char* value) {
    if (key && value && std::string(key) == "SearchPath")
        p->searchPath = value;
}

int PDF_load_image(PDF* p, const char* /*imagetype*/, const char* filename, int length,
                   const char* /*optlist*/) {
    fs::path path(nameOf(filename, length));
    if (path.is_relative() && !p->searchPath.empty())
        path = fs::path(p->searchPath) / path;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        p->fail("cannot open " + path.string());
        return -1;
    }
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LoadedImage loaded;
    // A JPEG goes into the document as it is: only its header is read, for
    // the size and the resolution; its pixels are never decoded.
    const bool jpeg = isJpeg(bytes);
    try {
        Magick::Image image;
        if (jpeg)
            image.ping(Magick::Blob(bytes.data(), bytes.size()));
        else
            image.read(Magick::Blob(bytes.data(), bytes.size()));
        const auto columns = static_cast<int>(image.columns());
        const auto rows = static_cast<int>(image.rows());
        if (columns <= 0 || rows <= 0) {
            p->fail("no pixels in " + path.string());
            return -1;
        }
        loaded.widthPt = columns * 72.0 / toDpi(image, image.xResolution());
        loaded.heightPt = rows * 72.0 / toDpi(image, image.yResolution());
        loaded.surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, columns, rows);
        if (cairo_surface_status(loaded.surface) != CAIRO_STATUS_SUCCESS) {
            p->fail(cairo_status_to_string(cairo_surface_status(loaded.surface)));
            cairo_surface_destroy(loaded.surface);
            return -1;
        }
        if (!jpeg) {
            cairo_surface_flush(loaded.surface);
            unsigned char* data = cairo_image_surface_get_data(loaded.surface);
            const int stride = cairo_image_surface_get_stride(loaded.surface);
            // Cairo's RGB24 pixels are B, G, R, unused bytes in memory.
            image.type(Magick::TrueColorType);
            for (int y = 0; y < rows; ++y)
                image.write(0, y, static_cast<std::size_t>(columns), 1, "BGRP", Magick::CharPixel,
                            data + y * stride);
            cairo_surface_mark_dirty(loaded.surface);
        }
    } catch (const Magick::Warning&) {
        // Read with a remark; the pixels are there.
    } catch (const std::exception& e) {
        if (loaded.surface)
            cairo_surface_destroy(loaded.surface);
        p->fail(e.what());
        return -1;
    }
    if (jpeg) {
        // The page file's own bytes go into the document.
        auto* copy = new std::vector<unsigned char>(std::move(bytes));
        cairo_surface_set_mime_data(
            loaded.surface, CAIRO_MIME_TYPE_JPEG, copy->data(), copy->size(),
            [](void* data) { delete static_cast<std::vector<unsigned char>*>(data); }, copy);
    }
    const int handle = p->nextImage++;
    p->images[handle] = loaded;
    return handle;
}

void PDF_begin_page_ext(PDF* p, double width, double height, const char* /*optlist*/) {
    if (!p->surface)
        return;
    p->pageWidth = width;
    p->pageHeight = height;
    cairo_pdf_surface_set_size(p->surface, width, height);
}

void PDF_fit_image(PDF* p, int handle, double x, double y, const char* optlist) {
    const auto it = p->images.find(handle);
    if (!p->cr || it == p->images.end())
        return;
    const LoadedImage& image = it->second;
    if (optlist && std::string(optlist).find("adjustpage") != std::string::npos) {
        p->pageWidth = image.widthPt + x;
        p->pageHeight = image.heightPt + y;
        cairo_pdf_surface_set_size(p->surface, p->pageWidth, p->pageHeight);
    }
    const int columns = cairo_image_surface_get_width(image.surface);
    const int rows = cairo_image_surface_get_height(image.surface);
    cairo_save(p->cr);
    // PDF places from the lower left corner; cairo's origin is the upper left.
    cairo_translate(p->cr, x, p->pageHeight - y - image.heightPt);
    cairo_scale(p->cr, image.widthPt / columns, image.heightPt / rows);
    cairo_set_source_surface(p->cr, image.surface, 0, 0);
    cairo_paint(p->cr);
    cairo_restore(p->cr);
}

void PDF_close_image(PDF* p, int handle) {
    const auto it = p->images.find(handle);
    if (it == p->images.end())
        return;
    cairo_surface_destroy(it->second.surface);
    p->images.erase(it);
}

void PDF_end_page_ext(PDF* p, const char* /*optlist*/) {
    if (p->cr)
        cairo_show_page(p->cr);
}

int PDF_end_document(PDF* p, const char* /*optlist*/) {
    if (!p->surface) {
        p->fail("no document");
        return -1;
    }
    cairo_destroy(p->cr);
    p->cr = nullptr;
    cairo_surface_finish(p->surface);
    const cairo_status_t status = cairo_surface_status(p->surface);
    cairo_surface_destroy(p->surface);
    p->surface = nullptr;
    bool ok = status == CAIRO_STATUS_SUCCESS && !p->writeFailed;
    if (!ok && p->error.empty())
        p->fail(cairo_status_to_string(status));
    if (std::fflush(p->file) != 0 || std::fclose(p->file) != 0) {
        if (ok)
            p->fail(std::strerror(errno));
        ok = false;
    }
    p->file = nullptr;
    if (ok && ::rename(p->temporary.c_str(), p->target.c_str()) != 0) {
        p->fail(std::strerror(errno));
        ok = false;
    }
    if (!ok)
        ::unlink(p->temporary.c_str());
    p->temporary.clear();
    return ok ? 1 : -1;
}

const char* PDF_get_errmsg(PDF* p) {
    return p->error.c_str();
}

}  // namespace output
