// The image format option pages (lvPropJPG, lvPropGIF, lvPropImg, lvPropBMP,
// lvPropTIF, lvPropPDF, lvPropAnimGIF) and the sheets that show them: the
// full sheet "Image Format and Quality", the single page of the current
// format and the extra pages. Pages edit the working copies only; the
// commands commit them on OK.

#include <wx/bookctrl.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/panel.h>
#include <wx/propdlg.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/slider.h>
#include <wx/spinbutt.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <algorithm>
#include <vector>

#include "ui/format_pages.h"
#include "ui/help_book.h"
#include "ui/resolution_dialog_model.h"
#include "ui/wx/wx_dialogs.h"
#include "ui/wx/wx_ui_port.h"

namespace ui {
namespace {

// Control ids of the pages (unique within a sheet).
namespace id {
constexpr int kJpgQuality = 1100, kJpgSlider = 1101, kJpgProgressive = 1102, kJpgGray = 1103;
constexpr int kGifIndexed = 1110, kGifGray = 1111, kGifColours = 1112, kGifSlider = 1113, kGifDither = 1114,
              kGifInterlace = 1115;
constexpr int kPngTrue = 1120, kPngIndexed = 1121, kPngGray = 1122, kPngColours = 1123, kPngSlider = 1124,
              kPngDither = 1125, kPngInterlace = 1126;
constexpr int kTifColours = 1130, kTifSlider = 1131, kTifLzw = 1132, kTifTrue = 1133, kTifIndexed = 1134,
              kTifGray = 1135, kTifBw = 1136;
constexpr int kPdfList = 1140;
constexpr int kDelay = 1150, kDelaySpin = 1151;
}  // namespace id

// A read-only number box: the slider beside it is what the keyboard moves,
// so the box is left out of the tab order.
wxTextCtrl* numberBox(wxWindow* parent, int boxId, int value) {
    auto* box = new wxTextCtrl(parent, boxId, wxString::Format("%d", value), wxDefaultPosition,
                               wxSize(60, -1), wxTE_READONLY | wxTE_CENTRE);
    box->DisableFocusFromKeyboard();
    return box;
}

wxCheckBox* check(wxWindow* parent, int checkId, const char* label, bool& value) {
    auto* box = new wxCheckBox(parent, checkId, label);
    box->SetValue(value);
    box->Bind(wxEVT_CHECKBOX, [&value](wxCommandEvent& e) { value = e.IsChecked(); });
    return box;
}

// A row "Colors: [n] (2... 256)" with its slider below; the slider moves
// the working count and the number box.
wxSizer* colourRows(wxWindow* page, int boxId, int sliderId, std::int32_t& colours) {
    auto* rows = new wxBoxSizer(wxVERTICAL);
    auto* line = new wxBoxSizer(wxHORIZONTAL);
    line->Add(new wxStaticText(page, wxID_ANY, "Colors:"), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 6);
    const int position = colourSliderPosition(colours);
    auto* box = numberBox(page, boxId, position);
    line->Add(box, 0, wxRIGHT, 6);
    line->Add(new wxStaticText(page, wxID_ANY, "(2... 256)"), 0, wxALIGN_CENTER_VERTICAL);
    rows->Add(line);
    auto* slider =
        new wxSlider(page, sliderId, position, kMinColours, kMaxColours, wxDefaultPosition, wxSize(240, -1));
    slider->Bind(wxEVT_SLIDER, [&colours, box](wxCommandEvent& e) {
        colours = e.GetInt();
        box->ChangeValue(wxString::Format("%d", colours));
    });
    rows->Add(slider, 0, wxTOP, 4);
    return rows;
}

// A group "File type:" of radio buttons setting `type` to their index.
wxSizer* typeGroup(wxWindow* page, std::int32_t& type,
                   const std::vector<std::pair<int, const char*>>& buttons,
                   const std::function<void()>& changed) {
    auto* group = new wxStaticBoxSizer(wxVERTICAL, page, "File type:");
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        auto* radio = new wxRadioButton(group->GetStaticBox(), buttons[i].first, buttons[i].second,
                                        wxDefaultPosition, wxDefaultSize, i == 0 ? wxRB_GROUP : 0);
        radio->SetValue(static_cast<std::size_t>(type) == i);
        const int index = static_cast<int>(i);
        radio->Bind(wxEVT_RADIOBUTTON, [&type, index, changed](wxCommandEvent&) {
            type = index;
            if (changed)
                changed();
        });
        group->Add(radio, 0, wxALL, 2);
    }
    return group;
}

wxPanel* jpgPage(wxWindow* book, app::FormatSettings& v) {
    auto* page = new wxPanel(book, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL, "lvPropJPG");
    auto* top = new wxBoxSizer(wxVERTICAL);
    auto* line = new wxBoxSizer(wxHORIZONTAL);
    line->Add(new wxStaticText(page, wxID_ANY, "Quality:"), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 6);
    auto* box = numberBox(page, id::kJpgQuality, v.JPG_Quality);
    line->Add(box, 0, wxRIGHT, 6);
    line->Add(new wxStaticText(page, wxID_ANY, "(0...100)"), 0, wxALIGN_CENTER_VERTICAL);
    top->Add(line, 0, wxALL, 8);
    auto* sliderRow = new wxBoxSizer(wxHORIZONTAL);
    sliderRow->Add(new wxStaticText(page, wxID_ANY, "lowest"), 0, wxALIGN_CENTER_VERTICAL);
    // The slider's range alone keeps the quality within 0 to 100.
    auto* slider = new wxSlider(page, id::kJpgSlider, std::clamp(v.JPG_Quality, 0, 100), 0, 100,
                                wxDefaultPosition, wxSize(220, -1));
    slider->Bind(wxEVT_SLIDER, [&v, box](wxCommandEvent& e) {
        v.JPG_Quality = e.GetInt();
        box->ChangeValue(wxString::Format("%d", v.JPG_Quality));
    });
    sliderRow->Add(slider, 1, wxLEFT | wxRIGHT, 6);
    sliderRow->Add(new wxStaticText(page, wxID_ANY, "best"), 0, wxALIGN_CENTER_VERTICAL);
    top->Add(sliderRow, 0, wxEXPAND | wxLEFT | wxRIGHT, 8);
    top->Add(check(page, id::kJpgProgressive, "Progressive", v.JPG_Progress), 0, wxALL, 8);
    top->Add(check(page, id::kJpgGray, "Grayscale", v.JPG_Gray), 0, wxLEFT | wxRIGHT | wxBOTTOM, 8);
    page->SetSizer(top);
    return page;
}

wxPanel* gifPage(wxWindow* book, app::FormatSettings& v) {
    auto* page = new wxPanel(book, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL, "lvPropGIF");
    auto* top = new wxBoxSizer(wxHORIZONTAL);
    top->Add(
        typeGroup(page, v.GIF_IndexGray, {{id::kGifIndexed, "Indexed"}, {id::kGifGray, "Grayscale"}}, {}), 0,
        wxALL, 8);
    auto* right = new wxBoxSizer(wxVERTICAL);
    right->Add(colourRows(page, id::kGifColours, id::kGifSlider, v.GIF_Colors));
    right->Add(check(page, id::kGifDither, "Dither", v.GIF_Dither), 0, wxTOP, 8);
    right->Add(check(page, id::kGifInterlace, "Interlace", v.GIF_Interlace), 0, wxTOP, 4);
    top->Add(right, 0, wxALL, 8);
    page->SetSizer(top);
    return page;
}

void enableColours(wxWindow* page, FormatPage which, const app::FormatSettings& v,
                   std::initializer_list<int> ids) {
    const bool on = colourControlsEnabled(which, v);
    for (int controlId : ids)
        if (wxWindow* w = page->FindWindow(controlId))
            w->Enable(on);
}

wxPanel* pngPage(wxWindow* book, app::FormatSettings& v) {
    auto* page = new wxPanel(book, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL, "lvPropImg");
    auto* top = new wxBoxSizer(wxHORIZONTAL);
    auto changed = [page, &v] {
        enableColours(page, FormatPage::PNG, v, {id::kPngColours, id::kPngSlider, id::kPngDither});
    };
    top->Add(
        typeGroup(page, v.PNG_TrueIndexGray,
                  {{id::kPngTrue, "True Color"}, {id::kPngIndexed, "Indexed"}, {id::kPngGray, "Grayscale"}},
                  changed),
        0, wxALL, 8);
    auto* right = new wxBoxSizer(wxVERTICAL);
    right->Add(colourRows(page, id::kPngColours, id::kPngSlider, v.PNG_Colors));
    right->Add(check(page, id::kPngDither, "Dither", v.PNG_Dither), 0, wxTOP, 8);
    right->Add(check(page, id::kPngInterlace, "Interlace", v.PNG_Interlace), 0, wxTOP, 4);
    top->Add(right, 0, wxALL, 8);
    page->SetSizer(top);
    changed();
    return page;
}

wxPanel* bmpPage(wxWindow* book) {
    auto* page = new wxPanel(book, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL, "lvPropBMP");
    auto* top = new wxBoxSizer(wxVERTICAL);
    top->Add(new wxStaticText(page, wxID_ANY, "No options"), 0, wxALL, 16);
    page->SetSizer(top);
    return page;
}

wxPanel* tifPage(wxWindow* book, app::FormatSettings& v) {
    auto* page = new wxPanel(book, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL, "lvPropTIF");
    auto* top = new wxBoxSizer(wxHORIZONTAL);
    auto* left = new wxBoxSizer(wxVERTICAL);
    left->Add(colourRows(page, id::kTifColours, id::kTifSlider, v.TIF_Colors));
    left->Add(check(page, id::kTifLzw, "LZW compression", v.TIF_Lzw), 0, wxTOP, 8);
    top->Add(left, 0, wxALL, 8);
    auto changed = [page, &v] { enableColours(page, FormatPage::TIF, v, {id::kTifColours, id::kTifSlider}); };
    top->Add(typeGroup(page, v.TIF_TrueIndexGray,
                       {{id::kTifTrue, "True Color"},
                        {id::kTifIndexed, "Indexed"},
                        {id::kTifGray, "Grayscale"},
                        {id::kTifBw, "B / W"}},
                       changed),
             0, wxALL, 8);
    page->SetSizer(top);
    changed();
    return page;
}

wxPanel* pdfPage(wxWindow* book, std::string& inside) {
    auto* page = new wxPanel(book, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL, "lvPropPDF");
    auto* top = new wxBoxSizer(wxVERTICAL);
    auto* line = new wxBoxSizer(wxHORIZONTAL);
    wxArrayString entries;
    for (const auto& e : pdfInsideFormats()) entries.Add(wxString(e.data(), e.size()));
    auto* list = new wxChoice(page, id::kPdfList, wxDefaultPosition, wxSize(90, -1), entries);
    if (const auto selection = pdfInsideSelection(inside))
        list->SetSelection(*selection);
    list->Bind(wxEVT_CHOICE,
               [&inside, list](wxCommandEvent&) { inside = list->GetStringSelection().utf8_string(); });
    line->Add(list, 0, wxRIGHT, 8);
    line->Add(new wxStaticText(page, wxID_ANY, "Select inside format"), 0, wxALIGN_CENTER_VERTICAL);
    top->Add(line, 0, wxALL, 12);
    top->Add(new wxStaticText(page, wxID_ANY, "BMP - recommended!"), 0, wxLEFT, 12);
    page->SetSizer(top);
    return page;
}

wxPanel* animGifPage(wxWindow* book, std::int32_t& delay) {
    auto* page =
        new wxPanel(book, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL, "lvPropAnimGIF");
    auto* line = new wxBoxSizer(wxHORIZONTAL);
    line->Add(new wxStaticText(page, wxID_ANY, "Delay for animation:"), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT,
              6);
    auto* box = new wxTextCtrl(page, id::kDelay, wxString::Format("%d", delay), wxDefaultPosition,
                               wxSize(70, -1), wxTE_RIGHT);
    box->Bind(wxEVT_TEXT, [&delay, box](wxCommandEvent&) {
        delay = clampedGifDelay(fieldNumber(box->GetValue().utf8_string()));
    });
    line->Add(box);
    auto* spin = new wxSpinButton(page, id::kDelaySpin, wxDefaultPosition, wxDefaultSize, wxSP_VERTICAL);
    spin->SetRange(-1000000, 1000000);
    auto step = [&delay, box](wxSpinEvent& e, int delta) {
        e.Veto();
        delay = clampedGifDelay(delay + delta);
        box->ChangeValue(wxString::Format("%d", delay));
    };
    spin->Bind(wxEVT_SPIN_UP, [step](wxSpinEvent& e) { step(e, 1); });
    spin->Bind(wxEVT_SPIN_DOWN, [step](wxSpinEvent& e) { step(e, -1); });
    line->Add(spin, 0, wxALIGN_CENTER_VERTICAL | wxLEFT, 2);
    line->Add(new wxStaticText(page, wxID_ANY, ", ms"), 0, wxALIGN_CENTER_VERTICAL | wxLEFT, 4);
    auto* top = new wxBoxSizer(wxVERTICAL);
    top->Add(line, 0, wxALL, 12);
    page->SetSizer(top);
    return page;
}

// A sheet over working copies; the pages write into them as they change.
class FormatSheet : public wxPropertySheetDialog {
public:
    FormatSheet(wxWindow* parent, const char* title, const std::function<void(const std::string&)>& help) {
        Create(parent, wxID_ANY, title, wxDefaultPosition, wxDefaultSize, wxDEFAULT_DIALOG_STYLE,
               "lvImgOptions");
        CreateButtons(wxOK | wxCANCEL | wxHELP);
        Bind(
            wxEVT_BUTTON,
            [help](wxCommandEvent&) {
                if (help)
                    help(topic::kOptions);
            },
            wxID_HELP);
    }
    void addPage(FormatPage page, app::FormatSettings& v, std::string& inside) {
        wxWindow* book = GetBookCtrl();
        wxPanel* panel = nullptr;
        switch (page) {
            case FormatPage::JPG:
                panel = jpgPage(book, v);
                break;
            case FormatPage::GIF:
                panel = gifPage(book, v);
                break;
            case FormatPage::PNG:
                panel = pngPage(book, v);
                break;
            case FormatPage::BMP:
                panel = bmpPage(book);
                break;
            case FormatPage::TIF:
                panel = tifPage(book, v);
                break;
            case FormatPage::PDF:
                panel = pdfPage(book, inside);
                break;
            case FormatPage::AnimatedGIF:
                panel = animGifPage(book, v.GIF_Delay);
                break;
        }
        GetBookCtrl()->AddPage(panel, pageCaption(page));
    }
    void finish(int start) {
        // Wide enough for every tab: a sheet whose tabs scroll hides its
        // last pages behind arrows.
        wxBookCtrlBase* book = GetBookCtrl();
        int tabs = 0;
        for (std::size_t i = 0; i < book->GetPageCount(); ++i)
            tabs += book->GetTextExtent(book->GetPageText(i)).x + 40;
        book->SetMinSize(wxSize(std::max(tabs, book->GetBestSize().x), -1));
        LayoutDialog();
        GetBookCtrl()->SetSelection(static_cast<std::size_t>(start));
    }
};

std::function<void(const std::string&)> helpOf(WxUiPort& port) {
    return [&port](const std::string& topicName) {
        if (port.help)
            port.help(topicName);
    };
}

}  // namespace

bool runFullSheetWindow(wxWindow* parent, WxUiPort& port, int start, app::FormatSettings& values,
                        std::string& insideFormat) {
    FormatSheet sheet(parent, kFullSheetTitle, helpOf(port));
    for (FormatPage page : fullSheetPages()) sheet.addPage(page, values, insideFormat);
    sheet.finish(start);
    return port.runModal(sheet) == wxID_OK;
}

bool runSingleSheetWindow(wxWindow* parent, WxUiPort& port, app::FormatCode code,
                          app::FormatSettings& values) {
    const auto page = singlePageOf(code);
    if (!page)
        return false;
    std::string unused;
    FormatSheet sheet(parent, kFormatOptionsTitle, helpOf(port));
    sheet.addPage(*page, values, unused);
    sheet.finish(0);
    return port.runModal(sheet) == wxID_OK;
}

bool runExtraPageWindow(wxWindow* parent, WxUiPort& port, int kind, std::int32_t& gifDelay,
                        std::string& insideFormat) {
    if (kind != 1 && kind != 2)
        return false;
    app::FormatSettings values;
    values.GIF_Delay = gifDelay;
    FormatSheet sheet(parent, kFormatOptionsTitle, helpOf(port));
    sheet.addPage(kind == 1 ? FormatPage::AnimatedGIF : FormatPage::PDF, values, insideFormat);
    sheet.finish(0);
    if (port.runModal(sheet) != wxID_OK)
        return false;
    gifDelay = values.GIF_Delay;
    return true;
}

}  // namespace ui
