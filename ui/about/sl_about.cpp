// The About box library: one export, AboutQuilloSystem, which shows the
// product's About box modally over the program's top window. The program
// loads this library at each About command and frees it afterwards.
//
// The five arguments: the program's version (major, minor, build), the year
// of the build and a reserved 0.

#include <wx/app.h>
#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include <cstdint>

extern "C" __attribute__((visibility("default"))) void AboutQuilloSystem(
    std::int32_t major, std::int32_t minor, std::int32_t build, std::int32_t year, std::int32_t reserved);

void AboutQuilloSystem(std::int32_t major, std::int32_t minor, std::int32_t build, std::int32_t year,
                       std::int32_t) {
    // Only inside a program with windows.
    if (wxTheApp == nullptr)
        return;
    wxDialog dialog(wxTheApp->GetTopWindow(), wxID_ANY, "About Quillo Scrivlet");
    auto* top = new wxBoxSizer(wxVERTICAL);
    auto* name = new wxStaticText(&dialog, wxID_ANY, "Quillo Scrivlet");
    wxFont font = name->GetFont();
    font.SetPointSize(font.GetPointSize() + 6);
    font.SetWeight(wxFONTWEIGHT_BOLD);
    name->SetFont(font);
    top->Add(name, 0, wxALL | wxALIGN_CENTER_HORIZONTAL, 16);
    top->Add(new wxStaticText(&dialog, wxID_ANY, wxString::Format("Version %d.%d.%d", major, minor, build)),
             0, wxLEFT | wxRIGHT | wxALIGN_CENTER_HORIZONTAL, 16);
    top->Add(new wxStaticText(&dialog, wxID_ANY,
                              wxString::Format("Word pages to images and PDF\nCopyright (c) %d Quillo", year),
                              wxDefaultPosition, wxDefaultSize, wxALIGN_CENTRE_HORIZONTAL),
             0, wxALL | wxALIGN_CENTER_HORIZONTAL, 16);
    auto* ok = new wxButton(&dialog, wxID_OK, "OK");
    ok->SetDefault();
    top->Add(ok, 0, wxBOTTOM | wxALIGN_CENTER_HORIZONTAL, 16);
    dialog.SetSizerAndFit(top);
    dialog.CentreOnParent();
    dialog.ShowModal();
}
