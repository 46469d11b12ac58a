#pragma once
// The e-mail command (pages in a chosen format, or one PDF, attached to a new
// message) and "Send to..." (the current page).

namespace output {

struct WriterServices;
class SaveCommands;
class PdfExport;

class MailCommands {
public:
    MailCommands(WriterServices& services, SaveCommands& save, PdfExport& pdf)
        : m_services(services), m_save(save), m_pdf(pdf) {}

    // The e-mail command: the format dialog, the options, then the image run
    // or the PDF run on the e-mail route.
    void email();
    // "Send to...": the current page's image written to the work folder and
    // attached.
    void sendTo();

private:
    WriterServices& m_services;
    SaveCommands& m_save;
    PdfExport& m_pdf;
};

}  // namespace output
