#include "render/option_commands.h"

#include <gtest/gtest.h>

#include "app/session.h"
#include "app/settings_store.h"
#include "metafile/emf_writer.h"
#include "platform/registry/registry.h"
#include "render/bitmap.h"
#include "render/page_renderer.h"
#include "tests/support/recording_ui.h"
#include "tests/support/temp_dir.h"

namespace render {
namespace {

using platform::RegRoot;
using testing_support::ScrollRequested;

class OptionCommandsTest : public ::testing::Test {
protected:
    testing_support::TempDir dir;
    platform::Registry registry{platform::RegistryLocation::inFolder(dir.path())};
    app::SettingsStore store{registry};
    app::Session session;
    testing_support::RecordingUi ui;
    PageRenderer renderer{session, ui};
    OptionCommands commands{session, store, ui, renderer};

    void SetUp() override { Magick::InitializeMagick(nullptr); }

    void addPage() {
        metafile::EmfWriter w({0, 0, 2540, 2540}, {1000, 1000}, {254, 254});
        w.rectangle({10, 10, 50, 50});
        auto& page = session.PageList.record(session.PageList.count());
        page.metafile = std::make_shared<const metafile::Metafile>(w.toMetafile().value());
        session.PageList.publish(session.PageList.count() + 1);
        session.PageList.currentPage = 0;
    }
    int reg(const char* name) { return store.readDword(RegRoot::CurrentUser, name); }
    int scrollRequests() {
        int n = 0;
        for (const auto& e : ui.events()) n += std::holds_alternative<ScrollRequested>(e);
        return n;
    }
};

TEST_F(OptionCommandsTest, AntialiasingRendersAndResetsThePreset) {
    addPage();
    session.options.lvKodPreset = 3;
    session.RenderOptions.KodAntialias = 3;
    commands.setAntialias(3);  // the factor already set
    EXPECT_EQ(reg("KodAntialias"), 3);
    EXPECT_EQ(reg("lvKodPreset"), 0);
    EXPECT_EQ(session.ViewState.load(), 2);
    ASSERT_TRUE(session.CurrentImage.load());
    EXPECT_EQ(session.CurrentImage.load()->columns(), 80u) << "one inch at 80 dpi";
    EXPECT_EQ(ui.waitCursorDepth(), 0);
}

TEST_F(OptionCommandsTest, WithoutAPageSettingsChangeAndNothingRenders) {
    commands.setAntialias(5);
    EXPECT_EQ(reg("KodAntialias"), 5);
    EXPECT_EQ(session.PageList.currentPage.load(), -1);
    EXPECT_FALSE(session.CurrentImage.load());
}

TEST_F(OptionCommandsTest, TogglesFlipAndWrite) {
    store.writeDword(RegRoot::CurrentUser, "lvSharpen", 2);
    store.loadSettings(session);
    EXPECT_FALSE(session.RenderOptions.lvSharpen) << "2 loads as off";
    commands.toggleSharpen();
    EXPECT_EQ(reg("lvSharpen"), 1);
    session.options.lvKodPreset = 2;
    store.writeDword(RegRoot::CurrentUser, "lvKodPreset", 2);
    commands.toggleDateStamp();
    EXPECT_EQ(reg("lvIncludeDateTime"), 1);
    EXPECT_EQ(reg("lvKodPreset"), 2) << "the stamp leaves the preset";
    commands.toggleIncludeHtml();
    EXPECT_EQ(reg("KodIncludeHtml"), 0);
}

TEST_F(OptionCommandsTest, PresetsWriteTheirValuesAndScrollExceptProfessional) {
    struct Case {
        Preset preset;
        int resCur, style;
        const char* format;
        int scrolls;
    };
    const Case cases[] = {{Preset::TextGraphics, 1200, 100, "GIF_Default", 2},
                          {Preset::Professional, 3000, 100, "TIF_Default", 0},
                          {Preset::WordArtPhoto, 2000, 100, "JPG_Default", 2},
                          {Preset::DemoDefault, 800, 4, "GIF_Default", 2}};
    addPage();
    for (const auto& c : cases) {
        const int before = scrollRequests();
        commands.applyPreset(c.preset);
        EXPECT_EQ(reg("ResCur"), c.resCur);
        EXPECT_EQ(reg("CheckN"), 2);
        EXPECT_EQ(reg("KodAntialias"), 7);
        EXPECT_EQ(reg("lvBkGrHathStyle"), c.style);
        EXPECT_EQ(reg(c.format), 1);
        EXPECT_EQ(reg("lvKodPreset"), static_cast<int>(c.preset));
        EXPECT_EQ(scrollRequests() - before, c.scrolls);
        EXPECT_EQ(ui.waitCursorDepth(), 0);
        ASSERT_TRUE(session.PageList.record(0).thumbnail);
        EXPECT_LE(session.PageList.record(0).thumbnail->width, 130) << "thumbnails rebuilt";
    }
    EXPECT_EQ(reg("lvHatchColor"), 15137535);
    EXPECT_EQ(reg("lvHatchDepress"), 10);
}

TEST_F(OptionCommandsTest, LeavingTheDemonstrationAsksFirst) {
    session.DemoMode = true;
    ui.scriptAnswers({app::MessageAnswer::No, app::MessageAnswer::Yes});
    EXPECT_FALSE(commands.confirmLeavingDemonstration());
    EXPECT_TRUE(session.DemoMode);
    EXPECT_TRUE(commands.confirmLeavingDemonstration());
    EXPECT_FALSE(session.DemoMode);
    EXPECT_EQ(ui.messages()[0].text, "Demo-mode settings will be discarded. Proceed?");
    EXPECT_TRUE(commands.confirmLeavingDemonstration()) << "outside the demonstration nothing is asked";
    EXPECT_EQ(ui.messages().size(), 2u);
}

}  // namespace
}  // namespace render
