// The command table: ids, menu texts, popups, table 144, check marks, the
// demonstration's grayed items, and the routing rules of the command maps.

#include "ui/command_table.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "app/session.h"
#include "ui/command_router.h"

namespace ui {
namespace {

TEST(CommandTable, IdsAreUniqueAndKeysAreUnique) {
    std::set<int> ids;
    std::vector<KeyStroke> keys;
    for (const Command& c : commandTable()) {
        EXPECT_TRUE(ids.insert(c.id).second) << "id " << c.id << " twice";
        if (c.key.key == 0)
            continue;
        for (const KeyStroke& k : keys) EXPECT_FALSE(k == c.key) << "key of " << c.id << " twice";
        keys.push_back(c.key);
    }
}

// Accelerator table 144, entry by entry.
TEST(CommandTable, AcceleratorTable144) {
    const struct {
        KeyStroke key;
        int id;
    } expected[] = {
        {keyOf(Key::F3), 32903},
        {keyOf(Key::F4), 32904},
        {keyOf(Key::F5), 32901},
        {keyOf(Key::F6), 32900},
        {ctrlOf('D'), 32820},
        {ctrlOf('C'), 32821},
        {ctrlOf('X'), 32819},
        {ctrlOf('Z'), 32825},
        {ctrlOf('0'), 32818},
        {ctrlOf('7'), 32815},
        {ctrlOf('5'), 32813},
        {ctrlOf('3'), 32824},
        {ctrlOf('2'), 32823},
        {ctrlOf('N'), 32801},
        {ctrlOf('H'), 192},
        {keyOf(Key::F1), 32831},
        {ctrlOf('S'), 32865},
        {ctrlOf('M'), 32866},
        {ctrlOf('P'), 32867},
        {ctrlOf('W'), 32868},
        {keyOf(Key::Escape), 32826},
        {keyOf(Key::PageDown), 32871},
        {keyOf(Key::PageUp), 32872},
        {keyOf(Key::Down), 32873},
        {keyOf(Key::Up), 32874},
        {keyOf(Key::Down, true), 32875},
        {keyOf(Key::Up, true), 32876},
        {keyOf(Key::Right, true), 32877},
        {keyOf(Key::Left, true), 32878},
    };
    EXPECT_EQ(acceleratorTable().size(), std::size(expected));
    for (const auto& e : expected) {
        const Command* c = commandForKey(e.key);
        ASSERT_NE(c, nullptr) << "no command for the key of " << e.id;
        EXPECT_EQ(c->id, e.id);
        // Every key goes through the main window's map.
        EXPECT_NE(c->maps & static_cast<CommandMaps>(CommandMap::MainWindow), 0) << e.id;
    }
    EXPECT_EQ(commandForKey(ctrlOf('H'))->action, findCommand(32857)->action)
        << "Ctrl+H and the hatch menu item open the same dialog";
    EXPECT_EQ(commandForKey(ctrlOf('Q')), nullptr);
    EXPECT_EQ(commandForKey(keyOf(Key::Right)), nullptr) << "Right without Shift is no accelerator";
}

std::vector<std::string> textsOf(Popup popup) {
    std::vector<std::string> texts;
    for (const MenuLine& line : popupLines(popup)) {
        switch (line.kind) {
            case MenuLine::Kind::Item:
                texts.emplace_back(findCommand(line.id)->menuText);
                break;
            case MenuLine::Kind::Separator:
                texts.emplace_back("-");
                break;
            case MenuLine::Kind::Submenu:
                texts.emplace_back(std::string(">") + line.text);
                break;
        }
    }
    return texts;
}

TEST(CommandTable, PopupsOfMenu135) {
    EXPECT_EQ(
        textsOf(Popup::Options),
        (std::vector<std::string>{">Presets", "-", "Image Resolution and &Dimension ...\t(Ctrl+D)",
                                  "Image Format and Quality...\t(Ctrl+C)", "-", "Sharpen", ">Antialiasing",
                                  "-", "Background and Hatch settings\t(Ctrl+H)", "Date and Time stamp"}));
    EXPECT_EQ(textsOf(Popup::Presets),
              (std::vector<std::string>{"Text/Graphics\t(F3)", "WordArt/Photo\t(F4)", "Professional\t(F5)",
                                        "Demo default\t(F6)"}));
    EXPECT_EQ(
        textsOf(Popup::Antialiasing),
        (std::vector<std::string>{"20&x\t(Ctrl+X)", "15x\t(Ctrl+Z)", "1&0x\t(Ctrl+0)", "&7x\t(Ctrl+7)",
                                  "&5x\t(Ctrl+5)", "&3x\t(Ctrl+3)", "&2x\t(Ctrl+2)", "&None\t(Ctrl+N)"}));
    EXPECT_EQ(textsOf(Popup::RClick),
              (std::vector<std::string>{"Send to...", "Save to...", "Set to Wallpaper"}));
    EXPECT_EQ(textsOf(Popup::Help), (std::vector<std::string>{"Help\t(F1)", "About", "Quillo Online",
                                                              "Quillo Support", "Emergency Report"}));
    // Popup commands arrive at the map of the window that owns the popup.
    for (Popup p : {Popup::Presets, Popup::Antialiasing, Popup::Options, Popup::Help}) {
        for (const MenuLine& line : popupLines(p)) {
            if (line.kind != MenuLine::Kind::Item)
                continue;
            EXPECT_NE(findCommand(line.id)->maps & static_cast<CommandMaps>(CommandMap::StartButton), 0)
                << line.id;
        }
    }
    for (const MenuLine& line : popupLines(Popup::RClick))
        EXPECT_EQ(findCommand(line.id)->maps, static_cast<CommandMaps>(CommandMap::PageView)) << line.id;
}

TEST(CommandTable, GrayedDuringTheDemonstration) {
    const std::set<int> locked = {32801, 32823, 32824, 32813, 32818, 32825,
                                  32819, 32820, 32857, 32903, 32901, 32904};
    for (const Command& c : commandTable()) EXPECT_EQ(c.demoLocked, locked.count(c.id) == 1) << c.id;
}

TEST(CommandTable, CheckMarks) {
    struct Case {
        int factor, preset;
        bool sharpen, stamp;
        std::set<int> checked;
    };
    const Case cases[] = {
        {0, 0, false, false, {32801}},
        {-1, 0, false, false, {32801}},
        {1, 0, false, false, {}},
        {2, 1, false, false, {32823, 32903}},
        {3, 2, false, false, {32824, 32901}},
        {4, 3, false, false, {32904}},
        {5, 4, false, false, {32813, 32900}},
        {7, 0, true, false, {32815, 32855}},
        {10, 0, false, true, {32818, 32856}},
        {15, 5, false, false, {32825}},
        {19, 0, false, false, {}},
        {20, 0, false, false, {32819}},
        {25, 0, true, true, {32819, 32855, 32856}},
    };
    for (const Case& k : cases) {
        app::Session s;
        s.RenderOptions.KodAntialias = k.factor;
        s.options.lvKodPreset = k.preset;
        s.RenderOptions.lvSharpen = k.sharpen;
        s.RenderOptions.lvIncludeDateTime = k.stamp;
        std::set<int> checked;
        for (const Command& c : commandTable())
            if (isChecked(c, s))
                checked.insert(c.id);
        EXPECT_EQ(checked, k.checked) << "factor " << k.factor << " preset " << k.preset;
    }
}

// The router with every action recording what reached it.
struct RoutedFixture : ::testing::Test {
    CommandRouter router;
    std::vector<int> ran;
    bool demo = false;
    std::vector<bool> answers;  // answers of the demonstration question
    int asked = 0, rebuilt = 0;
    void SetUp() override {
        for (const Command& c : commandTable())
            router.bind(c.action, [this](const Command& command) { ran.push_back(command.id); });
        router.demoMode = [this] { return demo; };
        router.confirmLeavingDemonstration = [this] {
            ++asked;
            const bool yes = answers.empty() ? false : answers.front();
            if (!answers.empty())
                answers.erase(answers.begin());
            if (yes)
                demo = false;
            return yes;
        };
        router.afterLeavingDemonstration = [this] { ++rebuilt; };
    }
};

TEST_F(RoutedFixture, EveryCommandReachesItsOperationThroughEachOfItsMaps) {
    for (const Command& c : commandTable()) {
        for (CommandMap map : {CommandMap::StartButton, CommandMap::MainWindow, CommandMap::PageView}) {
            ran.clear();
            const bool takes = (c.maps & static_cast<CommandMaps>(map)) != 0;
            EXPECT_EQ(router.dispatch(c.id, map), takes ? RouteResult::Done : RouteResult::NotInMap)
                << c.id << " map " << static_cast<int>(map);
            EXPECT_EQ(ran, takes ? std::vector<int>{c.id} : std::vector<int>{}) << c.id;
        }
    }
    EXPECT_EQ(router.dispatch(12345, CommandMap::MainWindow), RouteResult::Unknown);
}

TEST_F(RoutedFixture, UnboundActionIsReported) {
    CommandRouter bare;
    EXPECT_EQ(bare.dispatch(cmd::kSave, CommandMap::MainWindow), RouteResult::Unbound);
}

TEST_F(RoutedFixture, MainWindowAsksBeforeSettingsCommandsDuringTheDemonstration) {
    for (const Command& c : commandTable()) {
        if ((c.maps & static_cast<CommandMaps>(CommandMap::MainWindow)) == 0)
            continue;
        // Answer No: nothing runs for the asking commands.
        demo = true;
        ran.clear();
        asked = rebuilt = 0;
        answers = {false};
        const RouteResult no = router.dispatch(c.id, CommandMap::MainWindow);
        if (c.id == cmd::kPresetDemoDefault) {
            EXPECT_EQ(no, RouteResult::Ignored);
            EXPECT_EQ(asked, 0);
            EXPECT_TRUE(ran.empty());
            continue;
        }
        EXPECT_EQ(no, c.asksInDemo ? RouteResult::Declined : RouteResult::Done) << c.id;
        EXPECT_EQ(asked, c.asksInDemo ? 1 : 0) << c.id;
        EXPECT_EQ(ran.empty(), c.asksInDemo) << c.id;
        EXPECT_TRUE(demo);
        if (!c.asksInDemo)
            continue;
        // Answer Yes: the command runs, then the thumbnails are rebuilt
        // (not for the hatch dialog).
        ran.clear();
        answers = {true};
        EXPECT_EQ(router.dispatch(c.id, CommandMap::MainWindow), RouteResult::Done) << c.id;
        EXPECT_EQ(ran, std::vector<int>{c.id});
        EXPECT_FALSE(demo);
        EXPECT_EQ(rebuilt, c.id == cmd::kHatchKey ? 0 : 1) << c.id;
    }
}

TEST_F(RoutedFixture, StartButtonMapNeverAsks) {
    demo = true;
    for (int id : {cmd::kPresetDemoDefault, cmd::kAntialias2, cmd::kResolutionDialog, cmd::kHatchMenu}) {
        ran.clear();
        EXPECT_EQ(router.dispatch(id, CommandMap::StartButton), RouteResult::Done) << id;
        EXPECT_EQ(ran, std::vector<int>{id});
    }
    EXPECT_EQ(asked, 0);
    // Outside the demonstration the main window runs F6 directly.
    demo = false;
    ran.clear();
    EXPECT_EQ(router.dispatch(cmd::kPresetDemoDefault, CommandMap::MainWindow), RouteResult::Done);
    EXPECT_EQ(ran, std::vector<int>{cmd::kPresetDemoDefault});
}

}  // namespace
}  // namespace ui
