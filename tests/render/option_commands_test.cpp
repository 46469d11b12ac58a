#include "render/option_commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <utility>
#include <vector>

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
    static double share(const Bitmap& b, std::uint32_t colour) {
        std::size_t n = 0;
        for (auto p : b.pixels) n += (p & 0xFFFFFF) == colour;
        return b.pixels.empty() ? 0.0 : double(n) / double(b.pixels.size());
    }
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
    addPage();
    commands.toggleSharpen();
    EXPECT_EQ(reg("lvSharpen"), 1);
    EXPECT_TRUE(session.CurrentImage.load()) << "the current page rendered again";
    session.CurrentImage.store(nullptr);
    session.options.lvKodPreset = 2;
    store.writeDword(RegRoot::CurrentUser, "lvKodPreset", 2);
    renderer.dateStamp = [] { return std::string("08.12.2026 16:30"); };
    commands.toggleDateStamp();
    EXPECT_EQ(reg("lvIncludeDateTime"), 1);
    ASSERT_TRUE(session.CurrentImage.load()) << "the current page rendered again";
    int stampInk = 0;
    const Bitmap shown = imageToBitmap(*session.CurrentImage.load());
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 60; ++x) stampInk += (shown.pixels[y * shown.width + x] & 0xFFFFFF) != 0xFFFFFF;
    }
    EXPECT_GT(stampInk, 10) << "with its stamp";
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
        session.PageList.record(0).thumbnail = nullptr;
        session.CurrentImage.store(nullptr);
        commands.applyPreset(c.preset);
        ASSERT_TRUE(session.CurrentImage.load()) << "the current page rendered";
        EXPECT_EQ(session.ViewState.load(), 2);
        EXPECT_EQ(reg("ResCur"), c.resCur);
        EXPECT_EQ(reg("CheckN"), 2);
        EXPECT_EQ(reg("KodAntialias"), 7);
        EXPECT_EQ(reg("lvBkGrHathStyle"), c.style);
        EXPECT_EQ(reg(c.format), 1);
        EXPECT_EQ(reg("lvKodPreset"), static_cast<int>(c.preset));
        EXPECT_EQ(scrollRequests() - before, c.scrolls);
        EXPECT_EQ(ui.waitCursorDepth(), 0);
        ASSERT_TRUE(session.PageList.record(0).thumbnail) << "thumbnails rebuilt";
        EXPECT_LE(session.PageList.record(0).thumbnail->width, 130);
        // Most of the page in Demo default's background colour, or white.
        const std::uint32_t paper = c.preset == Preset::DemoDefault ? 0xFFEBD4u : 0xFFFFFFu;
        EXPECT_GT(share(*session.PageList.record(0).thumbnail, paper), 0.5) << static_cast<int>(c.preset);
        EXPECT_GT(share(imageToBitmap(*session.CurrentImage.load()), paper), 0.5)
            << static_cast<int>(c.preset);
    }
    EXPECT_EQ(reg("lvHatchColor"), 15137535);
    EXPECT_EQ(reg("lvHatchDepress"), 10);
}

// Renders on another thread (the capture worker, a writer run) read the
// options while the commands change them: the commands take the render lock.
TEST_F(OptionCommandsTest, CommandsChangeTheOptionsUnderTheRenderLock) {
    addPage();
    std::atomic<bool> done{false};
    std::atomic<int> renders{0};
    std::thread worker([&] {
        const auto page = session.PageList.record(0).metafile;
        while (!done || renders == 0) {
            std::lock_guard lock(session.renderLock);
            renderer.renderPage(20, page.get());
            ++renders;
        }
    });
    for (int i = 0; i < 3; ++i) {
        commands.setAntialias(i % 2 == 0 ? 2 : 0);
        commands.toggleSharpen();
        commands.toggleDateStamp();
        commands.toggleIncludeHtml();
        commands.setLegacyBackground(i % 2 == 0 ? 4 : 99);
        commands.setBackgroundColour(0x123456);
        commands.applyPreset(i % 2 == 0 ? Preset::DemoDefault : Preset::Professional);
    }
    done = true;
    worker.join();
    EXPECT_GT(renders.load(), 0);
    EXPECT_EQ(reg("lvKodPreset"), 4);
    EXPECT_EQ(session.RenderOptions.KodAntialias, 7);
    EXPECT_TRUE(session.RenderOptions.lvSharpen == false && reg("lvSharpen") == 0);
    EXPECT_TRUE(session.RenderOptions.lvIncludeDateTime && reg("lvIncludeDateTime") == 1);
    EXPECT_TRUE(!session.options.KodIncludeHtml && reg("KodIncludeHtml") == 0);
}

template <class T>
std::vector<T> join(std::vector<T> a, const std::vector<T>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST_F(OptionCommandsTest, EachPresetWritesItsTableExactly) {
    struct Case {
        Preset preset;
        std::vector<std::pair<const char*, int>> values;
        std::vector<const char*> untouched;
    };
    const std::vector<std::pair<const char*, int>> common = {{"ScaleCur", 100},   {"CheckN", 2},
                                                             {"KodAntialias", 7}, {"lvSharpen", 0},
                                                             {"PNG_Default", 0},  {"BMP_Default", 0}};
    const std::vector<std::pair<const char*, int>> gif = {
        {"GIF_Colors", 256},  {"GIF_IndexGray", 0}, {"GIF_Delay", 0},   {"GIF_Dither", 0},
        {"GIF_Interlace", 1}, {"GIF_Default", 1},   {"JPG_Default", 0}, {"TIF_Default", 0}};
    const std::vector<std::pair<const char*, int>> hatch = {
        {"lvHatchColor", 15137535}, {"lvCurBkGrColor", 13954047}, {"lvHatchWidth", 1}, {"lvHatchDepress", 10},
        {"lvHatchAngle", 0},        {"lvHatchLnHor", 1},          {"lvHatchLnVert", 1}};
    const std::vector<const char*> hatchNames = {"lvHatchColor",   "lvCurBkGrColor", "lvHatchWidth",
                                                 "lvHatchDepress", "lvHatchAngle",   "lvHatchLnHor",
                                                 "lvHatchLnVert"};
    const Case cases[] = {
        {Preset::TextGraphics,
         join(join(
                  std::vector<std::pair<const char*, int>>{
                      {"ResCur", 1200}, {"lvBkGrHathStyle", 100}, {"lvKodPreset", 1}},
                  common),
              gif),
         join(hatchNames, std::vector<const char*>{"TIF_Colors", "JPG_Quality"})},
        {Preset::Professional,
         join(std::vector<std::pair<const char*, int>>{{"ResCur", 3000},
                                                       {"lvBkGrHathStyle", 100},
                                                       {"lvKodPreset", 2},
                                                       {"TIF_TrueIndexGray", 0},
                                                       {"TIF_Colors", 64},
                                                       {"TIF_Lzw", 1},
                                                       {"GIF_Default", 0},
                                                       {"JPG_Default", 0},
                                                       {"TIF_Default", 1}},
              common),
         join(hatchNames, std::vector<const char*>{"GIF_Colors", "JPG_Quality"})},
        {Preset::WordArtPhoto,
         join(std::vector<std::pair<const char*, int>>{{"ResCur", 2000},
                                                       {"lvBkGrHathStyle", 100},
                                                       {"lvKodPreset", 3},
                                                       {"JPG_Gray", 0},
                                                       {"JPG_Progress", 1},
                                                       {"JPG_Quality", 90},
                                                       {"GIF_Default", 0},
                                                       {"JPG_Default", 1},
                                                       {"TIF_Default", 0}},
              common),
         join(hatchNames, std::vector<const char*>{"GIF_Colors", "TIF_Colors"})},
        {Preset::DemoDefault,
         join(join(join(std::vector<std::pair<const char*, int>>{{"ResCur", 800},
                                                                 {"lvBkGrHathStyle", 4},
                                                                 {"lvKodPreset", 4}},
                        common),
                   gif),
              hatch),
         {"TIF_Colors", "JPG_Quality"}},
    };
    for (const auto& c : cases) {
        testing_support::TempDir fresh;
        platform::Registry freshRegistry{platform::RegistryLocation::inFolder(fresh.path())};
        app::SettingsStore freshStore{freshRegistry};
        app::Session s;
        testing_support::RecordingUi freshUi;
        PageRenderer freshRenderer{s, freshUi};
        OptionCommands freshCommands{s, freshStore, freshUi, freshRenderer};
        s.RenderOptions.lvSharpen = true;
        s.RenderOptions.lvIncludeDateTime = true;
        freshCommands.applyPreset(c.preset);
        for (const auto& [name, value] : c.values)
            EXPECT_EQ(freshStore.readDword(RegRoot::CurrentUser, name), value)
                << static_cast<int>(c.preset) << " " << name;
        for (const char* name : c.untouched)
            EXPECT_EQ(freshStore.readDword(RegRoot::CurrentUser, name), -1)
                << static_cast<int>(c.preset) << " " << name;
        // Memory holds what the store holds.
        app::Session loaded;
        freshStore.loadSettings(loaded);
        EXPECT_EQ(s.resolution.userResolution, loaded.resolution.userResolution);
        EXPECT_EQ(s.resolutionDialog.userResolution, loaded.resolution.userResolution);
        EXPECT_EQ(s.resolutionDialog.ScaleCur, 100);
        EXPECT_EQ(s.resolutionDialog.CheckN, 2);
        EXPECT_EQ(s.resolution.CheckN, 2);
        EXPECT_EQ(s.RenderOptions.ScaleCur, 100);
        EXPECT_EQ(s.RenderOptions.KodAntialias, 7);
        EXPECT_FALSE(s.RenderOptions.lvSharpen);
        EXPECT_TRUE(s.RenderOptions.lvIncludeDateTime) << "no preset touches the stamp";
        EXPECT_EQ(s.RenderOptions.lvBkGrHathStyle, loaded.RenderOptions.lvBkGrHathStyle);
        EXPECT_EQ(s.RenderOptions.lvHatchColor, loaded.RenderOptions.lvHatchColor);
        EXPECT_EQ(s.RenderOptions.lvCurBkGrColor, loaded.RenderOptions.lvCurBkGrColor);
        EXPECT_EQ(s.RenderOptions.lvHatchWidth, loaded.RenderOptions.lvHatchWidth);
        EXPECT_EQ(s.RenderOptions.lvHatchDepress, loaded.RenderOptions.lvHatchDepress);
        EXPECT_EQ(s.RenderOptions.lvHatchAngle, loaded.RenderOptions.lvHatchAngle);
        EXPECT_EQ(s.RenderOptions.lvHatchLnHor, loaded.RenderOptions.lvHatchLnHor);
        EXPECT_EQ(s.RenderOptions.lvHatchLnVert, loaded.RenderOptions.lvHatchLnVert);
        EXPECT_EQ(s.formatOptions.GIF_Colors, loaded.formatOptions.GIF_Colors);
        EXPECT_EQ(s.formatOptions.GIF_Delay, loaded.formatOptions.GIF_Delay);
        EXPECT_EQ(s.formatOptions.GIF_Dither, loaded.formatOptions.GIF_Dither);
        EXPECT_EQ(s.formatOptions.GIF_Interlace, loaded.formatOptions.GIF_Interlace);
        EXPECT_EQ(s.formatOptions.GIF_IndexGray, loaded.formatOptions.GIF_IndexGray);
        EXPECT_EQ(s.formatOptions.TIF_Colors, loaded.formatOptions.TIF_Colors);
        EXPECT_EQ(s.formatOptions.TIF_Lzw, loaded.formatOptions.TIF_Lzw);
        EXPECT_EQ(s.formatOptions.TIF_TrueIndexGray, loaded.formatOptions.TIF_TrueIndexGray);
        EXPECT_EQ(s.formatOptions.JPG_Quality, loaded.formatOptions.JPG_Quality);
        EXPECT_EQ(s.formatOptions.JPG_Progress, loaded.formatOptions.JPG_Progress);
        EXPECT_EQ(s.formatOptions.JPG_Gray, loaded.formatOptions.JPG_Gray);
        EXPECT_EQ(s.CurrentFormat.JPG_Default, loaded.CurrentFormat.JPG_Default);
        EXPECT_EQ(s.CurrentFormat.GIF_Default, loaded.CurrentFormat.GIF_Default);
        EXPECT_EQ(s.CurrentFormat.TIF_Default, loaded.CurrentFormat.TIF_Default);
        EXPECT_FALSE(s.CurrentFormat.PNG_Default || s.CurrentFormat.BMP_Default);
        EXPECT_EQ(s.options.lvKodPreset, static_cast<int>(c.preset));
    }
}

TEST_F(OptionCommandsTest, RerenderFormsAndTheirViewStates) {
    addPage();
    session.ViewState = 0;
    EXPECT_TRUE(commands.rerenderCurrentPage());
    EXPECT_EQ(session.ViewState.load(), 2);
    auto events = ui.events();
    const auto* last = std::get_if<testing_support::Invalidated>(&events.back());
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->window, app::UiWindow::PageView);
    EXPECT_TRUE(last->erase) << "the long form erases";
    ui.setClientRect(app::UiWindow::ThumbnailStrip, {0, 0, 160, 600});
    session.ViewState = 0;
    commands.rerenderShort();
    EXPECT_EQ(session.ViewState.load(), 0) << "the short form leaves the view state";
    events = ui.events();
    last = std::get_if<testing_support::Invalidated>(&events.back());
    ASSERT_NE(last, nullptr);
    EXPECT_FALSE(last->erase);
    EXPECT_EQ(session.shownPage.load(), 0);
    // Pages out of range: nothing rendered, no current page.
    for (int current : {1, -2}) {
        session.PageList.currentPage = current;
        session.CurrentImage.store(nullptr);
        EXPECT_FALSE(commands.rerenderCurrentPage()) << current;
        EXPECT_EQ(session.PageList.currentPage.load(), -1) << current;
        EXPECT_FALSE(session.CurrentImage.load()) << current;
    }
    EXPECT_EQ(ui.waitCursorDepth(), 0);
}

TEST_F(OptionCommandsTest, ThumbnailsAreRenderedAt50DpiAndFitted) {
    addPage();
    addPage();
    session.RenderOptions.KodAntialias = 5;
    session.RenderOptions.ScaleCur = 300;
    commands.rebuildThumbnails();
    for (int i = 0; i < 2; ++i) {
        const auto& page = session.PageList.record(i);
        ASSERT_TRUE(page.thumbnail) << i;
        EXPECT_EQ(page.width, 130) << "scaled to fit 130 x 130";
        EXPECT_EQ(page.height, 130);
        EXPECT_EQ(page.thumbnail->width, 130);
        EXPECT_EQ(page.thumbnail->height, 130);
    }
    EXPECT_FALSE(session.ThumbnailMode.load());
    const auto events = ui.events();
    const auto* last = std::get_if<testing_support::Invalidated>(&events.back());
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->window, app::UiWindow::ThumbnailStrip);
    EXPECT_TRUE(last->erase);
    // A large page is fitted into 130 x 130, its aspect kept.
    metafile::EmfWriter w({0, 0, 2540 * 8, 2540 * 4}, {1000, 1000}, {254, 254});
    session.PageList.record(0).metafile = std::make_shared<const metafile::Metafile>(w.toMetafile().value());
    commands.rebuildThumbnails();
    EXPECT_EQ(session.PageList.record(0).width, 130);
    EXPECT_EQ(session.PageList.record(0).height, 65);
}

// A page 2.6 inches square is 130 pixels at 50 dpi, its own thumbnail: its
// stripes of 0.2 inches stay ten sharp pixels wide (drawn at any other
// resolution and fitted, their edges would be resampled to grey).
TEST_F(OptionCommandsTest, AThumbnailIsThePageAt50Dpi) {
    metafile::EmfWriter w({0, 0, 6604, 6604}, {1000, 1000}, {254, 254});  // 260 x 260 units of 1/100 inch
    w.selectStockObject(metafile::StockObject::NULL_PEN);
    w.selectStockObject(metafile::StockObject::BLACK_BRUSH);
    for (int x = 0; x < 260; x += 40) w.rectangle({x, 0, x + 20, 260});  // black stripes
    auto& page = session.PageList.record(0);
    page.metafile = std::make_shared<const metafile::Metafile>(w.toMetafile().value());
    session.PageList.publish(1);
    session.RenderOptions.KodAntialias = 0;
    session.RenderOptions.lvBkGrHathStyle = 100;  // white
    commands.rebuildThumbnails();
    const auto& thumb = *session.PageList.record(0).thumbnail;
    ASSERT_EQ(thumb.width, 130);
    ASSERT_EQ(thumb.height, 130);
    int grey = 0, wrong = 0;
    for (int y = 0; y < 130; ++y) {
        for (int x = 0; x < 130; ++x) {
            const std::uint32_t p = thumb.pixels[static_cast<std::size_t>(y * 130 + x)] & 0xFFFFFF;
            grey += p != 0 && p != 0xFFFFFF;
            if (x % 10 == 5)  // the middle of a stripe
                wrong += p != ((x / 10) % 2 == 0 ? 0u : 0xFFFFFFu);
        }
    }
    EXPECT_EQ(grey, 0) << "no resampled edges";
    EXPECT_EQ(wrong, 0) << "a stripe every 10 pixels";
}

// Pages of any width are fitted into 130 x 130, down to one pixel wide.
TEST_F(OptionCommandsTest, NarrowPagesAreFittedToo) {
    struct Case {
        std::int32_t frameWidth;  // hundredths of a millimetre; every page is 4 inches tall
        std::int32_t columns;     // at 50 dpi, before fitting
    };
    const Case cases[] = {{50, 1}, {100, 2}, {1000, 20}};
    for (const Case& c : cases) {
        metafile::EmfWriter w({0, 0, c.frameWidth, 10160}, {1000, 1000}, {254, 254});
        w.rectangle({0, 0, 2, 400});
        session.PageList.record(0).metafile =
            std::make_shared<const metafile::Metafile>(w.toMetafile().value());
        session.PageList.publish(1);
        commands.rebuildThumbnails();
        const auto& page = session.PageList.record(0);
        EXPECT_EQ(page.height, 130) << c.columns << " columns: 200 rows fitted into 130";
        EXPECT_LE(page.width, std::max(1, c.columns * 130 / 200 + 1)) << c.columns << " columns";
        ASSERT_TRUE(page.thumbnail);
        EXPECT_EQ(page.thumbnail->height, 130) << c.columns << " columns";
    }
}

TEST_F(OptionCommandsTest, BackgroundCommandsStoreRenderAndRebuild) {
    addPage();
    session.options.lvKodPreset = 3;
    commands.setLegacyBackground(99);
    EXPECT_EQ(reg("lvBkGrHathStyle"), 99);
    EXPECT_EQ(session.RenderOptions.lvBkGrHathStyle, 99);
    // The solid style: the page and its thumbnail in the stored colour.
    ASSERT_TRUE(session.CurrentImage.load());
    EXPECT_EQ(imageToBitmap(*session.CurrentImage.load()).pixels[0] & 0xFFFFFF, 0x80FF80u);
    ASSERT_TRUE(session.PageList.record(0).thumbnail);
    EXPECT_EQ(session.PageList.record(0).thumbnail->pixels[0] & 0xFFFFFF, 0x80FF80u);
    session.PageList.record(0).thumbnail = nullptr;
    session.CurrentImage.store(nullptr);
    commands.setBackgroundColour(0x00FF8040);
    EXPECT_EQ(reg("lvCurBkGrColor"), 0x00FF8040);
    EXPECT_EQ(session.RenderOptions.lvCurBkGrColor, 0x00FF8040u);
    ASSERT_TRUE(session.CurrentImage.load());
    const Bitmap shown = imageToBitmap(*session.CurrentImage.load());
    EXPECT_EQ(shown.pixels[0] & 0xFFFFFF, 0x4080FFu) << "the new colour, rendered";
    ASSERT_TRUE(session.PageList.record(0).thumbnail);
    EXPECT_EQ(session.PageList.record(0).thumbnail->pixels[0] & 0xFFFFFF, 0x4080FFu) << "thumbnails rebuilt";
    EXPECT_EQ(session.options.lvKodPreset, 3) << "background commands leave the preset";
    commands.setAntialias(0);
    EXPECT_EQ(session.options.lvKodPreset, 0);
    EXPECT_EQ(session.RenderOptions.KodAntialias, 0);
    session.options.lvKodPreset = 2;
    commands.toggleSharpen();
    EXPECT_EQ(session.options.lvKodPreset, 0);
    EXPECT_EQ(reg("lvKodPreset"), 0);
    EXPECT_TRUE(session.RenderOptions.lvSharpen);
    commands.toggleSharpen();
    EXPECT_EQ(reg("lvSharpen"), 0);
    commands.toggleDateStamp();
    commands.toggleDateStamp();
    EXPECT_EQ(reg("lvIncludeDateTime"), 0);
    EXPECT_FALSE(session.RenderOptions.lvIncludeDateTime);
    commands.toggleIncludeHtml();
    commands.toggleIncludeHtml();
    EXPECT_EQ(reg("KodIncludeHtml"), 1);
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
