// The program's dialogs on a virtual display: each opened by its command
// from the main window, driven by events posted to its controls, closed with
// OK or Cancel, and the committed settings read back from the registry. The
// toolkit's file and colour choosers are answered through the port's seams.
// With SCRIVLET_SCREENS_DIR set, every dialog is also kept as a picture.

#include <wx/bookctrl.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/filedlg.h>
#include <wx/html/helpctrl.h>
#include <wx/html/helpfrm.h>
#include <wx/html/helpwnd.h>
#include <wx/html/htmlwin.h>
#include <wx/propdlg.h>
#include <wx/radiobut.h>
#include <wx/slider.h>
#include <wx/spinbutt.h>
#include <wx/splash.h>
#include <wx/textctrl.h>

#include <cmath>

#include "render/magick.h"
#include "tests/gui/window_fixture.h"
#include "tests/output/image_headers.h"
#include "ui/format_pages.h"
#include "ui/hatch_dialog_model.h"
#include "ui/help_book.h"
#include "ui/resolution_dialog_model.h"
#include "ui/tip_of_the_day.h"
#include "ui/wx/wx_dialogs.h"

namespace gui_test {
namespace {

namespace cmd = ui::cmd;
namespace res = ui::res;
using platform::RegRoot;

template <class T>
T* control(wxWindow& dialog, int id) {
    T* c = dynamic_cast<T*>(dialog.FindWindow(id));
    EXPECT_NE(c, nullptr) << "control " << id;
    return c;
}
void typeInto(wxWindow& dialog, int id, const char* text) {
    control<wxTextCtrl>(dialog, id)->SetValue(text);  // sends the change notification
}
void arrow(wxWindow& dialog, int id, int delta) {
    auto* spin = control<wxSpinButton>(dialog, id);
    wxSpinEvent event(delta > 0 ? wxEVT_SPIN_UP : wxEVT_SPIN_DOWN, id);
    event.SetEventObject(spin);
    spin->ProcessWindowEvent(event);
}
void chooseRadio(wxWindow& dialog, int id) {
    auto* radio = control<wxRadioButton>(dialog, id);
    radio->SetValue(true);
    wxCommandEvent event(wxEVT_RADIOBUTTON, id);
    event.SetEventObject(radio);
    event.SetInt(1);
    radio->ProcessWindowEvent(event);
}
void toggle(wxWindow& dialog, int id) {
    auto* box = control<wxCheckBox>(dialog, id);
    box->SetValue(!box->GetValue());
    wxCommandEvent event(wxEVT_CHECKBOX, id);
    event.SetEventObject(box);
    event.SetInt(box->GetValue() ? 1 : 0);
    box->ProcessWindowEvent(event);
}
void slide(wxWindow& dialog, int id, int value) {
    auto* slider = control<wxSlider>(dialog, id);
    slider->SetValue(value);
    wxCommandEvent event(wxEVT_SLIDER, id);
    event.SetEventObject(slider);
    event.SetInt(value);
    slider->ProcessWindowEvent(event);
}
void choose(wxWindow& dialog, int id, int entry) {
    auto* list = control<wxChoice>(dialog, id);
    list->SetSelection(entry);
    wxCommandEvent event(wxEVT_CHOICE, id);
    event.SetEventObject(list);
    event.SetInt(entry);
    list->ProcessWindowEvent(event);
}
void press(wxWindow& dialog, int id) {
    wxWindow* button = dialog.FindWindow(id);
    ASSERT_NE(button, nullptr) << "button " << id;
    wxCommandEvent event(wxEVT_BUTTON, id);
    event.SetEventObject(button);
    button->ProcessWindowEvent(event);
}
int number(wxWindow& dialog, int id) {
    return ui::fieldNumber(control<wxTextCtrl>(dialog, id)->GetValue().utf8_string());
}
// Keeps a picture of `window` for review when SCRIVLET_SCREENS_DIR names a
// folder; the screen pixels either way.
wxImage shoot(wxWindow* window, const std::string& name) {
    pumpFor(0.4);
    wxImage image = grab(window);
    if (const char* folder = std::getenv("SCRIVLET_SCREENS_DIR")) {
        static const bool handlers = (wxInitAllImageHandlers(), true);
        (void)handlers;
        image.SaveFile(wxString::Format("%s/%s.png", folder, name), wxBITMAP_TYPE_PNG);
    }
    return image;
}

// The screen pixels of `window` once its paints are done, kept nowhere.
wxImage look(wxWindow* window) {
    pumpFor(0.3);
    return grab(window);
}

// The whole screen, for windows of the toolkit's own whose client area the
// program does not know (the file chooser); only when pictures are asked for.
void shootScreen(const std::string& name) {
    pumpFor(0.4);
    if (const char* folder = std::getenv("SCRIVLET_SCREENS_DIR")) {
        const std::string command = "import -window root '" + std::string(folder) + "/" + name + ".png'";
        if (std::system(command.c_str()) != 0)
            std::printf("no picture of the screen: %s failed\n", command.c_str());
    }
}

class DialogWindowTest : public WindowFixture {
protected:
    void start() {
        useSmallPages();  // 30 x 40 mm
        startProgram({"quick"});
        session->DemoMode = false;
    }
    // A command from the main window: keys through its accelerator route,
    // menu items through the start button that owns their popup.
    void command(int id) {
        const ui::Command* c = ui::findCommand(id);
        ASSERT_NE(c, nullptr);
        wxWindow* owner = (c->maps & static_cast<ui::CommandMaps>(ui::CommandMap::MainWindow)) != 0
                              ? static_cast<wxWindow*>(frame())
                              : static_cast<wxWindow*>(frame()->button(c->popup == ui::Popup::Help ? 3 : 2));
        wxCommandEvent event(wxEVT_MENU, ui::wxIdOf(id));
        event.SetEventObject(owner);
        owner->ProcessWindowEvent(event);
        pumpFor(0.05);
    }
    int dword(const char* name) const { return store->readDword(RegRoot::CurrentUser, name); }
    void waitForWriter() {
        ASSERT_TRUE(pumpUntil([this] { return !session->writerRunning.load(); }));
        pumpFor(0.1);
    }
    std::string fileBytes(const fs::path& path) const {
        std::ifstream in(path, std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }
};

TEST_F(DialogWindowTest, ResolutionDialogCouplesAndCommits) {
    start();
    session->resolution.CheckN = session->resolutionDialog.CheckN = 0;
    const int screen = session->ScreenDpi;
    bool ran = false;
    // Cancel after changes: nothing stored.
    dialogActions.push_back([&](wxDialog& d) {
        ran = true;
        EXPECT_EQ(d.GetTitle(), "Image Resolution and Dimension");
        EXPECT_EQ(number(d, res::kWidthMmField), 30);
        EXPECT_EQ(number(d, res::kHeightMmField), 40);
        EXPECT_TRUE(control<wxRadioButton>(d, res::kDisplay)->GetValue());
        EXPECT_FALSE(d.FindWindow(res::kResolutionField)->IsEnabled());
        chooseRadio(d, res::kPrinter);
        EXPECT_EQ(number(d, res::kWidthPxField), 355) << "30 mm at 300 ppi";
        EXPECT_EQ(number(d, res::kHeightPxField), 473);
        typeInto(d, res::kScaleField, "50");
        EXPECT_EQ(number(d, res::kWidthMmField), 30) << "a typed scale changes no other field";
        arrow(d, res::kScaleSpin, 1);
        EXPECT_EQ(number(d, res::kScaleField), 51);
        EXPECT_EQ(number(d, res::kWidthMmField), 16);
        shoot(&d, "resolution-printer");
        press(d, wxID_CANCEL);
    });
    command(cmd::kResolutionDialog);
    ASSERT_TRUE(ran);
    EXPECT_EQ(dword("CheckN"), -1);
    EXPECT_EQ(dword("ScaleCur"), -1);

    // The width-pixel arrow while Display is chosen: User-defined at the
    // resolution the pixels imply; OK stores it.
    const int widthPx = static_cast<int>(std::ceil(screen * 30 * ui::kInchesPerMm));
    dialogActions.push_back([&](wxDialog& d) {
        EXPECT_EQ(number(d, res::kWidthPxField), widthPx);
        arrow(d, res::kWidthPxSpin, 1);
        EXPECT_TRUE(control<wxRadioButton>(d, res::kUserDefined)->GetValue());
        EXPECT_TRUE(d.FindWindow(res::kResolutionField)->IsEnabled());
        shoot(&d, "resolution");
        press(d, wxID_OK);
    });
    command(cmd::kResolutionDialog);
    pumpFor(0.2);
    EXPECT_EQ(dword("CheckN"), 2);
    EXPECT_EQ(dword("ResCur"), ui::resCurOf((widthPx + 1) / (30 * ui::kInchesPerMm)));
    EXPECT_EQ(dword("ScaleCur"), 100);
    EXPECT_EQ(dword("lvKodPreset"), 0);
    EXPECT_EQ(session->resolution.CheckN, 2);
}

TEST_F(DialogWindowTest, HatchDialogPreviewSwatchesAndCommit) {
    start();
    std::vector<std::uint32_t> offered;
    program->port().colourHook = [&](std::uint32_t initial) {
        offered.push_back(initial);
        return std::optional<std::uint32_t>(0x0000FF);  // red
    };
    dialogActions.push_back([&](wxDialog& d) {
        EXPECT_EQ(d.GetTitle(), "Hatch Settings");
        EXPECT_TRUE(control<wxCheckBox>(d, ui::hatch::kShowBackground)->GetValue())
            << "no stored style: the background shows";
        // The hatch swatch opens the picker; the preview takes the colour.
        wxMouseEvent down(wxEVT_LEFT_DOWN);
        down.SetPosition(wxPoint(25, 45));
        d.ProcessWindowEvent(down);
        const wxImage shown = shoot(&d, "hatch");
        // Vertical lines at x = 168, ..., 312, horizontal ones at y = 16, ...
        for (int x : {168, 176, 240, 312}) EXPECT_TRUE(pixelIs(shown, x, 50, 255, 0, 0)) << x;
        for (int y : {16, 24, 160}) EXPECT_TRUE(pixelIs(shown, 200, y, 255, 0, 0)) << y;
        EXPECT_TRUE(pixelIs(shown, 169, 50, 128, 255, 128));
        EXPECT_TRUE(pixelIs(shown, 162, 50, 0, 0, 255)) << "the blue frame";
        EXPECT_TRUE(pixelIs(shown, 25, 45, 255, 0, 0)) << "the hatch swatch";
        EXPECT_TRUE(pixelIs(shown, 25, 20, 128, 255, 128)) << "the background swatch";
        // Spacing by its spin: 8 -> 9 -> 10; lines move.
        arrow(d, ui::hatch::kSpacingSpin, 1);
        arrow(d, ui::hatch::kSpacingSpin, 1);
        EXPECT_EQ(number(d, ui::hatch::kSpacingField), 10);
        typeInto(d, ui::hatch::kWidthField, "2");
        press(d, wxID_OK);
    });
    command(cmd::kHatchKey);
    pumpFor(0.2);
    EXPECT_EQ(offered, (std::vector<std::uint32_t>{11025982u}));
    EXPECT_EQ(dword("lvHatchColor"), 0xFF);
    EXPECT_EQ(dword("lvHatchDepress"), 10);
    EXPECT_EQ(dword("lvHatchWidth"), 2);
    EXPECT_EQ(dword("lvBkGrHathStyle"), -1) << "the style did not change from the opening's 4";
    EXPECT_EQ(dword("lvCurBkGrColor"), -1);
    EXPECT_EQ(dword("lvKodPreset"), 0);

    // Background off: the swatches open nothing; OK stores 100.
    offered.clear();
    dialogActions.push_back([&](wxDialog& d) {
        toggle(d, ui::hatch::kShowBackground);
        EXPECT_FALSE(d.FindWindow(ui::hatch::kWidthField)->IsEnabled());
        EXPECT_FALSE(d.FindWindow(ui::hatch::kHorizontal)->IsEnabled());
        EXPECT_TRUE(d.FindWindow(ui::hatch::kWidthSpin)->IsEnabled());
        wxMouseEvent down(wxEVT_LEFT_DOWN);
        down.SetPosition(wxPoint(25, 20));
        d.ProcessWindowEvent(down);
        shoot(&d, "hatch-background-off");
        press(d, wxID_OK);
    });
    command(cmd::kHatchMenu);
    EXPECT_TRUE(offered.empty());
    EXPECT_EQ(dword("lvBkGrHathStyle"), 100);
}

TEST_F(DialogWindowTest, FullFormatSheetCommitsEveryPage) {
    start();
    dialogActions.push_back([&](wxDialog& d) {
        EXPECT_EQ(d.GetTitle(), "Image Format and Quality");
        auto* book = dynamic_cast<wxPropertySheetDialog&>(d).GetBookCtrl();
        ASSERT_EQ(book->GetPageCount(), 6u);
        EXPECT_EQ(book->GetSelection(), 0) << "opened on the current format's page (JPG)";
        const char* names[] = {"sheet-jpg", "sheet-gif", "sheet-png", "sheet-bmp", "sheet-tif", "sheet-pdf"};
        for (std::size_t i = 0; i < 6; ++i) {
            EXPECT_EQ(book->GetPageText(i), ui::pageCaption(ui::fullSheetPages()[i]));
            book->SetSelection(i);
            shoot(&d, names[i]);
        }
        slide(d, 1101, 40);
        EXPECT_EQ(number(d, 1100), 40);
        toggle(d, 1103);       // Grayscale
        chooseRadio(d, 1122);  // PNG Grayscale
        EXPECT_TRUE(d.FindWindow(1124)->IsEnabled()) << "colours for a grey PNG";
        chooseRadio(d, 1120);  // True Color
        EXPECT_FALSE(d.FindWindow(1124)->IsEnabled());
        chooseRadio(d, 1122);
        choose(d, 1140, 2);  // TIF inside the PDF
        press(d, wxID_OK);
    });
    command(cmd::kFormatSheet);
    pumpFor(0.2);
    EXPECT_EQ(dword("JPG_Quality"), 40);
    EXPECT_EQ(dword("JPG_Gray"), 1);
    EXPECT_EQ(dword("PNG_TrueIndexGray"), 2);
    EXPECT_EQ(dword("GIF_Colors"), 64) << "an untouched page keeps its values";
    EXPECT_EQ(store->readString(RegRoot::CurrentUser, "PDF_Bitmp_Format"), "TIF");
    EXPECT_EQ(dword("lvKodPreset"), 0);
    EXPECT_EQ(dword("JPG_Default"), 1);
}

TEST_F(DialogWindowTest, SaveDialogCheckBoxReachesTheSettingsAndTheOptionsSheet) {
    start();
    fs::create_directories(dir / "out");
    // The toolkit's own dialog, shown once and closed as Cancel.
    bool shown = false;
    program->port().fileDialogHook = [&](wxFileDialog& dialog, ui::WxUiPort::SaveChecks& checks) {
        EXPECT_EQ(checks.count, 1);
        EXPECT_TRUE(checks.invokeImageOptions) << "SaveFile_Opt defaults to 1";
        EXPECT_EQ(dialog.GetFilterIndex(), 0) << "the current format, JPG";
        dialog.CallAfter([&] {
            pumpFor(1.0);
            shown = dialog.IsShown();
            shootScreen("save-dialog");
            dialog.EndModal(wxID_CANCEL);
        });
        return dialog.ShowModal();
    };
    command(cmd::kSave);
    EXPECT_TRUE(shown);
    EXPECT_EQ(dword("SaveFile_Opt"), -1) << "Cancel stores nothing";

    // OK as PNG with "Invoke Image Options": the PNG page, then the files.
    program->port().fileDialogHook = [&](wxFileDialog&, ui::WxUiPort::SaveChecks& checks) {
        checks.path = (dir / "out" / "Doc.png").string();
        checks.type = 3;
        checks.invokeImageOptions = true;
        return wxID_OK;
    };
    dialogActions.push_back([&](wxDialog& d) {
        EXPECT_EQ(d.GetTitle(), "Image Format Options");
        shoot(&d, "sheet-single-png");
        chooseRadio(d, 1122);
        press(d, wxID_OK);
    });
    command(cmd::kSave);
    waitForWriter();
    EXPECT_EQ(dword("SaveFile_Opt"), 1);
    EXPECT_EQ(dword("PNG_Default"), 1);
    EXPECT_EQ(dword("PNG_TrueIndexGray"), 2);
    // The demonstration's pages page0001.emf ... carry the page numbers "0001" ...
    ASSERT_TRUE(fs::exists(dir / "out" / "Doc0001.png"));
    EXPECT_EQ(testing_support::readPng(fileBytes(dir / "out" / "Doc0001.png")).colourType, 0);
    EXPECT_EQ(store->readString(RegRoot::CurrentUser, "SavePath"), (dir / "out").string() + "/");

    // The PDF's dialog has both boxes; cleared, they are stored as 0.
    session->resolution.userResolution = 100;
    program->port().fileDialogHook = [&](wxFileDialog&, ui::WxUiPort::SaveChecks& checks) {
        EXPECT_EQ(checks.count, 2);
        checks.path = (dir / "out" / "Book.pdf").string();
        checks.invokeImageOptions = false;
        checks.startFileAfterCreation = false;
        return wxID_OK;
    };
    command(cmd::kPdf);
    waitForWriter();
    EXPECT_EQ(dword("SaveFile_Opt"), 0);
    EXPECT_EQ(dword("StartFile_Opt"), 0);
    EXPECT_TRUE(fs::exists(dir / "out" / "Book.pdf"));
}

TEST_F(DialogWindowTest, MailFormatDialog) {
    start();
    store->writeDword(RegRoot::CurrentUser, "KodEmailFormat", 0);
    dialogActions.push_back([&](wxDialog& d) {
        EXPECT_EQ(d.GetTitle(), "Quillo Scrivlet");
        EXPECT_EQ(control<wxChoice>(d, 1001)->GetSelection(), 0) << "0 preselects JPG";
        EXPECT_EQ(control<wxChoice>(d, 1001)->GetCount(), 6u);
        shoot(&d, "mail-format");
        choose(d, 1001, 2);  // PNG
        toggle(d, 1002);     // Image Options off
        press(d, wxID_OK);
    });
    command(cmd::kEmail);
    waitForWriter();
    EXPECT_EQ(dword("KodEmailFormat"), 3);
    EXPECT_EQ(dword("SaveFile_Opt"), 0);
    const auto mailed = programLog("xdg-email");
    EXPECT_NE(std::find_if(mailed.begin(), mailed.end(),
                           [](const std::string& a) { return a.ends_with("0001.png"); }),
              mailed.end());
}

// The extra pages of the option sheet: the PDF's inside format when a PDF
// is mailed with "Image Options", the animation delay for a stored animated
// GIF (a code the list does not offer).
TEST_F(DialogWindowTest, ExtraPagesOfTheMailRoute) {
    start();
    session->resolution.userResolution = 100;
    store->writeDword(RegRoot::CurrentUser, "KodEmailFormat", 6);
    dialogActions.push_back([&](wxDialog& d) {
        EXPECT_EQ(control<wxChoice>(d, 1001)->GetSelection(), 5) << "the PDF";
        EXPECT_TRUE(control<wxCheckBox>(d, 1002)->GetValue());
        press(d, wxID_OK);
    });
    dialogActions.push_back([&](wxDialog& d) {
        auto* book = dynamic_cast<wxPropertySheetDialog&>(d).GetBookCtrl();
        ASSERT_EQ(book->GetPageCount(), 1u);
        EXPECT_EQ(book->GetPageText(0), "Multipaged PDF");
        EXPECT_EQ(control<wxChoice>(d, 1140)->GetStringSelection(), "BMP") << "no stored value: BMP";
        shoot(&d, "sheet-extra-pdf");
        choose(d, 1140, 1);  // JPG
        press(d, wxID_OK);
    });
    dialogActions.push_back([&](wxDialog& d) {
        auto* book = dynamic_cast<wxPropertySheetDialog&>(d).GetBookCtrl();
        EXPECT_EQ(book->GetPageText(0), "JPG") << "then the inside format's own page";
        press(d, wxID_OK);
    });
    command(cmd::kEmail);
    waitForWriter();
    EXPECT_EQ(store->readString(RegRoot::CurrentUser, "PDF_Bitmp_Format"), "JPG");
    const auto mailed = programLog("xdg-email");
    EXPECT_NE(std::find_if(mailed.begin(), mailed.end(),
                           [](const std::string& a) { return a.ends_with("doc.pdf"); }),
              mailed.end());

    store->writeDword(RegRoot::CurrentUser, "KodEmailFormat", 8);
    dialogActions.push_back([&](wxDialog& d) {
        EXPECT_EQ(control<wxChoice>(d, 1001)->GetSelection(), wxNOT_FOUND) << "no entry for the animated GIF";
        press(d, wxID_OK);
    });
    dialogActions.push_back([&](wxDialog& d) {
        auto* book = dynamic_cast<wxPropertySheetDialog&>(d).GetBookCtrl();
        EXPECT_EQ(book->GetPageText(0), "Animated GIF");
        EXPECT_EQ(number(d, 1150), 100);
        arrow(d, 1151, 1);
        EXPECT_EQ(number(d, 1150), 101);
        shoot(&d, "sheet-extra-animation");
        typeInto(d, 1150, "7000");
        press(d, wxID_OK);
    });
    dialogActions.push_back([&](wxDialog& d) { press(d, wxID_CANCEL); });  // the GIF page
    command(cmd::kEmail);
    waitForWriter();
    EXPECT_EQ(dword("GIF_Delay"), 6000) << "a typed delay is kept within 0 to 6000";
}

TEST_F(DialogWindowTest, TipOfTheDayCyclesAndStoresTheStartupChoice) {
    start();
    dialogActions.push_back([&](wxDialog& d) {
        EXPECT_EQ(d.GetTitle(), "Tip of the Day");
        EXPECT_TRUE(control<wxCheckBox>(d, ui::tips::kShowAtStartup)->GetValue());
        const wxImage first = shoot(&d, "tip-of-the-day");
        EXPECT_TRUE(pixelIs(first, 11, 40, 113, 109, 185)) << "the frame around the text";
        EXPECT_TRUE(pixelIs(first, 12, 40, 255, 255, 255)) << "the white inner frame";
        EXPECT_TRUE(pixelIs(first, 13, 40, 224, 224, 248)) << "the text's ground";
        press(d, ui::tips::kNextTip);
        EXPECT_EQ(dword("lvNumTipOfTheDay"), 1);
        shoot(&d, "tip-of-the-day-next");
        toggle(d, ui::tips::kShowAtStartup);
        press(d, wxID_OK);
    });
    program->commands().tipOfTheDay();
    EXPECT_EQ(dword("lvNumTipOfTheDay"), 2);
    EXPECT_EQ(dword("lvStartHelpCheck"), 1);
}

// Escape and the window's close box end Tip of the Day without "Close"'s
// steps: the tip index stays and the startup choice is not written.
TEST_F(DialogWindowTest, TipOfTheDayLeftOtherwiseWritesNothing) {
    start();
    store->writeDword(RegRoot::CurrentUser, "lvNumTipOfTheDay", 3);
    store->writeDword(RegRoot::CurrentUser, "lvStartHelpCheck", 0);
    const std::function<void(wxDialog&)> ways[] = {
        [](wxDialog& d) {
            wxKeyEvent escape(wxEVT_CHAR_HOOK);
            escape.m_keyCode = WXK_ESCAPE;
            escape.SetEventObject(&d);
            d.ProcessWindowEvent(escape);
        },
        [](wxDialog& d) { d.Close(); },
    };
    for (const auto& leave : ways) {
        bool ended = false;
        dialogActions.push_back([&](wxDialog& d) {
            toggle(d, ui::tips::kShowAtStartup);
            leave(d);
            ended = !d.IsModal();
        });
        program->commands().tipOfTheDay();
        EXPECT_TRUE(ended) << "the dialog ended";
        EXPECT_EQ(dword("lvNumTipOfTheDay"), 3);
        EXPECT_EQ(dword("lvStartHelpCheck"), 0) << "the box was unticked, but not by Close";
    }
}

// Each of the six tips, shown in turn by "Next Tip", ends above the bottom of
// its box: the last rows of the box hold only the box's colour.
TEST_F(DialogWindowTest, EveryTipFitsItsBox) {
    start();
    store->writeDword(RegRoot::CurrentUser, "lvNumTipOfTheDay", 0);
    dialogActions.push_back([&](wxDialog& d) {
        const wxSize c = d.GetClientSize();
        const wxRect box(15, 15, c.x - 30, c.y - 15 - 50);
        for (int k = 0; k < 6; ++k) {
            SCOPED_TRACE(k);
            EXPECT_EQ(dword("lvNumTipOfTheDay"), k);
            const wxImage shown = shoot(&d, "tip-" + std::to_string(k));
            int ink = 0, below = 0;
            for (int y = box.y + 23; y < box.GetBottom(); ++y)
                for (int x = box.x; x < box.GetRight(); ++x) {
                    const bool ground = pixelIs(shown, x, y, 224, 224, 248);
                    ink += !ground;
                    below += !ground && y > box.GetBottom() - 14;
                }
            EXPECT_GT(ink, 500) << "the tip is drawn";
            EXPECT_EQ(below, 0) << "nothing in the box's last rows";
            press(d, ui::tips::kNextTip);
        }
        EXPECT_EQ(dword("lvNumTipOfTheDay"), 0) << "after tip 5, tip 0";
        d.EndModal(wxID_CANCEL);  // closed without "Close": nothing stored
    });
    program->commands().tipOfTheDay();
}

TEST_F(DialogWindowTest, SplashShowsAndGoesByItself) {
    start();
    program->commands().splash();
    wxSplashScreen* splash = nullptr;
    for (wxWindow* w : wxTopLevelWindows)
        if (auto* s = dynamic_cast<wxSplashScreen*>(w))
            splash = s;
    ASSERT_NE(splash, nullptr);
    shoot(splash, "splash");
    EXPECT_TRUE(pumpUntil(
        [] {
            for (wxWindow* w : wxTopLevelWindows)
                if (dynamic_cast<wxSplashScreen*>(w) != nullptr)
                    return false;
            return true;
        },
        10));
}

TEST_F(DialogWindowTest, AboutFromTheInstallationFolderOrNothing) {
    start();
    const std::size_t windows = wxTopLevelWindows.size();
    command(cmd::kAbout);
    EXPECT_TRUE(messages.empty()) << "a missing library: nothing happens";
    EXPECT_EQ(wxTopLevelWindows.size(), windows);

    fs::copy_file(SCRIVLET_ABOUT_LIBRARY, install / ui::kAboutLibrary);
    bool shown = false;
    frame()->CallAfter([&] {
        for (wxWindow* w : wxTopLevelWindows) {
            auto* d = dynamic_cast<wxDialog*>(w);
            if (d != nullptr && d->IsModal() && d->GetTitle() == "About Quillo Scrivlet") {
                shown = true;
                shoot(d, "about");
                d->EndModal(wxID_OK);
            }
        }
    });
    command(cmd::kAbout);
    EXPECT_TRUE(shown);
}

TEST_F(DialogWindowTest, HelpBookOpensAtItsTopicsOrAMessage) {
    start();
    command(cmd::kHelp);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("sScrivlet.hhp"), std::string::npos);

    fs::copy(fs::path(SCRIVLET_SOURCE_DIR) / "resources" / "help", install / "help");
    messages.clear();
    command(cmd::kHelp);
    EXPECT_TRUE(messages.empty());
    wxHtmlHelpController* help = program->dialogs().helpController();
    ASSERT_NE(help, nullptr);
    ASSERT_NE(help->GetFrame(), nullptr);
    shoot(help->GetFrame(), "help-index");
    // Each dialog's Help button opens its topic; over a modal dialog the
    // viewer is modal until it is closed.
    struct Row {
        int command;
        int button;
        const char* page;
        const char* title;
        const char* picture;
    };
    const Row rows[] = {
        {cmd::kResolutionDialog, res::kHelp, "dim.htm", "Image Resolution and Dimension", "help-dim"},
        {cmd::kHatchMenu, ui::hatch::kHelp, "hatch.htm", "Background and Hatch Settings", nullptr},
        {cmd::kFormatSheet, wxID_HELP, "options.htm", "Image Format and Quality", nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.page);
        wxString opened, title;
        dialogActions.push_back([&](wxDialog& d) {
            d.CallAfter([&] {
                opened = help->GetHelpWindow()->GetHtmlWindow()->GetOpenedPage();
                title = help->GetHelpWindow()->GetHtmlWindow()->GetOpenedPageTitle();
                if (row.picture != nullptr)
                    shoot(help->GetFrame(), row.picture);
                help->GetFrame()->Close();
            });
            press(d, row.button);
            press(d, wxID_CANCEL);
        });
        command(row.command);
        pumpFor(0.3);
        EXPECT_TRUE(opened.EndsWith(row.page)) << opened;
        EXPECT_EQ(title, row.title) << "the page read as HTML";
    }
}

// A step on a dialog's controls, as a table row lists them.
struct Step {
    enum Kind { Arrow, Type, Radio, Toggle } kind;
    int id;
    int delta = 0;
    const char* text = "";
};
void perform(wxWindow& dialog, const Step& step) {
    switch (step.kind) {
        case Step::Arrow:
            arrow(dialog, step.id, step.delta);
            break;
        case Step::Type:
            typeInto(dialog, step.id, step.text);
            break;
        case Step::Radio:
            chooseRadio(dialog, step.id);
            break;
        case Step::Toggle:
            toggle(dialog, step.id);
            break;
    }
}

// The couplings of the resolution dialog through its controls: each row opens
// the dialog on a page of 30 x 40 mm with the user's 100 ppi at 100 % and the
// printer's 300 ppi, works its controls, reads the fields and closes it; what
// OK stores is read back from the registry (7: not written).
TEST_F(DialogWindowTest, ResolutionDialogCouplingsRoundUpThroughTheControls) {
    start();
    session->PrinterDpi = 300;
    const int screen = session->ScreenDpi;
    const int screenWidthPx = static_cast<int>(std::ceil(30 * screen * ui::kInchesPerMm));
    struct Row {
        const char* name;
        std::vector<Step> steps;
        // Width and height in mm and pixels, the scale and the resolution
        // field after the steps.
        int widthMm, heightMm, widthPx, heightPx, scale, resolution;
        bool ok;
        int CheckN, ResCur, ScaleCur;
    };
    const Row rows[] = {
        {"untouched", {}, 30, 40, 119, 158, 100, 100, true, 2, 1000, 100},
        {"the printer's resolution",
         {{Step::Radio, res::kPrinter}},
         30,
         40,
         355,
         473,
         100,
         100,
         true,
         1,
         3000,
         100},
        {"the screen's resolution",
         {{Step::Radio, res::kDisplay}},
         30,
         40,
         screenWidthPx,
         static_cast<int>(std::ceil(40 * screen * ui::kInchesPerMm)),
         100,
         100,
         true,
         0,
         screen * 10,
         100},
        // s = ceil(2900 / 30) = 97; 40 mm at 97 % is 38.8 mm.
        {"the width in mm down",
         {{Step::Arrow, res::kWidthMmSpin, -1}},
         29,
         39,
         115,
         154,
         97,
         100,
         true,
         2,
         1000,
         97},
        {"the width in mm up stops at the page's width",
         {{Step::Arrow, res::kWidthMmSpin, 1}},
         30,
         40,
         119,
         158,
         100,
         100,
         true,
         2,
         1000,
         100},
        // s = ceil(3900 / 40) = 98; 30 mm at 98 % is 29.4 mm.
        {"the height in mm down",
         {{Step::Arrow, res::kHeightMmSpin, -1}},
         30,
         39,
         119,
         154,
         98,
         100,
         true,
         2,
         1000,
         98},
        // r = 159 / (40 / 25.4) = 100.97: the field shows 100, ResCur 1009.
        {"the height in pixels up",
         {{Step::Arrow, res::kHeightPxSpin, 1}},
         30,
         40,
         120,
         159,
         100,
         100,
         true,
         2,
         1009,
         100},
        {"a typed scale, then its arrow",
         {{Step::Type, res::kScaleField, 0, "50"}, {Step::Arrow, res::kScaleSpin, 1}},
         16,
         21,
         63,
         83,
         51,
         100,
         true,
         2,
         1000,
         51},
        {"a typed scale alone",
         {{Step::Type, res::kScaleField, 0, "50"}},
         30,
         40,
         119,
         158,
         50,
         100,
         true,
         2,
         1000,
         50},
        // 236 px over 30 mm: 199.81 ppi.
        {"a typed pixel width",
         {{Step::Type, res::kWidthPxField, 0, "236"}},
         30,
         40,
         236,
         158,
         100,
         100,
         true,
         2,
         1998,
         100},
        {"a typed resolution above the printer's",
         {{Step::Type, res::kResolutionField, 0, "500"}},
         30,
         40,
         119,
         158,
         100,
         500,
         true,
         2,
         3000,
         100},
        // A millimetre field of 0 gives a scale of 1 and no resolution.
        {"a typed width of 0 mm, then the pixel arrow",
         {{Step::Type, res::kWidthMmField, 0, "0"}, {Step::Arrow, res::kWidthPxSpin, 1}},
         0,
         40,
         120,
         158,
         100,
         100,
         true,
         2,
         1000,
         1},
        {"the printer, cancelled",
         {{Step::Radio, res::kPrinter}},
         30,
         40,
         355,
         473,
         100,
         100,
         false,
         7,
         7,
         7},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        session->resolution.CheckN = session->resolutionDialog.CheckN = 2;
        session->resolution.userResolution = session->resolutionDialog.userResolution = 100;
        session->RenderOptions.ScaleCur = session->resolutionDialog.ScaleCur = 100;
        for (const char* name : {"CheckN", "ResCur", "ScaleCur"})
            store->writeDword(RegRoot::CurrentUser, name, 7);
        bool ran = false;
        dialogActions.push_back([&](wxDialog& d) {
            ran = true;
            for (const Step& step : row.steps) perform(d, step);
            EXPECT_EQ(number(d, res::kWidthMmField), row.widthMm);
            EXPECT_EQ(number(d, res::kHeightMmField), row.heightMm);
            EXPECT_EQ(number(d, res::kWidthPxField), row.widthPx);
            EXPECT_EQ(number(d, res::kHeightPxField), row.heightPx);
            EXPECT_EQ(number(d, res::kScaleField), row.scale);
            EXPECT_EQ(number(d, res::kResolutionField), row.resolution);
            press(d, row.ok ? wxID_OK : wxID_CANCEL);
        });
        command(cmd::kResolutionDialog);
        pumpFor(0.1);
        ASSERT_TRUE(ran);
        EXPECT_EQ(dword("CheckN"), row.CheckN);
        EXPECT_EQ(dword("ResCur"), row.ResCur);
        EXPECT_EQ(dword("ScaleCur"), row.ScaleCur);
    }
}

// The hatch preview on the screen, row by row: the dialog's fields and boxes
// worked, the pixels read at the lines' documented places (spacing 8: x = 168,
// 176, ... and y = 16, 24, ...; spacing 10: x = 170, 180, ... and y = 20,
// 30, ...) and between them. Every row is cancelled.
TEST_F(DialogWindowTest, HatchPreviewPixelsThroughTheControls) {
    start();
    struct Pixel {
        int x, y;
        bool line;  // the hatch colour, else the background colour
    };
    struct Row {
        const char* name;
        std::vector<Step> steps;
        std::vector<Pixel> pixels;
    };
    namespace h = ui::hatch;
    const Row rows[] = {
        {"both families at 8",
         {},
         {{168, 50, true},
          {312, 50, true},
          {204, 16, true},
          {204, 160, true},
          {169, 50, false},
          {204, 50, false}}},
        {"vertical lines only", {{Step::Toggle, h::kHorizontal}}, {{168, 50, true}, {204, 16, false}}},
        {"horizontal lines only", {{Step::Toggle, h::kVertical}}, {{168, 50, false}, {204, 16, true}}},
        {"no lines",
         {{Step::Toggle, h::kHorizontal}, {Step::Toggle, h::kVertical}},
         {{168, 50, false}, {204, 16, false}}},
        {"a typed spacing of 10",
         {{Step::Type, h::kSpacingField, 0, "10"}},
         {{170, 53, true},
          {310, 53, true},
          {168, 53, false},
          {205, 20, true},
          {205, 160, true},
          {205, 16, false}}},
        {"spacing 10 by its arrow",
         {{Step::Arrow, h::kSpacingSpin, 1}, {Step::Arrow, h::kSpacingSpin, 1}},
         {{170, 53, true}, {168, 53, false}}},
        {"a typed width of 3",
         {{Step::Type, h::kWidthField, 0, "3"}},
         {{167, 50, true}, {168, 50, true}, {169, 50, true}, {171, 50, false}}},
        {"the background off: the preview stays",
         {{Step::Toggle, h::kShowBackground}},
         {{168, 50, true}, {169, 50, false}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        bool ran = false;
        dialogActions.push_back([&](wxDialog& d) {
            ran = true;
            for (const Step& step : row.steps) perform(d, step);
            d.Refresh();
            const wxImage shown = look(&d);
            for (const Pixel& p : row.pixels) {
                if (p.line)
                    EXPECT_TRUE(pixelIs(shown, p.x, p.y, 62, 62, 168)) << p.x << "," << p.y;
                else
                    EXPECT_TRUE(pixelIs(shown, p.x, p.y, 128, 255, 128)) << p.x << "," << p.y;
            }
            EXPECT_TRUE(pixelIs(shown, 162, 90, 0, 0, 255)) << "the frame";
            EXPECT_TRUE(pixelIs(shown, 316, 90, 0, 0, 255)) << "the frame";
            EXPECT_FALSE(pixelIs(shown, 320, 50, 62, 62, 168)) << "no line beyond the preview";
            press(d, wxID_CANCEL);
        });
        command(cmd::kHatchMenu);
        ASSERT_TRUE(ran);
    }
    EXPECT_EQ(dword("lvHatchDepress"), -1) << "Cancel writes nothing";
}

// The colour picker of a swatch cancelled: the working colour is the
// committed one again, so OK writes no colour.
TEST_F(DialogWindowTest, HatchColourPickerCancelled) {
    start();
    std::vector<std::uint32_t> offered;
    std::deque<std::optional<std::uint32_t>> picks = {0x00FF00, std::nullopt};
    program->port().colourHook = [&](std::uint32_t initial) {
        offered.push_back(initial);
        const auto pick = picks.front();
        picks.pop_front();
        return pick;
    };
    dialogActions.push_back([&](wxDialog& d) {
        for (int i = 0; i < 2; ++i) {
            wxMouseEvent down(wxEVT_LEFT_DOWN);
            down.SetPosition(wxPoint(20, 15));  // the background swatch
            d.ProcessWindowEvent(down);
        }
        const wxImage shown = look(&d);
        EXPECT_TRUE(pixelIs(shown, 20, 15, 128, 255, 128)) << "the committed colour again";
        press(d, wxID_OK);
    });
    command(cmd::kHatchMenu);
    EXPECT_EQ(offered, (std::vector<std::uint32_t>{8454016u, 0x00FF00u})) << "the previous working colour";
    EXPECT_EQ(dword("lvCurBkGrColor"), -1);
}

// The options set on the pages reach the bytes of the files that Save writes
// next: some rows through the full sheet (Ctrl+C), the others through the
// single page that Save shows with "Invoke Image Options". Rows build on
// the settings the rows before them stored.
TEST_F(DialogWindowTest, FormatOptionsReachTheWrittenFiles) {
    start();
    // Pages in colour: the green background with its blue lines.
    session->RenderOptions.lvBkGrHathStyle = 4;
    fs::create_directories(dir / "out");
    struct Row {
        const char* name;
        bool fullSheet;  // else the single page of Save
        int type;        // the file type chosen in the save dialog
        const char* extension;
        std::vector<Step> steps;
        std::function<void(wxDialog&)> slide;
        std::function<void(const std::string&)> check;
        const char* picture;
    };
    using namespace testing_support;
    const Row rows[] = {
        {"JPG grey at quality 30, not progressive",
         true,
         1,
         ".jpg",
         {{Step::Toggle, 1102}, {Step::Toggle, 1103}},
         [](wxDialog& d) { slide(d, 1101, 30); },
         [](const std::string& b) {
             const JpegHeader h = readJpeg(b);
             EXPECT_EQ(h.components, 1);
             EXPECT_FALSE(h.progressive);
             EXPECT_EQ(h.firstLumaQuantiser, 27) << "quality 30";
         },
         nullptr},
        {"JPG in colour at quality 90, progressive",
         false,
         1,
         ".jpg",
         {{Step::Toggle, 1102}, {Step::Toggle, 1103}},
         [](wxDialog& d) { slide(d, 1101, 90); },
         [](const std::string& b) {
             const JpegHeader h = readJpeg(b);
             EXPECT_EQ(h.components, 3);
             EXPECT_TRUE(h.progressive);
             EXPECT_EQ(h.firstLumaQuantiser, 3) << "quality 90";
         },
         "sheet-single-jpg"},
        {"GIF grey of 16 colours, dithered, not interlaced",
         false,
         2,
         ".gif",
         {{Step::Radio, 1111}, {Step::Toggle, 1114}, {Step::Toggle, 1115}},
         [](wxDialog& d) { slide(d, 1113, 16); },
         [](const std::string& b) {
             const GifHeader h = readGif(b);
             EXPECT_LE(h.globalColourTableSize, 16);
             EXPECT_FALSE(h.interlaced);
         },
         "sheet-single-gif"},
        {"GIF interlaced again",
         true,
         2,
         ".gif",
         {{Step::Toggle, 1115}},
         {},
         [](const std::string& b) { EXPECT_TRUE(readGif(b).interlaced); },
         nullptr},
        {"PNG indexed of 8 colours, not interlaced",
         false,
         3,
         ".png",
         {{Step::Radio, 1121}, {Step::Toggle, 1126}},
         [](wxDialog& d) { slide(d, 1124, 8); },
         [](const std::string& b) {
             const PngHeader h = readPng(b);
             EXPECT_EQ(h.colourType, 3);
             EXPECT_LE(h.paletteEntries, 8);
             EXPECT_EQ(h.interlace, 0);
         },
         nullptr},
        {"PNG true colour, interlaced",
         true,
         3,
         ".png",
         {{Step::Radio, 1120}, {Step::Toggle, 1126}},
         {},
         [](const std::string& b) {
             // No reduction: the library may still store the page's few
             // colours as an exact palette, but not the 8 of the row before.
             const PngHeader h = readPng(b);
             EXPECT_TRUE(h.colourType == 2 || (h.colourType == 3 && h.paletteEntries > 8)) << h.colourType;
             EXPECT_EQ(h.interlace, 1);
         },
         nullptr},
        {"TIF indexed of 16 colours without LZW",
         true,
         5,
         ".tif",
         {{Step::Radio, 1134}, {Step::Toggle, 1132}},
         [](wxDialog& d) { slide(d, 1131, 16); },
         [](const std::string& b) {
             const TiffTags t = readTiff(b);
             EXPECT_EQ(t.get(kPhotometric), 3);
             EXPECT_EQ(t.get(kCompression), 1);
         },
         nullptr},
        {"TIF black and white with LZW",
         false,
         5,
         ".tif",
         {{Step::Radio, 1136}, {Step::Toggle, 1132}},
         {},
         [](const std::string& b) {
             const TiffTags t = readTiff(b);
             EXPECT_EQ(t.get(kBitsPerSample), 1);
             EXPECT_EQ(t.get(kCompression), 5);
         },
         "sheet-single-tif"},
    };
    int n = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        bool driven = false;
        auto drive = [&](wxDialog& d) {
            driven = true;
            for (const Step& step : row.steps) perform(d, step);
            if (row.slide)
                row.slide(d);
            if (row.picture != nullptr)
                shoot(&d, row.picture);
            press(d, wxID_OK);
        };
        if (row.fullSheet) {
            dialogActions.push_back(drive);
            command(cmd::kFormatSheet);
            ASSERT_TRUE(driven);
        } else {
            dialogActions.push_back(drive);
        }
        const std::string base = "Row" + std::to_string(++n);
        program->port().fileDialogHook = [&](wxFileDialog&, ui::WxUiPort::SaveChecks& checks) {
            checks.path = (dir / "out" / (base + row.extension)).string();
            checks.type = row.type;
            checks.invokeImageOptions = !row.fullSheet;
            return wxID_OK;
        };
        command(cmd::kSave);
        waitForWriter();
        ASSERT_TRUE(driven);
        const fs::path written = dir / "out" / (base + "0001" + row.extension);
        ASSERT_TRUE(fs::exists(written)) << written;
        row.check(fileBytes(written));
    }
}

// The check boxes of the save dialogs, worked in the toolkit's dialog while
// it shows, reach SaveFile_Opt and StartFile_Opt: after OK; after Cancel
// nothing is written (7: the value before).
TEST_F(DialogWindowTest, SaveDialogCheckBoxesReachTheirSettings) {
    start();
    session->resolution.userResolution = 100;  // no question about the PDF's resolution
    fs::create_directories(dir / "out");
    struct Row {
        const char* name;
        int command;
        int boxes;
        bool clearOptions, clearStart, ok;
        int SaveFile_Opt, StartFile_Opt;
        const char* file;
        const char* picture;
    };
    const Row rows[] = {
        {"Save, kept", cmd::kSave, 1, false, false, true, 1, 7, "Kept.jpg", "save-dialog-options"},
        {"Save, cleared", cmd::kSave, 1, true, false, true, 0, 7, "Cleared.jpg", nullptr},
        {"Save, cleared and cancelled", cmd::kSave, 1, true, false, false, 7, 7, "None.jpg", nullptr},
        {"PDF, start cleared", cmd::kPdf, 2, false, true, true, 1, 0, "Book.pdf", "save-dialog-plus"},
        {"PDF, both cleared", cmd::kPdf, 2, true, true, true, 0, 0, "Book2.pdf", nullptr},
        {"PDF, cancelled", cmd::kPdf, 2, true, true, false, 7, 7, "Book3.pdf", nullptr},
        {"HTML, options cleared", cmd::kHtml, 2, true, false, true, 0, 1, "Site.html", nullptr},
        {"HTML, both kept", cmd::kHtml, 2, false, false, true, 1, 1, "Site2.html", nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        session->options.SaveFile_Opt = session->options.StartFile_Opt = true;
        store->writeDword(RegRoot::CurrentUser, "SaveFile_Opt", 7);
        store->writeDword(RegRoot::CurrentUser, "StartFile_Opt", 7);
        int calls = 0;
        std::vector<wxString> labels;
        program->port().fileDialogHook = [&](wxFileDialog& dialog, ui::WxUiPort::SaveChecks& checks) {
            ++calls;
            EXPECT_EQ(checks.count, row.boxes);
            dialog.CallAfter([&] {
                pumpUntil([&] { return dialog.IsShown() && dialog.GetExtraControl() != nullptr; }, 5);
                std::vector<wxCheckBox*> boxes;
                if (wxWindow* extra = dialog.GetExtraControl())
                    for (wxWindow* child : extra->GetChildren())
                        if (auto* box = dynamic_cast<wxCheckBox*>(child))
                            boxes.push_back(box);
                for (wxCheckBox* box : boxes) {
                    labels.push_back(box->GetLabel());
                    EXPECT_TRUE(box->GetValue()) << "ticked after the stored 1";
                }
                auto click = [](wxCheckBox* box) {
                    box->SetValue(!box->GetValue());
                    wxCommandEvent event(wxEVT_CHECKBOX, box->GetId());
                    event.SetEventObject(box);
                    event.SetInt(box->GetValue() ? 1 : 0);
                    box->ProcessWindowEvent(event);
                };
                if (row.clearOptions && !boxes.empty())
                    click(boxes[0]);
                if (row.clearStart && boxes.size() > 1)
                    click(boxes[1]);
                if (row.picture != nullptr)
                    shootScreen(row.picture);
                dialog.EndModal(row.ok ? wxID_OK : wxID_CANCEL);
            });
            const int answer = dialog.ShowModal();
            checks.path = (dir / "out" / row.file).string();
            checks.type = 1;
            return answer;
        };
        command(row.command);
        waitForWriter();
        EXPECT_EQ(calls, 1);
        std::vector<wxString> expected = {"Invoke Image Options"};
        if (row.boxes == 2)
            expected.push_back("Start file after creation");
        EXPECT_EQ(labels, expected);
        EXPECT_EQ(dword("SaveFile_Opt"), row.SaveFile_Opt);
        EXPECT_EQ(dword("StartFile_Opt"), row.StartFile_Opt);
    }
}

// The controls the Tab key visits, in the order it visits them: the enabled,
// shown children depth first in their order, those that take the focus from
// the keyboard.
void collectTabStops(wxWindow& parent, std::vector<int>& ids) {
    for (wxWindow* child : parent.GetChildren()) {
        if (child->IsTopLevel() || !child->IsShown() || !child->IsEnabled())
            continue;
        if (child->GetChildren().empty()) {
            if (child->CanAcceptFocusFromKeyboard())
                ids.push_back(child->GetId());
        } else {
            collectTabStops(*child, ids);
        }
    }
}

// Each dialog's tab order follows its layout from the top left: the
// read-only numbers are passed over, OK, Cancel and Help come last.
TEST_F(DialogWindowTest, TabOrderFollowsTheLayout) {
    start();
    session->resolution.CheckN = session->resolutionDialog.CheckN = 2;
    struct Row {
        const char* name;
        std::function<void()> open;
        std::vector<int> stops;
    };
    const Row rows[] = {
        {"resolution",
         [&] { command(cmd::kResolutionDialog); },
         {res::kDisplay, res::kPrinter, res::kUserDefined, res::kResolutionField, res::kResolutionSpin,
          res::kWidthMmField, res::kWidthMmSpin, res::kHeightMmField, res::kHeightMmSpin, res::kWidthPxField,
          res::kWidthPxSpin, res::kHeightPxField, res::kHeightPxSpin, res::kScaleField, res::kScaleSpin,
          wxID_OK, wxID_CANCEL, res::kHelp}},
        {"hatch",
         [&] { command(cmd::kHatchMenu); },
         {ui::hatch::kShowBackground, ui::hatch::kHorizontal, ui::hatch::kVertical, ui::hatch::kWidthField,
          ui::hatch::kWidthSpin, ui::hatch::kSpacingField, ui::hatch::kSpacingSpin, ui::hatch::kAngleField,
          ui::hatch::kAngleSpin, wxID_OK, wxID_CANCEL, ui::hatch::kHelp}},
        {"e-mail format", [&] { command(cmd::kEmail); }, {1001, 1002, wxID_OK, wxID_CANCEL}},
        {"tip of the day",
         [&] { program->commands().tipOfTheDay(); },
         {ui::tips::kShowAtStartup, ui::tips::kNextTip, wxID_OK}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<int> stops;
        dialogActions.push_back([&](wxDialog& d) {
            collectTabStops(d, stops);
            d.EndModal(wxID_CANCEL);
        });
        row.open();
        EXPECT_EQ(stops, row.stops);
    }
}

// The first file's name exists: the replace question; No shows the dialog
// again. The name asked about is always the one numbered 0001 (the
// demonstration's pages are numbered "0001", "0002", ...).
TEST_F(DialogWindowTest, SaveAsksBeforeReplacingTheFirstFile) {
    start();
    fs::create_directories(dir / "out");
    std::ofstream(dir / "out" / "Twice0001.jpg") << "old";
    int calls = 0;
    program->port().fileDialogHook = [&](wxFileDialog&, ui::WxUiPort::SaveChecks& checks) {
        checks.path = (dir / "out" / "Twice.jpg").string();
        checks.invokeImageOptions = false;
        return ++calls == 1 ? wxID_OK : wxID_CANCEL;
    };
    answers.push_back(app::MessageAnswer::No);
    command(cmd::kSave);
    waitForWriter();
    EXPECT_EQ(calls, 2) << "No shows the dialog again";
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], (dir / "out" / "Twice0001.jpg").string() + " already exists. Replace?");
    EXPECT_EQ(fileBytes(dir / "out" / "Twice0001.jpg"), "old");

    calls = 0;
    messages.clear();
    answers.push_back(app::MessageAnswer::Yes);
    command(cmd::kSave);
    waitForWriter();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_EQ(fileBytes(dir / "out" / "Twice0001.jpg").substr(0, 2), "\xFF\xD8") << "replaced by a JPEG";
}

}  // namespace
}  // namespace gui_test
