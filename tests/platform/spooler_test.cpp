#include "platform/spooler/spooler.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/registry/registry.h"
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
    std::vector<std::thread> parents;
    std::vector<testing_support::ChildOutcome> outcomes(kProcesses);
    for (int p = 0; p < kProcesses; ++p) {
        parents.emplace_back([&, p] {
            outcomes[static_cast<std::size_t>(p)] = testing_support::runInChild(
                [&] { return submitJobs(dir.path(), "p" + std::to_string(p), kThreads, kEach); });
        });
    }
    for (auto& t : parents) t.join();
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

}  // namespace
}  // namespace platform
