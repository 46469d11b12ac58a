#pragma once
// The program's process-wide state, created once and passed by reference;
// tests create their own. Members carry the names the rest of the program
// knows them by.
//
// Threads: the interface thread, the capture worker and the writer runs share
// this object. Flags and counters are atomics; the page count is published
// after its record is complete (PageTable); the shown image is swapped under
// a lock; renders hold `renderLock`, so two never overlap. The option records
// are changed only by the interface thread, under `renderLock`.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "app/macro_exchange.h"
#include "app/options.h"
#include "app/page_list.h"
#include "app/shared_slot.h"

namespace Magick {
class Image;
}

namespace app {

// What the last render left for others (`RenderStatus`): written by the
// render on the worker's thread, read by the window's info line and dialogs.
struct RenderStatusRecord {
    std::atomic<std::int32_t> pageWidthMm{0};
    std::atomic<std::int32_t> pageHeightMm{0};
    std::atomic<std::int32_t> encodedSizeKb{0};
};

struct Session {
    // Options loaded at start and written through when they change.
    GeneralOptions options;
    RenderSettings RenderOptions;
    ResolutionSettings resolution;
    ResolutionDialogCopy resolutionDialog;
    FormatFlags CurrentFormat;
    FormatSettings formatOptions;

    // Rendering.
    RenderStatusRecord RenderStatus;
    std::atomic<bool> ThumbnailMode{false};
    std::mutex renderLock;

    // Pages and view.
    PageTable PageList;
    SharedSlot<Magick::Image> CurrentImage;
    std::atomic<int> shownPage{0};
    std::atomic<int> ViewState{0};  // 0 no page, 1 arriving or rendering, 2 image ready
    std::atomic<bool> DemoMode{false};
    // The user's files given on the command line, opened as the document's
    // pages instead of a capture; set before the capture worker starts.
    std::vector<std::filesystem::path> OpenedFiles;

    // Output runs.
    std::atomic<int> MultipageMode{0};  // 0 none, 1 PDF, 2 multipage TIF, 3 animated GIF
    std::atomic<bool> AbortRequested{false};
    std::atomic<bool> MailRoute{false};
    std::atomic<bool> writerRunning{false};
    std::vector<std::string> OutputFileList = std::vector<std::string>(PageTable::kCapacity);

    // Devices.
    std::atomic<int> ScreenDpi{96};
    std::atomic<int> PrinterDpi{300};
    std::string CapturePrinterName;

    // The Word macro's exchange strings.
    MacroExchange macroExchange;
};

// The rendering resolution in dots per inch chosen by CheckN: the screen's,
// the printer's, the user's (80 during the demonstration), or 100 for any
// other choice.
double currentResolution(const Session& session);

}  // namespace app
