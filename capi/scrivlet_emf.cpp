// The C boundary of libscrivlet-emf: handles, status codes and texts. No
// exception leaves a function of this file; every one is turned into a
// status and the thread's last error.

#include "capi/scrivlet_emf.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <fstream>
#include <limits>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/console_ui.h"
#include "app/session.h"
#include "metafile/dc.h"
#include "metafile/dib_section.h"
#include "metafile/metafile.h"
#include "metafile/player.h"
#include "render/background.h"
#include "render/page_renderer.h"

struct scrivlet_emf {
    explicit scrivlet_emf(metafile::Metafile page) : metafile(std::move(page)) {
        // The converter's defaults: no supersampling, a white page, no
        // date stamp, 100 percent.
        session.RenderOptions.KodAntialias = 0;
        session.RenderOptions.lvBkGrHathStyle = 100;  // white
        session.RenderOptions.lvIncludeDateTime = false;
        session.RenderOptions.lvSharpen = false;
        session.RenderOptions.ScaleCur = 100;
    }

    metafile::Metafile metafile;
    app::Session session;
    app::ConsoleUi ui;
    render::PageRenderer renderer{session, ui};
    metafile::PlaybackReport report;
    bool rendered = false;
    // The text scrivlet_emf_report_text hands out, kept until the next call.
    mutable std::string reportText;
};

namespace {

thread_local std::string t_lastError;

scrivlet_emf_status fail(scrivlet_emf_status status, std::string text) {
    try {
        t_lastError = std::move(text);
    } catch (...) {
        t_lastError.clear();
    }
    return status;
}

scrivlet_emf_status succeed() {
    t_lastError.clear();
    return SCRIVLET_EMF_OK;
}

// Runs `body` and turns whatever it throws into a status.
template <class Body>
scrivlet_emf_status guarded(Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return fail(SCRIVLET_EMF_ERROR_MEMORY, "not enough memory");
    } catch (const std::exception& e) {
        return fail(SCRIVLET_EMF_ERROR_RENDER, e.what());
    } catch (...) {
        return fail(SCRIVLET_EMF_ERROR_RENDER, "an unknown failure");
    }
}

bool validDpi(double dpi) {
    return std::isfinite(dpi) && dpi > 0 && dpi <= 100000;
}

scrivlet_emf_status openBytes(std::vector<std::byte> bytes, scrivlet_emf** out) {
    auto page = metafile::Metafile::fromBytes(std::move(bytes));
    if (!page)
        return fail(SCRIVLET_EMF_ERROR_FORMAT, page.error().message);
    *out = new scrivlet_emf(std::move(*page));
    return succeed();
}

std::optional<render::PageLayout> layoutFor(scrivlet_emf& emf, double dpi) {
    return emf.renderer.layoutPage(dpi, &emf.metafile);
}

void appendLine(std::string& text, const std::string& line) {
    text += line;
    text += '\n';
}

}  // namespace

extern "C" {

scrivlet_emf_status scrivlet_emf_open_memory(const void* data, size_t size, scrivlet_emf** out) {
    return guarded([&] {
        if (out == nullptr)
            return fail(SCRIVLET_EMF_ERROR_ARGUMENT, "no place for the handle");
        *out = nullptr;
        if (data == nullptr && size != 0)
            return fail(SCRIVLET_EMF_ERROR_ARGUMENT, "no bytes given");
        if (size > metafile::Metafile::kMaxBytes)
            return fail(SCRIVLET_EMF_ERROR_FORMAT, "too large to be a page (over 512 MiB)");
        const auto* first = static_cast<const std::byte*>(data);
        return openBytes(std::vector<std::byte>(first, first + size), out);
    });
}

scrivlet_emf_status scrivlet_emf_open_file(const char* path, scrivlet_emf** out) {
    return guarded([&] {
        if (out == nullptr)
            return fail(SCRIVLET_EMF_ERROR_ARGUMENT, "no place for the handle");
        *out = nullptr;
        if (path == nullptr)
            return fail(SCRIVLET_EMF_ERROR_ARGUMENT, "no file name given");
        std::ifstream in(path, std::ios::binary);
        if (!in)
            return fail(SCRIVLET_EMF_ERROR_IO, std::string("cannot open ") + path);
        // Read at most one byte past the limit: a larger file is refused
        // without reading it all.
        std::vector<std::byte> bytes;
        constexpr std::size_t kChunk = 1 << 16;
        while (in && bytes.size() <= metafile::Metafile::kMaxBytes) {
            const std::size_t have = bytes.size();
            bytes.resize(have + kChunk);
            in.read(reinterpret_cast<char*>(bytes.data() + have), kChunk);
            bytes.resize(have + static_cast<std::size_t>(in.gcount()));
        }
        if (in.bad())
            return fail(SCRIVLET_EMF_ERROR_IO, std::string("cannot read ") + path);
        if (bytes.size() > metafile::Metafile::kMaxBytes)
            return fail(SCRIVLET_EMF_ERROR_FORMAT, "too large to be a page (over 512 MiB)");
        return openBytes(std::move(bytes), out);
    });
}

scrivlet_emf_status scrivlet_emf_page_size_mm(const scrivlet_emf* emf, double* width_mm, double* height_mm) {
    return guarded([&] {
        if (emf == nullptr || width_mm == nullptr || height_mm == nullptr)
            return fail(SCRIVLET_EMF_ERROR_ARGUMENT, "a NULL argument");
        const auto& frame = emf->metafile.header().rclFrame;
        *width_mm = (double(frame.right) - frame.left) * 0.01;
        *height_mm = (double(frame.bottom) - frame.top) * 0.01;
        return succeed();
    });
}

scrivlet_emf_status scrivlet_emf_pixel_size(scrivlet_emf* emf, double dpi, uint32_t* width,
                                            uint32_t* height) {
    return guarded([&] {
        if (emf == nullptr || width == nullptr || height == nullptr)
            return fail(SCRIVLET_EMF_ERROR_ARGUMENT, "a NULL argument");
        if (!validDpi(dpi))
            return fail(SCRIVLET_EMF_ERROR_ARGUMENT, "the resolution is not a positive number up to 100000");
        const auto layout = layoutFor(*emf, dpi);
        if (!layout)
            return fail(SCRIVLET_EMF_ERROR_SIZE, "the page is empty or too large at this resolution");
        *width = static_cast<uint32_t>(layout->columns);
        *height = static_cast<uint32_t>(layout->rows);
        return succeed();
    });
}

scrivlet_emf_status scrivlet_emf_render(scrivlet_emf* emf, double dpi, uint32_t first_row, uint32_t row_count,
                                        uint8_t* rgba, size_t stride, size_t buffer_size) {
    return guarded([&] {
        if (emf == nullptr || rgba == nullptr)
            return fail(SCRIVLET_EMF_ERROR_ARGUMENT, "a NULL argument");
        if (!validDpi(dpi))
            return fail(SCRIVLET_EMF_ERROR_ARGUMENT, "the resolution is not a positive number up to 100000");
        const auto layout = layoutFor(*emf, dpi);
        if (!layout)
            return fail(SCRIVLET_EMF_ERROR_SIZE, "the page is empty or too large at this resolution");
        const auto columns = static_cast<std::size_t>(layout->columns);
        const auto rows = static_cast<unsigned long long>(layout->rows);
        if (row_count == 0 || first_row >= rows || row_count > rows - first_row)
            return fail(SCRIVLET_EMF_ERROR_ARGUMENT, "the rows lie outside the page");
        const std::size_t rowBytes = columns * 4;
        if (stride < rowBytes)
            return fail(SCRIVLET_EMF_ERROR_BUFFER, "the stride is shorter than a row");
        // The last row needs only its pixels, not a whole stride.
        const std::size_t maxRows = std::numeric_limits<std::size_t>::max() / stride;
        if (row_count - 1 > maxRows || (row_count - 1) * stride > buffer_size ||
            buffer_size - (row_count - 1) * stride < rowBytes)
            return fail(SCRIVLET_EMF_ERROR_BUFFER, "the buffer is too small for the rows");

        // The strip is drawn as the page renderer draws its strips: the
        // page's rectangle moved up by the strip's first row.
        auto strip = metafile::DibSection::create(static_cast<int>(columns), static_cast<int>(row_count));
        if (!strip)
            return fail(SCRIVLET_EMF_ERROR_MEMORY, "no drawing surface for the rows");
        metafile::Dc dc(*strip);
        const auto offset = static_cast<std::int32_t>(first_row);
        const metafile::RectL rect{0, -offset, static_cast<std::int32_t>(columns),
                                   static_cast<std::int32_t>(rows) - offset};
        render::drawBackground(emf->session, dc, rect, offset, -1, -1, -1);
        auto report = metafile::playMetafile(emf->metafile, dc, rect);
        for (uint32_t y = 0; y < row_count; ++y) {
            const std::uint32_t* from = strip->row(static_cast<int>(y));
            uint8_t* to = rgba + static_cast<std::size_t>(y) * stride;
            for (std::size_t x = 0; x < columns; ++x) {
                const std::uint32_t p = from[x];
                to[4 * x] = static_cast<uint8_t>(p >> 16);
                to[4 * x + 1] = static_cast<uint8_t>(p >> 8);
                to[4 * x + 2] = static_cast<uint8_t>(p);
                to[4 * x + 3] = 0xFF;
            }
        }
        emf->report = std::move(report);
        emf->rendered = true;
        return succeed();
    });
}

scrivlet_emf_status scrivlet_emf_get_report(const scrivlet_emf* emf, scrivlet_emf_report* report) {
    return guarded([&] {
        if (emf == nullptr || report == nullptr)
            return fail(SCRIVLET_EMF_ERROR_ARGUMENT, "a NULL argument");
        *report = scrivlet_emf_report{};
        const auto& r = emf->report;
        report->records_played = r.recordsPlayed;
        report->drawing_records = r.drawingRecords;
        for (const auto& [type, count] : r.skipped) report->skipped_records += count;
        for (const auto& [type, count] : r.malformed) report->malformed_records += count;
        report->truncated = r.truncation.empty() ? 0 : 1;
        report->cut = r.cut.empty() ? 0 : 1;
        report->emf_plus = r.emfPlus ? 1 : 0;
        return succeed();
    });
}

const char* scrivlet_emf_report_text(const scrivlet_emf* emf) {
    if (emf == nullptr)
        return nullptr;
    const scrivlet_emf* self = emf;
    try {
        const auto& r = self->report;
        std::string text;
        if (!r.truncation.empty())
            appendLine(text, "record list cut: " + r.truncation);
        if (!r.cut.empty())
            appendLine(text, "playback stopped: " + r.cut);
        for (const auto& note : r.notes) appendLine(text, note);
        if (r.emfPlusOnly)
            appendLine(text, "EMF+ records only: nothing drawn by EMF records");
        self->reportText = std::move(text);
    } catch (...) {
        self->reportText.clear();
    }
    return self->reportText.c_str();
}

void scrivlet_emf_close(scrivlet_emf* emf) {
    delete emf;
}

const char* scrivlet_emf_last_error(void) {
    return t_lastError.c_str();
}

const char* scrivlet_emf_status_text(scrivlet_emf_status status) {
    switch (status) {
        case SCRIVLET_EMF_OK:
            return "no error";
        case SCRIVLET_EMF_ERROR_ARGUMENT:
            return "invalid argument";
        case SCRIVLET_EMF_ERROR_IO:
            return "the file cannot be read";
        case SCRIVLET_EMF_ERROR_FORMAT:
            return "not an enhanced metafile";
        case SCRIVLET_EMF_ERROR_SIZE:
            return "the page is empty or too large at this resolution";
        case SCRIVLET_EMF_ERROR_BUFFER:
            return "the buffer is too small";
        case SCRIVLET_EMF_ERROR_MEMORY:
            return "not enough memory";
        case SCRIVLET_EMF_ERROR_RENDER:
            return "the page could not be drawn";
    }
    return "unknown status";
}

}  // extern "C"
