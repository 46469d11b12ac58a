#include "tests/support/recording_ui.h"

namespace testing_support {

void RecordingUi::scriptAnswers(std::initializer_list<app::MessageAnswer> answers) {
    std::lock_guard lock(m_mutex);
    m_answers.insert(m_answers.end(), answers.begin(), answers.end());
}

void RecordingUi::setClientRect(app::UiWindow window, app::UiRect rect) {
    std::lock_guard lock(m_mutex);
    m_rects[static_cast<int>(window)] = rect;
}

app::MessageAnswer RecordingUi::showMessage(const std::string& text, const std::string& caption,
                                            app::MessageButtons buttons, app::MessageIcon icon) {
    std::lock_guard lock(m_mutex);
    app::MessageAnswer answer = app::MessageAnswer::Ok;
    if (!m_answers.empty()) {
        answer = m_answers.front();
        m_answers.pop_front();
    }
    m_events.emplace_back(MessageShown{text, caption, buttons, icon, answer});
    return answer;
}

void RecordingUi::beginWaitCursor() {
    std::lock_guard lock(m_mutex);
    ++m_waitDepth;
    m_events.emplace_back(WaitCursor{true});
}

void RecordingUi::endWaitCursor() {
    std::lock_guard lock(m_mutex);
    --m_waitDepth;
    m_events.emplace_back(WaitCursor{false});
}

void RecordingUi::invalidate(app::UiWindow window, std::optional<app::UiRect> area, bool erase) {
    record(Invalidated{window, area, erase});
}

void RecordingUi::setScrollRange(app::UiWindow window, app::ScrollBar bar, int minimum, int maximum,
                                 bool redraw) {
    record(ScrollRangeSet{window, bar, minimum, maximum, redraw});
}

void RecordingUi::requestScroll(app::UiWindow window, app::ScrollBar bar, app::ScrollRequest request) {
    record(ScrollRequested{window, bar, request});
}

app::UiRect RecordingUi::clientRect(app::UiWindow window) const {
    std::lock_guard lock(m_mutex);
    return m_rects[static_cast<int>(window)];
}

void RecordingUi::progressBegin(int range) {
    record(Progress{Progress::Kind::Begin, range});
}

void RecordingUi::progressSetPosition(int position) {
    record(Progress{Progress::Kind::Position, position});
}

void RecordingUi::progressEnd() {
    record(Progress{Progress::Kind::End, 0});
}

std::vector<UiEvent> RecordingUi::events() const {
    std::lock_guard lock(m_mutex);
    return m_events;
}

std::vector<MessageShown> RecordingUi::messages() const {
    std::lock_guard lock(m_mutex);
    std::vector<MessageShown> out;
    for (const auto& event : m_events) {
        if (const auto* message = std::get_if<MessageShown>(&event)) {
            out.push_back(*message);
        }
    }
    return out;
}

int RecordingUi::waitCursorDepth() const {
    std::lock_guard lock(m_mutex);
    return m_waitDepth;
}

int RecordingUi::unusedAnswers() const {
    std::lock_guard lock(m_mutex);
    return static_cast<int>(m_answers.size());
}

void RecordingUi::record(UiEvent event) {
    std::lock_guard lock(m_mutex);
    m_events.push_back(std::move(event));
}

}  // namespace testing_support
