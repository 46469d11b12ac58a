#include "ui/command_table.h"

#include <array>

#include "app/session.h"

namespace ui {
namespace {

using namespace cmd;
constexpr CommandMaps kButton = static_cast<CommandMaps>(CommandMap::StartButton);
constexpr CommandMaps kMain = static_cast<CommandMaps>(CommandMap::MainWindow);
constexpr CommandMaps kView = static_cast<CommandMaps>(CommandMap::PageView);
constexpr KeyStroke kNoKey{};

// clang-format off
constexpr std::array kCommands = {
    //       id                  menu text                                          popup                 key                          maps      action                    arg  locked asks
    Command{kPresetTextGraphics, "Text/Graphics\t(F3)",                             Popup::Presets,       keyOf(Key::F3),              kBothMaps, Action::Preset,           1,  true,  true},
    Command{kPresetWordArtPhoto, "WordArt/Photo\t(F4)",                             Popup::Presets,       keyOf(Key::F4),              kBothMaps, Action::Preset,           3,  true,  true},
    Command{kPresetProfessional, "Professional\t(F5)",                              Popup::Presets,       keyOf(Key::F5),              kBothMaps, Action::Preset,           2,  true,  true},
    Command{kPresetDemoDefault,  "Demo default\t(F6)",                              Popup::Presets,       keyOf(Key::F6),              kBothMaps, Action::Preset,           4,  false, false},
    Command{kResolutionDialog,   "Image Resolution and &Dimension ...\t(Ctrl+D)",   Popup::Options,       ctrlOf('D'),                 kBothMaps, Action::ResolutionDialog, 0,  true,  true},
    Command{kFormatSheet,        "Image Format and Quality...\t(Ctrl+C)",           Popup::Options,       ctrlOf('C'),                 kBothMaps, Action::FormatSheet,      0,  false, true},
    Command{kSharpen,            "Sharpen",                                         Popup::Options,       kNoKey,                      kButton,   Action::ToggleSharpen,    0,  false, false},
    Command{kAntialias20,        "20&x\t(Ctrl+X)",                                  Popup::Antialiasing,  ctrlOf('X'),                 kBothMaps, Action::Antialias,        20, true,  true},
    Command{kAntialias15,        "15x\t(Ctrl+Z)",                                   Popup::Antialiasing,  ctrlOf('Z'),                 kBothMaps, Action::Antialias,        15, true,  true},
    Command{kAntialias10,        "1&0x\t(Ctrl+0)",                                  Popup::Antialiasing,  ctrlOf('0'),                 kBothMaps, Action::Antialias,        10, true,  true},
    Command{kAntialias7,         "&7x\t(Ctrl+7)",                                   Popup::Antialiasing,  ctrlOf('7'),                 kBothMaps, Action::Antialias,        7,  false, true},
    Command{kAntialias5,         "&5x\t(Ctrl+5)",                                   Popup::Antialiasing,  ctrlOf('5'),                 kBothMaps, Action::Antialias,        5,  true,  true},
    Command{kAntialias3,         "&3x\t(Ctrl+3)",                                   Popup::Antialiasing,  ctrlOf('3'),                 kBothMaps, Action::Antialias,        3,  true,  true},
    Command{kAntialias2,         "&2x\t(Ctrl+2)",                                   Popup::Antialiasing,  ctrlOf('2'),                 kBothMaps, Action::Antialias,        2,  true,  true},
    Command{kAntialiasNone,      "&None\t(Ctrl+N)",                                 Popup::Antialiasing,  ctrlOf('N'),                 kBothMaps, Action::Antialias,        0,  true,  true},
    Command{kHatchMenu,          "Background and Hatch settings\t(Ctrl+H)",         Popup::Options,       kNoKey,                      kButton,   Action::HatchDialog,      0,  true,  false},
    Command{kHatchKey,           nullptr,                                           Popup::None,          ctrlOf('H'),                 kMain,     Action::HatchDialog,      0,  false, true},
    Command{kDateStamp,          "Date and Time stamp",                             Popup::Options,       kNoKey,                      kButton,   Action::ToggleDateStamp,  0,  false, false},
    Command{kSendTo,             "Send to...",                                      Popup::RClick,        kNoKey,                      kView,     Action::SendTo,           0,  false, false},
    Command{kSaveTo,             "Save to...",                                      Popup::RClick,        kNoKey,                      kView,     Action::SaveTo,           0,  false, false},
    Command{kWallpaper,          "Set to Wallpaper",                                Popup::RClick,        kNoKey,                      kView,     Action::Wallpaper,        0,  false, false},
    Command{kHelp,               "Help\t(F1)",                                      Popup::Help,          keyOf(Key::F1),              kBothMaps, Action::HelpFile,         0,  false, false},
    Command{kAbout,              "About",                                           Popup::Help,          kNoKey,                      kButton,   Action::About,            0,  false, false},
    Command{kOnline,             "Quillo Online",                                   Popup::Help,          kNoKey,                      kButton,   Action::Online,           0,  false, false},
    Command{kSupport,            "Quillo Support",                                  Popup::Help,          kNoKey,                      kButton,   Action::Support,          0,  false, false},
    Command{kEmergencyReport,    "Emergency Report",                                Popup::Help,          kNoKey,                      kButton,   Action::EmergencyReport,  0,  false, false},
    Command{kSave,               nullptr,                                           Popup::None,          ctrlOf('S'),                 kBothMaps, Action::Save,             0,  false, false},
    Command{kEmail,              nullptr,                                           Popup::None,          ctrlOf('M'),                 kBothMaps, Action::Email,            0,  false, false},
    Command{kPdf,                nullptr,                                           Popup::None,          ctrlOf('P'),                 kBothMaps, Action::Pdf,              0,  false, false},
    Command{kHtml,               nullptr,                                           Popup::None,          ctrlOf('W'),                 kBothMaps, Action::Html,             0,  false, false},
    Command{kAbort,              nullptr,                                           Popup::None,          keyOf(Key::Escape),          kMain,     Action::Abort,            0,  false, false},
    Command{kNextPage,           nullptr,                                           Popup::None,          keyOf(Key::PageDown),        kMain,     Action::NextPage,         0,  false, false},
    Command{kPreviousPage,       nullptr,                                           Popup::None,          keyOf(Key::PageUp),          kMain,     Action::PreviousPage,     0,  false, false},
    Command{kStripLineDown,      nullptr,                                           Popup::None,          keyOf(Key::Down),            kMain,     Action::StripLineDown,    0,  false, false},
    Command{kStripLineUp,        nullptr,                                           Popup::None,          keyOf(Key::Up),              kMain,     Action::StripLineUp,      0,  false, false},
    Command{kViewLineDown,       nullptr,                                           Popup::None,          keyOf(Key::Down, true),      kMain,     Action::ViewLineDown,     0,  false, false},
    Command{kViewLineUp,         nullptr,                                           Popup::None,          keyOf(Key::Up, true),        kMain,     Action::ViewLineUp,       0,  false, false},
    Command{kViewLineRight,      nullptr,                                           Popup::None,          keyOf(Key::Right, true),     kMain,     Action::ViewLineRight,    0,  false, false},
    Command{kViewLineLeft,       nullptr,                                           Popup::None,          keyOf(Key::Left, true),      kMain,     Action::ViewLineLeft,     0,  false, false},
    Command{kExit,               nullptr,                                           Popup::None,          kNoKey,                      kButton,   Action::Exit,             0,  false, false},
};
// clang-format on

}  // namespace

std::span<const Command> commandTable() {
    return kCommands;
}

const Command* findCommand(int id) {
    for (const Command& c : kCommands) {
        if (c.id == id)
            return &c;
    }
    return nullptr;
}

const Command* commandForKey(const KeyStroke& stroke) {
    if (stroke.key == 0)
        return nullptr;
    for (const Command& c : kCommands) {
        if (c.key == stroke)
            return &c;
    }
    return nullptr;
}

std::vector<const Command*> acceleratorTable() {
    std::vector<const Command*> entries;
    for (const Command& c : kCommands) {
        if (c.key.key != 0)
            entries.push_back(&c);
    }
    return entries;
}

std::vector<MenuLine> popupLines(Popup popup) {
    using Kind = MenuLine::Kind;
    auto itemsOf = [](Popup p) {
        std::vector<MenuLine> lines;
        for (const Command& c : kCommands) {
            if (c.popup == p)
                lines.push_back({Kind::Item, c.id});
        }
        return lines;
    };
    if (popup != Popup::Options)
        return itemsOf(popup);
    return {
        {Kind::Submenu, 0, "Presets", Popup::Presets},
        {Kind::Separator},
        {Kind::Item, cmd::kResolutionDialog},
        {Kind::Item, cmd::kFormatSheet},
        {Kind::Separator},
        {Kind::Item, cmd::kSharpen},
        {Kind::Submenu, 0, "Antialiasing", Popup::Antialiasing},
        {Kind::Separator},
        {Kind::Item, cmd::kHatchMenu},
        {Kind::Item, cmd::kDateStamp},
    };
}

const char* popupTitle(Popup popup) {
    switch (popup) {
        case Popup::Options:
            return "Options";
        case Popup::Presets:
            return "Presets";
        case Popup::Antialiasing:
            return "Antialiasing";
        case Popup::RClick:
            return "RClick";
        case Popup::Help:
            return "Help";
        case Popup::None:
            break;
    }
    return "";
}

bool isChecked(const Command& command, const app::Session& session) {
    const int factor = session.RenderOptions.KodAntialias;
    switch (command.action) {
        case Action::Antialias:
            if (command.argument == 0)
                return factor < 1;
            if (command.argument == 20)
                return factor >= 20;
            return factor == command.argument;
        case Action::Preset:
            return session.options.lvKodPreset == command.argument;
        case Action::ToggleSharpen:
            return session.RenderOptions.lvSharpen;
        case Action::ToggleDateStamp:
            return session.RenderOptions.lvIncludeDateTime;
        default:
            return false;
    }
}

}  // namespace ui
