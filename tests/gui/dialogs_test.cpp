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
    // The demonstration's pages page1.emf ... carry the page numbers "age1" ...
    ASSERT_TRUE(fs::exists(dir / "out" / "Docage1.png"));
    EXPECT_EQ(testing_support::readPng(fileBytes(dir / "out" / "Docage1.png")).colourType, 0);
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
                           [](const std::string& a) { return a.ends_with("age1.png"); }),
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
    // The resolution dialog's Help button opens its topic; over a modal
    // dialog the viewer is modal until it is closed.
    wxString opened, title;
    dialogActions.push_back([&](wxDialog& d) {
        d.CallAfter([&] {
            opened = help->GetHelpWindow()->GetHtmlWindow()->GetOpenedPage();
            title = help->GetHelpWindow()->GetHtmlWindow()->GetOpenedPageTitle();
            shoot(help->GetFrame(), "help-dim");
            help->GetFrame()->Close();
        });
        press(d, res::kHelp);
        press(d, wxID_CANCEL);
    });
    command(cmd::kResolutionDialog);
    pumpFor(0.3);
    EXPECT_TRUE(opened.EndsWith("dim.htm")) << opened;
    EXPECT_EQ(title, "Image Resolution and Dimension") << "the page read as HTML";
}

}  // namespace
}  // namespace gui_test

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') {
        std::printf("SKIP: no display (run through tests/gui/with_xvfb.sh)\n");
        return 77;
    }
    Magick::InitializeMagick(nullptr);
    wxApp::SetInstance(new wxApp);
    int count = argc;
    if (!wxEntryStart(count, argv)) {
        std::printf("SKIP: the display %s cannot be opened\n", display);
        return 77;
    }
    int status = 0;
    {
        wxGUIEventLoop loop;
        wxEventLoopActivator active(&loop);
        status = RUN_ALL_TESTS();
    }
    wxEntryCleanup();
    return status;
}
