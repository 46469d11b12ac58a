// "Image Resolution and Dimension": the radio buttons of the resolution, the
// size rows in millimetres and pixels, and the scale, each field with its
// spin, over ResolutionDialogModel. The window forwards arrows, typed text
// and clicks and shows the model's numbers again after each.

#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/spinbutt.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <array>

#include "ui/help_book.h"
#include "ui/resolution_dialog_model.h"
#include "ui/wx/wx_dialogs.h"
#include "ui/wx/wx_ui_port.h"

namespace ui {
namespace {

class lvResolutionDlg : public wxDialog {
public:
    lvResolutionDlg(wxWindow* parent, ResolutionDialogModel& model,
                    const std::function<void(const std::string&)>& help)
        : wxDialog(parent, res::kDialog, "Image Resolution and Dimension", wxDefaultPosition, wxDefaultSize,
                   wxDEFAULT_DIALOG_STYLE, "lvResolutionDlg"),
          m_model(model),
          m_help(help) {
        auto* top = new wxBoxSizer(wxVERTICAL);

        auto* resolution = new wxStaticBoxSizer(wxVERTICAL, this, "Resolution");
        auto* resGrid = new wxFlexGridSizer(4, 5, 6);
        auto addRow = [&](int radio, const char* label, int fieldId, int spinId) {
            auto* button = new wxRadioButton(resolution->GetStaticBox(), radio, label, wxDefaultPosition,
                                             wxDefaultSize, radio == res::kDisplay ? wxRB_GROUP : 0);
            button->Bind(wxEVT_RADIOBUTTON, [this, radio](wxCommandEvent&) {
                m_model.radio(radio);
                show();
            });
            resGrid->Add(button, 0, wxALIGN_CENTER_VERTICAL);
            resGrid->Add(field(resolution->GetStaticBox(), fieldId, spinId == 0), 0, wxALIGN_CENTER_VERTICAL);
            if (spinId != 0)
                resGrid->Add(spin(resolution->GetStaticBox(), spinId), 0, wxALIGN_CENTER_VERTICAL);
            else
                resGrid->AddSpacer(0);
            resGrid->Add(new wxStaticText(resolution->GetStaticBox(), wxID_ANY, "Pixels/Inch"), 0,
                         wxALIGN_CENTER_VERTICAL);
        };
        addRow(res::kDisplay, "Display", res::kScreenField, 0);
        addRow(res::kPrinter, "Printer", res::kPrinterField, 0);
        addRow(res::kUserDefined, "User-defined", res::kResolutionField, res::kResolutionSpin);
        resolution->Add(resGrid, 0, wxALL, 6);
        top->Add(resolution, 0, wxEXPAND | wxALL, 8);

        auto* dimension = new wxStaticBoxSizer(wxVERTICAL, this, "Dimension, width x height");
        wxWindow* box = dimension->GetStaticBox();
        auto* dimGrid = new wxFlexGridSizer(6, 5, 6);
        auto sizeRow = [&](const char* label, int w, int wSpin, int h, int hSpin) {
            dimGrid->Add(new wxStaticText(box, wxID_ANY, label), 0, wxALIGN_CENTER_VERTICAL);
            dimGrid->Add(field(box, w, false), 0, wxALIGN_CENTER_VERTICAL);
            dimGrid->Add(spin(box, wSpin), 0, wxALIGN_CENTER_VERTICAL);
            if (h == 0) {
                for (int i = 0; i < 3; ++i) dimGrid->AddSpacer(0);
                return;
            }
            dimGrid->Add(new wxStaticText(box, wxID_ANY, "x"), 0, wxALIGN_CENTER_VERTICAL);
            dimGrid->Add(field(box, h, false), 0, wxALIGN_CENTER_VERTICAL);
            dimGrid->Add(spin(box, hSpin), 0, wxALIGN_CENTER_VERTICAL);
        };
        sizeRow("Size, mm:", res::kWidthMmField, res::kWidthMmSpin, res::kHeightMmField, res::kHeightMmSpin);
        sizeRow("Size, pixels:", res::kWidthPxField, res::kWidthPxSpin, res::kHeightPxField,
                res::kHeightPxSpin);
        sizeRow("Scale, %:", res::kScaleField, res::kScaleSpin, 0, 0);
        dimension->Add(dimGrid, 0, wxALL, 6);
        top->Add(dimension, 0, wxEXPAND | wxLEFT | wxRIGHT, 8);

        auto* buttons = new wxBoxSizer(wxHORIZONTAL);
        auto* ok = new wxButton(this, wxID_OK, "OK");
        ok->SetDefault();
        buttons->Add(ok, 0, wxRIGHT, 6);
        buttons->Add(new wxButton(this, wxID_CANCEL, "Cancel"), 0, wxRIGHT, 6);
        auto* helpButton = new wxButton(this, res::kHelp, "Help");
        helpButton->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
            if (m_help)
                m_help(topic::kResolution);
        });
        buttons->Add(helpButton);
        top->Add(buttons, 0, wxALIGN_RIGHT | wxALL, 8);
        SetSizerAndFit(top);
        show();
        CentreOnParent();
    }

private:
    wxTextCtrl* field(wxWindow* parent, int id, bool readOnly) {
        auto* text = new wxTextCtrl(parent, id, "", wxDefaultPosition, wxSize(70, -1),
                                    wxTE_RIGHT | (readOnly ? wxTE_READONLY : 0));
        // The screen's and the printer's numbers are only shown: tabbing
        // goes from the radio buttons to the fields that can be changed.
        if (readOnly)
            text->DisableFocusFromKeyboard();
        if (!readOnly)
            text->Bind(wxEVT_TEXT, [this, id, text](wxCommandEvent&) {
                if (m_showing)
                    return;
                m_model.typed(id, text->GetValue().utf8_string());
                show(id);
            });
        return text;
    }
    wxSpinButton* spin(wxWindow* parent, int id) {
        auto* button = new wxSpinButton(parent, id, wxDefaultPosition, wxDefaultSize, wxSP_VERTICAL);
        // The toolkit's own position is not used: each arrow is one step of
        // the model's spin, within the model's range.
        button->SetRange(-1000000, 1000000);
        button->SetValue(0);
        auto step = [this, id](wxSpinEvent& event, int delta) {
            event.Veto();
            if (m_model.stepSpin(id, delta))
                show();
        };
        button->Bind(wxEVT_SPIN_UP, [step](wxSpinEvent& e) { step(e, 1); });
        button->Bind(wxEVT_SPIN_DOWN, [step](wxSpinEvent& e) { step(e, -1); });
        return button;
    }
    // Shows the model's numbers; the field being typed in keeps its text.
    void show(int typing = 0) {
        m_showing = true;
        for (int id : {res::kScreenField, res::kPrinterField, res::kResolutionField, res::kWidthMmField,
                       res::kHeightMmField, res::kWidthPxField, res::kHeightPxField, res::kScaleField}) {
            auto* text = static_cast<wxTextCtrl*>(FindWindow(id));
            if (id != typing)
                text->ChangeValue(wxString::Format("%d", m_model.field(id)));
            text->Enable(m_model.enabled(id));
        }
        for (int id : {res::kResolutionSpin, res::kWidthMmSpin, res::kHeightMmSpin, res::kWidthPxSpin,
                       res::kHeightPxSpin, res::kScaleSpin})
            FindWindow(id)->Enable(m_model.enabled(id));
        const auto checked = m_model.checkedRadio();
        for (int id : {res::kDisplay, res::kPrinter, res::kUserDefined})
            static_cast<wxRadioButton*>(FindWindow(id))->SetValue(checked == id);
        m_showing = false;
    }

    ResolutionDialogModel& m_model;
    std::function<void(const std::string&)> m_help;
    bool m_showing = false;
};

}  // namespace

bool runResolutionWindow(wxWindow* parent, WxUiPort& port, ResolutionDialogModel& model,
                         const std::function<void(const std::string&)>& help) {
    lvResolutionDlg dialog(parent, model, help);
    return port.runModal(dialog) == wxID_OK;
}

}  // namespace ui
