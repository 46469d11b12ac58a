#pragma once
// The work of the printer-support library: prepare the capture printer before
// Word prints (pause it, point a network printer at a local port, on
// 95/98/Me switch it to EMF) and restore it afterwards, with its previous
// state saved in the registry and in lvSLPrn.ini and a RunOnce entry as a
// safety net.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "platform/spooler/spooler.h"
#include "printer_support/printer_state.h"

namespace platform {
class PlatformFolders;
class Registry;
}  // namespace platform

namespace printer_support {

inline constexpr const char* kCaption = "SLPrnSupport Message";
inline constexpr const char* kRunOnceKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Runonce";
inline constexpr const char* kRunOnceValue = "slPrnRefresh";
// The program the RunOnce command starts, in the installation folder.
inline constexpr const char* kRefreshProgram = "SLPrnSupport";
// The desktop's autostart entry that stands in for RunOnce at the next login.
inline constexpr const char* kAutostartEntry = "scrivlet-slPrnRefresh.desktop";

// A message box with no owner and an OK button; an empty caption means the
// system's default one.
using MessageSink = std::function<void(const std::string& text, const std::string& caption)>;

class PrinterSupport {
public:
    PrinterSupport(platform::Registry& registry, const platform::PlatformFolders& folders,
                   platform::Spooler& spooler, MessageSink messages);

    void setting();  // fnSLPrnSetting
    void refresh();  // fnSLPrnRefresh

    const PrinterState& state() const { return m_state; }
    std::filesystem::path stateFile() const;
    // $XDG_CONFIG_HOME/autostart/scrivlet-slPrnRefresh.desktop (the user's
    // application data folder stands for $XDG_CONFIG_HOME).
    std::filesystem::path autostartEntry() const;

private:
    struct Start {
        std::string printer;
        std::optional<platform::PrinterInfo> facts;  // read now, or the earlier ones
    };
    std::optional<Start> commonStart();
    std::optional<std::string> capturePrinterName();
    // The full path of SLPrnSupport; empty without a recorded InstallPath.
    std::string refreshProgram() const;
    void writeRunOnce();
    void save(const char* value, std::int32_t number, std::int32_t& field);
    void saveText(const char* value, const std::string& text, std::string& field);
    bool nothingSaved(const char* value, std::int32_t fileValue) const;
    std::int32_t registryState(const char* value) const;
    void writeState();

    platform::Registry& m_registry;
    const platform::PlatformFolders& m_folders;
    platform::Spooler& m_spooler;
    MessageSink m_messages;
    PrinterState m_state;
    bool m_runOnceWritten = false;
    std::optional<platform::PrinterInfo> m_facts;  // the last facts read of the printer
};

}  // namespace printer_support
