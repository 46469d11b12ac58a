// The Word-side tool, the main program's headless capture and the printer
// restore program, run as the user runs them: separate processes that meet
// through a private registry, private XDG folders and the emulated spooler.

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "app/settings_store.h"
#include "metafile/emf_writer.h"
#include "platform/folders.h"
#include "platform/registry/registry.h"
#include "platform/spooler/spooler.h"
#include "printer_support/printer_support.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"

#if defined(HAVE_GIO_UNIX)
#include <gio/gdesktopappinfo.h>
#endif

namespace {

namespace fs = std::filesystem;
using platform::RegRoot;
using testing_support::readFile;
using testing_support::runProgram;
using testing_support::writeFile;

constexpr const char* kCapture = "Scrivlet Capture";  // the printer ScrivletSetup adds

std::string emfPage(int size) {
    metafile::EmfWriter w({0, 0, 2540, 2540}, {1000, 1000}, {254, 254});
    w.rectangle({0, 0, size, size});
    const auto bytes = w.finish();
    return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

class WordSideTest : public ::testing::Test {
protected:
    testing_support::TempDir dir;
    fs::path install;  // with a blank, as "Program Files" has
    std::unique_ptr<platform::Registry> registry;
    std::unique_ptr<app::SettingsStore> store;
    std::unique_ptr<platform::PlatformFolders> folders;
    std::unique_ptr<platform::Spooler> spooler;

    void SetUp() override {
        const std::pair<const char*, fs::path> vars[] = {
            {"SCRIVLET_REGISTRY", dir / "registry"}, {"HOME", dir / "home"},
            {"XDG_CONFIG_HOME", dir / "config"},     {"XDG_DATA_HOME", dir / "data"},
            {"XDG_CACHE_HOME", dir / "cache"},       {"XDG_RUNTIME_DIR", dir / "runtime"},
            {"SCRIVLET_OUTPUT", dir / "out"}};
        for (const auto& [name, path] : vars) {
            fs::create_directories(path);
            ::setenv(name, path.c_str(), 1);
        }
        ::chmod((dir / "runtime").c_str(), 0700);
        for (const char* name : {"SCRIVLET_HOME", "DISPLAY", "WAYLAND_DISPLAY", "SCRIVLET_WINDOWS_VERSION"})
            ::unsetenv(name);
        install = dir / "Quillo Apps" / "install";
        fs::create_directories(install / "emf");
        fs::create_symlink(SCRIVLET_MAIN, install / "Scrivlet");
        fs::create_symlink(SLPRNSUPPORT, install / "SLPrnSupport");
        for (int i = 1; i <= 3; ++i) writeFile(dir / ("p" + std::to_string(i) + ".emf"), emfPage(100 * i));
        reopen();
    }
    void usePlatform(const char* version) {
        ::setenv("SCRIVLET_WINDOWS_VERSION", version, 1);
        reopen();
    }
    void reopen() {
        registry = std::make_unique<platform::Registry>(platform::RegistryLocation::fromEnvironment());
        store = std::make_unique<app::SettingsStore>(*registry);
        folders = std::make_unique<platform::PlatformFolders>(platform::PlatformFolders::fromEnvironment());
        spooler = std::make_unique<platform::Spooler>(*registry, folders->windowsFolder().value(),
                                                      platform::platformFromEnvironment());
    }
    testing_support::ProgramRun run(std::vector<std::string> args) { return runProgram(args, dir.path()); }
    // The product's setup: InstallPath and the capture printer as the default.
    void setup() {
        const auto r = run({SCRIVLET_SETUP, install.string()});
        ASSERT_EQ(r.status, 0) << r.err;
    }
    testing_support::ProgramRun word(const std::string& route, std::vector<std::string> extra) {
        std::vector<std::string> args = {SCRIVLET_WORD, route, "--document", "Report.doc"};
        args.insert(args.end(), extra.begin(), extra.end());
        return run(args);
    }
    std::string page(int i) const { return (dir / ("p" + std::to_string(i) + ".emf")).string(); }
    bool paused(const std::string& printer) const {
        return (spooler->printer(printer).value().status & platform::PRINTER_STATUS_PAUSED) != 0;
    }
    bool runOnceSet() const {
        auto key =
            registry->openKey(RegRoot::CurrentUser, printer_support::kRunOnceKey, platform::RegAccess::Read);
        return key && static_cast<bool>(key->queryValue(printer_support::kRunOnceValue));
    }
    fs::path autostartEntry() const {
        return dir / "config" / "autostart" / printer_support::kAutostartEntry;
    }
    // The output files' names, sorted.
    std::vector<std::string> outputs() const {
        std::vector<std::string> names;
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(dir / "out", ec)) {
            if (fs::file_size(e.path()) > 0)
                names.push_back(e.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    void addPrinter(const std::string& name, bool isPaused) {
        platform::PrinterInfo p;
        p.name = name;
        p.port = "LPT1:";
        p.dataType = "NT EMF 1.008";
        p.status = isPaused ? platform::PRINTER_STATUS_PAUSED : 0;
        ASSERT_TRUE(spooler->addPrinter(p));
    }
};

TEST_F(WordSideTest, SpoolRouteWaitsForTheMainProgramWhichCapturesAndRestores) {
    setup();
    // The first page's size is no multiple of 4: the pages after it still arrive.
    writeFile(page(1), emfPage(100) + "x");
    const auto handed = word("spool", {"--start", (dir / "absent").string(), page(1), page(2), page(3)});
    ASSERT_EQ(handed.status, 0) << handed.err;
    EXPECT_NE(handed.out.find("queued job"), std::string::npos) << handed.out;
    EXPECT_EQ(spooler->jobs(kCapture).size(), 1u);
    EXPECT_TRUE(paused(kCapture));
    EXPECT_TRUE(runOnceSet());
    EXPECT_TRUE(fs::exists(autostartEntry()));
    EXPECT_EQ(store->readString(RegRoot::CurrentUser, "CurDocName"), "Report.doc");
    EXPECT_EQ(store->readString(RegRoot::CurrentUser, "CurWordWinName"), "Microsoft Word - Report.doc");
    EXPECT_EQ(store->readString(RegRoot::CurrentUser, "CurWordKodClipbrd"), "FALSE");
    EXPECT_EQ(readFile(dir / "data" / "Scrivlet" / "lvSLPrnMacro.ini"), "Scrivlet Capture on LPT1:\n");

    // The main program, started later without a display.
    const auto captured = run({(install / "Scrivlet").string()});
    ASSERT_EQ(captured.status, 0) << captured.out << captured.err;
    const auto files = outputs();
    ASSERT_EQ(files.size(), 3u) << captured.out << captured.err;
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(files[static_cast<std::size_t>(i)].substr(0, 10), "Report000" + std::to_string(i + 1));
    EXPECT_NE(captured.out.find((dir / "out").string()), std::string::npos) << "it says where";
    EXPECT_TRUE(spooler->jobs(kCapture).empty()) << "the job is gone";
    EXPECT_FALSE(paused(kCapture)) << "the printer is resumed";
    EXPECT_FALSE(runOnceSet());
    EXPECT_FALSE(fs::exists(autostartEntry()));
    EXPECT_EQ(store->readDword(RegRoot::CurrentUser, "CurWordPrnStatusPaused"), 100);
}

TEST_F(WordSideTest, TheWordSideStartsTheMainProgramFromTheInstallationFolder) {
    setup();
    const auto r = word("spool", {"--wait", page(1), page(2)});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("started " + (install / "Scrivlet").string()), std::string::npos) << r.out;
    EXPECT_EQ(outputs().size(), 2u) << r.out << r.err;
    EXPECT_TRUE(spooler->jobs(kCapture).empty());
    EXPECT_FALSE(paused(kCapture));
    EXPECT_FALSE(runOnceSet());
    const auto again = run({(install / "Scrivlet").string(), "--headless"});
    EXPECT_EQ(again.status, 1) << "nothing left to capture";
    EXPECT_NE(again.err.find("no page was captured"), std::string::npos) << again.err;
}

TEST_F(WordSideTest, Windows98CaptureRunsThroughTheTemporaryPageFiles) {
    usePlatform("98");
    setup();
    const auto r = word("spool", {"--wait", page(1), page(2), page(3)});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(outputs().size(), 3u) << r.out << r.err;
    EXPECT_TRUE(spooler->jobs(kCapture).empty());
    EXPECT_FALSE(paused(kCapture));
    EXPECT_EQ(spooler->printer(kCapture)->dataType, "NT EMF 1.008") << "the data type is put back";
}

TEST_F(WordSideTest, ClipboardRouteHandsOverOnePage) {
    setup();
    const auto r = word("clipboard", {"--wait", page(2)});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    ASSERT_EQ(outputs().size(), 1u) << r.out << r.err;
    EXPECT_EQ(outputs()[0].substr(0, 10), "Report0001");
    EXPECT_EQ(store->readString(RegRoot::CurrentUser, "CurWordKodClipbrd"), "FALSE");
    EXPECT_EQ(store->readString(RegRoot::CurrentUser, "CurWordWinName"), "Microsoft Word - Report.doc");
    EXPECT_EQ(store->readString(RegRoot::CurrentUser, "CurDocName"), "Report.doc");
}

TEST_F(WordSideTest, APageThatCannotBeWrittenEndsWithStatusOne) {
    setup();
    ASSERT_EQ(word("spool", {"--start", (dir / "absent").string(), page(1), page(2)}).status, 0);
    writeFile(dir / "file", "x");
    ::setenv("SCRIVLET_OUTPUT", (dir / "file" / "out").c_str(), 1);
    const auto r = run({(install / "Scrivlet").string(), "--headless"});
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_NE(r.err.find("cannot write " + (dir / "file" / "out" / "Report0001").string()), std::string::npos)
        << r.err;
    EXPECT_NE(r.out.find("0 of 2 captured page(s) written"), std::string::npos) << r.out;
    EXPECT_TRUE(spooler->jobs(kCapture).empty()) << "the capture itself went through";
    EXPECT_FALSE(paused(kCapture));
}

TEST_F(WordSideTest, TheMainProgramSaysWhyItRunsWithoutAWindow) {
    setup();
    struct Case {
        const char* display;
        const char* wayland;
        bool asked;
        const char* says;
    };
#ifdef SCRIVLET_WINDOW_BUILT
    const char* const kCannotOpen = "(headless: the display cannot be opened)";
#else
    const char* const kCannotOpen = "(headless: built without windows)";
#endif
    const Case cases[] = {
        {nullptr, nullptr, false, "(headless: no display)"},
        {"", "", false, "(headless: no display)"},
        // Displays that cannot be opened (no server behind them).
        {":8765", nullptr, false, kCannotOpen},
        {nullptr, "wayland-8765", false, kCannotOpen},
        {":8765", nullptr, true, "(headless, as asked)"},
    };
    for (const auto& c : cases) {
        for (const auto& [name, value] :
             {std::pair{"DISPLAY", c.display}, std::pair{"WAYLAND_DISPLAY", c.wayland}}) {
            if (value != nullptr)
                ::setenv(name, value, 1);
            else
                ::unsetenv(name);
        }
        ASSERT_EQ(word("spool", {"--start", (dir / "absent").string(), page(1)}).status, 0);
        std::vector<std::string> args = {(install / "Scrivlet").string()};
        if (c.asked)
            args.push_back("--headless");
        const auto r = run(args);
        EXPECT_EQ(r.status, 0) << c.says << r.err;
        EXPECT_NE(r.out.find(c.says), std::string::npos) << r.out;
        EXPECT_TRUE(spooler->jobs(kCapture).empty()) << c.says;
    }
}

TEST_F(WordSideTest, Windows98PagesWaitInTheTemporaryFilesTheSpoolDataName) {
    usePlatform("98");
    setup();
    const auto r = word("spool", {"--start", (dir / "absent").string(), page(1), page(2), page(3)});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto jobs = spooler->jobs(kCapture);
    ASSERT_EQ(jobs.size(), 1u);
    const std::string spool = readFile(spooler->spoolFileOf(jobs[0].id));
    const auto temp = folders->systemTempFolder().value();
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(temp)) {
        if (e.path().filename().string().starts_with("~EMF"))
            names.push_back(e.path().filename().string());
    }
    ASSERT_EQ(names.size(), 3u);
    std::vector<std::pair<std::size_t, std::string>> order;  // place in the spool data, file
    for (const auto& n : names) {
        EXPECT_EQ(n.size(), 12u) << n << ": ~EMF and eight characters";
        const auto at = spool.find(n);
        ASSERT_NE(at, std::string::npos) << n;
        order.emplace_back(at, n);
    }
    std::sort(order.begin(), order.end());
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(readFile(temp / order[static_cast<std::size_t>(i)].second), readFile(page(i + 1))) << i;
    EXPECT_EQ(spool.find("~EMF"), spool.find(order[0].second)) << "nothing else looks like a page";
}

TEST_F(WordSideTest, WaitEndsWithTheMainProgramsStatus) {
    setup();
    writeFile(dir / "seven.sh", "#!/bin/sh\nexit 7\n");
    fs::permissions(dir / "seven.sh", fs::perms::owner_all);
    auto r = word("spool", {"--start", (dir / "seven.sh").string(), "--wait", page(1)});
    EXPECT_EQ(r.status, 7) << r.err;
    r = word("clipboard", {"--start", (dir / "seven.sh").string(), page(1)});
    EXPECT_EQ(r.status, 0) << "without --wait the program runs on by itself";
    r = word("clipboard", {"--start", (dir / "absent").string(), "--wait", page(1)});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("main program not found (" + (dir / "absent").string() + ")"), std::string::npos)
        << r.out;
}

TEST_F(WordSideTest, PrinterOptionChoosesTheCapturePrinter) {
    setup();
    addPrinter("Second", false);
    const auto r = word("spool", {"--printer", "Second", "--start", (dir / "absent").string(), page(1)});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(spooler->jobs("Second").size(), 1u);
    EXPECT_TRUE(spooler->jobs(kCapture).empty());
    EXPECT_TRUE(paused("Second"));
    EXPECT_FALSE(paused(kCapture));
    EXPECT_EQ(readFile(dir / "data" / "Scrivlet" / "lvSLPrnMacro.ini"), "Second on LPT1:\n");
    EXPECT_NE(r.out.find("queued job " + std::to_string(spooler->jobs("Second")[0].id) +
                         " \"Microsoft Word - Report.doc\" with 1 page(s) on \"Second\""),
              std::string::npos)
        << r.out;
}

TEST_F(WordSideTest, QuickWritesTheDemonstrationPagesAndTouchesNoPrinter) {
    const auto none = run({(install / "Scrivlet").string(), "quick"});
    EXPECT_EQ(none.status, 1) << "no installation folder recorded";
    setup();
    for (int i = 1; i <= 2; ++i)
        writeFile(install / "emf" / ("page" + std::to_string(i) + ".emf"), emfPage(50 * i));
    ASSERT_EQ(word("spool", {"--start", (dir / "absent").string(), page(1)}).status, 0);
    const auto r = run({(install / "Scrivlet").string(), "quick"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const auto files = outputs();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].substr(0, 8), "Demo0001");
    EXPECT_EQ(files[1].substr(0, 8), "Demo0002");
    EXPECT_EQ(spooler->jobs(kCapture).size(), 1u) << "the demonstration leaves the queue alone";
    EXPECT_TRUE(paused(kCapture));
    // Without SCRIVLET_OUTPUT, or with it empty, the pages go to
    // "scrivlet-output" in the current folder.
    const fs::path here = fs::current_path();
    fs::current_path(dir.path());
    for (const char* value : {static_cast<const char*>(nullptr), ""}) {
        if (value == nullptr)
            ::unsetenv("SCRIVLET_OUTPUT");
        else
            ::setenv("SCRIVLET_OUTPUT", value, 1);
        const auto plain = run({(install / "Scrivlet").string(), "quick"});
        EXPECT_EQ(plain.status, 0) << plain.out << plain.err;
        std::size_t written = 0;
        std::error_code ec;
        for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir / "scrivlet-output", ec)) ++written;
        EXPECT_EQ(written, 2u) << (value == nullptr ? "unset" : "empty");
        fs::remove_all(dir / "scrivlet-output");
    }
    fs::current_path(here);
    ::setenv("SCRIVLET_OUTPUT", (dir / "out").c_str(), 1);
    writeFile(dir / "file", "x");
    ::setenv("SCRIVLET_OUTPUT", (dir / "file" / "out").c_str(), 1);
    EXPECT_EQ(run({(install / "Scrivlet").string(), "quick"}).status, 1) << "a page that cannot be written";
}

TEST_F(WordSideTest, WithoutADisplayTheScreenCountsAs96Dpi) {
    setup();
    store->writeDword(RegRoot::CurrentUser, "CheckN", 0);  // the screen's resolution
    ASSERT_EQ(word("spool", {"--start", (dir / "absent").string(), page(1)}).status, 0);
    const auto r = run({(install / "Scrivlet").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(", 96 dpi)"), std::string::npos) << r.out;
}

TEST_F(WordSideTest, ADamagedSpoolFileIsSaid) {
    setup();
    ASSERT_EQ(word("spool", {"--start", (dir / "absent").string(), page(1), page(2)}).status, 0);
    const auto file = spooler->spoolFileOf(spooler->jobs(kCapture).at(0).id);
    const std::string bytes = readFile(file);
    writeFile(file, bytes.substr(0, bytes.size() - 40));  // the second page cut off
    const auto r = run({(install / "Scrivlet").string()});
    EXPECT_EQ(r.status, 0) << "the first page still comes out";
    EXPECT_EQ(outputs().size(), 1u);
    EXPECT_NE(r.err.find("Spool file " + file.string() + ": "), std::string::npos) << r.err;
}

TEST_F(WordSideTest, ThePrintMomentIsRecordedInLocalTime) {
    setup();
    const auto stamp = [] {
        const std::time_t now = std::time(nullptr);
        std::tm t{};
        localtime_r(&now, &t);
        return (t.tm_year + 1900 - 2000) * 10000000000LL + (t.tm_mon + 1) * 100000000LL +
               t.tm_mday * 1000000LL + t.tm_hour * 10000LL + t.tm_min * 100LL + t.tm_sec;
    };
    const long long before = stamp();
    ASSERT_EQ(word("spool", {"--start", (dir / "absent").string(), page(1)}).status, 0);
    const long long after = stamp();
    const long long recorded =
        std::stoll(store->readString(RegRoot::CurrentUser, "CurSPLTimeInfo1").value()) * 1000000 +
        std::stoll(store->readString(RegRoot::CurrentUser, "CurSPLTimeInfo2").value());
    EXPECT_GE(recorded, before);
    EXPECT_LE(recorded, after);
}

TEST_F(WordSideTest, NoDefaultPrinterIsAClearError) {
    addPrinter("Laser", false);
    const auto r = word("spool", {"--start", (dir / "absent").string(), page(1)});
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.err.find("no default printer"), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("queued"), std::string::npos) << r.out;
}

TEST_F(WordSideTest, APrinterNameHoldingOnIsPausedAndKeepsTheJob) {
    addPrinter("Print on Demand", false);
    ASSERT_TRUE(spooler->setDefaultPrinter("Print on Demand"));
    store->writeString(RegRoot::LocalMachine, "InstallPath", install.string());
    const auto r = word("spool", {"--start", (dir / "absent").string(), page(1)});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(paused("Print on Demand"));
    EXPECT_EQ(spooler->jobs("Print on Demand").size(), 1u);
    const auto restored = run({SLPRNSUPPORT, "refresh"});
    EXPECT_EQ(restored.status, 0) << restored.err;
    EXPECT_FALSE(paused("Print on Demand"));
}

TEST_F(WordSideTest, AJobThatLeavesTheQueueAtOnceIsAnError) {
    // An earlier capture saved its state and was never restored; meanwhile
    // the printer was resumed by hand: nothing pauses it now.
    addPrinter("Laser", false);
    ASSERT_TRUE(spooler->setDefaultPrinter("Laser"));
    store->writeDword(RegRoot::CurrentUser, "CurWordPrnStatusPaused", 0);
    store->writeDword(RegRoot::CurrentUser, "CurWordPrnAttributeNetwork", 0);
    writeFile(dir / "data" / "Scrivlet" / "lvSLPrn.ini", "0\n0\nLPT1:\nNT EMF 1.008\n100\n0\n");
    const auto r = word("spool", {"--start", (dir / "absent").string(), page(1)});
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.err.find("\"Laser\" is not paused"), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("queued"), std::string::npos) << r.out;
    // The saved state is put back, so the next capture pauses the printer.
    EXPECT_EQ(store->readDword(RegRoot::CurrentUser, "CurWordPrnStatusPaused"), 100);
    const auto retry = word("spool", {"--start", (dir / "absent").string(), page(1)});
    EXPECT_EQ(retry.status, 0) << retry.err;
    EXPECT_TRUE(paused("Laser"));
}

TEST_F(WordSideTest, BadInputIsRefusedBeforeAnythingIsQueued) {
    setup();
    const std::string whole = readFile(page(1));
    writeFile(dir / "cut.emf", whole.substr(0, whole.size() - 10));
    writeFile(dir / "text.emf", "not a metafile");
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* says;
    };
    const Case cases[] = {
        {{SCRIVLET_WORD}, 2, "usage"},
        {{SCRIVLET_WORD, "print", "--document", "R", page(1)}, 2, "give a route"},
        {{SCRIVLET_WORD, "spool", page(1)}, 2, "give a route"},
        {{SCRIVLET_WORD, "spool", "--document", "R"}, 2, "give a route"},
        {{SCRIVLET_WORD, "spool", "--document", "R", (dir / "cut.emf").string()}, 1, "cut short"},
        {{SCRIVLET_WORD, "spool", "--document", "R", (dir / "text.emf").string()}, 1, "Not an enhanced"},
        {{SCRIVLET_WORD, "spool", "--document", "R", (dir / "none.emf").string()}, 1, "none.emf"},
        // An option without its value is taken as a page file.
        {{SCRIVLET_WORD, "spool", "--document", "R", page(1), "--printer"}, 1, "--printer"},
        {{SCRIVLET_WORD, "spool", "--document", "R", page(1), "--start"}, 1, "--start"},
        {{SCRIVLET_WORD, "spool", page(1), "--document"}, 2, "give a route"},
        {{SCRIVLET_WORD, "spool", "--document", "R", "--printer", "Nobody", page(1)},
         1,
         "no printer \"Nobody\""},
    };
    for (const auto& c : cases) {
        const auto r = run(c.args);
        EXPECT_EQ(r.status, c.status) << c.args.back() << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << c.args.back() << ": " << r.err;
    }
    EXPECT_TRUE(spooler->jobs(kCapture).empty());
    EXPECT_FALSE(paused(kCapture));
}

TEST_F(WordSideTest, APrinterFileThatCannotBeWrittenStopsBeforeThePrinterIsTouched) {
    setup();
    const fs::path macro = dir / "data" / "Scrivlet" / "lvSLPrnMacro.ini";
    fs::create_directories(macro);  // a folder where the file goes
    const auto r = word("spool", {"--start", (dir / "absent").string(), page(1)});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot write " + macro.string()), std::string::npos) << r.err;
    EXPECT_TRUE(spooler->jobs(kCapture).empty());
    EXPECT_FALSE(paused(kCapture));
}

TEST_F(WordSideTest, TheRefreshProgramRestoresAndTakesOnlyRefresh) {
    setup();
    ASSERT_EQ(word("spool", {"--start", (dir / "absent").string(), page(1)}).status, 0);
    ASSERT_TRUE(paused(kCapture));
    for (const std::vector<std::string>& args : {std::vector<std::string>{SLPRNSUPPORT},
                                                 {SLPRNSUPPORT, "Refresh"},
                                                 {SLPRNSUPPORT, "refresh", "x"}}) {
        const auto r = run(args);
        EXPECT_EQ(r.status, 2) << args.size();
        EXPECT_NE(r.err.find("usage: SLPrnSupport refresh"), std::string::npos);
    }
    EXPECT_TRUE(paused(kCapture)) << "a wrong call changes nothing";
    const auto r = run({SLPRNSUPPORT, "refresh"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(paused(kCapture));
    EXPECT_FALSE(runOnceSet());
    EXPECT_FALSE(fs::exists(autostartEntry()));
    EXPECT_EQ(spooler->jobs(kCapture).size(), 0u) << "the resumed printer printed the job";
}

namespace library_messages {
std::vector<std::pair<std::string, std::string>> g_seen;
void record(const char* text, const char* caption) {
    g_seen.emplace_back(text, caption);
}
}  // namespace library_messages

// The library as the Word macro loads it: by name, its two exports returning
// 0 whatever happens, its messages through the handler.
TEST_F(WordSideTest, TheLibraryExportsAnswerZeroAndReportThroughTheHandler) {
    void* lib = ::dlopen(SLPRNSUPPRT_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << ::dlerror();
    using Export = int (*)();
    using SetHandler = void (*)(void (*)(const char*, const char*));
    const auto setting = reinterpret_cast<Export>(::dlsym(lib, "fnSLPrnSetting"));
    const auto refresh = reinterpret_cast<Export>(::dlsym(lib, "fnSLPrnRefresh"));
    const auto setHandler = reinterpret_cast<SetHandler>(::dlsym(lib, "SLPrnSupprtSetMessageHandler"));
    ASSERT_TRUE(setting && refresh && setHandler);
    setHandler(&library_messages::record);
    platform::ensureLocalAppDataValue(*registry, *folders);  // as Windows always has it
    EXPECT_EQ(setting(), 0) << "no printer at all";
    ASSERT_EQ(library_messages::g_seen.size(), 1u);
    EXPECT_EQ(library_messages::g_seen[0].first, "Printer not found or Scrivlet Settings Damaged!");
    EXPECT_EQ(library_messages::g_seen[0].second, "SLPrnSupport Message");
    setup();
    EXPECT_EQ(setting(), 0);
    EXPECT_TRUE(paused(kCapture));
    EXPECT_EQ(refresh(), 0);
    EXPECT_FALSE(paused(kCapture));
    EXPECT_EQ(library_messages::g_seen.size(), 1u);
    setHandler(nullptr);
    ::dlclose(lib);
}

#if defined(HAVE_GIO_UNIX)
// The next login: the desktop reads the autostart entry and runs its command.
TEST_F(WordSideTest, TheAutostartEntryRunsTheRefreshAtTheNextLogin) {
    setup();
    ASSERT_EQ(word("spool", {"--start", (dir / "absent").string(), page(1)}).status, 0);
    ASSERT_TRUE(paused(kCapture));
    // GLib's desktop-entry reader: it refuses an entry whose TryExec program
    // does not exist, undoes the value's escapes, and splits the command line
    // by the shell's quoting rules, as a session's autostart does.
    GDesktopAppInfo* info = g_desktop_app_info_new_from_filename(autostartEntry().c_str());
    ASSERT_NE(info, nullptr) << readFile(autostartEntry());
    std::string commandLine = g_app_info_get_commandline(G_APP_INFO(info));
    g_object_unref(info);
    gint argc = 0;
    gchar** argv = nullptr;
    ASSERT_TRUE(g_shell_parse_argv(commandLine.c_str(), &argc, &argv, nullptr)) << commandLine;
    std::vector<std::string> args(argv, argv + argc);
    g_strfreev(argv);
    ASSERT_EQ(args.size(), 2u) << commandLine;
    EXPECT_EQ(args[0], (install / "SLPrnSupport").string()) << "the blank in the path stays inside";
    EXPECT_EQ(args[1], "refresh");
    const auto r = run(args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(paused(kCapture));
    EXPECT_FALSE(fs::exists(autostartEntry())) << "the refresh removes the entry";
    EXPECT_FALSE(runOnceSet());
}
#endif

}  // namespace
