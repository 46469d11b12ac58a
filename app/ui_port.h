#pragma once
// The one interface through which the core reaches the user: message boxes
// with their exact texts, the wait cursor, invalidation of windows, scroll
// requests and the progress bar of a render. The GUI implements it on the
// interface thread (marshalling calls from workers); tests use a recording
// fake with scripted answers.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/options.h"

namespace app {

// The button sets of a message box, as MB_OK, MB_YESNO, ...
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel, AbortRetryIgnore };
// The icon of a message box, as MB_ICONINFORMATION, ...
enum class MessageIcon { None, Information, Warning, Error, Question };
// The button that closed a message box, as IDOK, IDYES, ...
enum class MessageAnswer { Ok, Cancel, Yes, No, Retry, Abort, Ignore };

// The windows that the core invalidates or scrolls.
enum class UiWindow { MainWindow, ThumbnailStrip, PageView };
enum class ScrollBar { Horizontal, Vertical };
enum class ScrollRequest { LineUp, LineDown, PageUp, PageDown, Top, Bottom };

// A rectangle in a window's client coordinates; right and bottom excluded.
struct UiRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
    friend bool operator==(const UiRect&, const UiRect&) = default;
};

// One entry of a file dialog's type list.
struct FileType {
    std::string caption;  // "JPG (JPEG file interchange format)"
    std::string pattern;  // "*.jpg"
};

// A Save As dialog: the plain one (it asks itself before replacing a file),
// or one with the added check boxes ("Invoke Image Options", then "Start file
// after creation").
struct SaveDialogRequest {
    std::vector<FileType> types;
    int initialType = 1;  // 1-based index into `types`
    std::string initialName;
    std::string initialFolder;
    int checkBoxes = 0;  // 0, 1 or 2
    bool invokeImageOptions = false;
    bool startFileAfterCreation = false;
};

// How a save dialog closed; the check boxes' states count for OK and Cancel.
struct SaveDialogResult {
    bool ok = false;
    std::string path;  // the full path chosen
    int type = 1;      // 1-based index into the request's types
    bool invokeImageOptions = false;
    bool startFileAfterCreation = false;
};

class UserInterfacePort {
public:
    virtual ~UserInterfacePort() = default;

    virtual MessageAnswer showMessage(const std::string& text, const std::string& caption,
                                      MessageButtons buttons, MessageIcon icon) = 0;

    // Nested calls are counted: the cursor returns after the last end.
    virtual void beginWaitCursor() = 0;
    virtual void endWaitCursor() = 0;

    // Invalidates `area` of the window (the whole client area when absent).
    virtual void invalidate(UiWindow window, std::optional<UiRect> area, bool erase) = 0;
    virtual void setScrollRange(UiWindow window, ScrollBar bar, int minimum, int maximum, bool redraw) = 0;
    virtual void requestScroll(UiWindow window, ScrollBar bar, ScrollRequest request) = 0;
    // The client rectangle of a window, for layout computed by the core.
    virtual UiRect clientRect(UiWindow window) const = 0;

    // The progress bar of a render: shown with a range, moved, removed.
    virtual void progressBegin(int range) = 0;
    virtual void progressSetPosition(int position) = 0;
    virtual void progressEnd() = 0;

    // The dialogs of the writers. Without windows they close as Cancel.
    virtual SaveDialogResult showSaveDialog(const SaveDialogRequest& request) {
        return {false, {}, request.initialType, request.invokeImageOptions, request.startFileAfterCreation};
    }
    // The one-page option sheet of a format ("Image Format Options"); true
    // on OK with `values` edited.
    virtual bool showFormatOptionsSheet(FormatCode /*code*/, FormatSettings& /*values*/) { return false; }
    // The extra page: kind 1 the animation delay, kind 2 the PDF inside
    // format ("BMP", "JPG", "TIF", "PNG"); true on OK.
    virtual bool showExtraOptionsPage(int /*kind*/, std::int32_t& /*gifDelay*/,
                                      std::string& /*insideFormat*/) {
        return false;
    }
    // The e-mail format dialog: `code` 1 to 6 (6 the multipage PDF) and the
    // "Image Options" box; true on OK.
    virtual bool showMailFormatDialog(int& /*code*/, bool& /*imageOptions*/) { return false; }
};

// The caption of most of the program's messages.
inline constexpr const char* kMessageCaption = "Quillo Scrivlet Message";

}  // namespace app
