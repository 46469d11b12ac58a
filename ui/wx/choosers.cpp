// The toolkit's own choosers behind the port: the Save As dialog with the
// added check boxes of the writers, and the colour picker of the hatch
// dialog. Tests answer both through the port's hooks.

#include <wx/colordlg.h>
#include <wx/filedlg.h>
#include <wx/filedlgcustomize.h>

#include <memory>
#include <string>

#include "ui/wx/wx_ui_port.h"

namespace ui {
namespace {

// "Invoke Image Options" and, for the dialog of the PDF and the gallery,
// "Start file after creation", below the file-type box. Their states are
// followed as they are clicked, so that Cancel keeps them as well as OK.
class SaveChecksHook : public wxFileDialogCustomizeHook {
public:
    explicit SaveChecksHook(WxUiPort::SaveChecks& checks) : m_checks(checks) {}

    void AddCustomControls(wxFileDialogCustomize& customizer) override {
        if (m_checks.count >= 1) {
            wxFileDialogCheckBox* options = customizer.AddCheckBox("Invoke Image Options");
            options->SetValue(m_checks.invokeImageOptions);
            options->Bind(wxEVT_CHECKBOX,
                          [this](wxCommandEvent& event) { m_checks.invokeImageOptions = event.IsChecked(); });
        }
        if (m_checks.count >= 2) {
            wxFileDialogCheckBox* start = customizer.AddCheckBox("Start file after creation");
            start->SetValue(m_checks.startFileAfterCreation);
            start->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent& event) {
                m_checks.startFileAfterCreation = event.IsChecked();
            });
        }
    }

private:
    WxUiPort::SaveChecks& m_checks;
};

}  // namespace

app::SaveDialogResult WxUiPort::runSaveDialog(const app::SaveDialogRequest& request) {
    app::SaveDialogResult result{
        false, {}, request.initialType, request.invokeImageOptions, request.startFileAfterCreation};
    wxString wildcard;
    for (const auto& type : request.types) {
        if (!wildcard.empty())
            wildcard += "|";
        wildcard += wxString::FromUTF8(type.caption) + "|" + wxString::FromUTF8(type.pattern);
    }
    // The plain dialog asks before replacing a file; the one with check
    // boxes leaves that to its caller, which asks about the first page's
    // name.
    const long style = wxFD_SAVE | (request.checkBoxes == 0 ? wxFD_OVERWRITE_PROMPT : 0);
    wxFileDialog dialog(m_windows.main, "Save As", wxString::FromUTF8(request.initialFolder),
                        wxString::FromUTF8(request.initialName), wildcard, style);
    dialog.SetFilterIndex(std::max(request.initialType - 1, 0));
    SaveChecks checks{request.checkBoxes,
                      request.invokeImageOptions,
                      request.startFileAfterCreation,
                      {},
                      request.initialType};
    SaveChecksHook hook(checks);
    if (request.checkBoxes > 0)
        dialog.SetCustomizeHook(hook);
    int answer = wxID_CANCEL;
    if (fileDialogHook) {
        answer = fileDialogHook(dialog, checks);
    } else if (!answerHook) {  // tests without a file answer: Cancel
        answer = showModal(dialog);
        checks.path = dialog.GetPath().utf8_string();
        checks.type = dialog.GetFilterIndex() + 1;
    }
    result.invokeImageOptions = checks.invokeImageOptions;
    result.startFileAfterCreation = checks.startFileAfterCreation;
    if (answer != wxID_OK)
        return result;
    result.ok = true;
    result.path = checks.path;
    result.type = checks.type;
    return result;
}

std::optional<std::uint32_t> WxUiPort::chooseColour(wxWindow* parent, std::uint32_t initial) {
    if (colourHook)
        return colourHook(initial);
    wxColourData data;
    data.SetChooseFull(true);
    data.SetColour(wxColour(static_cast<unsigned long>(initial & 0xFFFFFF)));
    wxColourDialog dialog(parent, &data);
    if (showModal(dialog) != wxID_OK)
        return std::nullopt;
    return static_cast<std::uint32_t>(dialog.GetColourData().GetColour().GetRGB()) & 0xFFFFFF;
}

}  // namespace ui
