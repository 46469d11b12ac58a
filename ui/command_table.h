#pragma once
// The one command table of the main program: every command id with its menu
// text, the popup it stands in, its key of accelerator table 144, the command
// maps that take it and the operation it routes to. The start buttons, the
// popups, the accelerators and the page view's context menu are all built
// from it; no window code here.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace app {
struct Session;
}

namespace ui {

// Command identifiers (resource ids of the menus and accelerators).
namespace cmd {
inline constexpr int kPresetTextGraphics = 32903;
inline constexpr int kPresetWordArtPhoto = 32904;
inline constexpr int kPresetProfessional = 32901;
inline constexpr int kPresetDemoDefault = 32900;
inline constexpr int kResolutionDialog = 32820;
inline constexpr int kFormatSheet = 32821;
inline constexpr int kSharpen = 32855;
inline constexpr int kAntialias20 = 32819;
inline constexpr int kAntialias15 = 32825;
inline constexpr int kAntialias10 = 32818;
inline constexpr int kAntialias7 = 32815;
inline constexpr int kAntialias5 = 32813;
inline constexpr int kAntialias3 = 32824;
inline constexpr int kAntialias2 = 32823;
inline constexpr int kAntialiasNone = 32801;
inline constexpr int kHatchMenu = 32857;
inline constexpr int kHatchKey = 192;
inline constexpr int kDateStamp = 32856;
inline constexpr int kSendTo = 32828;
inline constexpr int kSaveTo = 32829;
inline constexpr int kWallpaper = 32830;
inline constexpr int kHelp = 32831;
inline constexpr int kAbout = 32832;
inline constexpr int kOnline = 32833;
inline constexpr int kSupport = 32834;
inline constexpr int kEmergencyReport = 32844;
inline constexpr int kSave = 32865;
inline constexpr int kEmail = 32866;
inline constexpr int kPdf = 32867;
inline constexpr int kHtml = 32868;
inline constexpr int kAbort = 32826;
inline constexpr int kNextPage = 32871;
inline constexpr int kPreviousPage = 32872;
inline constexpr int kStripLineDown = 32873;
inline constexpr int kStripLineUp = 32874;
inline constexpr int kViewLineDown = 32875;
inline constexpr int kViewLineUp = 32876;
inline constexpr int kViewLineRight = 32877;
inline constexpr int kViewLineLeft = 32878;
// Button 4, exit and back to Word: a button of its own, no menu item.
inline constexpr int kExit = 32700;
// The progress bar's control id.
inline constexpr int kProgressBar = 9991;
}  // namespace cmd

// Where a command's menu item stands: menu 135's popups and the two
// submenus of "Options".
enum class Popup { None, Options, Presets, Antialiasing, RClick, Help };

// The command maps: the start buttons' (popups Options and Help), the main
// window's (accelerators) and the page view's (popup RClick).
enum class CommandMap : std::uint8_t { StartButton = 1, MainWindow = 2, PageView = 4 };
using CommandMaps = std::uint8_t;
inline constexpr CommandMaps kBothMaps =
    static_cast<CommandMaps>(CommandMap::StartButton) | static_cast<CommandMaps>(CommandMap::MainWindow);

// A key of table 144, as a virtual-key entry: a letter or digit by its
// character, the other keys by name.
enum class Key : int {
    None = 0,
    F1 = 0x101,
    F3,
    F4,
    F5,
    F6,
    Escape,
    PageDown,
    PageUp,
    Down,
    Up,
    Right,
    Left,
};
struct KeyStroke {
    int key = 0;  // a character 'A'..'Z', '0'..'9', or a Key
    bool ctrl = false;
    bool shift = false;
    friend bool operator==(const KeyStroke&, const KeyStroke&) = default;
};
constexpr KeyStroke keyOf(Key key, bool shift = false) {
    return {static_cast<int>(key), false, shift};
}
constexpr KeyStroke ctrlOf(char c) {
    return {c, true, false};
}

// The operation a command routes to.
enum class Action {
    Preset,  // argument: the preset 1..4
    ResolutionDialog,
    FormatSheet,
    ToggleSharpen,
    Antialias,  // argument: the factor (0 none)
    HatchDialog,
    ToggleDateStamp,
    SendTo,
    SaveTo,
    Wallpaper,
    HelpFile,
    About,
    Online,
    Support,
    EmergencyReport,
    Save,
    Email,
    Pdf,
    Html,
    Abort,
    NextPage,
    PreviousPage,
    StripLineDown,
    StripLineUp,
    ViewLineDown,
    ViewLineUp,
    ViewLineRight,
    ViewLineLeft,
    Exit,
};

struct Command {
    int id;
    const char* menuText;  // nullptr for commands without a menu item
    Popup popup;
    KeyStroke key;  // key.key == 0: no accelerator
    CommandMaps maps;
    Action action;
    int argument;
    // Grayed in the Options popup while the demonstration runs.
    bool demoLocked;
    // Through the main window during the demonstration: asks to leave it
    // first (F6 is ignored instead).
    bool asksInDemo;
};

// Every command, in the order of the table.
std::span<const Command> commandTable();
const Command* findCommand(int id);
// The command key `stroke` is bound to in table 144.
const Command* commandForKey(const KeyStroke& stroke);
// The entries of table 144, in table order.
std::vector<const Command*> acceleratorTable();

// A line of a popup: an item, a separator or a submenu.
struct MenuLine {
    enum class Kind { Item, Separator, Submenu } kind;
    int id = 0;                   // Item
    const char* text = nullptr;   // Submenu: its title
    Popup submenu = Popup::None;  // Submenu: whose items it holds
};
// The lines of a popup, in menu order (the Options popup's two submenus are
// lines of it).
std::vector<MenuLine> popupLines(Popup popup);
// The title of a popup of menu 135.
const char* popupTitle(Popup popup);

// Whether an item of the Options popup is checked for the current settings.
bool isChecked(const Command& command, const app::Session& session);

}  // namespace ui
