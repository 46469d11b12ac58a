#include "tests/support/recording_ui.h"

#include <gtest/gtest.h>

namespace testing_support {
namespace {

using app::MessageAnswer;

TEST(RecordingUi, AnswersFromTheScriptInOrderThenOk) {
    RecordingUi ui;
    ui.scriptAnswers({MessageAnswer::No, MessageAnswer::Cancel});
    EXPECT_EQ(ui.showMessage("Continue?", app::kMessageCaption, app::MessageButtons::YesNo,
                             app::MessageIcon::Question),
              MessageAnswer::No);
    EXPECT_EQ(ui.showMessage("b", "c", app::MessageButtons::YesNoCancel, app::MessageIcon::None),
              MessageAnswer::Cancel);
    EXPECT_EQ(ui.showMessage("c", "c", app::MessageButtons::Ok, app::MessageIcon::None), MessageAnswer::Ok);
    const auto messages = ui.messages();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0].text, "Continue?");
    EXPECT_EQ(messages[0].caption, "Quillo Scrivlet Message");
    EXPECT_EQ(messages[0].buttons, app::MessageButtons::YesNo);
    EXPECT_EQ(messages[0].icon, app::MessageIcon::Question);
    EXPECT_EQ(ui.unusedAnswers(), 0);
}

TEST(RecordingUi, RecordsCursorInvalidationAndProgressInOrder) {
    RecordingUi ui;
    ui.setClientRect(app::UiWindow::ThumbnailStrip, {0, 0, 160, 600});
    ui.beginWaitCursor();
    ui.progressBegin(3);
    ui.progressSetPosition(1);
    ui.progressEnd();
    ui.invalidate(app::UiWindow::PageView, std::nullopt, false);
    ui.endWaitCursor();
    EXPECT_EQ(ui.waitCursorDepth(), 0);
    EXPECT_EQ(ui.clientRect(app::UiWindow::ThumbnailStrip), (app::UiRect{0, 0, 160, 600}));
    const auto events = ui.events();
    ASSERT_EQ(events.size(), 6u);
    EXPECT_TRUE(std::holds_alternative<WaitCursor>(events[0]));
    EXPECT_EQ(std::get<Progress>(events[1]).value, 3);
    EXPECT_EQ(std::get<Progress>(events[2]).kind, Progress::Kind::Position);
    EXPECT_FALSE(std::get<Invalidated>(events[4]).erase);
    EXPECT_FALSE(std::get<WaitCursor>(events[5]).begin);
}

}  // namespace
}  // namespace testing_support
