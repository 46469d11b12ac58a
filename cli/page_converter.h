#pragma once
// One worker's conversion of pages to files: its own session (the settings of
// the command line), page renderer and format service, as the main program
// has them. A page is drawn strip by strip; a page of more than a few strips
// in a format that can be written a row at a time (true-colour PNG and TIF,
// JPEG, BMP, none with sharpening) goes to the file as its rows arrive; any
// other page is assembled as one image, given the format's options and
// encoded, and must fit the image library's pixel limit.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "app/console_ui.h"
#include "app/session.h"
#include "app/settings_store.h"
#include "cli/convert_options.h"
#include "cli/image_library.h"
#include "metafile/player.h"
#include "output/formats.h"
#include "output/row_writer.h"
#include "platform/expected.h"
#include "platform/folders.h"
#include "platform/registry/registry.h"
#include "render/page_renderer.h"

namespace metafile {
class Metafile;
}

namespace cli {

struct PageOutcome {
    std::optional<std::string> error;  // why the page was not written
    metafile::PlaybackReport report;
    long long columns = 0;
    long long rows = 0;
    bool streamed = false;
    std::string note;  // what the file is not that the options asked for, and why
};

// Pages of more strips than this are streamed when their format allows it:
// every page, as the row writers are the faster path (the image library's
// encoders and its page-sized image are left to the pages that need them).
inline constexpr int kStreamAboveStrips = 0;

class PageConverter {
public:
    // `storeFolder` holds the converter's own settings store (never the
    // user's): the multipage PDF's inside format is kept there, where the
    // encoding step reads it. Without a folder nothing is stored.
    explicit PageConverter(const ConvertSettings& settings, const std::filesystem::path& storeFolder = {});

    int streamAboveStrips = kStreamAboveStrips;
    // A JPEG page whose coefficients would take more bytes than this is
    // written as a baseline file as its rows come (see openJpegRowWriter).
    std::uint64_t jpegHeldLimit = output::kJpegHeldCoefficientLimit;
    // The run's image library, started by the first page that needs it;
    // none: one of the process's own, without a thread limit.
    ImageLibrary* library = nullptr;

    // Renders `page` and writes it to `target` (replacing it atomically),
    // drawing up to `stripThreads` strips at once.
    PageOutcome convert(const metafile::Metafile& page, const std::filesystem::path& target,
                        int stripThreads);

    // A page for the document writers, rendered whole as the main program's
    // writers render it: with the options of `multipageMode` (0 the format's
    // own, 1 the PDF's inside format, 2 TIF, 3 GIF) at the command line's
    // resolution, or in thumbnail mode at `thumbnailDpi`. The reason when it
    // cannot be rendered.
    // `report`, when given, receives the playback's report.
    platform::Expected<Magick::Image, std::string> renderForDocument(
        const metafile::Metafile& page, int multipageMode, metafile::PlaybackReport* report = nullptr);
    platform::Expected<Magick::Image, std::string> renderThumbnail(const metafile::Metafile& page,
                                                                   double thumbnailDpi);

    // The PDF inside format as the encoding step reads it.
    std::string pdfInsideFormat() const;

    // Whether the current format and options can be written a row at a time.
    bool streamable() const;
    // Why a page of `pixels` cannot be assembled as one image; none when
    // it can.
    std::optional<std::string> wholeRefusal(long long columns, long long rows) const;

private:
    void startLibrary();
    platform::Expected<Magick::Image, std::string> renderWhole(const metafile::Metafile& page, double dpi,
                                                               metafile::PlaybackReport* report = nullptr);
    std::optional<std::string> writeWhole(const metafile::Metafile& page, const render::PageLayout& layout,
                                          const std::filesystem::path& target, int threads,
                                          PageOutcome& outcome);
    std::optional<std::string> writeStreamed(const metafile::Metafile& page, const render::PageLayout& layout,
                                             const std::filesystem::path& target, int threads,
                                             PageOutcome& outcome);

    // The row writer of the current format on `fd`; none, with `reason`,
    // when it cannot be made.
    std::unique_ptr<output::RowWriter> openRowWriter(int fd, const render::PageLayout& layout,
                                                     const std::filesystem::path& target, int threads,
                                                     std::string& reason);

    ConvertSettings m_settings;
    app::ConsoleUi m_ui;
    app::Session m_session;
    // The format service's folders are never touched: the converter writes
    // no preview.
    platform::Registry m_registry;
    app::SettingsStore m_store{m_registry};
    platform::PlatformFolders m_folders{platform::FolderSet{}};
    render::PageRenderer m_renderer{m_session, m_ui};
    output::FormatService m_formats{m_session, m_store, m_folders, m_ui};
};

}  // namespace cli
