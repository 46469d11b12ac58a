// The facts the spooler keeps of printers and jobs: defaults of a printer read
// back, the network attribute, the default printer's profile value, job files
// as written by others, and job ids.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/registry/registry.h"
#include "platform/spooler/spooler.h"
#include "tests/support/temp_dir.h"

namespace platform {
namespace {

namespace fs = std::filesystem;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

std::span<const std::byte> bytesOf(const std::string& text) {
    return std::as_bytes(std::span(text.data(), text.size()));
}

class SpoolerFacts : public ::testing::Test {
protected:
    TempDir dir;
    Registry registry{RegistryLocation::inFolder(dir / "registry")};
    Spooler spooler{registry, dir / "windows", WindowsPlatform::Win2000};

    RegKey printerKey(const std::string& name) {
        return registry
            .openKey(RegRoot::LocalMachine, std::string(kPrintersKey) + "\\" + name, RegAccess::All)
            .value();
    }
    void addPaused(const std::string& name) {
        PrinterInfo p;
        p.name = name;
        p.status = PRINTER_STATUS_PAUSED;
        ASSERT_TRUE(spooler.addPrinter(p));
    }
};

TEST_F(SpoolerFacts, APrinterReadsBackWhatWasWritten) {
    PrinterInfo p;
    p.name = "Laser";
    p.port = "LPT2:";
    p.driver = "Generic";
    p.dataType = "NT EMF 1.008";
    p.attributes = PRINTER_ATTRIBUTE_RAW_ONLY | PRINTER_ATTRIBUTE_DEFAULT;
    p.status = 0x80;
    p.printQuality = -3;  // a draft quality code
    ASSERT_TRUE(spooler.addPrinter(p));
    const auto back = spooler.printer("laser");
    ASSERT_TRUE(back);
    EXPECT_EQ(back->name, "Laser");
    EXPECT_EQ(back->port, "LPT2:");
    EXPECT_EQ(back->driver, "Generic");
    EXPECT_EQ(back->dataType, "NT EMF 1.008");
    EXPECT_EQ(back->attributes, PRINTER_ATTRIBUTE_RAW_ONLY) << "default only while it is the default printer";
    EXPECT_EQ(back->status, 0x80u);
    EXPECT_EQ(back->printQuality, -3);
    EXPECT_EQ(printerKey("Laser").queryValue("PrintQuality")->data, RegValue::dword("", 0xFFFDu).data)
        << "stored as the 16-bit code";
}

TEST_F(SpoolerFacts, MissingOrMistypedValuesReadAsTheirDefaults) {
    ASSERT_TRUE(
        registry.createKey(RegRoot::LocalMachine, std::string(kPrintersKey) + "\\Bare", RegAccess::All));
    auto p = spooler.printer("Bare");
    ASSERT_TRUE(p);
    EXPECT_EQ(p->name, "Bare");
    EXPECT_EQ(p->port, "");
    EXPECT_EQ(p->driver, "");
    EXPECT_EQ(p->dataType, "RAW");
    EXPECT_EQ(p->attributes, 0u);
    EXPECT_EQ(p->status, 0u);
    EXPECT_EQ(p->printQuality, 300);

    auto key = printerKey("Bare");
    key.setDword("Port", 5);       // a number where text belongs
    key.setString("Status", "1");  // text where a number belongs
    key.setValue(RegValue{"Attributes", RegType::Dword, {std::byte{1}, std::byte{0}}});  // too short
    key.setValue(RegValue::string("Datatype", "EMF", RegType::ExpandSz));
    key.setValue(RegValue{"Printer Driver", RegType::Sz, {std::byte{'D'}, std::byte{0}, std::byte{'x'}}});
    p = spooler.printer("Bare");
    ASSERT_TRUE(p);
    EXPECT_EQ(p->port, "");
    EXPECT_EQ(p->status, 0u);
    EXPECT_EQ(p->attributes, 0u);
    EXPECT_EQ(p->dataType, "EMF") << "expandable text counts as text";
    EXPECT_EQ(p->driver, "D") << "text ends at its first NUL";
    EXPECT_FALSE(spooler.printer("Absent"));
}

TEST_F(SpoolerFacts, APortChangeDecidesTheNetworkAttribute) {
    PrinterInfo p;
    p.name = "Shared";
    p.port = "LPT1:";
    ASSERT_TRUE(spooler.addPrinter(p));
    struct Step {
        const char* port;
        std::uint32_t attributesGiven;
        std::uint32_t attributesKept;
    };
    const Step steps[] = {
        {"\\\\server\\laser", 0, PRINTER_ATTRIBUTE_NETWORK},  // to a network path
        {"\\\\server\\laser", 0, 0},                          // same port: as given
        {"\\\\server\\other", PRINTER_ATTRIBUTE_RAW_ONLY,
         PRINTER_ATTRIBUTE_RAW_ONLY | PRINTER_ATTRIBUTE_NETWORK},
        {"FILE:", PRINTER_ATTRIBUTE_NETWORK | PRINTER_ATTRIBUTE_DEFAULT, 0},  // back to a local port
        {"\\server", 0, 0},                                                   // one backslash is local
    };
    for (const auto& s : steps) {
        p.port = s.port;
        p.attributes = s.attributesGiven;
        ASSERT_TRUE(spooler.setPrinter(p)) << s.port;
        EXPECT_EQ(spooler.printer("Shared")->attributes, s.attributesKept) << s.port;
        EXPECT_EQ(spooler.printer("Shared")->port, s.port);
    }
    PrinterInfo unknown;
    unknown.name = "Unknown";
    EXPECT_FALSE(spooler.setPrinter(unknown)) << "set never creates a printer";
    EXPECT_FALSE(spooler.printer("Unknown"));
}

TEST_F(SpoolerFacts, TheDefaultPrinterIsTheProfileValuesFirstField) {
    EXPECT_EQ(spooler.profileDevice(), ",,,");
    EXPECT_FALSE(spooler.defaultPrinter());
    PrinterInfo p;
    p.name = "Laser";
    p.port = "LPT1:";
    ASSERT_TRUE(spooler.addPrinter(p));
    EXPECT_FALSE(spooler.setDefaultPrinter("Absent"));
    ASSERT_TRUE(spooler.setDefaultPrinter("Laser"));
    EXPECT_EQ(spooler.profileDevice(), "Laser,winspool,LPT1:");
    EXPECT_EQ(spooler.defaultPrinter(), "Laser");
    EXPECT_EQ(spooler.printer("Laser")->attributes, PRINTER_ATTRIBUTE_DEFAULT);

    auto profile = registry.openKey(RegRoot::CurrentUser, kWindowsProfileKey, RegAccess::All).value();
    profile.setString("Device", "NoComma");
    EXPECT_EQ(spooler.defaultPrinter(), "NoComma");
    profile.setString("Device", ",winspool,LPT1:");
    EXPECT_FALSE(spooler.defaultPrinter());
    profile.setString("Device", std::string(300, 'n'));
    EXPECT_EQ(spooler.profileDevice(), std::string(250, 'n')) << "kept to the profile buffer";
    profile.deleteValue("Device");
    EXPECT_EQ(spooler.profileDevice(), ",,,");
}

TEST_F(SpoolerFacts, SpoolFoldersFollowThePlatform) {
    EXPECT_EQ(spooler.spoolFolder(), dir / "windows" / "SYSTEM32" / "spool" / "PRINTERS");
    EXPECT_EQ(Spooler(registry, dir / "w", WindowsPlatform::NT4).spoolFolder(),
              dir / "w" / "SYSTEM32" / "spool" / "PRINTERS");
    EXPECT_EQ(Spooler(registry, dir / "w", WindowsPlatform::Win9x).spoolFolder(),
              dir / "w" / "spool" / "PRINTERS");
    EXPECT_EQ(spooler.spoolFileOf(7), spooler.spoolFolder() / "00007.SPL");
    EXPECT_EQ(spooler.spoolFileOf(123456), spooler.spoolFolder() / "123456.SPL");
}

TEST_F(SpoolerFacts, JobFilesAreReadAsTheirFirstSixteenLines) {
    addPaused("Laser");
    const fs::path folder = spooler.spoolFolder();
    std::string padded;
    for (int i = 0; i < 15; ++i) padded += "comment line\n";
    writeFile(folder / "00040.job", "id=40\nprinter=LASER\ndocument=a=b\nstatus=3\nno equals sign\n");
    writeFile(folder / "00041.job", padded + "id=41\nprinter=Laser\n");  // id on line 16, printer past it
    writeFile(folder / "00042.job", padded + "printer=Laser\nid=42\n");  // id past line 16
    writeFile(folder / "00043.job", "printer=Laser\ndocument=no id\n");
    writeFile(folder / "00044.job", "id=44\nprinter=Other\n");
    writeFile(folder / "00045.txt", "id=45\nprinter=Laser\n");
    writeFile(folder / "00002.job", "id=2\nprinter=laser\ndocument=" + std::string(2000, 'd') + "\n");
    const auto jobs = spooler.jobs("Laser");
    ASSERT_EQ(jobs.size(), 2u);
    EXPECT_EQ(jobs[0].id, 2u) << "in id order";
    EXPECT_EQ(jobs[0].document, std::string(1024, 'd'));
    EXPECT_EQ(jobs[1].id, 40u);
    EXPECT_EQ(jobs[1].printer, "LASER");
    EXPECT_EQ(jobs[1].document, "a=b");
    EXPECT_EQ(jobs[1].status, 3u);
    EXPECT_EQ(spooler.jobs("Other").size(), 1u);
    const auto unnamed = spooler.jobs("");
    ASSERT_EQ(unnamed.size(), 1u) << "job 41 names its printer after line 16; job 42 its id";
    EXPECT_EQ(unnamed[0].id, 41u);
}

TEST_F(SpoolerFacts, JobIdsFollowTheHighestIdInTheFolder) {
    addPaused("Laser");
    const fs::path folder = spooler.spoolFolder();
    fs::create_directories(folder);
    EXPECT_EQ(spooler.submitJob("Laser", "first", bytesOf("1")), 1u);
    writeFile(folder / "00009.SPL", "left by someone");
    writeFile(folder / "junk.tmp", "");
    EXPECT_EQ(spooler.submitJob("Laser", "second", bytesOf("2")), 10u);
    EXPECT_EQ(readFile(spooler.spoolFileOf(10)), "2");
    EXPECT_EQ(readFile(folder / "00010.job"), "id=10\nprinter=Laser\ndocument=second\nstatus=0\n");
    EXPECT_TRUE(spooler.deleteJob(10));
    EXPECT_FALSE(fs::exists(spooler.spoolFileOf(10)));
    EXPECT_FALSE(spooler.cancelJob(10)) << "already gone";
    EXPECT_TRUE(spooler.cancelJob(1));
    EXPECT_FALSE(spooler.submitJob("Absent", "x", bytesOf("x")));

    PrinterInfo running;
    running.name = "Running";
    ASSERT_TRUE(spooler.addPrinter(running));
    const auto printed = spooler.submitJob("Running", "at once", bytesOf("3"));
    ASSERT_TRUE(printed);
    EXPECT_EQ(*printed, 10u) << "the id of a job gone is free again";
    EXPECT_TRUE(spooler.jobs("Running").empty()) << "a running printer prints at once";
    EXPECT_FALSE(fs::exists(spooler.spoolFileOf(*printed)));
}

}  // namespace
}  // namespace platform
