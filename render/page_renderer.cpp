#include "render/page_renderer.h"

#include <locale.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <ctime>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "app/session.h"
#include "app/ui_port.h"
#include "metafile/dc.h"
#include "metafile/metafile.h"
#include "metafile/player.h"
#include "platform/large_pages.h"
#include "render/background.h"
#include "render/bitmap.h"
#include "render/box_average.h"
#include "render/date_stamp.h"
#include "render/magick_guard.h"
#include "render/strip_threads.h"

namespace render {
namespace {

constexpr double kInchPerHundredthMm = 0.0003937007874015748;  // 1/2540

int outputRowsFor(int n) {
    if (n < 4)
        return 200;
    if (n < 6)
        return 100;
    if (n < 8)
        return 80;
    if (n < 10)
        return 60;
    if (n < 12)
        return 40;
    return 20;
}

using MagickCore::Quantum;  // QuantumRange names it unqualified

// 8-bit channels to the library's quantum and back, with its own range.
constexpr double kQuantumPerByte = double(QuantumRange) / 255.0;

Magick::Quantum quantum(std::uint32_t byte) {
    return static_cast<Magick::Quantum>(byte * kQuantumPerByte + 0.5);
}

}  // namespace

StripPlan planStrips(long long rows, int factor) {
    StripPlan plan;
    plan.factor = std::max(factor, 1);
    if (plan.factor == 1) {
        plan.outputRows = 200;
        plan.stripHeight = 200;
        plan.strips = static_cast<int>(std::floor(rows * 0.005)) + 1;
    } else {
        plan.outputRows = outputRowsFor(plan.factor);
        plan.stripHeight = plan.factor * plan.outputRows;
        plan.strips = static_cast<int>(rows * plan.factor / plan.stripHeight) + 1;
    }
    return plan;
}

std::string localDateTime() {
    // The user's locale for dates and times, as GetDateFormat with
    // DATE_SHORTDATE and GetTimeFormat give them.
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[128] = {};
    locale_t loc = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(nullptr));
    if (loc == static_cast<locale_t>(nullptr))
        loc = newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(nullptr));
    strftime_l(text, sizeof text, "%x %X", &local, loc);
    freelocale(loc);
    return text;
}

PageRenderer::PageRenderer(app::Session& session, app::UserInterfacePort& ui) : m_session(session), m_ui(ui) {
    dateStamp = localDateTime;
}

std::optional<PageLayout> PageRenderer::layoutPage(double dpi, const metafile::Metafile* page) {
    app::Session& s = m_session;
    const bool thumbnail = s.ThumbnailMode.load();
    const double resolution = dpi <= 0 ? 72 : dpi;

    // 1. The page size.
    long long columns = 250, rows = 200;
    if (page != nullptr) {
        const auto& frame = page->header().rclFrame;
        double w = double(frame.right) - frame.left, h = double(frame.bottom) - frame.top;
        s.RenderStatus.pageWidthMm = static_cast<std::int32_t>(std::ceil(w * 0.01));
        s.RenderStatus.pageHeightMm = static_cast<std::int32_t>(std::ceil(h * 0.01));
        if (!thumbnail) {
            w = std::trunc(s.RenderOptions.ScaleCur * 0.01 * w);
            h = std::trunc(s.RenderOptions.ScaleCur * 0.01 * h);
        }
        columns = static_cast<long long>(std::ceil(w * resolution * kInchPerHundredthMm));
        rows = static_cast<long long>(std::ceil(h * resolution * kInchPerHundredthMm));
    }
    // 2. The supersampling factor.
    const int n = (s.RenderOptions.KodAntialias >= 2 && !thumbnail) ? s.RenderOptions.KodAntialias : 1;
    if (columns <= 0 || rows <= 0 || columns > 1'000'000 || rows > 1'000'000 ||
        columns * n > metafile::DibSection::kMaxPixels) {
        return std::nullopt;
    }
    // 3. The strips.
    return PageLayout{columns, rows, planStrips(rows, n)};
}

std::string PageRenderer::stampText(const metafile::Metafile* page) const {
    const app::Session& s = m_session;
    return (s.RenderOptions.lvIncludeDateTime && page != nullptr && !s.ThumbnailMode.load() && dateStamp)
               ? dateStamp()
               : std::string();
}

namespace {

std::mutex g_keptMutex;
std::vector<std::unique_ptr<StripWorkspace>> g_kept;

}  // namespace

StripWorkspace::Lease StripWorkspace::lease() {
    {
        std::lock_guard lock(g_keptMutex);
        if (!g_kept.empty()) {
            Lease kept(g_kept.back().release());
            g_kept.pop_back();
            return kept;
        }
    }
    return Lease(new StripWorkspace);
}

void StripWorkspace::GiveBack::operator()(StripWorkspace* workspace) const {
    std::unique_ptr<StripWorkspace> owned(workspace);
    const std::size_t bytes = (owned->m_surface ? owned->m_surface->heldBytes() : 0) +
                              owned->m_sums.capacity() * sizeof(std::uint16_t);
    const std::size_t most = std::max(1u, std::thread::hardware_concurrency());
    std::lock_guard lock(g_keptMutex);
    if (bytes <= kKeptBytes && g_kept.size() < most)
        g_kept.push_back(std::move(owned));
}

metafile::DibSection* StripWorkspace::band(int width, int rows, int first, int height) {
    if (!m_surface) {
        m_surface = metafile::DibSection::create(width, rows);
        if (!m_surface)
            return nullptr;
    }
    if (!m_surface->reshapeBand(width, rows, first, height))
        return nullptr;
    return &*m_surface;
}

bool PageRenderer::renderStrip(const PageLayout& layout, int i, const metafile::Metafile* page,
                               const std::string& stamp, StripRows& out,
                               metafile::PlaybackReport* report) const {
    StripWorkspace workspace;
    return renderStrip(layout, i, page, stamp, out, workspace, report);
}

bool PageRenderer::renderStrip(const PageLayout& layout, int i, const metafile::Metafile* page,
                               const std::string& stamp, StripRows& out, StripWorkspace& workspace,
                               metafile::PlaybackReport* report) const {
    const app::Session& s = m_session;
    const int n = layout.plan.factor;
    const long long columns = layout.columns, rows = layout.rows;
    const long long offset = static_cast<long long>(i) * layout.plan.stripHeight;
    const long long height = std::min<long long>(layout.plan.stripHeight, rows * n - offset);
    out.first = static_cast<long long>(i) * layout.plan.outputRows;
    out.columns = columns;
    out.count = 0;
    if (height < 1)
        return true;  // the rows divided evenly
    out.count = height / n;
    platform::resizeLarge(out.pixels, static_cast<std::size_t>(out.count * columns));
    // The strip is drawn in bands small enough to stay in the processor's
    // cache from the first fill to the average. Each band draws the whole
    // strip's picture (the page played again, shapes cut as for the whole
    // strip) and keeps only its own rows, so the rows are the same for any
    // band height.
    const long long rowBytes = columns * n * n * 4;  // one output row's supersampled pixels
    const long long bandOutputRows =
        std::clamp<long long>(bandBytes / std::max<long long>(rowBytes, 1), 1, out.count);
    const metafile::RectL rect{0, static_cast<std::int32_t>(-offset), static_cast<std::int32_t>(columns * n),
                               static_cast<std::int32_t>(rows * n - offset)};
    for (long long done = 0; done < out.count; done += bandOutputRows) {
        const long long bandRows = std::min(bandOutputRows, out.count - done);
        metafile::DibSection* band =
            workspace.band(static_cast<int>(columns * n), static_cast<int>(bandRows * n),
                           static_cast<int>(done * n), static_cast<int>(height));
        if (band == nullptr)
            return false;
        metafile::Dc dc(*band);
        drawBackground(s, dc, rect, static_cast<int>(offset), -1, -1, -1);
        if (page != nullptr) {
            auto played = metafile::playMetafile(*page, dc, rect);
            if (report != nullptr && done == 0) {
                *report = std::move(played);
            } else if (report != nullptr) {
                report->addCut(played.cut);
            }
        } else {
            dc.setBkMode(metafile::gdi::OPAQUE);
            dc.drawText("This format not supported!", rect,
                        metafile::gdi::DT_CENTER | metafile::gdi::DT_VCENTER | metafile::gdi::DT_SINGLELINE);
        }
        if (!stamp.empty())
            drawDateStamp(dc, rect, stamp, s.RenderOptions.KodAntialias);
        // The reduction: the N x N box average, truncated, of each block.
        boxAverage(band->pixels().data(), band->width(), static_cast<int>(bandRows * n), n, columns,
                   out.pixels.data() + done * columns, static_cast<std::ptrdiff_t>(columns),
                   workspace.sums());
    }
    return true;
}

Magick::Image PageRenderer::renderPage(double dpi, const metafile::Metafile* page,
                                       metafile::PlaybackReport* report) {
    Magick::Image image;
    if (auto reason = magickCall([&] { image = renderRaster(dpi, page, report); })) {
        m_ui.showMessage("cannot render the page: " + *reason, app::kMessageCaption, app::MessageButtons::Ok,
                         app::MessageIcon::Error);
        return Magick::Image();
    }
    if (image.columns() == 0)
        return image;
    // 6. The format's options.
    if (applyEncodingOptions) {
        if (auto reason = magickCall([&] { applyEncodingOptions(image, dpi); })) {
            m_ui.showMessage("cannot encode the page: " + *reason, app::kMessageCaption,
                             app::MessageButtons::Ok, app::MessageIcon::Error);
        }
    }
    // 7. The info line repaints.
    const app::UiRect client = m_ui.clientRect(app::UiWindow::MainWindow);
    m_ui.invalidate(app::UiWindow::MainWindow,
                    app::UiRect{client.left + 10, client.bottom - 25, client.right - 200, client.bottom - 4},
                    false);
    return image;
}

Magick::Image PageRenderer::renderRaster(double dpi, const metafile::Metafile* page,
                                         metafile::PlaybackReport* report) {
    const auto layout = layoutPage(dpi, page);
    if (!layout)
        return Magick::Image();
    const long long columns = layout->columns;
    Magick::Image image =
        unfilledImage(static_cast<std::size_t>(columns), static_cast<std::size_t>(layout->rows));
    std::size_t rowsSet = 0;

    // 4. The progress bar, removed however the render ends.
    m_ui.progressBegin(layout->plan.strips);
    struct ProgressEnd {
        app::UserInterfacePort& ui;
        ~ProgressEnd() { ui.progressEnd(); }
    } progressEnd{m_ui};
    const std::string stamp = stampText(page);
    const StripsOutcome outcome =
        drawStrips(*this, *layout, page, stamp, stripThreads > 0 ? stripThreads : defaultStripThreads(),
                   report, [&](int index, const StripRows& strip) {
                       m_ui.progressSetPosition(index);
                       if (strip.count == 0)
                           return false;
                       // 5. Transfer: a row at a time, each synchronised at once.
                       if (!copyRows(strip, image) && layout->plan.factor > 1)
                           m_ui.showMessage("q == (PixelPacket *) NULL", "", app::MessageButtons::Ok,
                                            app::MessageIcon::None);
                       rowsSet = static_cast<std::size_t>(strip.first + strip.count);
                       return true;
                   });
    if (outcome == StripsOutcome::NoSurface)
        return Magick::Image();
    if (outcome == StripsOutcome::Stopped)
        whitenRows(image, rowsSet);  // the rows of the strips that never came
    return image;
}

namespace {

// A page's pixels in memory are written once, row after row, as the strips
// arrive: in large pages the kernel maps them in a few hundred faults
// instead of tens of thousands.
void adviseImagePages(Magick::Image& image) {
    MagickCore::Image* raw = image.image();
    if (MagickCore::GetImagePixelCacheType(raw) != MagickCore::MemoryCache)
        return;
    Magick::PixelPacket* first = image.setPixels(0, 0, image.columns(), 1);
    if (first == nullptr)
        return;
    platform::adviseLargePages(first, image.columns() * image.rows() * sizeof(Magick::PixelPacket));
}

}  // namespace

Magick::Image unfilledImage(std::size_t columns, std::size_t rows) {
    // The library's own constructor paints every pixel first; the strips
    // write every pixel anyway.
    MagickCore::ImageInfo* info = MagickCore::AcquireImageInfo();
    MagickCore::Image* raw = MagickCore::AcquireImage(info);
    MagickCore::DestroyImageInfo(info);
    if (raw == nullptr)
        throw std::bad_alloc();
    if (MagickCore::SetImageExtent(raw, columns, rows) == MagickCore::MagickFalse) {
        MagickCore::DestroyImage(raw);
        // The library's constructor says why.
        Magick::Image image(Magick::Geometry(columns, rows), Magick::Color("white"));
        image.modifyImage();
        return image;
    }
    Magick::Image image(raw);
    image.modifyImage();
    adviseImagePages(image);
    return image;
}

void whitenRows(Magick::Image& image, std::size_t first) {
    const std::size_t columns = image.columns();
    for (std::size_t y = first; y < image.rows(); ++y) {
        Magick::PixelPacket* q = image.setPixels(0, static_cast<ssize_t>(y), columns, 1);
        if (q == nullptr)
            return;
        for (std::size_t x = 0; x < columns; ++x) {
            q[x].red = q[x].green = q[x].blue = QuantumRange;
            q[x].opacity = 0;
        }
        image.syncPixels();
    }
}

bool copyRows(const StripRows& strip, Magick::Image& image) {
    const auto columns = static_cast<std::size_t>(strip.columns);
    for (long long y = 0; y < strip.count; ++y) {
        Magick::PixelPacket* q = image.setPixels(0, static_cast<ssize_t>(strip.first + y), columns, 1);
        if (q == nullptr)
            return false;
        const std::uint32_t* row = strip.row(y);
        for (std::size_t x = 0; x < columns; ++x) {
            q[x].red = quantum((row[x] >> 16) & 0xFF);
            q[x].green = quantum((row[x] >> 8) & 0xFF);
            q[x].blue = quantum(row[x] & 0xFF);
            q[x].opacity = 0;
        }
        image.syncPixels();
    }
    return true;
}

Bitmap imageToBitmap(const Magick::Image& image) {
    Bitmap bitmap;
    if (image.columns() == 0 || image.rows() == 0)
        return bitmap;
    bitmap.width = static_cast<int>(image.columns());
    bitmap.height = static_cast<int>(image.rows());
    bitmap.pixels.resize(static_cast<std::size_t>(bitmap.width) * static_cast<std::size_t>(bitmap.height));
    const Magick::PixelPacket* p = image.getConstPixels(0, 0, image.columns(), image.rows());
    if (p == nullptr)
        return Bitmap{};
    auto byte = [](Magick::Quantum q) { return static_cast<std::uint32_t>(q / kQuantumPerByte + 0.5); };
    for (std::size_t i = 0; i < bitmap.pixels.size(); ++i) {
        bitmap.pixels[i] =
            (byte(p[i].opacity) << 24) | (byte(p[i].red) << 16) | (byte(p[i].green) << 8) | byte(p[i].blue);
    }
    return bitmap;
}

}  // namespace render
