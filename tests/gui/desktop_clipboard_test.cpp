// The clipboard route on the desktop's clipboard: another program offers an
// enhanced metafile under one of the MIME types office suites use for it,
// the capture takes it as the document's one page and leaves the clipboard
// empty.

#include "ui/wx/desktop_clipboard.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <wx/clipbrd.h>

#include "metafile/metafile.h"
#include "tests/gui/window_fixture.h"

extern char** environ;

namespace gui_test {
namespace {

class DesktopClipboardTest : public WindowFixture {
protected:
    pid_t offering = -1;

    void TearDown() override {
        WindowFixture::TearDown();
        if (offering > 0) {
            ::kill(offering, SIGTERM);
            ::waitpid(offering, nullptr, 0);
        }
    }
    // xclip serves `file` on the clipboard as `mime` until another program
    // takes the clipboard over.
    bool offer(const fs::path& file, const std::string& mime) {
        std::vector<std::string> args = {"xclip", "-selection", "clipboard", "-t", mime, "-i", file.string()};
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (::posix_spawnp(&offering, "xclip", nullptr, nullptr, argv.data(), environ) != 0)
            return false;
        // xclip forks itself into the background once it owns the
        // selection; the first process ends then.
        int status = 0;
        ::waitpid(offering, &status, 0);
        offering = -1;
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    // The bounds of a page whose rectangle's size tells it apart.
    static std::vector<std::byte> page(int size) {
        metafile::EmfWriter w({0, 0, 3000, 4000}, {1000, 1000}, {254, 254});
        w.selectStockObject(metafile::StockObject::BLACK_BRUSH);
        w.rectangle({0, 0, size, size});
        return w.finish();
    }
};

TEST_F(DesktopClipboardTest, TheMetafileAnotherProgramOffersBecomesThePage) {
    if (std::system("command -v xclip >/dev/null") != 0)
        GTEST_SKIP() << "xclip is not installed";
    const std::string types[] = {"image/x-emf", "image/emf",
                                 "application/x-openoffice-emf;windows_formatname=\"Image EMF\""};
    for (const std::string& mime : types) {
        SCOPED_TRACE(mime);
        const auto bytes = page(321);
        const fs::path file = dir / "offered.emf";
        std::ofstream(file, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        ASSERT_TRUE(offer(file, mime));
        store->writeString(platform::RegRoot::CurrentUser, "CurWordKodClipbrd", "TRUE");
        startProgram({});
        EXPECT_TRUE(messages.empty()) << (messages.empty() ? "" : messages.front());
        ASSERT_EQ(session->PageList.count(), 1);
        const auto metafile = session->PageList.record(0).metafile;
        ASSERT_TRUE(metafile);
        EXPECT_EQ(metafile->header().nBytes, bytes.size());
        closeProgram();
        // What the clipboard holds now is no metafile (it is ours now: asked
        // through the toolkit, as another program would ask us).
        ASSERT_TRUE(wxTheClipboard->Open());
        for (std::string_view type : ui::kEmfMimeTypes)
            EXPECT_FALSE(
                wxTheClipboard->IsSupported(wxDataFormat(wxString::FromUTF8(type.data(), type.size()))))
                << type;
        wxTheClipboard->Close();
        reopen();
    }
}

TEST_F(DesktopClipboardTest, AClipboardWithoutAMetafileSaysSo) {
    if (std::system("command -v xclip >/dev/null") != 0)
        GTEST_SKIP() << "xclip is not installed";
    const fs::path file = dir / "text.txt";
    std::ofstream(file) << "only words";
    ASSERT_TRUE(offer(file, "UTF8_STRING"));
    store->writeString(platform::RegRoot::CurrentUser, "CurWordKodClipbrd", "TRUE");
    startProgram({});
    EXPECT_EQ(session->PageList.count(), 0);
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.front(), "No data in Clipboard!");
}

}  // namespace
}  // namespace gui_test
