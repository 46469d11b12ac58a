#include "printer_support/printer_support.h"

#include <gtest/gtest.h>

#include "printer_support/autostart_entry.h"
#include "tests/app/capture_fixture.h"

namespace printer_support {
namespace {

using platform::RegRoot;
using testing_support::readFile;
using testing_support::writeFile;

class PrinterSupportTest : public app::CaptureFixture {
protected:
    std::vector<std::pair<std::string, std::string>> messages;
    std::unique_ptr<PrinterSupport> support;

    void makeSupport() {
        support = std::make_unique<PrinterSupport>(
            registry, folders, *spooler,
            [this](const std::string& t, const std::string& c) { messages.emplace_back(t, c); });
    }
    void SetUp() override {
        app::CaptureFixture::SetUp();
        store.writeString(RegRoot::LocalMachine, "InstallPath", "/opt/scrivlet");
        makeSupport();
    }
    std::int32_t reg(const char* name) { return store.readDword(RegRoot::CurrentUser, name); }
    std::optional<std::string> runOnce() {
        auto key = registry.openKey(RegRoot::CurrentUser, kRunOnceKey, platform::RegAccess::Read);
        if (!key)
            return std::nullopt;
        auto v = key->queryValue(kRunOnceValue);
        if (!v)
            return std::nullopt;
        return app::textOfValue(*v);
    }
    void useMacroPrinter(const std::string& line) {
        writeFile(support->stateFile().parent_path() / "lvSLPrnMacro.ini", line + "\r\n");
    }
};

TEST_F(PrinterSupportTest, RunningLocalPrinterIsPausedAndResumed) {
    addPrinter("Capture", false);
    useMacroPrinter("Capture on LPT1:");
    support->setting();
    EXPECT_TRUE(spooler->printer("Capture")->status & platform::PRINTER_STATUS_PAUSED);
    EXPECT_EQ(reg("CurWordPrnStatusPaused"), 0);
    EXPECT_EQ(reg("CurWordPrnAttributeNetwork"), 0);
    EXPECT_EQ(store.readString(RegRoot::CurrentUser, "CurWordPrnNetworkPath"), "LPT1:");
    EXPECT_EQ(store.readString(RegRoot::CurrentUser, "CurWordPrnDataType"), "NT EMF 1.008");
    EXPECT_EQ(reg("CurWordPrnAttributeRawOnly"), 0);
    EXPECT_EQ(runOnce(), "\"/opt/scrivlet/SLPrnSupport\" refresh");
    EXPECT_TRUE(std::filesystem::exists(support->autostartEntry()));
    EXPECT_EQ(readFile(support->stateFile()), "0\n0\nLPT1:\nNT EMF 1.008\n0\n0\n");
    EXPECT_TRUE(messages.empty());

    makeSupport();  // the main program's own load of the library
    support->refresh();
    EXPECT_FALSE(spooler->printer("Capture")->status & platform::PRINTER_STATUS_PAUSED);
    for (const char* v : {"CurWordPrnStatusPaused", "CurWordPrnAttributeNetwork", "CurWordPrnDataTypeEMF"}) {
        EXPECT_EQ(reg(v), 100) << v;
    }
    EXPECT_FALSE(runOnce());
    EXPECT_FALSE(std::filesystem::exists(support->autostartEntry())) << "the refresh removes its entry";
    EXPECT_EQ(readFile(support->stateFile()), "100\n100\nLPT1:\nNT EMF 1.008\n100\n0\n");
}

TEST_F(PrinterSupportTest, APrinterPausedBeforeStaysPaused) {
    addPrinter("Capture", true);
    useMacroPrinter("Capture on LPT1:");
    support->setting();
    EXPECT_EQ(reg("CurWordPrnStatusPaused"), 1);
    support->refresh();
    EXPECT_TRUE(spooler->printer("Capture")->status & platform::PRINTER_STATUS_PAUSED);
}

TEST_F(PrinterSupportTest, NetworkPrinterGetsALocalPortUntilRefresh) {
    addPrinter("Shared", false, platform::PRINTER_ATTRIBUTE_NETWORK, "\\\\server\\laser");
    useMacroPrinter("Shared on Ne01:");
    support->setting();
    EXPECT_EQ(spooler->printer("Shared")->port, "LPT1");
    EXPECT_EQ(reg("CurWordPrnAttributeNetwork"), 1);
    support->setting();  // a second call keeps the first saved port
    EXPECT_EQ(store.readString(RegRoot::CurrentUser, "CurWordPrnNetworkPath"), "\\\\server\\laser");
    support->refresh();
    for (auto& m : messages) ADD_FAILURE() << m.first;
    EXPECT_EQ(reg("CurWordPrnAttributeNetwork"), 100);
    EXPECT_EQ(spooler->printer("Shared")->port, "\\\\server\\laser");
}

TEST_F(PrinterSupportTest, Windows9xSwitchesToEmfAndBack) {
    usePlatform(platform::WindowsPlatform::Win9x);
    makeSupport();
    addPrinter("Old", false);
    auto p = *spooler->printer("Old");
    p.dataType = "RAW";
    spooler->setPrinter(p);
    useMacroPrinter("Old on LPT1:");
    support->setting();
    EXPECT_EQ(spooler->printer("Old")->dataType, "EMF");
    EXPECT_EQ(reg("CurWordPrnDataTypeEMF"), 0);
    support->refresh();
    EXPECT_EQ(spooler->printer("Old")->dataType, "RAW");
}

TEST_F(PrinterSupportTest, DefaultPrinterWithoutMacroFileAndMessages) {
    addPrinter("Raw Only", false, platform::PRINTER_ATTRIBUTE_RAW_ONLY);
    support->setting();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].first, "Printer not found or Scrivlet Settings Damaged!");
    EXPECT_EQ(messages[0].second, "SLPrnSupport Message");
    EXPECT_EQ(reg("CurWordPrnStatusPaused"), -1) << "nothing changed";
    spooler->setDefaultPrinter("Raw Only");
    support->setting();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1].first, "PRINTER_ATTRIBUTE_RAW_ONLY !! Please Install Another Printer!");
    EXPECT_EQ(reg("CurWordPrnAttributeRawOnly"), 1);
}

TEST_F(PrinterSupportTest, AutostartEntryQuotesTheProgram) {
    store.writeString(RegRoot::LocalMachine, "InstallPath", "/opt/Quillo Apps/scrivlet");
    addPrinter("Capture", false);
    useMacroPrinter("Capture on LPT1:");
    support->setting();
    EXPECT_EQ(support->autostartEntry(),
              folders.applicationData() / "autostart" / "scrivlet-slPrnRefresh.desktop");
    EXPECT_EQ(runOnce(), "\"/opt/Quillo Apps/scrivlet/SLPrnSupport\" refresh");
    const std::string entry = readFile(support->autostartEntry());
    EXPECT_NE(entry.find("[Desktop Entry]\nType=Application\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("\nExec=\"/opt/Quillo Apps/scrivlet/SLPrnSupport\" refresh\n"), std::string::npos)
        << entry;
    EXPECT_NE(entry.find("\nTryExec=/opt/Quillo Apps/scrivlet/SLPrnSupport\n"), std::string::npos) << entry;
}

TEST(AutostartExec, QuotesByTheDesktopEntryRules) {
    struct Case {
        const char* program;
        std::optional<std::string> exec;
    };
    const Case cases[] = {
        {"/opt/a/SLPrnSupport", "\"/opt/a/SLPrnSupport\" refresh"},
        {"/opt/a b/SLPrnSupport", "\"/opt/a b/SLPrnSupport\" refresh"},
        // Inside the quotes ", `, $ and \ take a backslash; the value's own
        // rules double every backslash again; % is doubled.
        {"/opt/\"q\"/S", "\"/opt/\\\\\"q\\\\\"/S\" refresh"},
        {"/opt/$HOME`x`/S", "\"/opt/\\\\$HOME\\\\`x\\\\`/S\" refresh"},
        {"/opt/back\\slash/S", "\"/opt/back\\\\\\\\slash/S\" refresh"},
        {"/opt/100%/S", "\"/opt/100%%/S\" refresh"},
        {"/opt/new\nline/S", std::nullopt},
        {"/opt/tab\t/S", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(autostartExec(c.program), c.exec) << c.program;
}

TEST_F(PrinterSupportTest, WithoutAnInstallationFolderNoAutostartEntry) {
    registry.openKey(RegRoot::LocalMachine, "Software\\Quillo\\Scrivlet", platform::RegAccess::Write)
        ->deleteValue("InstallPath");
    addPrinter("Capture", false);
    useMacroPrinter("Capture on LPT1:");
    support->setting();
    EXPECT_TRUE(spooler->printer("Capture")->status & platform::PRINTER_STATUS_PAUSED);
    EXPECT_FALSE(std::filesystem::exists(support->autostartEntry()));
}

TEST_F(PrinterSupportTest, APrinterThatCannotBeReadSavesNoMadeUpFacts) {
    useMacroPrinter("Ghost on LPT1:");
    support->setting();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].first, "!bFlag || !hPrinter");
    EXPECT_EQ(messages[0].second, "");
    for (const char* v :
         {"CurWordPrnStatusPaused", "CurWordPrnAttributeNetwork", "CurWordPrnAttributeRawOnly"})
        EXPECT_EQ(reg(v), -1) << v << ": nothing saved";
    EXPECT_FALSE(store.readString(RegRoot::CurrentUser, "CurWordPrnDataType"));
    EXPECT_FALSE(runOnce());
}

TEST_F(PrinterSupportTest, APrinterThatCannotBeReadAgainKeepsTheEarlierFacts) {
    addPrinter("Shared", false, platform::PRINTER_ATTRIBUTE_NETWORK, "\\\\server\\laser");
    auto p = *spooler->printer("Shared");
    p.dataType = "NT EMF 1.008";
    spooler->setPrinter(p);
    useMacroPrinter("Shared on Ne01:");
    support->setting();
    // Nothing saved again (as after a restore), then the spooler can no
    // longer be asked: the facts of the earlier read stand in.
    for (const char* v : {"CurWordPrnStatusPaused", "CurWordPrnAttributeNetwork", "CurWordPrnDataTypeEMF"})
        store.writeDword(RegRoot::CurrentUser, v, 100);
    writeFile(support->stateFile(), "100\n100\n\n\n100\n0\n");
    messages.clear();
    registry.deleteKeyTree(RegRoot::LocalMachine, std::string(platform::kPrintersKey) + "\\Shared");
    ASSERT_FALSE(spooler->printer("Shared"));
    support->setting();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].first, "!bFlag || !hPrinter");
    EXPECT_EQ(reg("CurWordPrnStatusPaused"), 0) << "the earlier facts: it was running";
    EXPECT_EQ(reg("CurWordPrnAttributeNetwork"), 1);
    EXPECT_EQ(store.readString(RegRoot::CurrentUser, "CurWordPrnNetworkPath"), "\\\\server\\laser");
    EXPECT_EQ(store.readString(RegRoot::CurrentUser, "CurWordPrnDataType"), "NT EMF 1.008");
}

TEST_F(PrinterSupportTest, Windows9xTakesTheDefaultPrinterFromTheEnumeration) {
    usePlatform(platform::WindowsPlatform::Win9x);
    makeSupport();
    addPrinter("Old", false);
    auto p = *spooler->printer("Old");
    p.dataType = "EMF";
    spooler->setPrinter(p);
    support->setting();  // no macro file and no default printer
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].first, "dwNeeded == 0");
    EXPECT_EQ(messages[0].second, "");
    EXPECT_EQ(messages[1].first, "Printer not found or Scrivlet Settings Damaged!");
    messages.clear();
    ASSERT_TRUE(spooler->setDefaultPrinter("Old"));
    support->setting();
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(spooler->printer("Old")->status & platform::PRINTER_STATUS_PAUSED);
    EXPECT_EQ(reg("CurWordPrnDataTypeEMF"), 1) << "it was EMF already";
    support->refresh();
    EXPECT_EQ(spooler->printer("Old")->dataType, "EMF");
}

TEST_F(PrinterSupportTest, RestoreFollowsTheRegistryOrTheFile) {
    addPrinter("Shared", false, platform::PRINTER_ATTRIBUTE_NETWORK, "\\\\server\\laser");
    useMacroPrinter("Shared on Ne01:");
    support->setting();
    ASSERT_EQ(spooler->printer("Shared")->port, "LPT1");
    // The file lost its network state; the registry still holds it.
    writeFile(support->stateFile(), "0\n0\n\\\\server\\laser\nNT EMF 1.008\n0\n0\n");
    makeSupport();
    support->refresh();
    EXPECT_EQ(spooler->printer("Shared")->port, "\\\\server\\laser");
    EXPECT_FALSE(spooler->printer("Shared")->status & platform::PRINTER_STATUS_PAUSED);
}

TEST_F(PrinterSupportTest, TheRefreshLeavesThePortOfALocalPrinterAsItFindsIt) {
    addPrinter("Capture", false);
    useMacroPrinter("Capture on LPT1:");
    support->setting();
    ASSERT_EQ(reg("CurWordPrnAttributeNetwork"), 0);
    // The printer moved to another port while it was paused.
    auto p = *spooler->printer("Capture");
    p.port = "USB001";
    spooler->setPrinter(p);
    makeSupport();
    support->refresh();
    EXPECT_EQ(spooler->printer("Capture")->port, "USB001") << "only a port the setting changed is put back";
    EXPECT_FALSE(spooler->printer("Capture")->status & platform::PRINTER_STATUS_PAUSED);
    EXPECT_EQ(reg("CurWordPrnAttributeNetwork"), 100);
}

TEST_F(PrinterSupportTest, Windows9xRestoreFollowsTheRegistryWhenTheFileForgot) {
    usePlatform(platform::WindowsPlatform::Win9x);
    makeSupport();
    addPrinter("Old", false);
    auto p = *spooler->printer("Old");
    p.dataType = "RAW";
    spooler->setPrinter(p);
    useMacroPrinter("Old on LPT1:");
    support->setting();
    ASSERT_EQ(spooler->printer("Old")->dataType, "EMF");
    writeFile(support->stateFile(), "100\n100\nLPT1:\nRAW\n100\n0\n");
    makeSupport();
    support->refresh();
    EXPECT_EQ(spooler->printer("Old")->dataType, "RAW");
    EXPECT_FALSE(spooler->printer("Old")->status & platform::PRINTER_STATUS_PAUSED);
}

TEST_F(PrinterSupportTest, OnNtTheDataTypeIsNeverPutBack) {
    addPrinter("Capture", false);
    auto p = *spooler->printer("Capture");
    p.dataType = "EMF";
    spooler->setPrinter(p);
    useMacroPrinter("Capture on LPT1:");
    support->setting();
    store.writeString(RegRoot::CurrentUser, "CurWordPrnDataType", "RAW");
    store.writeDword(RegRoot::CurrentUser, "CurWordPrnDataTypeEMF", 0);
    support->refresh();
    EXPECT_EQ(spooler->printer("Capture")->dataType, "EMF");
    EXPECT_EQ(reg("CurWordPrnDataTypeEMF"), 100);
}

TEST_F(PrinterSupportTest, AShortLocalAppDataPutsTheFilesOnDriveC) {
    ASSERT_TRUE(store.writeUserKeyString(platform::kShellFoldersKey, platform::kLocalAppDataValue, "c:\\"));
    EXPECT_EQ(support->stateFile(), folders.driveC() / "lvSLPrn.ini");
    addPrinter("Capture", false);
    writeFile(folders.driveC() / "lvSLPrnMacro.ini", "Capture on LPT1:\r\n");
    support->setting();
    EXPECT_TRUE(spooler->printer("Capture")->status & platform::PRINTER_STATUS_PAUSED);
    EXPECT_EQ(readFile(folders.driveC() / "lvSLPrn.ini"), "0\n0\nLPT1:\nNT EMF 1.008\n0\n0\n");
}

// The macro's printer file and the state file share a folder, made when
// it is missing, also on drive C.
TEST_F(PrinterSupportTest, TheFolderOfTheFilesIsMadeWhenMissing) {
    ASSERT_TRUE(store.writeUserKeyString(platform::kShellFoldersKey, platform::kLocalAppDataValue, "c:\\"));
    std::filesystem::remove_all(folders.driveC());
    addPrinter("Capture", false);
    spooler->setDefaultPrinter("Capture");
    support->setting();
    EXPECT_TRUE(spooler->printer("Capture")->status & platform::PRINTER_STATUS_PAUSED);
    EXPECT_EQ(readFile(folders.driveC() / "lvSLPrn.ini"), "0\n0\nLPT1:\nNT EMF 1.008\n0\n0\n");
    for (const auto& m : messages) EXPECT_NE(m.first, "Create lvSLPrn.ini Error!");
}

TEST_F(PrinterSupportTest, AnAutostartEntryThatCannotBeWrittenIsReported) {
    addPrinter("Capture", false);
    useMacroPrinter("Capture on LPT1:");
    // A folder where the entry's temporary file goes.
    std::filesystem::create_directories(support->autostartEntry().string() + ".part");
    support->setting();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].first, "Create " + support->autostartEntry().string() + " Error!");
    EXPECT_EQ(messages[0].second, "SLPrnSupport Message");
    EXPECT_TRUE(runOnce()) << "the registry value is written all the same";
}

TEST(AutostartEntryFile, WritesThroughATemporaryFileOrSaysItCouldNot) {
    testing_support::TempDir dir;
    const auto entry = dir / "autostart" / "a.desktop";
    EXPECT_TRUE(writeAutostartEntry(entry, "/opt/s/SLPrnSupport"));
    EXPECT_TRUE(std::filesystem::exists(entry));
    EXPECT_FALSE(std::filesystem::exists(entry.string() + ".part"));
    EXPECT_FALSE(writeAutostartEntry(entry, "/opt/new\nline"));
    // The entry's name taken by a folder with something in it: no rename.
    const auto blocked = dir / "autostart" / "b.desktop";
    writeFile(blocked / "x", "x");
    EXPECT_FALSE(writeAutostartEntry(blocked, "/opt/s/SLPrnSupport"));
    EXPECT_FALSE(std::filesystem::exists(blocked.string() + ".part")) << "the temporary file is removed";
    // The parent is a file: nothing can be written.
    writeFile(dir / "file", "x");
    EXPECT_FALSE(writeAutostartEntry(dir / "file" / "c.desktop", "/opt/s/SLPrnSupport"));
}

TEST(PrinterStateFile, ReadsNumbersAndCutsOverlongLines) {
    testing_support::TempDir dir;
    writeFile(dir / "s.ini", "100\n1\n" + std::string(300, 'P') + "\nEMF\n100\n1\n");
    const auto s = readStateFile(dir / "s.ini", PrinterState{});
    ASSERT_TRUE(s);
    EXPECT_EQ(s->paused, 100);
    EXPECT_EQ(s->network, 1);
    EXPECT_EQ(s->port, std::string(260, 'P')) << "the rest of the line is dropped";
    EXPECT_EQ(s->dataType, "EMF");
    EXPECT_EQ(s->emf, 100);
    EXPECT_EQ(s->rawOnly, 1);
}

TEST(PrinterStateFile, ReadsSixLinesAndKeepsWhatIsMissing) {
    testing_support::TempDir dir;
    writeFile(dir / "s.ini", "1\r\n0\r\nCOM1:\r\n");
    PrinterState current;
    current.emf = 7;
    const auto s = readStateFile(dir / "s.ini", current);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->paused, 1);
    EXPECT_EQ(s->port, "COM1:");
    EXPECT_EQ(s->emf, 7);
    EXPECT_FALSE(readStateFile(dir / "none.ini", current));
}

}  // namespace
}  // namespace printer_support
