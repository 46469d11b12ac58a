#pragma once
// The multipage PDF: the PDF command (resolution question, format and view
// backups, the save dialog, the inside format and its options) and the PDF
// run that renders every page into a page file of the work folder and places
// it on a PDF page of its own size.

#include <functional>
#include <memory>
#include <optional>

#include "app/options.h"
#include "render/magick.h"

namespace output {

struct WriterServices;
struct RunSnapshot;

inline constexpr const char* kPdfResolutionQuestion =
    "Current resolution %d dpi is too small for PDF.\nRecommended resolution is 100 to 300 dpi.\nContinue "
    "with "
    "current resolution?";

// What the PDF command keeps to put back when its run ends normally.
struct PdfBackups {
    std::optional<app::FormatFlags> format;  // the PDF command's; the e-mail route takes none
    std::shared_ptr<const Magick::Image> view;
};

class PdfExport {
public:
    explicit PdfExport(WriterServices& services) : m_services(services) {}

    // The resolution and dimension dialog, opened when the user answers No
    // to the resolution question.
    std::function<void()> resolutionDialog;

    // The PDF command.
    void exportPdf();
    // Starts the PDF run with MultipageMode already 1 (the e-mail route
    // calls this too); false when a run is active.
    bool startPdfRun(PdfBackups backups);

private:
    WriterServices& m_services;
};

// The PDF run itself (on the writer thread); true when the document was
// completed.
bool runPdfWriter(WriterServices& services, const RunSnapshot& snapshot, const PdfBackups& backups);

}  // namespace output
