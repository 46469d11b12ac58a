#include "printer_support/printer_support.h"

#include <fstream>
#include <system_error>

#include "app/printer_macro_file.h"
#include "app/settings_store.h"
#include "platform/folders.h"
#include "platform/registry/registry.h"
#include "platform/spooler/spooler.h"
#include "platform/text_util.h"
#include "printer_support/autostart_entry.h"

namespace printer_support {
namespace {

namespace fs = std::filesystem;
using platform::RegRoot;
using platform::WindowsPlatform;

constexpr const char* kPaused = "CurWordPrnStatusPaused";
constexpr const char* kNetwork = "CurWordPrnAttributeNetwork";
constexpr const char* kPort = "CurWordPrnNetworkPath";
constexpr const char* kDataType = "CurWordPrnDataType";
constexpr const char* kEmf = "CurWordPrnDataTypeEMF";
constexpr const char* kRawOnly = "CurWordPrnAttributeRawOnly";

}  // namespace

PrinterSupport::PrinterSupport(platform::Registry& registry, const platform::PlatformFolders& folders,
                               platform::Spooler& spooler, MessageSink messages)
    : m_registry(registry), m_folders(folders), m_spooler(spooler), m_messages(std::move(messages)) {}

fs::path PrinterSupport::stateFile() const {
    app::SettingsStore store(m_registry);
    const auto local = store.localAppDataFolder();
    if (local && local->size() > 3)
        return m_folders.nativePath(*local) / "Scrivlet" / "lvSLPrn.ini";
    return m_folders.nativePath("c:\\lvSLPrn.ini");
}

std::int32_t PrinterSupport::registryState(const char* value) const {
    return app::SettingsStore(m_registry).readDword(RegRoot::CurrentUser, value);
}

bool PrinterSupport::nothingSaved(const char* value, std::int32_t fileValue) const {
    const std::int32_t reg = registryState(value);
    return reg == -1 || reg == kNothingSaved || fileValue == -1 || fileValue == kNothingSaved;
}

void PrinterSupport::save(const char* value, std::int32_t number, std::int32_t& field) {
    app::SettingsStore(m_registry)
        .writeDword(RegRoot::CurrentUser, value, static_cast<std::uint32_t>(number));
    field = number;
}

void PrinterSupport::saveText(const char* value, const std::string& text, std::string& field) {
    app::SettingsStore(m_registry).writeString(RegRoot::CurrentUser, value, text);
    field = text;
}

void PrinterSupport::writeState() {
    if (!writeStateFile(stateFile(), m_state))
        m_messages("Create lvSLPrn.ini Error!", kCaption);
}

std::string PrinterSupport::refreshProgram() const {
    const auto install = app::SettingsStore(m_registry).readString(RegRoot::LocalMachine, "InstallPath");
    if (!install)
        return {};
    return (m_folders.nativePath(*install) / kRefreshProgram).string();
}

fs::path PrinterSupport::autostartEntry() const {
    return m_folders.applicationData() / "autostart" / kAutostartEntry;
}

void PrinterSupport::writeRunOnce() {
    // At most once while the library is loaded.
    if (m_runOnceWritten)
        return;
    m_runOnceWritten = true;
    const std::string program = refreshProgram();
    auto key = m_registry.createKey(RegRoot::CurrentUser, kRunOnceKey, platform::RegAccess::Write);
    if (key)
        key->setString(kRunOnceValue, "\"" + program + "\" refresh");
    // Nothing on Linux runs the RunOnce value: an autostart entry of the
    // desktop runs the same command at the next login (the refresh removes it).
    if (!program.empty() && !writeAutostartEntry(autostartEntry(), program))
        m_messages("Create " + autostartEntry().string() + " Error!", kCaption);
}

std::optional<std::string> PrinterSupport::capturePrinterName() {
    // The Word macro's printer file, in the folder of the state file.
    const app::SettingsStore store(m_registry);
    const fs::path macro = app::printerMacroFile(store, m_folders);
    std::error_code ec;
    fs::create_directories(macro.parent_path(), ec);
    if (const auto line = app::readFirstLine(macro)) {
        if (auto name = app::printerOfActivePrinterText(*line, m_spooler))
            return name;
    }
    switch (m_spooler.platform()) {
        case WindowsPlatform::Win9x: {
            const auto name = m_spooler.defaultPrinter();
            if (!name || !m_spooler.printer(*name)) {
                m_messages("dwNeeded == 0", "");
                return std::nullopt;
            }
            return name;
        }
        case WindowsPlatform::NT4: {
            const std::string device = m_spooler.profileDevice();
            const std::string name = device.substr(0, device.find(','));
            if (name.empty())
                return std::nullopt;
            return name;
        }
        case WindowsPlatform::Win2000:
            return m_spooler.defaultPrinter();
    }
    return std::nullopt;
}

std::optional<PrinterSupport::Start> PrinterSupport::commonStart() {
    const fs::path file = stateFile();
    std::error_code ec;
    const bool inLocalAppData = file.parent_path().filename() == "Scrivlet";
    if (inLocalAppData && !fs::exists(file, ec)) {
        fs::create_directories(file.parent_path(), ec);
        writeState();
    }
    if (auto read = readStateFile(file, m_state)) {
        m_state = *read;
    } else {
        m_messages("Open lvSLPrn.ini Error!", kCaption);
    }
    const auto printer = capturePrinterName();
    if (!printer || printer->empty()) {
        m_messages("Printer not found or Scrivlet Settings Damaged!", kCaption);
        return std::nullopt;
    }
    Start start{*printer, m_spooler.printer(*printer)};
    if (start.facts) {
        m_facts = start.facts;
    } else {
        m_messages("!bFlag || !hPrinter", "");
        // The facts read earlier while the library is loaded stand in, never
        // made-up ones.
        if (m_facts && platform::equalsIgnoreCase(m_facts->name, *printer))
            start.facts = m_facts;
    }
    return start;
}

void PrinterSupport::setting() {
    const auto start = commonStart();
    if (!start)
        return;
    if (!start->facts)
        return;  // nothing known of the printer: nothing is prepared or saved
    const platform::PrinterInfo& facts = *start->facts;

    if (nothingSaved(kPaused, m_state.paused)) {
        if (facts.status & platform::PRINTER_STATUS_PAUSED) {
            save(kPaused, 1, m_state.paused);
        } else {
            save(kPaused, 0, m_state.paused);
            writeRunOnce();
            m_spooler.pause(start->printer);
        }
    }
    if (nothingSaved(kNetwork, m_state.network)) {
        saveText(kPort, facts.port, m_state.port);
        if (facts.attributes & platform::PRINTER_ATTRIBUTE_NETWORK) {
            save(kNetwork, 1, m_state.network);
            writeRunOnce();
            if (auto now = m_spooler.printer(start->printer)) {
                now->port = "LPT1";
                m_spooler.setPrinter(*now);
            }
        } else {
            save(kNetwork, 0, m_state.network);
        }
    }
    if (nothingSaved(kEmf, m_state.emf)) {
        saveText(kDataType, facts.dataType, m_state.dataType);
        if (m_spooler.platform() == WindowsPlatform::Win9x) {
            if (facts.dataType != "EMF") {
                save(kEmf, 0, m_state.emf);
                writeRunOnce();
                if (auto now = m_spooler.printer(start->printer)) {
                    now->dataType = "EMF";
                    m_spooler.setPrinter(*now);
                }
            } else {
                save(kEmf, 1, m_state.emf);
            }
        }
    }
    if (facts.attributes & platform::PRINTER_ATTRIBUTE_RAW_ONLY) {
        m_messages("PRINTER_ATTRIBUTE_RAW_ONLY !! Please Install Another Printer!", kCaption);
        save(kRawOnly, 1, m_state.rawOnly);
    } else {
        save(kRawOnly, 0, m_state.rawOnly);
    }
    writeState();
}

void PrinterSupport::refresh() {
    const auto start = commonStart();
    if (!start)
        return;
    auto now = m_spooler.printer(start->printer);

    if ((registryState(kPaused) == 0 || m_state.paused == 0) && now &&
        (now->status & platform::PRINTER_STATUS_PAUSED)) {
        m_spooler.resume(start->printer);
    }
    save(kPaused, kNothingSaved, m_state.paused);

    now = m_spooler.printer(start->printer);
    if ((registryState(kNetwork) == 1 || m_state.network == 1) && now &&
        !(now->attributes & platform::PRINTER_ATTRIBUTE_NETWORK)) {
        if (const auto port = app::SettingsStore(m_registry).readString(RegRoot::CurrentUser, kPort)) {
            now->port = *port;
            m_spooler.setPrinter(*now);
        }
    }
    save(kNetwork, kNothingSaved, m_state.network);

    now = m_spooler.printer(start->printer);
    if (m_spooler.platform() == WindowsPlatform::Win9x && (registryState(kEmf) == 0 || m_state.emf == 0) &&
        now && now->dataType == "EMF") {
        if (const auto type = app::SettingsStore(m_registry).readString(RegRoot::CurrentUser, kDataType)) {
            now->dataType = *type;
            m_spooler.setPrinter(*now);
        }
    }
    save(kEmf, kNothingSaved, m_state.emf);

    if (auto key = m_registry.openKey(RegRoot::CurrentUser, kRunOnceKey, platform::RegAccess::Write)) {
        key->deleteValue(kRunOnceValue);
    }
    std::error_code ec;
    fs::remove(autostartEntry(), ec);
    writeState();
}

}  // namespace printer_support
