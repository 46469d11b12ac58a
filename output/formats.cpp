#include "output/formats.h"

#include <mutex>
#include <optional>
#include <span>

#include "app/session.h"
#include "app/settings_store.h"
#include "app/ui_port.h"
#include "output/encoding.h"
#include "output/image_file.h"
#include "output/jpeg_preview.h"
#include "platform/folders.h"
#include "render/magick_guard.h"

namespace output {
namespace {

using app::FormatCode;
using platform::RegRoot;

}  // namespace

const std::array<FormatInfo, 5>& formats() {
    static const std::array<FormatInfo, 5> list = {{
        {FormatCode::JPG, "JPG (JPEG file interchange format)", "*.jpg", ".jpg"},
        {FormatCode::GIF, "GIF (Graphics Interchange Format)", "*.gif", ".gif"},
        {FormatCode::PNG, "PNG (Portable Network Graphics)", "*.png", ".png"},
        {FormatCode::BMP, "BMP (Windows Bitmap)", "*.bmp", ".bmp"},
        {FormatCode::TIF, "TIF (TIFF Tagged Image File Format)", "*.tif", ".tif"},
    }};
    return list;
}

FormatCode currentFormatCode(const app::FormatFlags& f) {
    if (f.JPG_Default)
        return FormatCode::JPG;
    if (f.GIF_Default)
        return FormatCode::GIF;
    if (f.PNG_Default)
        return FormatCode::PNG;
    if (f.TIF_Default)
        return FormatCode::TIF;
    return FormatCode::BMP;
}

std::string_view extensionOf(const app::FormatFlags& flags) {
    return formats()[static_cast<std::size_t>(currentFormatCode(flags)) - 1].extension;
}

FormatService::FormatService(app::Session& session, app::SettingsStore& store,
                             const platform::PlatformFolders& folders, app::UserInterfacePort& ui)
    : m_session(session), m_store(store), m_folders(folders), m_ui(ui) {}

std::string FormatService::pdfInsideFormat() const {
    const auto stored = m_store.readString(RegRoot::CurrentUser, "PDF_Bitmp_Format");
    return stored && !stored->empty() ? *stored : "BMP";
}

std::string FormatService::previewPath() const {
    const auto work = m_folders.workFolder();
    const std::string folder = work ? work->string() : std::string();
    std::string extension;
    switch (m_session.MultipageMode.load()) {
        case 0:
            extension = std::string(extensionOf(m_session.CurrentFormat));
            break;
        case 1: {
            const auto stored = m_store.readString(RegRoot::CurrentUser, "PDF_Bitmp_Format");
            extension = stored && !stored->empty() ? "." + *stored : ".bmp";
            break;
        }
        case 2:
            extension = ".tif";
            break;
        case 3:
            extension = ".gif";
            break;
        default:
            extension = ".bmp";
            break;
    }
    return platform::joinPath(folder, "~CurImg" + extension);
}

void FormatService::applyEncodingOptions(Magick::Image& image, double dpi) {
    if (image.columns() == 0 || image.rows() == 0)
        return;  // a render that failed has been reported already
    const app::FormatSettings& o = m_session.formatOptions;
    const int mode = m_session.MultipageMode.load();
    // 1. The option set.
    const OptionSet set =
        chooseOptionSet(mode, m_session.CurrentFormat, mode == 1 ? pdfInsideFormat() : std::string());
    // 2 to 4. The set, the density and the sharpening.
    if (auto reason = render::magickCall([&] {
            applyOptionSet(image, set, o);
            applyDensity(image, dpi);
            if (m_session.RenderOptions.lvSharpen)
                image.sharpen(2.0, 0.9);
        })) {
        m_ui.showMessage("cannot prepare the page for its image format: " + *reason, app::kMessageCaption,
                         app::MessageButtons::Ok, app::MessageIcon::Error);
        return;
    }
    // 5. Thumbnails stop here.
    if (m_session.ThumbnailMode)
        return;
    // 6, 7. The encoded preview, read back so that the view shows its losses.
    if (mode != 0 || !encodedPreview)
        return;
    const auto work = m_folders.workFolder();
    if (!work)
        return;
    const std::filesystem::path preview = previewPath();
    if (auto folder = platform::ensurePrivateFolder(*work); !folder) {
        reportOutputError(m_ui, OutputError{preview.string(), folder.error().message});
        return;
    }
    auto encoded = encodeImage(image, encoderFor(preview), preview);
    if (!encoded) {
        reportOutputError(m_ui, encoded.error());
        return;
    }
    const auto written =
        replaceFile(preview, std::span(static_cast<const std::byte*>(encoded->data()), encoded->length()));
    if (!written) {
        reportOutputError(m_ui, written.error());
        return;
    }
    // A JPEG is decoded into the page's own pixels. Any other format: the
    // page's pixels go before the decoder makes the new ones, so that a
    // large page is not held twice. Either way the image keeps its options
    // (the density among them), and a read that fails leaves no page to
    // show.
    std::optional<std::string> reason;
    if (encoderFor(preview) == "JPEG") {
        reason =
            readJpegInto(image, std::span(static_cast<const std::byte*>(encoded->data()), encoded->length()));
    } else {
        reason = render::magickCall([&] {
            image.crop(Magick::Geometry(1, 1));
            image.read(*encoded);
        });
    }
    if (reason) {
        image = Magick::Image();
        m_ui.showMessage("cannot read back " + preview.string() + ": " + *reason, app::kMessageCaption,
                         app::MessageButtons::Ok, app::MessageIcon::Error);
    }
    m_session.RenderStatus.encodedSizeKb = static_cast<std::int32_t>(*written >> 10);
}

void FormatService::writeFlags() {
    const auto& f = m_session.CurrentFormat;
    m_store.writeDword(RegRoot::CurrentUser, "JPG_Default", f.JPG_Default ? 1 : 0);
    m_store.writeDword(RegRoot::CurrentUser, "GIF_Default", f.GIF_Default ? 1 : 0);
    m_store.writeDword(RegRoot::CurrentUser, "PNG_Default", f.PNG_Default ? 1 : 0);
    m_store.writeDword(RegRoot::CurrentUser, "BMP_Default", f.BMP_Default ? 1 : 0);
    m_store.writeDword(RegRoot::CurrentUser, "TIF_Default", f.TIF_Default ? 1 : 0);
}

void FormatService::selectFormat(int code, const std::function<void()>& rerender) {
    if (code < 1 || code > 5)
        return;
    const auto wanted = static_cast<FormatCode>(code);
    const auto& f = m_session.CurrentFormat;
    const bool already =
        (wanted == FormatCode::JPG && f.JPG_Default) || (wanted == FormatCode::GIF && f.GIF_Default) ||
        (wanted == FormatCode::PNG && f.PNG_Default) || (wanted == FormatCode::BMP && f.BMP_Default) ||
        (wanted == FormatCode::TIF && f.TIF_Default);
    if (already)
        return;
    {
        std::lock_guard lock(m_session.renderLock);
        m_session.CurrentFormat =
            app::FormatFlags{wanted == FormatCode::JPG, wanted == FormatCode::GIF, wanted == FormatCode::PNG,
                             wanted == FormatCode::BMP, wanted == FormatCode::TIF};
    }
    writeFlags();
    m_ui.beginWaitCursor();
    const int current = m_session.PageList.currentPage.load();
    if (current >= 0 && current < m_session.PageList.count()) {
        if (rerender)
            rerender();
        m_ui.invalidate(app::UiWindow::PageView, std::nullopt, false);
    } else {
        m_session.PageList.currentPage = -1;
    }
    m_ui.endWaitCursor();
}

void FormatService::commitFormatPage(FormatCode code, const app::FormatSettings& v) {
    app::FormatSettings& o = m_session.formatOptions;
    auto put = [&](const char* name, std::int32_t value) {
        m_store.writeDword(RegRoot::CurrentUser, name, static_cast<std::uint32_t>(value));
    };
    // The options change under the render lock; the store is written after.
    std::unique_lock lock(m_session.renderLock);
    switch (code) {
        case FormatCode::GIF:
            o.GIF_Colors = v.GIF_Colors, o.GIF_IndexGray = v.GIF_IndexGray, o.GIF_Delay = v.GIF_Delay;
            o.GIF_Dither = v.GIF_Dither, o.GIF_Interlace = v.GIF_Interlace;
            lock.unlock();
            put("GIF_Colors", v.GIF_Colors), put("GIF_IndexGray", v.GIF_IndexGray),
                put("GIF_Delay", v.GIF_Delay);
            put("GIF_Dither", v.GIF_Dither), put("GIF_Interlace", v.GIF_Interlace);
            break;
        case FormatCode::PNG:
            o.PNG_TrueIndexGray = v.PNG_TrueIndexGray, o.PNG_Colors = v.PNG_Colors;
            o.PNG_Interlace = v.PNG_Interlace, o.PNG_Dither = v.PNG_Dither;
            lock.unlock();
            put("PNG_TrueIndexGray", v.PNG_TrueIndexGray), put("PNG_Colors", v.PNG_Colors);
            put("PNG_Interlace", v.PNG_Interlace), put("PNG_Dither", v.PNG_Dither);
            break;
        case FormatCode::TIF:
            o.TIF_TrueIndexGray = v.TIF_TrueIndexGray, o.TIF_Colors = v.TIF_Colors, o.TIF_Lzw = v.TIF_Lzw;
            lock.unlock();
            put("TIF_TrueIndexGray", v.TIF_TrueIndexGray), put("TIF_Colors", v.TIF_Colors),
                put("TIF_Lzw", v.TIF_Lzw);
            break;
        case FormatCode::JPG:
            o.JPG_Gray = v.JPG_Gray, o.JPG_Progress = v.JPG_Progress, o.JPG_Quality = v.JPG_Quality;
            lock.unlock();
            put("JPG_Gray", v.JPG_Gray), put("JPG_Progress", v.JPG_Progress),
                put("JPG_Quality", v.JPG_Quality);
            break;
        case FormatCode::BMP:
            break;
    }
}

void FormatService::commitExtraPage(int kind, std::int32_t gifDelay, const std::string& pdfInsideFormat) {
    if (kind == 1) {
        {
            std::lock_guard lock(m_session.renderLock);
            m_session.formatOptions.GIF_Delay = gifDelay;
        }
        m_store.writeDword(RegRoot::CurrentUser, "GIF_Delay", static_cast<std::uint32_t>(gifDelay));
    } else if (kind == 2) {
        m_store.writeString(RegRoot::CurrentUser, "PDF_Bitmp_Format", pdfInsideFormat);
    }
}

void FormatService::commitFullSheet(const app::FormatSettings& values, const std::string& pdfInsideFormat) {
    {
        std::lock_guard lock(m_session.renderLock);
        m_session.options.lvKodPreset = 0;
    }
    m_store.writeDword(RegRoot::CurrentUser, "lvKodPreset", 0);
    commitFormatPage(FormatCode::JPG, values);
    commitFormatPage(FormatCode::GIF, values);
    commitFormatPage(FormatCode::PNG, values);
    commitFormatPage(FormatCode::TIF, values);
    writeFlags();
    m_store.writeString(RegRoot::CurrentUser, "PDF_Bitmp_Format", pdfInsideFormat);
}

}  // namespace output
