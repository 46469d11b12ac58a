#include "platform/spooler/spooler.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/registry/registry.h"
#include "platform/windows_version.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

namespace platform {
namespace {

namespace fs = std::filesystem;
using testing_support::readFile;
using testing_support::TempDir;

constexpr const char* kPrinter = "Scrivlet Capture";

class SpoolerTest : public ::testing::Test {
protected:
    TempDir dir;
    Registry registry{RegistryLocation::inFolder(dir / "registry")};
    Spooler spooler{registry, dir / "windows", WindowsPlatform::Win2000};

    void SetUp() override {
        PrinterInfo p;
        p.name = kPrinter;
        p.port = "LPT1:";
        p.status = PRINTER_STATUS_PAUSED;
        ASSERT_TRUE(spooler.addPrinter(p));
    }

    static std::span<const std::byte> bytesOf(const std::string& text) {
        return std::as_bytes(std::span(text.data(), text.size()));
    }
};

// Writers that each submit `count` jobs whose spool data is their document name.
int submitJobs(const fs::path& root, const std::string& prefix, int threads, int count) {
    Registry registry(RegistryLocation::inFolder(root / "registry"));
    Spooler spooler(registry, root / "windows", WindowsPlatform::Win2000);
    std::vector<std::thread> workers;
    std::atomic<int> failures{0};
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            for (int i = 0; i < count; ++i) {
                const std::string document = prefix + "-" + std::to_string(t) + "-" + std::to_string(i);
                if (!spooler.submitJob(kPrinter, document,
                                       std::as_bytes(std::span(document.data(), document.size()))))
                    ++failures;
            }
        });
    }
    for (auto& w : workers) w.join();
    return failures.load();
}

TEST_F(SpoolerTest, SubmittersInSeveralProcessesAndThreadsLoseNoJob) {
    constexpr int kProcesses = 3, kThreads = 3, kEach = 12;
    // All children are forked from this one thread before any of them is waited for.
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        children.push_back(testing_support::startChild(
            [&] { return submitJobs(dir.path(), "p" + std::to_string(p), kThreads, kEach); },
            static_cast<uid_t>(-1), 240));
    }
    std::vector<testing_support::ChildOutcome> outcomes;
    for (const pid_t child : children) outcomes.push_back(testing_support::waitChild(child));
    for (const auto& o : outcomes) ASSERT_TRUE(o.exited && o.code == 0) << "failed submissions: " << o.code;

    const auto jobs = spooler.jobs(kPrinter);
    ASSERT_EQ(jobs.size(), static_cast<std::size_t>(kProcesses * kThreads * kEach));
    std::set<std::string> documents;
    for (const auto& job : jobs) {
        EXPECT_EQ(readFile(spooler.spoolFileOf(job.id)), job.document)
            << "job " << job.id << " has its own data";
        documents.insert(job.document);
    }
    EXPECT_EQ(documents.size(), jobs.size()) << "every submission is a job of its own";
    for (const auto& entry : fs::directory_iterator(spooler.spoolFolder())) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name.ends_with(".SPL") || name.ends_with(".job") || name == "spooler.lock") << name;
    }
}

TEST_F(SpoolerTest, EmptyPrinterNameNamesNoPrinter) {
    ASSERT_TRUE(registry.openKey(RegRoot::LocalMachine, kPrintersKey, RegAccess::Read)) << "the list exists";
    EXPECT_FALSE(spooler.printer(""));
    EXPECT_FALSE(spooler.pause(""));
    EXPECT_FALSE(spooler.resume(""));
    EXPECT_FALSE(spooler.setDefaultPrinter(""));
    EXPECT_FALSE(spooler.submitJob("", "doc", bytesOf("data")));
    PrinterInfo unnamed;
    EXPECT_FALSE(spooler.addPrinter(unnamed));
    EXPECT_FALSE(spooler.setPrinter(unnamed));
    EXPECT_FALSE(registry.openKey(RegRoot::LocalMachine, kPrintersKey, RegAccess::Read)->queryValue("Status"))
        << "nothing written on the list's own key";
    EXPECT_TRUE(spooler.jobs(kPrinter).empty());
}

TEST_F(SpoolerTest, PrinterNamesListEveryPrinterInOrder) {
    EXPECT_EQ(spooler.printerNames(), std::vector<std::string>{kPrinter});
    PrinterInfo office;
    office.name = "Office Laser";
    ASSERT_TRUE(spooler.addPrinter(office));
    EXPECT_EQ(spooler.printerNames(), (std::vector<std::string>{kPrinter, "Office Laser"}));
    TempDir empty;
    Registry none(RegistryLocation::inFolder(empty.path()));
    EXPECT_TRUE(Spooler(none, empty / "windows", WindowsPlatform::Win2000).printerNames().empty());
}

TEST_F(SpoolerTest, ResumingPrintsWhatWasWaiting) {
    ASSERT_TRUE(spooler.submitJob(kPrinter, "waiting", bytesOf("x")));
    ASSERT_EQ(spooler.jobs(kPrinter).size(), 1u);
    EXPECT_TRUE(spooler.resume(kPrinter));
    EXPECT_EQ(spooler.printer(kPrinter)->status & PRINTER_STATUS_PAUSED, 0u);
    EXPECT_TRUE(spooler.jobs(kPrinter).empty());
    EXPECT_FALSE(spooler.resume("No Such Printer"));
    EXPECT_TRUE(spooler.pause(kPrinter));
    EXPECT_EQ(spooler.printer(kPrinter)->status & PRINTER_STATUS_PAUSED, PRINTER_STATUS_PAUSED);
}

TEST_F(SpoolerTest, LineBreaksInNamesStayInsideTheirFact) {
    const auto id = spooler.submitJob(kPrinter, "Report\nprinter=Other", bytesOf("x"));
    ASSERT_TRUE(id);
    const auto jobs = spooler.jobs(kPrinter);
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].document, "Report printer=Other");
}

TEST(SpoolerPlatform, TheWindowsVersionComesFromTheEnvironment) {
    struct Case {
        const char* value;  // nullptr: unset
        WindowsPlatform platform;
    };
    const Case cases[] = {
        {nullptr, WindowsPlatform::Win2000}, {"95", WindowsPlatform::Win9x}, {"98", WindowsPlatform::Win9x},
        {"ME", WindowsPlatform::Win9x},      {"nt4", WindowsPlatform::NT4},  {"NT", WindowsPlatform::NT4},
        {"xp", WindowsPlatform::Win2000},    {"", WindowsPlatform::Win2000},
    };
    for (const auto& c : cases) {
        if (c.value == nullptr) {
            ::unsetenv("SCRIVLET_WINDOWS_VERSION");
        } else {
            ::setenv("SCRIVLET_WINDOWS_VERSION", c.value, 1);
        }
        EXPECT_EQ(platformFromEnvironment(), c.platform) << (c.value ? c.value : "(unset)");
    }
    ::unsetenv("SCRIVLET_WINDOWS_VERSION");
}

TEST_F(SpoolerTest, ConnectionsAreTheUsersNetworkPrinters) {
    EXPECT_TRUE(spooler.connectionNames().empty());
    PrinterInfo p;
    p.name = "\\\\server\\laser";
    p.port = "NE02:";
    p.driver = "Laser";
    p.attributes = PRINTER_ATTRIBUTE_RAW_ONLY;
    ASSERT_TRUE(spooler.addConnection(p));
    p.name = "\\\\other\\ink";
    ASSERT_TRUE(spooler.addConnection(p));
    EXPECT_EQ(spooler.connectionNames(), (std::vector<std::string>{"\\\\server\\laser", "\\\\other\\ink"}));
    EXPECT_TRUE(
        registry.openKey(RegRoot::CurrentUser, "Printers\\Connections\\,,server,laser", RegAccess::Read))
        << "kept where Windows keeps them";
    const auto got = spooler.connection("\\\\server\\laser");
    ASSERT_TRUE(got);
    EXPECT_EQ(got->port, "NE02:");
    EXPECT_EQ(got->driver, "Laser");
    EXPECT_EQ(got->dataType, "RAW");
    EXPECT_EQ(got->attributes, PRINTER_ATTRIBUTE_RAW_ONLY | PRINTER_ATTRIBUTE_NETWORK);
    EXPECT_FALSE(spooler.connection("\\\\nobody\\here"));
    EXPECT_FALSE(spooler.connection(""));
    EXPECT_EQ(spooler.printerNames(), (std::vector<std::string>{kPrinter})) << "not a local printer";
    p.name = "a,b";
    EXPECT_FALSE(spooler.addConnection(p)) << "a comma would read back as a separator";
    p.name = "";
    EXPECT_FALSE(spooler.addConnection(p));
}

TEST(WindowsVersion, ThePlatformsReleaseUnlessTheHiveSaysOtherwise) {
    TempDir dir;
    Registry registry{RegistryLocation::inFolder(dir / "registry")};
    struct Case {
        WindowsPlatform platform;
        std::uint32_t major, minor, build;
    };
    for (const auto& c : {Case{WindowsPlatform::Win9x, 4, 10, 2222}, Case{WindowsPlatform::NT4, 4, 0, 1381},
                          Case{WindowsPlatform::Win2000, 5, 0, 2195}}) {
        const auto v = windowsVersion(registry, c.platform);
        EXPECT_EQ(v.major, c.major);
        EXPECT_EQ(v.minor, c.minor);
        EXPECT_EQ(v.build, c.build);
        EXPECT_EQ(v.servicePack, "");
    }
    auto nt = registry.createKey(RegRoot::LocalMachine, kNtVersionKey, RegAccess::All).value();
    nt.setString("CurrentVersion", "5.1");
    nt.setString("CurrentBuildNumber", "2600");
    nt.setString("CSDVersion", "Service Pack 3");
    auto v = windowsVersion(registry, WindowsPlatform::Win2000);
    EXPECT_EQ(v.major, 5u);
    EXPECT_EQ(v.minor, 1u);
    EXPECT_EQ(v.build, 2600u);
    EXPECT_EQ(v.servicePack, "Service Pack 3");
    auto w9x = registry.createKey(RegRoot::LocalMachine, kWin9xVersionKey, RegAccess::All).value();
    w9x.setString("VersionNumber", "4.90.3000");
    w9x.setString("SubVersionNumber", " ");
    v = windowsVersion(registry, WindowsPlatform::Win9x);
    EXPECT_EQ(v.major, 4u);
    EXPECT_EQ(v.minor, 90u);
    EXPECT_EQ(v.build, 3000u);
    EXPECT_EQ(v.servicePack, " ");
    // Text that is no version keeps the release's numbers; a long pack is cut.
    nt.setString("CurrentVersion", "six");
    nt.setString("CurrentBuildNumber", "");
    nt.setString("CSDVersion", std::string(300, 'S'));
    v = windowsVersion(registry, WindowsPlatform::NT4);
    EXPECT_EQ(v.major, 4u);
    EXPECT_EQ(v.minor, 0u);
    EXPECT_EQ(v.build, 1381u);
    EXPECT_EQ(v.servicePack, std::string(127, 'S'));
    // Only text is read: numbers stored as DWORDs or binary keep the release's
    // values; expandable text counts as text; a missing pack is empty.
    nt.setDword("CurrentVersion", 6);
    nt.setValue(RegValue::string("CurrentBuildNumber", "7601", RegType::Binary));
    nt.setValue(RegValue::string("CSDVersion", "Service Pack 1", RegType::ExpandSz));
    v = windowsVersion(registry, WindowsPlatform::NT4);
    EXPECT_EQ(v.major, 4u);
    EXPECT_EQ(v.minor, 0u);
    EXPECT_EQ(v.build, 1381u);
    EXPECT_EQ(v.servicePack, "Service Pack 1");
    nt.deleteValue("CSDVersion");
    EXPECT_EQ(windowsVersion(registry, WindowsPlatform::NT4).servicePack, "");
}

}  // namespace
}  // namespace platform
