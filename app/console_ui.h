#pragma once
// The user-interface port without a display: messages go to standard error
// and are answered with the box's default button; everything else is quiet.

#include <cstdio>

#include "app/ui_port.h"

namespace app {

class ConsoleUi : public UserInterfacePort {
public:
    MessageAnswer showMessage(const std::string& text, const std::string& caption, MessageButtons buttons,
                              MessageIcon) override {
        std::fprintf(stderr, "%s: %s\n", caption.empty() ? "Message" : caption.c_str(), text.c_str());
        switch (buttons) {
            case MessageButtons::YesNo:
            case MessageButtons::YesNoCancel:
                return MessageAnswer::Yes;
            case MessageButtons::RetryCancel:
                return MessageAnswer::Cancel;
            case MessageButtons::AbortRetryIgnore:
                return MessageAnswer::Abort;
            default:
                return MessageAnswer::Ok;
        }
    }
    void beginWaitCursor() override {}
    void endWaitCursor() override {}
    void invalidate(UiWindow, std::optional<UiRect>, bool) override {}
    void setScrollRange(UiWindow, ScrollBar, int, int, bool) override {}
    void requestScroll(UiWindow, ScrollBar, ScrollRequest) override {}
    UiRect clientRect(UiWindow) const override { return {0, 0, 1024, 768}; }
    void progressBegin(int) override {}
    void progressSetPosition(int) override {}
    void progressEnd() override {}
};

}  // namespace app
