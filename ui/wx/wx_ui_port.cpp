#include "ui/wx/wx_ui_port.h"

#include <dlfcn.h>
#include <wx/app.h>
#include <wx/dialog.h>
#include <wx/gauge.h>
#include <wx/menu.h>
#include <wx/msgdlg.h>
#include <wx/utils.h>
#include <wx/window.h>

// After the message boxes of the base classes it derives from.
#include <wx/generic/msgdlgg.h>

#include <memory>
#include <optional>

namespace ui {
namespace {

using app::MessageAnswer;
using app::MessageButtons;
using app::MessageIcon;

long styleOf(MessageButtons buttons, MessageIcon icon) {
    long style = 0;
    switch (buttons) {
        case MessageButtons::Ok:
            style = wxOK;
            break;
        case MessageButtons::OkCancel:
        case MessageButtons::RetryCancel:
            style = wxOK | wxCANCEL;
            break;
        case MessageButtons::YesNo:
            style = wxYES_NO;
            break;
        case MessageButtons::YesNoCancel:
        case MessageButtons::AbortRetryIgnore:
            style = wxYES_NO | wxCANCEL;
            break;
    }
    switch (icon) {
        case MessageIcon::None:
            // No icon flag at all: the toolkit's own box takes its icon from
            // whatever flag is set, and wxICON_NONE is not one it knows.
            break;
        case MessageIcon::Information:
            style |= wxICON_INFORMATION;
            break;
        case MessageIcon::Warning:
            style |= wxICON_WARNING;
            break;
        case MessageIcon::Error:
            style |= wxICON_ERROR;
            break;
        case MessageIcon::Question:
            style |= wxICON_QUESTION;
            break;
    }
    return style;
}

MessageAnswer answerOf(MessageButtons buttons, int result) {
    const bool retryCancel = buttons == MessageButtons::RetryCancel;
    const bool abortRetryIgnore = buttons == MessageButtons::AbortRetryIgnore;
    switch (result) {
        case wxID_OK:
            return retryCancel ? MessageAnswer::Retry : MessageAnswer::Ok;
        case wxID_YES:
            return abortRetryIgnore ? MessageAnswer::Abort : MessageAnswer::Yes;
        case wxID_NO:
            return abortRetryIgnore ? MessageAnswer::Retry : MessageAnswer::No;
        case wxID_CANCEL:
            return abortRetryIgnore ? MessageAnswer::Ignore : MessageAnswer::Cancel;
        default:
            return MessageAnswer::Cancel;
    }
}

// The answer of a box that cannot be shown any more: its cancelling button.
MessageAnswer closedAnswer(MessageButtons buttons) {
    switch (buttons) {
        case MessageButtons::Ok:
            return MessageAnswer::Ok;
        case MessageButtons::YesNo:
            return MessageAnswer::No;
        case MessageButtons::AbortRetryIgnore:
            return MessageAnswer::Abort;
        default:
            return MessageAnswer::Cancel;
    }
}

}  // namespace

void WxUiPort::attach(const Windows& windows) {
    m_windows = windows;
}

void WxUiPort::shutdown() {
    {
        std::lock_guard lock(m_mutex);
        m_closing = true;
    }
    m_done.notify_all();
    m_windows = {};
    m_gauge = nullptr;
    while (m_waitDepth > 0) {
        --m_waitDepth;
        wxEndBusyCursor();
    }
}

void WxUiPort::setClientRect(app::UiWindow window, app::UiRect rect) {
    std::lock_guard lock(m_mutex);
    m_rects[static_cast<int>(window)] = rect;
}

app::UiRect WxUiPort::clientRect(app::UiWindow window) const {
    std::lock_guard lock(m_mutex);
    return m_rects[static_cast<int>(window)];
}

void WxUiPort::onInterfaceThread(std::function<void()> task, bool wait) {
    if (wxIsMainThread()) {
        if (!m_closing)
            task();
        return;
    }
    auto done = std::make_shared<bool>(false);
    {
        std::lock_guard lock(m_mutex);
        if (m_closing || wxTheApp == nullptr)
            return;
        wxTheApp->CallAfter([this, task = std::move(task), done] {
            bool closing = false;
            {
                std::lock_guard inner(m_mutex);
                closing = m_closing;
            }
            if (!closing)
                task();
            {
                std::lock_guard inner(m_mutex);
                *done = true;
            }
            m_done.notify_all();
        });
    }
    if (!wait)
        return;
    std::unique_lock lock(m_mutex);
    m_done.wait(lock, [&] { return *done || m_closing; });
}

wxWindow* WxUiPort::windowOf(app::UiWindow window) const {
    switch (window) {
        case app::UiWindow::MainWindow:
            return m_windows.main;
        case app::UiWindow::ThumbnailStrip:
            return m_windows.strip;
        case app::UiWindow::PageView:
            return m_windows.view;
    }
    return nullptr;
}

app::MessageAnswer WxUiPort::showMessage(const std::string& text, const std::string& caption,
                                         app::MessageButtons buttons, app::MessageIcon icon) {
    // Shared with the task: a box still open when the window closes answers
    // into this, not into a caller that has gone on.
    auto answer = std::make_shared<MessageAnswer>(closedAnswer(buttons));
    onInterfaceThread(
        [=, this] {
            if (answerHook) {
                *answer = answerHook(text, caption, buttons, icon);
                return;
            }
            // The toolkit's own box (a dialog of ours, not the desktop's), so
            // that a close request can end it.
            wxGenericMessageDialog box(m_windows.main, wxString::FromUTF8(text), wxString::FromUTF8(caption),
                                       styleOf(buttons, icon));
            if (buttons == MessageButtons::RetryCancel)
                box.SetOKCancelLabels("&Retry", "Cancel");
            if (buttons == MessageButtons::AbortRetryIgnore)
                box.SetYesNoCancelLabels("&Abort", "&Retry", "&Ignore");
            bool ended = false;
            const int result = showModal(box, &ended);
            *answer = ended ? closedAnswer(buttons) : answerOf(buttons, result);
        },
        true);
    return *answer;
}

void WxUiPort::beginWaitCursor() {
    onInterfaceThread(
        [this] {
            ++m_waitDepth;
            wxBeginBusyCursor();
        },
        false);
}

void WxUiPort::endWaitCursor() {
    onInterfaceThread(
        [this] {
            if (m_waitDepth == 0)
                return;
            --m_waitDepth;
            wxEndBusyCursor();
        },
        false);
}

void WxUiPort::invalidate(app::UiWindow window, std::optional<app::UiRect> area, bool erase) {
    onInterfaceThread(
        [=, this] {
            wxWindow* w = windowOf(window);
            if (w == nullptr)
                return;
            if (area)
                w->RefreshRect(
                    wxRect(area->left, area->top, area->right - area->left, area->bottom - area->top), erase);
            else
                w->Refresh(erase);
        },
        false);
}

void WxUiPort::setScrollRange(app::UiWindow window, app::ScrollBar bar, int minimum, int maximum, bool) {
    onInterfaceThread(
        [=, this] {
            if (onScrollRange)
                onScrollRange(window, bar, minimum, maximum);
        },
        false);
}

void WxUiPort::requestScroll(app::UiWindow window, app::ScrollBar bar, app::ScrollRequest request) {
    onInterfaceThread(
        [=, this] {
            if (onScrollRequest)
                onScrollRequest(window, bar, request);
        },
        false);
}

void WxUiPort::progressBegin(int range) {
    onInterfaceThread(
        [=, this] {
            if (m_windows.main == nullptr)
                return;
            const app::UiRect place = progressPlace ? progressPlace() : app::UiRect{};
            delete m_gauge;
            m_gauge = new wxGauge(
                m_windows.main, 9991, std::max(range, 1), wxPoint(place.left, place.top),
                wxSize(std::max(place.right - place.left, 1), std::max(place.bottom - place.top, 1)),
                wxGA_HORIZONTAL | wxGA_SMOOTH);
        },
        false);
}

void WxUiPort::progressSetPosition(int position) {
    onInterfaceThread(
        [=, this] {
            if (m_gauge != nullptr && position >= 0 && position <= m_gauge->GetRange())
                m_gauge->SetValue(position);
        },
        false);
}

void WxUiPort::progressEnd() {
    onInterfaceThread(
        [this] {
            delete m_gauge;
            m_gauge = nullptr;
        },
        false);
}

app::SaveDialogResult WxUiPort::showSaveDialog(const app::SaveDialogRequest& request) {
    if (saveDialogHook) {
        app::SaveDialogResult answer;
        onInterfaceThread([&] { answer = saveDialogHook(request); }, true);
        return answer;
    }
    auto result = std::make_shared<app::SaveDialogResult>(app::SaveDialogResult{
        false, {}, request.initialType, request.invokeImageOptions, request.startFileAfterCreation});
    onInterfaceThread([=, this] { *result = runSaveDialog(request); }, true);
    return *result;
}

int WxUiPort::runModal(wxDialog& dialog) {
    if (dialogShown)
        dialog.CallAfter([this, &dialog] { dialogShown(dialog); });
    return showModal(dialog);
}

int WxUiPort::showModal(wxDialog& dialog, bool* ended) {
    m_modals.push_back({&dialog, ended});
    const int answer = dialog.ShowModal();
    std::erase_if(m_modals, [&](const Modal& modal) { return modal.dialog == &dialog; });
    return answer;
}

void WxUiPort::showPopup(wxWindow& owner, wxMenu& menu, const wxPoint& at) {
    m_popups.push_back(&menu);
    owner.PopupMenu(&menu, at);
    std::erase(m_popups, &menu);
}

void WxUiPort::endModals() {
    // Only the innermost loop is ended: the toolkit quits the innermost
    // loop whichever dialog is told to end, so an outer dialog ended at the
    // same time would be hidden with its loop still running, and never end.
    // The close request is polled again, and ends the next one once this
    // one has returned. A popup menu is the innermost when one is open.
    if (!m_popups.empty()) {
        // A popup menu runs the toolkit's own loop until the menu is taken
        // down; the toolkit's call for that has no wrapper, so it is looked
        // up in the toolkit's library, which the process has loaded.
#ifdef __WXGTK__
        using Popdown = void (*)(void*);
        static const auto popdown = reinterpret_cast<Popdown>(::dlsym(RTLD_DEFAULT, "gtk_menu_popdown"));
        if (popdown != nullptr && m_popups.back()->m_menu != nullptr)
            popdown(m_popups.back()->m_menu);
#endif
        return;
    }
    if (m_modals.empty())
        return;
    const Modal& innermost = m_modals.back();
    if (!innermost.dialog->IsModal())
        return;  // ended already, its loop still returning
    if (innermost.ended != nullptr)
        *innermost.ended = true;
    innermost.dialog->EndModal(wxID_CANCEL);
}

}  // namespace ui
