#pragma once
// Handing files to the user's mail program: a new message with the files
// attached, or the emergency report's message with subject, text and
// recipient. The mail program ("xdg-email" unless configured) is looked up on
// PATH at each sending.

#include <string>
#include <vector>

namespace app {
class UserInterfacePort;
}

namespace output {

// The maker's support, the emergency report's recipient.
inline constexpr const char* kSupportName = "Quillo Scrivlet Support";
inline constexpr const char* kSupportAddress = "support@quillo.example";
inline constexpr const char* kMailerCaption = "Quillo Scrivlet Mailer Message";

class Mailer {
public:
    explicit Mailer(app::UserInterfacePort& ui, std::string program = "xdg-email");

    // One new message with every file attached (one "--attach" each, in the
    // given order, however long the list). When the mail program is missing
    // or fails, a message says so and where the files are; false then.
    bool sendDocuments(const std::vector<std::string>& files);

    // The emergency report: subject, text and recipient, the report attached.
    // `shownPath` is the report's path as the messages name it.
    bool sendReport(const std::string& reportPath);

    const std::string& program() const { return m_program; }

private:
    app::UserInterfacePort& m_ui;
    std::string m_program;
};

}  // namespace output
