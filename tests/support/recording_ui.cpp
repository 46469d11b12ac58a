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
    std::unique_lock lock(m_mutex);
    app::MessageAnswer answer = app::MessageAnswer::Ok;
    if (!m_answers.empty()) {
        answer = m_answers.front();
        m_answers.pop_front();
    }
    m_events.emplace_back(MessageShown{text, caption, buttons, icon, answer});
    const UiEvent event = m_events.back();
    lock.unlock();
    notify(event);
    return answer;
}

void RecordingUi::beginWaitCursor() {
    {
        std::lock_guard lock(m_mutex);
        ++m_waitDepth;
    }
    record(WaitCursor{true});
}

void RecordingUi::endWaitCursor() {
    {
        std::lock_guard lock(m_mutex);
        --m_waitDepth;
    }
    record(WaitCursor{false});
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

void RecordingUi::clear() {
    std::lock_guard lock(m_mutex);
    m_events.clear();
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
    {
        std::lock_guard lock(m_mutex);
        m_events.push_back(event);
    }
    notify(event);
}

void RecordingUi::notify(const UiEvent& event) {
    std::function<void(const UiEvent&)> observer;
    {
        std::lock_guard lock(m_mutex);
        observer = m_observer;
    }
    if (observer)
        observer(event);
}

void RecordingUi::onEvent(std::function<void(const UiEvent&)> observer) {
    std::lock_guard lock(m_mutex);
    m_observer = std::move(observer);
}

void RecordingUi::scriptSaveDialog(app::SaveDialogResult result) {
    std::lock_guard lock(m_mutex);
    m_saveResults.push_back(std::move(result));
}

void RecordingUi::scriptSheet(bool ok, std::function<void(app::FormatSettings&)> edit) {
    std::lock_guard lock(m_mutex);
    m_sheets.emplace_back(ok, std::move(edit));
}

void RecordingUi::scriptExtraPage(bool ok, std::int32_t gifDelay, std::string insideFormat) {
    std::lock_guard lock(m_mutex);
    m_extraPages.push_back({ok, gifDelay, std::move(insideFormat)});
}

void RecordingUi::scriptMailDialog(bool ok, int code, bool imageOptions) {
    std::lock_guard lock(m_mutex);
    m_mailDialogs.push_back({ok, code, imageOptions});
}

app::SaveDialogResult RecordingUi::showSaveDialog(const app::SaveDialogRequest& request) {
    app::SaveDialogResult result{
        false, {}, request.initialType, request.invokeImageOptions, request.startFileAfterCreation};
    {
        std::lock_guard lock(m_mutex);
        if (!m_saveResults.empty()) {
            result = m_saveResults.front();
            m_saveResults.pop_front();
        }
    }
    record(SaveDialogShown{request, result});
    return result;
}

bool RecordingUi::showFormatOptionsSheet(app::FormatCode code, app::FormatSettings& values) {
    std::pair<bool, std::function<void(app::FormatSettings&)>> answer{false, {}};
    {
        std::lock_guard lock(m_mutex);
        if (!m_sheets.empty()) {
            answer = m_sheets.front();
            m_sheets.pop_front();
        }
    }
    if (answer.first && answer.second)
        answer.second(values);
    record(SheetShown{"format", static_cast<int>(code), answer.first});
    return answer.first;
}

bool RecordingUi::showExtraOptionsPage(int kind, std::int32_t& gifDelay, std::string& insideFormat) {
    ExtraAnswer answer{false, 0, {}};
    {
        std::lock_guard lock(m_mutex);
        if (!m_extraPages.empty()) {
            answer = m_extraPages.front();
            m_extraPages.pop_front();
        }
    }
    if (answer.ok) {
        gifDelay = answer.gifDelay;
        insideFormat = answer.insideFormat;
    }
    record(SheetShown{"extra", kind, answer.ok});
    return answer.ok;
}

bool RecordingUi::showMailFormatDialog(int& code, bool& imageOptions) {
    MailAnswer answer{false, code, imageOptions};
    {
        std::lock_guard lock(m_mutex);
        if (!m_mailDialogs.empty()) {
            answer = m_mailDialogs.front();
            m_mailDialogs.pop_front();
        }
    }
    record(SheetShown{"mail", code, answer.ok});
    if (answer.ok) {
        code = answer.code;
        imageOptions = answer.imageOptions;
    }
    return answer.ok;
}

}  // namespace testing_support
