#pragma once
// A user-interface port for tests: records every call in order and answers
// message boxes from a script (Ok when the script is empty).

#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "app/ui_port.h"

namespace testing_support {

struct MessageShown {
    std::string text;
    std::string caption;
    app::MessageButtons buttons;
    app::MessageIcon icon;
    app::MessageAnswer answer;
};
struct WaitCursor {
    bool begin;
};
struct Invalidated {
    app::UiWindow window;
    std::optional<app::UiRect> area;
    bool erase;
};
struct ScrollRangeSet {
    app::UiWindow window;
    app::ScrollBar bar;
    int minimum;
    int maximum;
    bool redraw;
};
struct ScrollRequested {
    app::UiWindow window;
    app::ScrollBar bar;
    app::ScrollRequest request;
};
struct Progress {
    enum class Kind { Begin, Position, End } kind;
    int value;
};

struct SaveDialogShown {
    app::SaveDialogRequest request;
    app::SaveDialogResult result;
};
struct SheetShown {
    // "format" (with its code), "extra" (with its kind) or "mail".
    std::string sheet;
    int code;
    bool ok;
};

using UiEvent = std::variant<MessageShown, WaitCursor, Invalidated, ScrollRangeSet, ScrollRequested, Progress,
                             SaveDialogShown, SheetShown>;

class RecordingUi : public app::UserInterfacePort {
public:
    // Answers for the next message boxes, in order.
    void scriptAnswers(std::initializer_list<app::MessageAnswer> answers);
    void setClientRect(app::UiWindow window, app::UiRect rect);

    app::MessageAnswer showMessage(const std::string& text, const std::string& caption,
                                   app::MessageButtons buttons, app::MessageIcon icon) override;
    void beginWaitCursor() override;
    void endWaitCursor() override;
    void invalidate(app::UiWindow window, std::optional<app::UiRect> area, bool erase) override;
    void setScrollRange(app::UiWindow window, app::ScrollBar bar, int minimum, int maximum,
                        bool redraw) override;
    void requestScroll(app::UiWindow window, app::ScrollBar bar, app::ScrollRequest request) override;
    app::UiRect clientRect(app::UiWindow window) const override;
    void progressBegin(int range) override;
    void progressSetPosition(int position) override;
    void progressEnd() override;

    // Save dialogs close with the scripted results in order (Cancel, the
    // boxes untouched, when none is left).
    void scriptSaveDialog(app::SaveDialogResult result);
    // The option sheets and the mail dialog: OK or Cancel in order (Cancel
    // when none is left); `edit` changes the values before OK.
    void scriptSheet(bool ok, std::function<void(app::FormatSettings&)> edit = {});
    void scriptExtraPage(bool ok, std::int32_t gifDelay, std::string insideFormat);
    void scriptMailDialog(bool ok, int code, bool imageOptions);
    // Called after every recorded event, outside the lock, on the caller's thread.
    void onEvent(std::function<void(const UiEvent&)> observer);

    app::SaveDialogResult showSaveDialog(const app::SaveDialogRequest& request) override;
    bool showFormatOptionsSheet(app::FormatCode code, app::FormatSettings& values) override;
    bool showExtraOptionsPage(int kind, std::int32_t& gifDelay, std::string& insideFormat) override;
    bool showMailFormatDialog(int& code, bool& imageOptions) override;

    std::vector<UiEvent> events() const;
    // Forgets the calls recorded so far (the scripts stay).
    void clear();
    std::vector<MessageShown> messages() const;
    int waitCursorDepth() const;
    int unusedAnswers() const;

private:
    void record(UiEvent event);
    void notify(const UiEvent& event);

    mutable std::mutex m_mutex;
    std::vector<UiEvent> m_events;
    std::deque<app::MessageAnswer> m_answers;
    int m_waitDepth = 0;
    std::deque<app::SaveDialogResult> m_saveResults;
    std::deque<std::pair<bool, std::function<void(app::FormatSettings&)>>> m_sheets;
    struct ExtraAnswer {
        bool ok;
        std::int32_t gifDelay;
        std::string insideFormat;
    };
    std::deque<ExtraAnswer> m_extraPages;
    struct MailAnswer {
        bool ok;
        int code;
        bool imageOptions;
    };
    std::deque<MailAnswer> m_mailDialogs;
    std::function<void(const UiEvent&)> m_observer;
    app::UiRect m_rects[3] = {};
};

}  // namespace testing_support
