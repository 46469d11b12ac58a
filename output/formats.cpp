#include "output/formats.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <system_error>

#include "app/session.h"
#include "app/settings_store.h"
#include "app/ui_port.h"
#include "platform/folders.h"

namespace output {
namespace {

using app::FormatCode;
using platform::RegRoot;

enum class OptionSet { None, JPG, GIF, PNG, TIF, BMP };

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
    const app::FormatSettings& o = m_session.formatOptions;
    const int mode = m_session.MultipageMode.load();
    // 1. The option set.
    OptionSet set = OptionSet::None;
    if (mode <= 0) {
        const auto& f = m_session.CurrentFormat;
        set = f.JPG_Default   ? OptionSet::JPG
              : f.GIF_Default ? OptionSet::GIF
              : f.PNG_Default ? OptionSet::PNG
              : f.TIF_Default ? OptionSet::TIF
              : f.BMP_Default ? OptionSet::BMP
                              : OptionSet::None;
    } else if (mode == 1) {
        const std::string inside = pdfInsideFormat();
        set = inside == "JPG"   ? OptionSet::JPG
              : inside == "GIF" ? OptionSet::GIF
              : inside == "PNG" ? OptionSet::PNG
              : inside == "TIF" ? OptionSet::TIF
                                : OptionSet::None;
    } else if (mode == 2) {
        set = OptionSet::TIF;
    } else if (mode == 3) {
        set = OptionSet::GIF;
    }
    // 2. The set, call by call.
    switch (set) {
        case OptionSet::JPG:
            image.type(o.JPG_Gray ? Magick::GrayscaleType : Magick::TrueColorType);
            image.interlaceType(o.JPG_Progress ? Magick::LineInterlace : Magick::NoInterlace);
            image.quality(static_cast<std::size_t>(std::max(o.JPG_Quality, 0)));
            break;
        case OptionSet::GIF:
            image.type(o.GIF_IndexGray != 0 ? Magick::GrayscaleType : Magick::PaletteType);
            image.interlaceType(o.GIF_Interlace ? Magick::LineInterlace : Magick::NoInterlace);
            image.quantizeColors(static_cast<std::size_t>(std::clamp(o.GIF_Colors, 2, 256)));
            if (o.GIF_Dither)
                image.quantizeDither(true);
            image.quantize(false);
            break;
        case OptionSet::PNG:
            image.type(o.PNG_TrueIndexGray == 1   ? Magick::PaletteType
                       : o.PNG_TrueIndexGray == 2 ? Magick::GrayscaleType
                                                  : Magick::TrueColorType);
            image.interlaceType(o.PNG_Interlace ? Magick::LineInterlace : Magick::NoInterlace);
            if (o.PNG_TrueIndexGray != 0) {
                image.quantizeColors(static_cast<std::size_t>(std::clamp(o.PNG_Colors, 2, 256)));
                if (o.PNG_Dither)
                    image.quantizeDither(true);
                image.quantize(false);
            }
            break;
        case OptionSet::TIF:
            image.type(o.TIF_TrueIndexGray == 1   ? Magick::PaletteType
                       : o.TIF_TrueIndexGray == 2 ? Magick::GrayscaleType
                       : o.TIF_TrueIndexGray == 3 ? Magick::BilevelType
                                                  : Magick::TrueColorType);
            if (o.TIF_TrueIndexGray == 1 || o.TIF_TrueIndexGray == 2) {
                image.quantizeColors(static_cast<std::size_t>(std::clamp(o.TIF_Colors, 2, 256)));
                image.quantize(false);
            }
            if (o.TIF_Lzw)
                image.compressType(Magick::LZWCompression);
            break;
        case OptionSet::BMP:
            image.type(Magick::TrueColorType);
            image.interlaceType(Magick::NoInterlace);
            break;
        case OptionSet::None:
            break;
    }
    // 3. The resolution travels in the file.
    image.resolutionUnits(Magick::PixelsPerInchResolution);
    const auto r = static_cast<std::size_t>(std::max(0.0, std::trunc(dpi)));
    image.density(Magick::Geometry(r, r));
    // 4. Sharpening.
    if (m_session.RenderOptions.lvSharpen)
        image.sharpen(2.0, 0.9);
    // 5. Thumbnails stop here.
    if (m_session.ThumbnailMode)
        return;
    // 6, 7. The encoded preview, read back so that the view shows its losses.
    if (mode != 0 || !encodedPreview)
        return;
    const auto work = m_folders.workFolder();
    if (!work)
        return;
    std::error_code ec;
    std::filesystem::create_directories(*work, ec);
    const std::string preview = previewPath();
    image.write(preview);
    image.read(preview);
    std::ifstream file(preview, std::ios::binary | std::ios::ate);
    if (file)
        m_session.RenderStatus.encodedSizeKb =
            static_cast<std::int32_t>(static_cast<long long>(file.tellg()) >> 10);
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
    m_session.CurrentFormat =
        app::FormatFlags{wanted == FormatCode::JPG, wanted == FormatCode::GIF, wanted == FormatCode::PNG,
                         wanted == FormatCode::BMP, wanted == FormatCode::TIF};
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
    switch (code) {
        case FormatCode::GIF:
            o.GIF_Colors = v.GIF_Colors, o.GIF_IndexGray = v.GIF_IndexGray, o.GIF_Delay = v.GIF_Delay;
            o.GIF_Dither = v.GIF_Dither, o.GIF_Interlace = v.GIF_Interlace;
            put("GIF_Colors", o.GIF_Colors), put("GIF_IndexGray", o.GIF_IndexGray),
                put("GIF_Delay", o.GIF_Delay);
            put("GIF_Dither", o.GIF_Dither), put("GIF_Interlace", o.GIF_Interlace);
            break;
        case FormatCode::PNG:
            o.PNG_TrueIndexGray = v.PNG_TrueIndexGray, o.PNG_Colors = v.PNG_Colors;
            o.PNG_Interlace = v.PNG_Interlace, o.PNG_Dither = v.PNG_Dither;
            put("PNG_TrueIndexGray", o.PNG_TrueIndexGray), put("PNG_Colors", o.PNG_Colors);
            put("PNG_Interlace", o.PNG_Interlace), put("PNG_Dither", o.PNG_Dither);
            break;
        case FormatCode::TIF:
            o.TIF_TrueIndexGray = v.TIF_TrueIndexGray, o.TIF_Colors = v.TIF_Colors, o.TIF_Lzw = v.TIF_Lzw;
            put("TIF_TrueIndexGray", o.TIF_TrueIndexGray), put("TIF_Colors", o.TIF_Colors),
                put("TIF_Lzw", o.TIF_Lzw);
            break;
        case FormatCode::JPG:
            o.JPG_Gray = v.JPG_Gray, o.JPG_Progress = v.JPG_Progress, o.JPG_Quality = v.JPG_Quality;
            put("JPG_Gray", o.JPG_Gray), put("JPG_Progress", o.JPG_Progress),
                put("JPG_Quality", o.JPG_Quality);
            break;
        case FormatCode::BMP:
            break;
    }
}

void FormatService::commitExtraPage(int kind, std::int32_t gifDelay, const std::string& pdfInsideFormat) {
    if (kind == 1) {
        m_session.formatOptions.GIF_Delay = gifDelay;
        m_store.writeDword(RegRoot::CurrentUser, "GIF_Delay", static_cast<std::uint32_t>(gifDelay));
    } else if (kind == 2) {
        m_store.writeString(RegRoot::CurrentUser, "PDF_Bitmp_Format", pdfInsideFormat);
    }
}

void FormatService::commitFullSheet(const app::FormatSettings& values, const std::string& pdfInsideFormat) {
    m_session.options.lvKodPreset = 0;
    m_store.writeDword(RegRoot::CurrentUser, "lvKodPreset", 0);
    commitFormatPage(FormatCode::JPG, values);
    commitFormatPage(FormatCode::GIF, values);
    commitFormatPage(FormatCode::PNG, values);
    commitFormatPage(FormatCode::TIF, values);
    writeFlags();
    m_store.writeString(RegRoot::CurrentUser, "PDF_Bitmp_Format", pdfInsideFormat);
}

}  // namespace output
