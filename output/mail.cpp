#include "output/mail.h"

#include <filesystem>

#include "app/ui_port.h"
#include "platform/process.h"

namespace output {

Mailer::Mailer(app::UserInterfacePort& ui, std::string program) : m_ui(ui), m_program(std::move(program)) {}

bool Mailer::sendDocuments(const std::vector<std::string>& files) {
    if (files.empty())
        return false;
    std::vector<std::string> arguments;
    arguments.reserve(files.size() * 2);
    for (const auto& file : files) {
        arguments.emplace_back("--attach");
        arguments.push_back(file);
    }
    std::string reason;
    if (const auto program = platform::findOnPath(m_program)) {
        const auto status = platform::runProgram(*program, arguments);
        if (status && *status == 0)
            return true;
        reason = status ? "it ended with code " + std::to_string(*status) : status.error();
    } else {
        reason = "it was not found";
    }
    const std::string folder = std::filesystem::path(files.front()).parent_path().string();
    m_ui.showMessage("The mail program (" + m_program + ") could not be started: " + reason +
                         ".\nThe files are in\n" + folder,
                     app::kMessageCaption, app::MessageButtons::Ok, app::MessageIcon::Warning);
    return false;
}

bool Mailer::sendReport(const std::string& reportPath) {
    const auto program = platform::findOnPath(m_program);
    if (!program) {
        m_ui.showMessage(
            "Sorry, Scrivlet cannot send Emergency Report automatically.\nPlease send the report "
            "file manually.\n" +
                reportPath + "\n\nError 000878",
            kMailerCaption, app::MessageButtons::Ok, app::MessageIcon::Error);
        return false;
    }
    const std::vector<std::string> arguments = {
        "--subject",    "Quillo Scrivlet Emergency Report",
        "--body",       "Describe the problems in detail, please:\r\n",
        "--attach",     reportPath,
        kSupportAddress};
    const auto status = platform::runProgram(*program, arguments);
    if (status && *status == 0)
        return true;
    m_ui.showMessage(
        std::string("Sorry, Scrivlet cannot send Emergency Report automatically.\nPlease send the "
                    "report file manually to '") +
            kSupportAddress + "'.\n" + reportPath + "\n\nError 000876",
        kMailerCaption, app::MessageButtons::Ok, app::MessageIcon::Error);
    return false;
}

}  // namespace output
