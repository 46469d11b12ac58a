#include "tools/setup/setup_run.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "tests/support/temp_dir.h"
#include "tools/common/registry_text.h"

namespace tools {
namespace {

namespace fs = std::filesystem;
using platform::RegAccess;
using platform::RegRoot;
using testing_support::TempDir;

class SetupTest : public ::testing::Test {
public:
    TempDir dir;
    platform::RegistryLocation location = platform::RegistryLocation::inFolder(dir / "registry");
    platform::Registry registry{location, [](const std::string&) {}};
    platform::PlatformFolders folders = platform::PlatformFolders::under(dir / "home");
    platform::Spooler spooler{registry, folders.windowsFolder().value(), platform::WindowsPlatform::Win2000};

    SetupResult run(std::string_view folder) {
        return runSetup({registry, location, folders, platform::WindowsPlatform::Win2000}, folder);
    }
    std::optional<std::string> machineValue(const char* name) const {
        return readText(registry, RegRoot::LocalMachine, "Software\\Quillo\\Scrivlet", name);
    }
};

TEST_F(SetupTest, RecordsTheFolderAndMakesTheCapturePrinterTheDefault) {
    fs::create_directories(dir / "install");
    const auto result = run((dir / "install").string());
    EXPECT_EQ(result.status, 0) << result.errors;
    EXPECT_TRUE(result.errors.empty());
    EXPECT_EQ(machineValue("InstallPath"), (dir / "install").string());
    EXPECT_EQ(machineValue("Version"), "2.0.0");
    const auto printer = spooler.printer(kCapturePrinter);
    ASSERT_TRUE(printer);
    EXPECT_EQ(printer->dataType, "NT EMF 1.008");
    EXPECT_EQ(printer->port, "LPT1:");
    EXPECT_EQ(spooler.defaultPrinter(), kCapturePrinter);
    EXPECT_NE(result.output.find("recorded in " + location.localMachineFile.string()), std::string::npos)
        << result.output;
    EXPECT_NE(result.output.find("ready"), std::string::npos) << result.output;
}

TEST_F(SetupTest, RelativeFolderIsRecordedAbsolute) {
    fs::create_directories(dir / "install");
    const fs::path before = fs::current_path();
    fs::current_path(dir.path());
    const auto result = run("install");
    fs::current_path(before);
    EXPECT_EQ(result.status, 0) << result.errors;
    EXPECT_EQ(machineValue("InstallPath"), (dir / "install").string());
}

TEST_F(SetupTest, AnEarlierPrinterAndDefaultAreKept) {
    platform::PrinterInfo office;
    office.name = "Office Laser";
    office.port = "USB001";
    ASSERT_TRUE(spooler.addPrinter(office));
    ASSERT_TRUE(spooler.setDefaultPrinter("Office Laser"));
    platform::PrinterInfo capture;
    capture.name = kCapturePrinter;
    capture.port = "FILE:";
    capture.dataType = "RAW";
    ASSERT_TRUE(spooler.addPrinter(capture));
    fs::create_directories(dir / "install");
    ASSERT_EQ(run((dir / "install").string()).status, 0);
    EXPECT_EQ(spooler.defaultPrinter(), "Office Laser");
    EXPECT_EQ(spooler.printer(kCapturePrinter)->port, "FILE:") << "an existing printer keeps its settings";
}

// Every failure makes the run fail and says why.
// The tools read text values of either string type, up to their NUL, and
// nothing else.
TEST_F(SetupTest, TextValuesAreReadOfEitherStringType) {
    const char* key = "Software\\Quillo\\Scrivlet";
    auto handle = registry.createKey(RegRoot::CurrentUser, key, RegAccess::Write);
    ASSERT_TRUE(handle);
    ASSERT_EQ(handle->setValue(platform::RegValue::string("plain", "C:\\Scrivlet")),
              platform::RegStatus::Success);
    ASSERT_EQ(handle->setValue(
                  platform::RegValue::string("expand", "%ProgramFiles%\\S", platform::RegType::ExpandSz)),
              platform::RegStatus::Success);
    ASSERT_EQ(handle->setValue(platform::RegValue::dword("number", 7)), platform::RegStatus::Success);
    platform::RegValue cut = platform::RegValue::string("cut", "");
    cut.data.clear();
    for (const char c : std::string("ab\0cd\0", 6)) cut.data.push_back(static_cast<std::byte>(c));
    ASSERT_EQ(handle->setValue(cut), platform::RegStatus::Success);
    struct Case {
        const char* key;
        const char* name;
        std::optional<std::string> text;
    };
    const Case cases[] = {
        {key, "plain", "C:\\Scrivlet"}, {key, "expand", "%ProgramFiles%\\S"},
        {key, "number", std::nullopt},  {key, "cut", "ab"},
        {key, "absent", std::nullopt},  {"Software\\Nobody", "plain", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(readText(registry, RegRoot::CurrentUser, c.key, c.name), c.text) << c.name;
    EXPECT_TRUE(writeText(registry, RegRoot::CurrentUser, key, "written", "text"));
    EXPECT_EQ(readText(registry, RegRoot::CurrentUser, key, "written"), "text");
    EXPECT_FALSE(writeText(registry, RegRoot::CurrentUser, "Software\\Nobody", "written", "text"))
        << "a key that does not exist is not made";
}

TEST_F(SetupTest, FailuresAreSaidAndFailTheRun) {
    struct Case {
        const char* label;
        std::function<std::string(SetupTest&)> arrange;  // gives the folder argument
        const char* said;
    };
    const Case cases[] = {
        {"not a folder",
         [](SetupTest& t) {
             testing_support::writeFile(t.dir / "file", "x");
             return (t.dir / "file").string();
         },
         "is not a folder"},
        {"missing folder", [](SetupTest& t) { return (t.dir / "nowhere").string(); }, "is not a folder"},
        {"empty argument", [](SetupTest&) { return std::string(); }, "is not a folder"},
        {"folder that cannot be read",
         [](SetupTest& t) {
             fs::create_directories(t.dir / "locked");
             fs::permissions(t.dir / "locked", fs::perms::none);
             return (t.dir / "locked").string();
         },
         "cannot read"},
        {"machine hive read-only",
         [](SetupTest& t) {
             fs::create_directories(t.dir / "install");
             t.registry.createKey(RegRoot::LocalMachine, "Software", RegAccess::Write);
             fs::permissions(t.location.localMachineFile, fs::perms::owner_read);
             return (t.dir / "install").string();
         },
         "cannot write"},
        {"user hive read-only (no default printer can be set)",
         [](SetupTest& t) {
             fs::create_directories(t.dir / "install");
             t.registry.createKey(RegRoot::CurrentUser, "Software", RegAccess::Write);
             fs::permissions(t.location.currentUserFile, fs::perms::owner_read);
             return (t.dir / "install").string();
         },
         "the default printer"},
    };
    for (const auto& c : cases) {
        if (::geteuid() == 0 && std::string_view(c.label) == "folder that cannot be read")
            continue;  // the superuser enters any folder
        fs::remove_all(dir / "registry");
        const std::string argument = c.arrange(*this);
        const auto result = run(argument);
        EXPECT_EQ(result.status, 1) << c.label;
        EXPECT_NE(result.errors.find(c.said), std::string::npos) << c.label << ": " << result.errors;
        std::error_code ec;
        for (const auto& file : {location.currentUserFile, location.localMachineFile})
            fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write, ec);
    }
    std::error_code ec;
    fs::permissions(dir / "locked", fs::perms::owner_all, ec);
}

}  // namespace
}  // namespace tools
