// The user-interface port on the toolkit: calls from another thread reach the
// interface thread, those that need an answer wait for it and the others do
// not; once the window is going, waiting calls return their defaults.

#include <wx/dialog.h>
#include <wx/gauge.h>
#include <wx/statbmp.h>
#include <wx/utils.h>

#include <functional>
#include <future>
#include <thread>

#include "tests/gui/window_fixture.h"

namespace gui_test {
namespace {

using namespace std::chrono_literals;

class WxUiPortTest : public WindowFixture {
protected:
    ui::WxUiPort& port() { return program->port(); }
};

TEST_F(WxUiPortTest, AQuestionFromAnotherThreadIsAskedOnTheInterfaceThreadAndWaitsForItsAnswer) {
    startProgram({"quick"});
    bool askedOnInterfaceThread = false;
    port().answerHook = [&](const std::string& text, const std::string& caption, app::MessageButtons,
                            app::MessageIcon) {
        askedOnInterfaceThread = wxIsMainThread();
        messages.push_back(caption + "|" + text);
        return app::MessageAnswer::Yes;
    };
    auto answer = std::async(std::launch::async, [&] {
        return port().showMessage("Replace?", "Quillo Scrivlet", app::MessageButtons::YesNo,
                                  app::MessageIcon::Question);
    });
    // The worker waits while the interface thread is busy elsewhere.
    EXPECT_EQ(answer.wait_for(200ms), std::future_status::timeout);
    ASSERT_TRUE(pumpUntil([&] { return answer.wait_for(0ms) == std::future_status::ready; }, 10));
    EXPECT_EQ(answer.get(), app::MessageAnswer::Yes);
    EXPECT_TRUE(askedOnInterfaceThread);
    EXPECT_EQ(messages.back(), "Quillo Scrivlet|Replace?");
}

std::vector<std::string> g_toolkitAsserts;

// The number of pictures (icons) among a window's children, at any depth.
int picturesIn(const wxWindow& window) {
    int count = 0;
    for (const wxWindow* child : window.GetChildren())
        count += (wxDynamicCast(child, wxStaticBitmap) != nullptr ? 1 : 0) + picturesIn(*child);
    return count;
}

// A message the program shows without an icon ("No data in Clipboard!")
// has none, and the toolkit does not stop on its icon flags first (its
// complaint's Stop ended the program); the others show their icon.
TEST_F(WxUiPortTest, AMessageWithoutAnIconShowsNoneAndTheOthersTheirs) {
    startProgram({"quick"});
    port().answerHook = nullptr;  // the real box
    g_toolkitAsserts.clear();
    const wxAssertHandler_t previous = wxSetAssertHandler(
        [](const wxString& file, int line, const wxString&, const wxString& cond, const wxString& msg) {
            g_toolkitAsserts.push_back(
                (file + ":" + std::to_string(line) + " " + cond + " " + msg).ToStdString());
        });
    const struct {
        app::MessageIcon icon;
        int pictures;
    } rows[] = {{app::MessageIcon::None, 0},
                {app::MessageIcon::Information, 1},
                {app::MessageIcon::Error, 1},
                {app::MessageIcon::None, 0}};
    for (const auto& row : rows) {
        int pictures = -1;
        // The open box, looked for once the toolkit runs its modal loop.
        std::function<void()> answerTheBox = [&] {
            for (wxWindow* window : wxTopLevelWindows) {
                auto* box = wxDynamicCast(window, wxDialog);
                if (box != nullptr && box->IsModal()) {
                    pictures = picturesIn(*box);
                    box->EndModal(wxID_OK);
                    return;
                }
            }
            wxTheApp->CallAfter(answerTheBox);
        };
        wxTheApp->CallAfter(answerTheBox);
        const auto answer = port().showMessage("No data in Clipboard!", "Quillo Scrivlet Message",
                                               app::MessageButtons::Ok, row.icon);
        EXPECT_EQ(answer, app::MessageAnswer::Ok);
        EXPECT_EQ(pictures, row.pictures) << static_cast<int>(row.icon);
    }
    wxSetAssertHandler(previous);
    EXPECT_TRUE(g_toolkitAsserts.empty()) << g_toolkitAsserts.front();
}

TEST_F(WxUiPortTest, CallsThatNeedNoAnswerReturnAtOnceAndActLater) {
    startProgram({"quick"});
    auto done = std::async(std::launch::async, [&] {
        port().progressBegin(10);
        port().progressSetPosition(4);
        port().invalidate(app::UiWindow::PageView, std::nullopt, false);
        port().beginWaitCursor();
    });
    // No event is handled meanwhile: none of them waits for the interface.
    ASSERT_EQ(done.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(port().progressBar(), nullptr) << "nothing happens before the interface thread runs it";
    ASSERT_TRUE(
        pumpUntil([&] { return port().progressBar() != nullptr && port().waitCursorDepth() == 1; }, 10));
    EXPECT_EQ(port().progressBar()->GetId(), 9991);
    EXPECT_EQ(port().progressBar()->GetRange(), 10);
    ASSERT_TRUE(pumpUntil([&] { return port().progressBar()->GetValue() == 4; }, 10));
    // A position outside the range is left out.
    port().progressSetPosition(11);
    EXPECT_EQ(port().progressBar()->GetValue(), 4);
    port().endWaitCursor();
    EXPECT_EQ(port().waitCursorDepth(), 0);
    port().progressEnd();
    EXPECT_EQ(port().progressBar(), nullptr);
}

TEST_F(WxUiPortTest, OnceTheWindowIsGoingAWaitingQuestionGetsItsDefault) {
    startProgram({"quick"});
    bool asked = false;
    port().answerHook = [&](const std::string&, const std::string&, app::MessageButtons, app::MessageIcon) {
        asked = true;
        return app::MessageAnswer::Yes;
    };
    auto answer = std::async(std::launch::async, [&] {
        return port().showMessage("Go on?", "Quillo Scrivlet", app::MessageButtons::YesNo,
                                  app::MessageIcon::Question);
    });
    EXPECT_EQ(answer.wait_for(100ms), std::future_status::timeout);
    port().shutdown();
    // No event is handled: the question returns without the interface.
    ASSERT_EQ(answer.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(answer.get(), app::MessageAnswer::No);
    EXPECT_FALSE(asked);
    // And so does a new one, without waiting at all.
    auto later = std::async(std::launch::async, [&] {
        return port().showMessage("Again?", "Quillo Scrivlet", app::MessageButtons::YesNoCancel,
                                  app::MessageIcon::Question);
    });
    ASSERT_EQ(later.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(later.get(), app::MessageAnswer::Cancel);
}

}  // namespace
}  // namespace gui_test
