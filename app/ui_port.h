#pragma once
// The one interface through which the core reaches the user: message boxes
// with their exact texts, the wait cursor, invalidation of windows, scroll
// requests and the progress bar of a render. The GUI implements it on the
// interface thread (marshalling calls from workers); tests use a recording
// fake with scripted answers.

#include <cstdint>
#include <optional>
#include <string>

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
};

// The caption of most of the program's messages.
inline constexpr const char* kMessageCaption = "Quillo Scrivlet Message";

}  // namespace app
