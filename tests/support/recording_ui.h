#pragma once
// A user-interface port for tests: records every call in order and answers
// message boxes from a script (Ok when the script is empty).

#include <deque>
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

using UiEvent =
    std::variant<MessageShown, WaitCursor, Invalidated, ScrollRangeSet, ScrollRequested, Progress>;

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

    std::vector<UiEvent> events() const;
    std::vector<MessageShown> messages() const;
    int waitCursorDepth() const;
    int unusedAnswers() const;

private:
    void record(UiEvent event);

    mutable std::mutex m_mutex;
    std::vector<UiEvent> m_events;
    std::deque<app::MessageAnswer> m_answers;
    int m_waitDepth = 0;
    app::UiRect m_rects[3] = {};
};

}  // namespace testing_support
