#pragma once
// The five image formats, their options and the step that gives each
// rendered page the options of the format it will be written in
// (ApplyEncodingOptions), with the encoded preview for the page view.

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "app/options.h"
#include "render/magick.h"

namespace platform {
class PlatformFolders;
}
namespace app {
struct Session;
class SettingsStore;
class UserInterfacePort;
}  // namespace app
namespace render {
class PageRenderer;
}

namespace output {

struct FormatInfo {
    app::FormatCode code;
    std::string_view caption;  // in the file dialogs' type lists
    std::string_view filter;
    std::string_view extension;
};

// The formats in FormatCode order (the order of every list).
const std::array<FormatInfo, 5>& formats();

// The CurrentFormat by the flag test order JPG, GIF, PNG, TIF, else BMP.
app::FormatCode currentFormatCode(const app::FormatFlags& flags);
std::string_view extensionOf(const app::FormatFlags& flags);

class FormatService {
public:
    FormatService(app::Session& session, app::SettingsStore& store, const platform::PlatformFolders& folders,
                  app::UserInterfacePort& ui);

    // The step at the end of every render.
    void applyEncodingOptions(Magick::Image& image, double dpi);
    // Whether that step writes the encoded preview for the page view (a
    // program without a page view turns it off).
    bool encodedPreview = true;

    // SelectFormat: makes `code` the CurrentFormat (writing the five flags)
    // and renders the current page again through `rerender`.
    void selectFormat(int code, const std::function<void()>& rerender);

    // OK of the single-page sheet: that format's options, written in the
    // order of the settings table.
    void commitFormatPage(app::FormatCode code, const app::FormatSettings& values);
    // OK of the extra pages: 1 the animation delay, 2 the PDF inside format.
    void commitExtraPage(int kind, std::int32_t gifDelay, const std::string& pdfInsideFormat);
    // OK of the full sheet: every page's options, the flags of the unchanged
    // CurrentFormat and the PDF inside format; the preset becomes 0.
    void commitFullSheet(const app::FormatSettings& values, const std::string& pdfInsideFormat);

    // The stored PDF inside format ("BMP" when empty).
    std::string pdfInsideFormat() const;
    // The preview file of the encoded page.
    std::string previewPath() const;

private:
    void writeFlags();

    app::Session& m_session;
    app::SettingsStore& m_store;
    const platform::PlatformFolders& m_folders;
    app::UserInterfacePort& m_ui;
};

}  // namespace output
