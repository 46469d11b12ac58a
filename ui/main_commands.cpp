#include "ui/main_commands.h"

#include <algorithm>
#include <mutex>

#include "app/macro_exchange.h"
#include "app/page_acquisition.h"
#include "app/session.h"
#include "app/settings_store.h"
#include "app/ui_port.h"
#include "output/emergency_report.h"
#include "output/formats.h"
#include "output/html_gallery.h"
#include "output/mail.h"
#include "output/mail_commands.h"
#include "output/pdf_export.h"
#include "output/save_command.h"
#include "output/wallpaper.h"
#include "output/writer_services.h"
#include "output/writer_thread.h"
#include "platform/folders.h"
#include "platform/process.h"
#include "render/option_commands.h"
#include "render/page_renderer.h"
#include "ui/dialog_port.h"
#include "ui/hatch_dialog_model.h"
#include "ui/help_book.h"
#include "ui/resolution_dialog_model.h"
#include "ui/tip_of_the_day.h"

namespace ui {

MainCommands::MainCommands(MainCommandsContext context)
    : m_ctx(std::move(context)), m_navigator(m_ctx.session, m_ctx.ui, m_ctx.renderer, m_ctx.view) {
    m_options =
        std::make_unique<render::OptionCommands>(m_ctx.session, m_ctx.store, m_ctx.ui, m_ctx.renderer);
    m_mailer = std::make_unique<output::Mailer>(m_ctx.ui);
    m_thread = std::make_unique<output::WriterThread>(m_ctx.session);
    m_services = std::make_unique<output::WriterServices>(
        output::WriterServices{m_ctx.session,
                               m_ctx.store,
                               m_ctx.folders,
                               m_ctx.ui,
                               m_ctx.formats,
                               *m_mailer,
                               *m_thread,
                               [this] { m_options->rerenderCurrentPage(); },
                               "xdg-open",
                               {},
                               {}});
    m_save = std::make_unique<output::SaveCommands>(*m_services);
    m_pdf = std::make_unique<output::PdfExport>(*m_services);
    m_pdf->resolutionDialog = [this] { resolutionDialog(); };
    m_html = std::make_unique<output::HtmlGallery>(*m_services);
    m_mail = std::make_unique<output::MailCommands>(*m_services, *m_save, *m_pdf);
    m_wallpaper = std::make_unique<output::Wallpaper>(*m_services);
    m_acquisition = std::make_unique<app::PageAcquisition>(m_ctx.session, m_ctx.store, m_ctx.folders,
                                                           m_ctx.spooler, m_ctx.ui);
    m_report = std::make_unique<output::EmergencyReport>(*m_services, m_ctx.spooler, *m_acquisition);
    m_router.demoMode = [this] { return m_ctx.session.DemoMode.load(); };
    m_router.confirmLeavingDemonstration = [this] { return m_options->confirmLeavingDemonstration(); };
    m_router.afterLeavingDemonstration = [this] { m_options->rebuildThumbnails(); };
    bindAll();
}

MainCommands::~MainCommands() {
    waitForWriter();
}

void MainCommands::waitForWriter() {
    m_thread->wait();
}

void MainCommands::setOpener(const std::string& program) {
    m_services->opener = program;
}

void MainCommands::openWithDesktop(const std::string& target) {
    m_services->openFile(target);
}

void MainCommands::bindAll() {
    using app::ScrollBar;
    using app::ScrollRequest;
    using app::UiWindow;
    auto& r = m_router;
    auto scroll = [this](UiWindow window, ScrollBar bar, ScrollRequest request) {
        return [this, window, bar, request](const Command&) { m_ctx.ui.requestScroll(window, bar, request); };
    };
    r.bind(Action::Preset,
           [this](const Command& c) { m_options->applyPreset(static_cast<render::Preset>(c.argument)); });
    r.bind(Action::Antialias, [this](const Command& c) { m_options->setAntialias(c.argument); });
    r.bind(Action::ToggleSharpen, [this](const Command&) { m_options->toggleSharpen(); });
    r.bind(Action::ToggleDateStamp, [this](const Command&) { m_options->toggleDateStamp(); });
    r.bind(Action::ResolutionDialog, [this](const Command&) { resolutionDialog(); });
    r.bind(Action::HatchDialog, [this](const Command&) { hatchDialog(); });
    r.bind(Action::FormatSheet, [this](const Command&) { fullFormatSheet(); });
    r.bind(Action::SendTo, [this](const Command&) { m_mail->sendTo(); });
    r.bind(Action::SaveTo, [this](const Command&) { m_save->saveTo(); });
    r.bind(Action::Wallpaper, [this](const Command&) { m_wallpaper->setToWallpaper(); });
    r.bind(Action::HelpFile, [this](const Command&) { help(topic::kIndex); });
    r.bind(Action::About, [this](const Command&) { about(); });
    r.bind(Action::Online, [this](const Command&) { openWithDesktop(kOnlineAddress); });
    r.bind(Action::Support, [this](const Command&) { openWithDesktop(kSupportMailLink); });
    r.bind(Action::EmergencyReport, [this](const Command&) { m_report->run(); });
    r.bind(Action::Save, [this](const Command&) { m_save->save(); });
    r.bind(Action::Email, [this](const Command&) {
        if (m_services->currentPageExists())
            m_mail->email();
    });
    r.bind(Action::Pdf, [this](const Command&) { m_pdf->exportPdf(); });
    r.bind(Action::Html, [this](const Command&) { m_html->exportGallery(); });
    r.bind(Action::Abort, [this](const Command&) { m_ctx.session.AbortRequested = true; });
    r.bind(Action::NextPage, [this](const Command&) { m_navigator.nextPage(); });
    r.bind(Action::PreviousPage, [this](const Command&) { m_navigator.previousPage(); });
    r.bind(Action::StripLineDown,
           scroll(UiWindow::ThumbnailStrip, ScrollBar::Vertical, ScrollRequest::LineDown));
    r.bind(Action::StripLineUp, scroll(UiWindow::ThumbnailStrip, ScrollBar::Vertical, ScrollRequest::LineUp));
    r.bind(Action::ViewLineDown, scroll(UiWindow::PageView, ScrollBar::Vertical, ScrollRequest::LineDown));
    r.bind(Action::ViewLineUp, scroll(UiWindow::PageView, ScrollBar::Vertical, ScrollRequest::LineUp));
    r.bind(Action::ViewLineRight, scroll(UiWindow::PageView, ScrollBar::Horizontal, ScrollRequest::LineDown));
    r.bind(Action::ViewLineLeft, scroll(UiWindow::PageView, ScrollBar::Horizontal, ScrollRequest::LineUp));
    r.bind(Action::Exit, [this](const Command&) { exitToWord(); });
}

void MainCommands::resolutionDialog() {
    if (m_dialogs == nullptr)
        return;
    ResolutionDialogModel model(resolutionFactsOf(m_ctx.session));
    if (m_dialogs->runResolutionDialog(model))
        commitResolutionDialog(model, m_ctx.session, m_ctx.store, m_ctx.ui, m_ctx.renderer);
}

void MainCommands::hatchDialog() {
    if (m_dialogs == nullptr)
        return;
    app::Session& s = m_ctx.session;
    HatchDialogModel model(hatchValuesOf(s.RenderOptions),
                           m_ctx.store.readDword(platform::RegRoot::CurrentUser, "lvBkGrHathStyle"));
    applyNormalisedStyle(model, s);
    if (!m_dialogs->runHatchDialog(model))
        return;
    commitHatchDialog(model, s, m_ctx.store, m_ctx.ui, m_ctx.renderer, *m_options);
    {
        std::lock_guard lock(s.renderLock);
        s.options.lvKodPreset = 0;
    }
    m_ctx.store.writeDword(platform::RegRoot::CurrentUser, "lvKodPreset", 0);
}

void MainCommands::fullFormatSheet() {
    if (m_dialogs == nullptr)
        return;
    app::Session& s = m_ctx.session;
    app::FormatSettings working = s.formatOptions;
    std::string inside = m_ctx.formats.pdfInsideFormat();
    if (!m_dialogs->runFullFormatSheet(output::currentFormatCode(s.CurrentFormat), working, inside))
        return;
    m_ctx.formats.commitFullSheet(working, inside);
    m_ctx.ui.beginWaitCursor();
    if (m_services->currentPageExists())
        m_options->rerenderCurrentPage();
    else
        s.PageList.currentPage = -1;
    m_ctx.ui.endWaitCursor();
}

void MainCommands::help(const std::string& topicName) {
    const auto book = helpBookPath(m_ctx.store, m_ctx.folders);
    std::error_code ec;
    const bool present = book && std::filesystem::is_regular_file(*book, ec);
    if (present && m_dialogs != nullptr && m_dialogs->showHelp(*book, topicName))
        return;
    std::string text = kHelpMissingMessage;
    const std::string where = book ? book->string() : std::string(kHelpBookFolder) + "/" + kHelpBookFile;
    text.replace(text.find("%s"), 2, where);
    m_ctx.ui.showMessage(text, app::kMessageCaption, app::MessageButtons::Ok, app::MessageIcon::Information);
}

void MainCommands::about() {
    if (const auto install = installFolder(m_ctx.store, m_ctx.folders))
        callAboutLibrary(std::filesystem::absolute(*install) / kAboutLibrary);
}

void MainCommands::tipOfTheDay() {
    if (m_dialogs == nullptr)
        return;
    TipCycle tips(m_ctx.store);
    m_dialogs->runTipOfTheDay(tips);
}

void MainCommands::splash() {
    if (m_dialogs != nullptr)
        m_dialogs->showSplash();
}

void MainCommands::clickButton(int index) {
    switch (index) {
        case 0:
            m_router.dispatch(cmd::kEmail, CommandMap::StartButton);
            break;
        case 1:
            m_router.dispatch(cmd::kSave, CommandMap::StartButton);
            break;
        case 4:
            m_router.dispatch(cmd::kExit, CommandMap::StartButton);
            break;
        case 5:
            m_router.dispatch(cmd::kPdf, CommandMap::StartButton);
            break;
        case 6:
            m_router.dispatch(cmd::kHtml, CommandMap::StartButton);
            break;
        default:
            break;
    }
}

bool MainCommands::leaveDemonstrationForOptions() {
    app::Session& s = m_ctx.session;
    if (!s.DemoMode)
        return false;
    if (m_ctx.ui.showMessage(kLeaveDemoQuestion, app::kMessageCaption, app::MessageButtons::YesNo,
                             app::MessageIcon::Question) != app::MessageAnswer::Yes)
        return false;
    s.DemoMode = false;
    m_ctx.ui.beginWaitCursor();
    const int count = s.PageList.count();
    if (count > 0) {
        if (s.PageList.currentPage > count - 1)
            s.PageList.currentPage = count - 1;
        const int page = std::max(0, s.PageList.currentPage.load());
        s.shownPage = page;
        {
            std::lock_guard lock(s.renderLock);
            s.CurrentImage.store(std::make_shared<const Magick::Image>(m_ctx.renderer.renderPage(
                app::currentResolution(s), s.PageList.record(page).metafile.get())));
        }
        m_ctx.ui.invalidate(app::UiWindow::PageView, std::nullopt, true);
        m_ctx.ui.requestScroll(app::UiWindow::PageView, app::ScrollBar::Vertical, app::ScrollRequest::PageUp);
        m_ctx.ui.requestScroll(app::UiWindow::PageView, app::ScrollBar::Horizontal,
                               app::ScrollRequest::PageUp);
        m_options->rebuildThumbnails();
    }
    m_ctx.ui.endWaitCursor();
    return true;
}

void MainCommands::exitToWord() {
    app::Session& s = m_ctx.session;
    if (!m_ctx.captureRunning || !m_ctx.captureRunning()) {
        for (int i = 0; i < s.PageList.count(); ++i) s.PageList.record(i).metafile.reset();
        s.PageList.clear();
    }
    m_ctx.ui.invalidate(app::UiWindow::PageView, std::nullopt, true);
    if (app::readWordWindowTitle(m_ctx.store, m_ctx.folders, s.macroExchange) && m_ctx.activateWindow)
        m_ctx.activateWindow(s.macroExchange.WordWindowTitle);
    if (m_ctx.closeWindow)
        m_ctx.closeWindow();
}

}  // namespace ui
