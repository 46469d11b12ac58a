// "Hatch Settings": the colour swatches and the live preview painted at their
// fixed places by the core's painter, the line fields with their spins, the
// three check boxes and OK, Cancel and Help, over HatchDialogModel.

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/dcbuffer.h>
#include <wx/dialog.h>
#include <wx/image.h>
#include <wx/sizer.h>
#include <wx/spinbutt.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <optional>

#include "metafile/dib_section.h"
#include "ui/hatch_preview.h"
#include "ui/help_book.h"
#include "ui/resolution_dialog_model.h"
#include "ui/wx/wx_dialogs.h"
#include "ui/wx/wx_ui_port.h"

namespace ui {
namespace {

// The face colour around the preview, sampled at the first paint of the
// first opening and kept for the run: the dialog's own background, which
// is what its client pixel (5, 10) shows.
std::optional<wxColour>& faceColour() {
    static std::optional<wxColour> face;
    return face;
}

// The height of the area that the painter owns: the swatches and the
// preview with a margin below it.
constexpr int kPaintedHeight = kPreviewRect.bottom + 8;

class lvSetHatchDlg : public wxDialog {
public:
    lvSetHatchDlg(wxWindow* parent, WxUiPort& port, HatchDialogModel& model,
                  const std::function<void(const std::string&)>& help)
        : wxDialog(parent, hatch::kDialog, "Hatch Settings", wxDefaultPosition, wxDefaultSize,
                   wxDEFAULT_DIALOG_STYLE, "lvSetHatchDlg"),
          m_port(port),
          m_model(model),
          m_help(help),
          m_hand(wxCURSOR_HAND) {
        SetBackgroundStyle(wxBG_STYLE_PAINT);
        // Beside the swatches: their labels; below them the check boxes.
        new wxStaticText(this, hatch::kBackgroundLabel, "background color", wxPoint(46, 12));
        new wxStaticText(this, hatch::kHatchLabel, "hatch color", wxPoint(46, 37));
        auto* show = new wxCheckBox(this, hatch::kShowBackground, "show background", wxPoint(10, 72));
        auto* hor = new wxCheckBox(this, hatch::kHorizontal, "Horizontal lines", wxPoint(10, 102));
        auto* vert = new wxCheckBox(this, hatch::kVertical, "Vertical lines", wxPoint(10, 132));

        auto* top = new wxBoxSizer(wxVERTICAL);
        top->AddSpacer(kPaintedHeight);
        auto* grid = new wxFlexGridSizer(4, 4, 6);
        auto row = [&](int labelId, const char* label, int fieldId, int spinId, int unitId,
                       const char* unit) {
            grid->Add(new wxStaticText(this, labelId, label), 0, wxALIGN_CENTER_VERTICAL);
            auto* text = new wxTextCtrl(this, fieldId, wxString::Format("%d", m_model.spinPosition(spinId)),
                                        wxDefaultPosition, wxSize(60, -1), wxTE_RIGHT);
            text->Bind(wxEVT_TEXT, [this, fieldId, text](wxCommandEvent&) {
                if (m_model.typed(fieldId, text->GetValue().utf8_string()))
                    RefreshRect(previewRect(), false);
            });
            grid->Add(text, 0, wxALIGN_CENTER_VERTICAL);
            auto* spin = new wxSpinButton(this, spinId, wxDefaultPosition, wxDefaultSize, wxSP_VERTICAL);
            spin->SetRange(-1000000, 1000000);
            auto step = [this, spinId, text](wxSpinEvent& event, int delta) {
                event.Veto();
                const auto moved =
                    m_model.stepSpin(spinId, delta, fieldNumber(text->GetValue().utf8_string()));
                if (moved) {
                    text->ChangeValue(wxString::Format("%d", *moved));
                    RefreshRect(previewRect(), false);
                }
            };
            spin->Bind(wxEVT_SPIN_UP, [step](wxSpinEvent& e) { step(e, 1); });
            spin->Bind(wxEVT_SPIN_DOWN, [step](wxSpinEvent& e) { step(e, -1); });
            grid->Add(spin, 0, wxALIGN_CENTER_VERTICAL);
            grid->Add(new wxStaticText(this, unitId, unit), 0, wxALIGN_CENTER_VERTICAL);
        };
        row(1031, "line width:", hatch::kWidthField, hatch::kWidthSpin, 1032, " px");
        row(1033, "line spacing:", hatch::kSpacingField, hatch::kSpacingSpin, 1034, " px");
        row(1035, "line angle:", hatch::kAngleField, hatch::kAngleSpin, 1036, " degree");
        top->Add(grid, 0, wxLEFT | wxRIGHT, 10);

        auto* buttons = new wxBoxSizer(wxHORIZONTAL);
        auto* ok = new wxButton(this, wxID_OK, "OK");
        ok->SetDefault();
        buttons->Add(ok, 0, wxRIGHT, 6);
        buttons->Add(new wxButton(this, wxID_CANCEL, "Cancel"), 0, wxRIGHT, 6);
        auto* helpButton = new wxButton(this, hatch::kHelp, "Help");
        helpButton->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
            if (m_help)
                m_help(topic::kHatch);
        });
        buttons->Add(helpButton);
        top->Add(buttons, 0, wxALIGN_RIGHT | wxALL, 10);
        SetSizer(top);
        Fit();
        const wxSize fitted = GetClientSize();
        SetClientSize(std::max(fitted.x, kPreviewRect.right + 10), fitted.y);

        hor->SetValue(m_model.working().horizontal);
        vert->SetValue(m_model.working().vertical);
        show->SetValue(m_model.backgroundShown());
        hor->Bind(wxEVT_CHECKBOX, [this, hor](wxCommandEvent&) {
            m_model.toggleHorizontal();
            hor->SetValue(m_model.working().horizontal);
            RefreshRect(previewRect(), false);
        });
        vert->Bind(wxEVT_CHECKBOX, [this, vert](wxCommandEvent&) {
            m_model.toggleVertical();
            vert->SetValue(m_model.working().vertical);
            RefreshRect(previewRect(), false);
        });
        show->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) {
            m_model.toggleBackground();
            enableControls();
        });
        enableControls();

        Bind(wxEVT_PAINT, &lvSetHatchDlg::onPaint, this);
        Bind(wxEVT_MOTION, &lvSetHatchDlg::onMotion, this);
        Bind(wxEVT_LEFT_DOWN, &lvSetHatchDlg::onLeftDown, this);
        CentreOnParent();
    }

    // The client pixels the core's painter draws, for tests.
    wxImage painted() const {
        const wxSize c = GetClientSize();
        auto dib = metafile::DibSection::create(std::max(c.x, 1), std::max(c.y, 1));
        paintHatchDialog(*dib, m_model.working(), face());
        wxImage image(dib->width(), dib->height(), false);
        unsigned char* rgb = image.GetData();
        for (std::size_t i = 0; i < dib->pixels().size(); ++i) {
            const std::uint32_t p = dib->pixels()[i];
            rgb[3 * i] = static_cast<unsigned char>(p >> 16);
            rgb[3 * i + 1] = static_cast<unsigned char>(p >> 8);
            rgb[3 * i + 2] = static_cast<unsigned char>(p);
        }
        return image;
    }

private:
    static wxRect previewRect() {
        const ClientRect& p = kPreviewRect;
        return {p.left, p.top, p.right - p.left, p.bottom - p.top};
    }
    std::uint32_t face() const {
        const wxColour& c = faceColour() ? *faceColour() : GetBackgroundColour();
        return static_cast<std::uint32_t>(c.GetRGB()) & 0xFFFFFF;
    }
    void enableControls() {
        for (int id : {hatch::kHorizontal, hatch::kVertical, hatch::kWidthField, hatch::kSpacingField,
                       hatch::kAngleField, 1030, 1031, 1032, 1033, 1034, 1035, 1036, 1037})
            if (wxWindow* w = FindWindow(id))
                w->Enable(m_model.enabled(id));
    }
    void onPaint(wxPaintEvent&) {
        if (!faceColour())
            faceColour() = GetBackgroundColour();
        wxAutoBufferedPaintDC dc(this);
        dc.DrawBitmap(wxBitmap(painted()), 0, 0);
    }
    void onMotion(wxMouseEvent& event) {
        // With the background off the cursor is left alone.
        if (!m_model.backgroundShown())
            return;
        const wxPoint p = event.GetPosition();
        SetCursor(m_model.swatchAt(p.x, p.y) != Swatch::None ? m_hand : *wxSTANDARD_CURSOR);
    }
    void onLeftDown(wxMouseEvent& event) {
        const wxPoint p = event.GetPosition();
        Swatch which = Swatch::None;
        const auto previous = m_model.press(p.x, p.y, which);
        if (!previous)
            return;
        if (const auto chosen = m_port.chooseColour(this, *previous)) {
            m_model.colourChosen(which, *chosen);
            Refresh(false);
        }
    }

    WxUiPort& m_port;
    HatchDialogModel& m_model;
    std::function<void(const std::string&)> m_help;
    wxCursor m_hand;
};

}  // namespace

bool runHatchWindow(wxWindow* parent, WxUiPort& port, HatchDialogModel& model,
                    const std::function<void(const std::string&)>& help) {
    lvSetHatchDlg dialog(parent, port, model, help);
    return port.runModal(dialog) == wxID_OK;
}

}  // namespace ui
