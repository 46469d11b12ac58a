// Failures at the output boundary: the image library's errors and the
// system's come back with the path and the reason, are told to the user, and
// never end the process; the program's run says so in its exit status.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string_view>

#include "app/capture_worker.h"
#include "app/session.h"
#include "metafile/emf_writer.h"
#include "output/formats.h"
#include "output/image_file.h"
#include "platform/clipboard.h"
#include "render/page_renderer.h"
#include "tests/app/capture_fixture.h"
#include "tests/support/child_process.h"

extern char** environ;

namespace output {
namespace {

namespace fs = std::filesystem;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

Magick::Image smallImage() {
    Magick::InitializeMagick(nullptr);
    return Magick::Image(Magick::Geometry(8, 8), Magick::Color("red"));
}

// The files of a folder whose names start with ".~": temporaries left over.
int leftovers(const fs::path& folder) {
    int n = 0;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec))
        n += e.path().filename().string().rfind(".~", 0) == 0;
    return n;
}

TEST(ImageFile, WritesReplaceAndFailWithPathAndReason) {
    TempDir dir;
    writeFile(dir / "plain", "a regular file");
    fs::create_directories(dir / "taken.png");
    fs::create_directories(dir / "sub");
    struct Case {
        fs::path file;
        const char* reason;  // empty: written
    };
    const Case cases[] = {
        {dir / "page.png", ""},
        {dir / "PAGE.JPEG", ""},
        {dir / "plain" / "page.png", "Not a directory"},
        {dir / "missing" / "page.png", "No such file or directory"},
        {dir / "taken.png", "Is a directory"},
        {dir / "noextension", "the name has no extension that names an image format"},
        {dir / "page.nosuchformat", "the image library cannot write NOSUCHFORMAT images"},
    };
    for (const auto& c : cases) {
        Magick::Image img = smallImage();
        const auto result = writeImageFile(img, c.file);
        if (*c.reason == '\0') {
            ASSERT_TRUE(result) << c.file << ": " << result.error().message();
            EXPECT_EQ(*result, fs::file_size(c.file)) << c.file;
            Magick::Image back;
            back.read(c.file.string());
            EXPECT_EQ(back.columns(), 8u) << c.file;
        } else {
            ASSERT_FALSE(result) << c.file;
            EXPECT_EQ(result.error().path, c.file.string());
            EXPECT_NE(result.error().reason.find(c.reason), std::string::npos) << result.error().reason;
            EXPECT_EQ(result.error().message(),
                      "cannot write " + c.file.string() + ": " + result.error().reason);
        }
    }
    EXPECT_EQ(leftovers(dir.path()), 0) << "no temporary stays behind";
    EXPECT_TRUE(fs::is_directory(dir / "taken.png")) << "a folder in the way stays";
    Magick::Image empty;
    const auto none = writeImageFile(empty, dir / "empty.png");
    ASSERT_FALSE(none);
    EXPECT_EQ(none.error().reason, "the page has no pixels");
}

TEST(ImageFile, ReplacesAFileAndALinkButNeverWritesThroughTheLink) {
    TempDir dir;
    writeFile(dir / "old.png", "old");
    writeFile(dir / "target", "target of the link");
    fs::create_symlink(dir / "target", dir / "link.png");
    Magick::Image img = smallImage();
    ASSERT_TRUE(writeImageFile(img, dir / "old.png"));
    ASSERT_TRUE(writeImageFile(img, dir / "link.png"));
    EXPECT_EQ(readFile(dir / "old.png").substr(1, 3), "PNG");
    EXPECT_FALSE(fs::is_symlink(dir / "link.png"));
    EXPECT_EQ(readFile(dir / "link.png").substr(1, 3), "PNG");
    EXPECT_EQ(readFile(dir / "target"), "target of the link");
    EXPECT_EQ(encoderFor("a.tiff"), "TIFF");
    EXPECT_EQ(encoderFor("a.Tif"), "TIFF");
    EXPECT_EQ(encoderFor("a.jpg"), "JPEG");
    EXPECT_EQ(encoderFor("a.bmp"), "BMP");
    EXPECT_EQ(encoderFor("a."), "");
    EXPECT_EQ(encoderFor("a"), "");
}

class PreviewFailureTest : public ::testing::Test {
protected:
    TempDir dir;
    platform::Registry registry{platform::RegistryLocation::inFolder(dir / "registry")};
    platform::PlatformFolders folders = platform::PlatformFolders::under(dir / "home");
    app::SettingsStore store{registry};
    app::Session session;
    testing_support::RecordingUi ui;
    FormatService service{session, store, folders, ui};
};

TEST_F(PreviewFailureTest, APreviewThatCannotBeWrittenIsReportedAndTheImageKept) {
    fs::create_directories(service.previewPath());  // a folder where ~CurImg.jpg goes
    session.RenderStatus.encodedSizeKb = 7;
    Magick::Image img = smallImage();
    service.applyEncodingOptions(img, 96);
    EXPECT_EQ(img.columns(), 8u) << "the page stays";
    EXPECT_EQ(img.quality(), 90u) << "with its options";
    EXPECT_EQ(session.RenderStatus.encodedSizeKb, 7) << "the size keeps its value";
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(ui.messages()[0].text, "cannot write " + service.previewPath() + ": Is a directory");
    EXPECT_EQ(ui.messages()[0].caption, app::kMessageCaption);
    EXPECT_EQ(ui.messages()[0].icon, app::MessageIcon::Error);
}

TEST_F(PreviewFailureTest, AWorkFolderThatCannotBeMadeIsReported) {
    const fs::path work = folders.workFolder().value();
    writeFile(work, "a file where the work folder goes");
    Magick::Image img = smallImage();
    service.applyEncodingOptions(img, 96);
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(ui.messages()[0].text.rfind("cannot write " + service.previewPath() + ": ", 0), 0u)
        << ui.messages()[0].text;
}

TEST(RendererBoundary, ALibraryFailureIsReportedAndGivesAnEmptyImage) {
    Magick::InitializeMagick(nullptr);
    app::Session session;
    testing_support::RecordingUi ui;
    render::PageRenderer renderer(session, ui);
    const auto width = Magick::ResourceLimits::width();
    Magick::ResourceLimits::width(100);
    const Magick::Image refused = renderer.renderPage(96, nullptr);  // 250 pixels wide
    Magick::ResourceLimits::width(width);
    EXPECT_EQ(refused.columns(), 0u);
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(ui.messages()[0].text.rfind("cannot render the page: ", 0), 0u) << ui.messages()[0].text;
    // An encoding step that throws is reported; the rendered page is kept.
    renderer.applyEncodingOptions = [](Magick::Image& image, double) { image.write("/nonexistent/x.png"); };
    const Magick::Image kept = renderer.renderPage(96, nullptr);
    EXPECT_EQ(kept.columns(), 250u);
    ASSERT_EQ(ui.messages().size(), 2u);
    EXPECT_EQ(ui.messages()[1].text.rfind("cannot encode the page: ", 0), 0u) << ui.messages()[1].text;
}

// The capture worker shows the first page with its preview on its own thread.
class WorkerPreviewTest : public app::CaptureFixture {};

TEST_F(WorkerPreviewTest, APreviewFailureOnTheWorkerThreadIsReported) {
    Magick::InitializeMagick(nullptr);
    platform::FileClipboard clipboard{dir / "clipboard"};
    render::PageRenderer renderer(session, ui);
    FormatService service(session, store, folders, ui);
    renderer.applyEncodingOptions = [&](Magick::Image& image, double dpi) {
        service.applyEncodingOptions(image, dpi);
    };
    store.writeString(platform::RegRoot::LocalMachine, "InstallPath", (dir / "install").string());
    const auto bytes = page(40);
    writeFile(dir / "install" / "emf" / "page1.emf",
              std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    session.DemoMode = true;
    fs::create_directories(service.previewPath());
    app::CaptureWorker worker(
        {session, store, folders, *spooler, clipboard, ui, renderer, nullptr, nullptr, nullptr});
    worker.start();
    worker.join();
    EXPECT_EQ(session.PageList.count(), 1);
    ASSERT_TRUE(session.CurrentImage.load());
    EXPECT_EQ(session.CurrentImage.load()->columns(), 80u) << "the page is shown without its preview";
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(ui.messages()[0].text, "cannot write " + service.previewPath() + ": Is a directory");
}

// The main program's demonstration run, as a user starts it.
struct ProgramResult {
    int status = -1;  // the exit status; 128 + signal when a signal ended it
    std::string out, err;
};

// Run as `user` when the test runs as root (0: as the test's user).
ProgramResult runProgram(const std::vector<std::string>& args, const std::vector<std::string>& env,
                         const fs::path& dir, uid_t user = 0) {
    std::vector<std::string> environment;
    // The program's own folders and its display come from the test alone,
    // never from the caller's environment (the first of two equal names
    // would win).
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string_view entry(*e);
        if (!entry.starts_with("SCRIVLET_") && !entry.starts_with("XDG_") && !entry.starts_with("DISPLAY=") &&
            !entry.starts_with("WAYLAND_DISPLAY="))
            environment.emplace_back(entry);
    }
    environment.insert(environment.end(), env.begin(), env.end());
    std::vector<char*> argv, envp;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (const auto& e : environment) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    const fs::path out = dir / "stdout.txt", err = dir / "stderr.txt";
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(o, 1);
        ::dup2(e, 2);
        if (user != 0 && ::geteuid() == 0 && (::setgid(user) != 0 || ::setuid(user) != 0))
            ::_exit(126);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    ProgramResult run;
    int status = 0;
    if (pid > 0 && ::waitpid(pid, &status, 0) == pid)
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.out = readFile(out);
    run.err = readFile(err);
    return run;
}

TEST(ProgramRun, PagesThatCannotBeWrittenEndTheRunWithStatus1) {
    const fs::path program = fs::path(SCRIVLET_PROGRAM_DIR) / "Scrivlet";
    if (!fs::exists(program))
        GTEST_SKIP() << "the main program is not built";
    struct Case {
        const char* label;
        std::function<fs::path(const fs::path&)> prepare;  // gives the output folder
        int status;
        const char* message;  // expected on standard error, after the folder's path
        int written;          // pages in the output folder
    };
    const Case cases[] = {
        {"a plain run", [](const fs::path& d) { return d / "out"; }, 0, "", 2},
        {"the output folder below a regular file",
         [](const fs::path& d) {
             writeFile(d / "file", "x");
             return d / "file" / "out";
         },
         1, "cannot write {OUT}: Not a directory", 0},
        {"a folder where the first page goes",
         [](const fs::path& d) {
             fs::create_directories(d / "out" / "Demo0001.jpg");
             return d / "out";
         },
         1, "cannot write {OUT}/Demo0001.jpg: Is a directory", 1},
        {"an unreadable page and a folder where the next page goes",
         [](const fs::path& d) {
             writeFile(d / "install" / "emf" / "page10.emf", "not a metafile");
             fs::create_directories(d / "out" / "Demo0001.jpg");
             return d / "out";
         },
         1, "cannot write {OUT}/Demo0001.jpg: Is a directory", 1},
        {"a folder where the preview goes",
         [](const fs::path& d) {
             fs::create_directories(d / "home" / "temp" / "Scrivlet" / "~CurImg.jpg");
             return d / "out";
         },
         0, "cannot write {HOME}/temp/Scrivlet/~CurImg.jpg: Is a directory", 2},
    };
    for (const auto& c : cases) {
        TempDir dir;
        {
            platform::Registry registry(platform::RegistryLocation::inFolder(dir / "registry"));
            app::SettingsStore store(registry);
            store.writeString(platform::RegRoot::LocalMachine, "InstallPath", (dir / "install").string());
        }
        for (int size : {20, 40}) {
            metafile::EmfWriter w({0, 0, 2540, 2540}, {1000, 1000}, {254, 254});
            w.rectangle({0, 0, size, size});
            const auto bytes = w.finish();
            writeFile(dir / "install" / "emf" / ("page" + std::to_string(size) + ".emf"),
                      std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        }
        const fs::path out = c.prepare(dir.path());
        const ProgramResult run =
            runProgram({program.string(), "quick"},
                       {"SCRIVLET_REGISTRY=" + (dir / "registry").string(),
                        "SCRIVLET_HOME=" + (dir / "home").string(), "SCRIVLET_OUTPUT=" + out.string()},
                       dir.path());
        EXPECT_EQ(run.status, c.status) << c.label << "\n" << run.err;
        std::string message = c.message;
        for (auto [key, value] : {std::pair{"{OUT}", out.string()}, {"{HOME}", (dir / "home").string()}}) {
            if (auto at = message.find(key); at != std::string::npos)
                message.replace(at, std::string(key).size(), value);
        }
        if (!message.empty()) {
            EXPECT_NE(run.err.find(message), std::string::npos) << c.label << ": " << run.err;
        }
        int pages = 0;
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(out, ec)) pages += e.is_regular_file();
        EXPECT_EQ(pages, c.written) << c.label;
    }
}

}  // namespace
}  // namespace output

namespace output {
namespace {

// "Scrivlet FILE...": the user's files are the pages; no capture printer, no
// queued job is touched; every page is written.
// A machine hive the user cannot read is named with its reason; it is not
// taken for one without an installation folder.
TEST(ProgramRun, AnUnreadableMachineHiveIsNamedNotTakenAsEmpty) {
    const fs::path program = fs::path(SCRIVLET_PROGRAM_DIR) / "Scrivlet";
    if (!fs::exists(program))
        GTEST_SKIP() << "the main program is not built";
    constexpr const char* kNoInstall = "No installation folder is recorded";
    for (const bool readable : {true, false}) {
        TempDir dir;
        {
            platform::Registry registry(platform::RegistryLocation::inFolder(dir / "registry"));
            app::SettingsStore store(registry);
            store.writeString(platform::RegRoot::LocalMachine, "Version", "1");
        }
        const uid_t user = ::geteuid() == 0 ? testing_support::kOtherUser : ::geteuid();
        if (::geteuid() == 0) {
            for (const auto& e : fs::recursive_directory_iterator(dir.path()))
                ASSERT_EQ(::chown(e.path().c_str(), user, user), 0) << e.path();
            ASSERT_EQ(::chown(dir.path().c_str(), user, user), 0);
        }
        const fs::path hive = dir / "registry" / "HKLM.reg";
        ASSERT_TRUE(fs::exists(hive));
        if (!readable)
            fs::permissions(hive, fs::perms::none);
        const ProgramResult run = runProgram(
            {program.string(), "quick"},
            {"SCRIVLET_REGISTRY=" + (dir / "registry").string(), "SCRIVLET_HOME=" + (dir / "home").string(),
             "SCRIVLET_OUTPUT=" + (dir / "out").string()},
            dir.path(), user);
        EXPECT_EQ(run.status, 1) << run.err;
        const std::string unreadable = "cannot read " + hive.string() + ": Permission denied";
        EXPECT_EQ(run.err.find(unreadable) != std::string::npos, !readable) << run.err;
        EXPECT_EQ(run.err.find(kNoInstall) != std::string::npos, readable) << run.err;
    }
}

// A one-inch page with a small square.
std::string squarePage() {
    metafile::EmfWriter w({0, 0, 2540, 2540}, {1000, 1000}, {254, 254});
    w.rectangle({0, 0, 30, 30});
    const auto bytes = w.finish();
    return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// The run says why it has no window: no display named, or one named that
// cannot be opened; either way the pages are written.
TEST(ProgramRun, ARunWithoutAWindowSaysWhy) {
    const fs::path program = fs::path(SCRIVLET_PROGRAM_DIR) / "Scrivlet";
    if (!fs::exists(program))
        GTEST_SKIP() << "the main program is not built";
    TempDir dir;
    writeFile(dir / "a.emf", squarePage());
    struct Case {
        std::vector<std::string> env;
        std::vector<std::string> reasons;  // one of them is said
    };
    const Case cases[] = {
        {{}, {"Capture (headless: no display)"}},
        {{"DISPLAY=:9876"},
         {"Capture (headless: the display cannot be opened)", "Capture (headless: built without windows)"}},
    };
    for (const Case& c : cases) {
        auto env = c.env;
        env.insert(env.end(),
                   {"SCRIVLET_REGISTRY=" + (dir / "registry").string(),
                    "SCRIVLET_HOME=" + (dir / "home").string(), "SCRIVLET_OUTPUT=" + (dir / "out").string()});
        const ProgramResult run = runProgram({program.string(), (dir / "a.emf").string()}, env, dir.path());
        EXPECT_EQ(run.status, 0) << run.out << run.err;
        bool said = false;
        for (const auto& reason : c.reasons) said = said || run.out.find(reason) != std::string::npos;
        EXPECT_TRUE(said) << run.out;
        EXPECT_TRUE(fs::exists(dir / "out" / "a0001.jpg"));
    }
}

// An installation folder without its sample pages ends the demonstration
// with status 1 and says where it looked.
TEST(ProgramRun, TheDemonstrationWithoutItsPagesSaysWhereItLooked) {
    const fs::path program = fs::path(SCRIVLET_PROGRAM_DIR) / "Scrivlet";
    if (!fs::exists(program))
        GTEST_SKIP() << "the main program is not built";
    TempDir dir;
    fs::create_directories(dir / "install" / "emf");
    writeFile(dir / "install" / "emf" / "notes.txt", "not a page");
    {
        platform::Registry registry(platform::RegistryLocation::inFolder(dir / "registry"));
        app::SettingsStore store(registry);
        store.writeString(platform::RegRoot::LocalMachine, "InstallPath", (dir / "install").string());
    }
    const ProgramResult run =
        runProgram({program.string(), "quick"},
                   {"SCRIVLET_REGISTRY=" + (dir / "registry").string(),
                    "SCRIVLET_HOME=" + (dir / "home").string(), "SCRIVLET_OUTPUT=" + (dir / "out").string()},
                   dir.path());
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    EXPECT_NE(run.err.find("No sample pages in " + (dir / "install" / "emf").string()), std::string::npos)
        << run.err;
    EXPECT_FALSE(fs::exists(dir / "out")) << "nothing to write, no folder made";
}

TEST(ProgramRun, FilesGivenOnTheCommandLineAreThePages) {
    const fs::path program = fs::path(SCRIVLET_PROGRAM_DIR) / "Scrivlet";
    if (!fs::exists(program))
        GTEST_SKIP() << "the main program is not built";
    TempDir dir;
    std::vector<std::string> pages;
    for (int size : {20, 40, 60}) {
        metafile::EmfWriter w({0, 0, 2540, 2540}, {1000, 1000}, {254, 254});
        w.rectangle({0, 0, size, size});
        const auto bytes = w.finish();
        pages.emplace_back(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    writeFile(dir / "first.emf", pages[0]);
    writeFile(dir / "second.emf", pages[1]);
    writeFile(dir / "notes.txt", "no metafile here, and a good deal longer than its header would be");
    const ProgramResult run =
        runProgram({program.string(), "--headless", (dir / "first.emf").string(),
                    (dir / "notes.txt").string(), (dir / "second.emf").string()},
                   {"SCRIVLET_REGISTRY=" + (dir / "registry").string(),
                    "SCRIVLET_HOME=" + (dir / "home").string(), "SCRIVLET_OUTPUT=" + (dir / "out").string()},
                   dir.path());
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.err.find((dir / "notes.txt").string() + ": not an enhanced metafile"), std::string::npos)
        << run.err;
    std::vector<std::string> written;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir / "out", ec))
        written.push_back(e.path().filename().string());
    std::sort(written.begin(), written.end());
    EXPECT_EQ(written, (std::vector<std::string>{"first0001.jpg", "first0002.jpg"})) << run.out;
    EXPECT_EQ(readFile(dir / "first.emf"), pages[0]) << "the user's file is only read";
    EXPECT_TRUE(fs::exists(dir / "second.emf"));
    EXPECT_EQ(run.out.find("capture printer"), std::string::npos) << run.out;
}

// The headless run writes each page beside its name and renames it over it:
// an older page file is replaced, and so is a link in its place, never the
// file it points at. A page with damaged records is written and said.
TEST(ProgramRun, HeadlessPagesAreReplacedNeverWrittenThroughAndDamageIsSaid) {
    const fs::path program = fs::path(SCRIVLET_PROGRAM_DIR) / "Scrivlet";
    if (!fs::exists(program))
        GTEST_SKIP() << "the main program is not built";
    TempDir dir;
    const auto bytesOf = [](bool damaged) {
        metafile::EmfWriter w({0, 0, 2540, 2540}, {1000, 1000}, {254, 254});
        w.rectangle({0, 0, 30, 30});
        if (damaged)
            w.selectObject(77);  // never created
        const auto bytes = w.finish();
        return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    };
    writeFile(dir / "doc.emf", bytesOf(false));
    writeFile(dir / "bad.emf", bytesOf(true));
    writeFile(dir / "third.emf", bytesOf(false));
    fs::create_directories(dir / "out");
    writeFile(dir / "out" / "doc0001.jpg", "old page");
    writeFile(dir / "victim", "precious");
    fs::create_symlink(dir / "victim", dir / "out" / "doc0003.jpg");
    const ProgramResult run =
        runProgram({program.string(), "--headless", (dir / "doc.emf").string(), (dir / "bad.emf").string(),
                    (dir / "third.emf").string()},
                   {"SCRIVLET_REGISTRY=" + (dir / "registry").string(),
                    "SCRIVLET_HOME=" + (dir / "home").string(), "SCRIVLET_OUTPUT=" + (dir / "out").string()},
                   dir.path());
    EXPECT_EQ(run.status, 0) << run.err;
    const std::string page1 = readFile(dir / "out" / "doc0001.jpg");
    EXPECT_EQ(page1.substr(0, 2), "\xFF\xD8") << "the old page is replaced by a JPEG";
    EXPECT_TRUE(fs::is_regular_file(dir / "out" / "doc0002.jpg"));
    EXPECT_NE(run.err.find("page 2 is damaged: 1 malformed record(s) skipped"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("page 1 is damaged"), std::string::npos) << run.err;
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir / "out" / "doc0003.jpg")));
    EXPECT_EQ(readFile(dir / "victim"), "precious");
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir / "out")) ++files;
    EXPECT_EQ(files, 3u) << "no temporary file left behind";
}

TEST(ProgramRun, TheCommandLineIsCheckedBeforeAnythingIsWritten) {
    const fs::path program = fs::path(SCRIVLET_PROGRAM_DIR) / "Scrivlet";
    if (!fs::exists(program))
        GTEST_SKIP() << "the main program is not built";
    TempDir dir;
    const std::string bytes = squarePage();
    writeFile(dir / "a.emf", bytes);
    writeFile(dir / "-dash.emf", bytes);
    // 20 km square: too large to render.
    const auto huge =
        metafile::EmfWriter({0, 0, 2'000'000'000, 2'000'000'000}, {1000, 1000}, {254, 254}).finish();
    writeFile(dir / "huge.emf", std::string(reinterpret_cast<const char*>(huge.data()), huge.size()));
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* says;     // in standard output or error
        const char* written;  // the one file written, or none
    };
    const Case cases[] = {
        {{"-x", "a.emf"}, 2, "unknown option -x", nullptr},
        {{"--headless", "--frobnicate"}, 2, "unknown option --frobnicate", nullptr},
        {{"quick", "a.emf"}, 2, "takes no files", nullptr},
        {{"--help"}, 0, "usage: Scrivlet", nullptr},
        {{"--headless", "--", (dir / "-dash.emf").string()}, 0, "", "-dash0001.jpg"},
        {{"--headless", (dir / "nothere.emf").string()},
         1,
         "none of the 1 file(s) given gave a page",
         nullptr},
        {{"--headless", (dir / "huge.emf").string(), (dir / "a.emf").string()},
         1,
         "page 1 could not be rendered",
         "huge0002.jpg"},
    };
    for (const Case& c : cases) {
        fs::remove_all(dir / "out");
        std::vector<std::string> args = {program.string()};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ProgramResult run = runProgram(
            args,
            {"SCRIVLET_REGISTRY=" + (dir / "registry").string(), "SCRIVLET_HOME=" + (dir / "home").string(),
             "SCRIVLET_OUTPUT=" + (dir / "out").string()},
            dir.path());
        const std::string label = c.args.front() + " " + c.args.back();
        EXPECT_EQ(run.status, c.status) << label << run.out << run.err;
        EXPECT_NE((run.out + run.err).find(c.says), std::string::npos) << label << run.out << run.err;
        std::vector<std::string> written;
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(dir / "out", ec))
            written.push_back(e.path().filename().string());
        EXPECT_EQ(written, c.written ? std::vector<std::string>{c.written} : std::vector<std::string>{})
            << label;
    }
}

}  // namespace
}  // namespace output
