// The e-mail format dialog: the attachment format (the five formats or the
// multipage PDF) and "Image Options".

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/dialog.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include "ui/format_pages.h"
#include "ui/wx/wx_dialogs.h"
#include "ui/wx/wx_ui_port.h"

namespace ui {
namespace {

constexpr int kFormatList = 1001;
constexpr int kImageOptions = 1002;

class lvDlgSelectFormatForMail : public wxDialog {
public:
    lvDlgSelectFormatForMail(wxWindow* parent, int& code, bool& imageOptions)
        : wxDialog(parent, wxID_ANY, kMailDialogTitle, wxDefaultPosition, wxDefaultSize,
                   wxDEFAULT_DIALOG_STYLE, "lvDlgSelectFormatForMail") {
        auto* top = new wxBoxSizer(wxVERTICAL);
        top->Add(new wxStaticText(this, wxID_ANY, "Select inside format:"), 0, wxLEFT | wxRIGHT | wxTOP, 12);
        wxArrayString entries;
        for (const auto& e : mailFormatEntries()) entries.Add(wxString::FromUTF8(e));
        auto* list = new wxChoice(this, kFormatList, wxDefaultPosition, wxDefaultSize, entries);
        if (const auto selection = mailFormatSelection(code))
            list->SetSelection(*selection);
        list->Bind(wxEVT_CHOICE, [&code, list](wxCommandEvent&) { code = list->GetSelection() + 1; });
        top->Add(list, 0, wxEXPAND | wxALL, 12);
        auto* options = new wxCheckBox(this, kImageOptions, "Image Options");
        options->SetValue(imageOptions);
        options->Bind(wxEVT_CHECKBOX, [&imageOptions](wxCommandEvent& e) { imageOptions = e.IsChecked(); });
        top->Add(options, 0, wxLEFT | wxRIGHT, 12);
        auto* buttons = new wxBoxSizer(wxHORIZONTAL);
        auto* ok = new wxButton(this, wxID_OK, "OK");
        ok->SetDefault();
        buttons->Add(ok, 0, wxRIGHT, 6);
        buttons->Add(new wxButton(this, wxID_CANCEL, "Cancel"));
        top->Add(buttons, 0, wxALIGN_RIGHT | wxALL, 12);
        SetSizerAndFit(top);
        CentreOnParent();
    }
};

}  // namespace

bool runMailFormatWindow(wxWindow* parent, WxUiPort& port, int& code, bool& imageOptions) {
    // Working copies: Cancel leaves the caller's values as they were.
    int workingCode = code;
    bool workingOptions = imageOptions;
    lvDlgSelectFormatForMail dialog(parent, workingCode, workingOptions);
    if (port.runModal(dialog) != wxID_OK)
        return false;
    code = workingCode;
    imageOptions = workingOptions;
    return true;
}

}  // namespace ui
