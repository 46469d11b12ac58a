#include "printer_support/printer_support.h"

#include <gtest/gtest.h>

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
    EXPECT_EQ(runOnce(), "/opt/scrivlet/SLPrnSupport refresh");
    EXPECT_EQ(readFile(support->stateFile()), "0\n0\nLPT1:\nNT EMF 1.008\n0\n0\n");
    EXPECT_TRUE(messages.empty());

    makeSupport();  // the main program's own load of the library
    support->refresh();
    EXPECT_FALSE(spooler->printer("Capture")->status & platform::PRINTER_STATUS_PAUSED);
    for (const char* v : {"CurWordPrnStatusPaused", "CurWordPrnAttributeNetwork", "CurWordPrnDataTypeEMF"}) {
        EXPECT_EQ(reg(v), 100) << v;
    }
    EXPECT_FALSE(runOnce());
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
