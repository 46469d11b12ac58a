#include "app/macro_exchange.h"

#include <gtest/gtest.h>

#include "app/printer_macro_file.h"
#include "app/settings_store.h"
#include "platform/folders.h"
#include "platform/registry/registry.h"
#include "tests/support/temp_dir.h"

namespace app {
namespace {

namespace fs = std::filesystem;
using platform::RegAccess;
using platform::RegRoot;
using testing_support::writeFile;

MacroIniLines parse(const std::string& text) {
    return parseMacroIni({reinterpret_cast<const std::byte*>(text.data()), text.size()});
}

TEST(MacroIni, LinesAreTakenWithoutTheirEndsAndCut) {
    struct Case {
        const char* label;
        std::string text;
        std::optional<std::string> doc, title, flag;
    };
    const std::string longLine(300, 'x');
    const std::vector<Case> cases = {
        {"unix", "Report.doc\nMicrosoft Word - Report.doc\nTRUE\n", "Report.doc",
         "Microsoft Word - Report.doc", "TRUE"},
        {"crlf", "A\r\nB\r\nTRUE\r\n", "A", "B", "TRUE"},
        {"no final newline", "A\nB\nTRUE", "A", "B", "TRUE"},
        {"two lines", "A\nB\n", "A", "B", std::nullopt},
        {"empty", "", std::nullopt, std::nullopt, std::nullopt},
        {"empty lines", "\n\n\n", "", "", ""},
        {"long line cut, rest not carried", longLine + "\nB\nC\n", std::string(259, 'x'), "B", "C"},
        {"NUL ends a line", std::string("A\0junk\nB\n", 9), "A", "B", std::nullopt},
        {"lone CR kept inside", "A\rB\nC\n", "A\rB", "C", std::nullopt},
    };
    for (const auto& c : cases) {
        const auto lines = parse(c.text);
        EXPECT_EQ(lines.documentName, c.doc) << c.label;
        EXPECT_EQ(lines.windowTitle, c.title) << c.label;
        EXPECT_EQ(lines.clipboardFlag, c.flag) << c.label;
    }
}

// The printer macro file's first line, as the capture and the printer
// support read it: without its line end, up to a NUL, cut to the stored
// text's length.
TEST(MacroIni, ThePrinterLineIsTheFirstLineWithoutItsEnd) {
    testing_support::TempDir dir;
    struct Case {
        const char* label;
        std::string text;
        std::optional<std::string> line;
    };
    const std::vector<Case> cases = {
        {"crlf", "Capture on LPT1:\r\nsecond\r\n", "Capture on LPT1:"},
        {"unix", "Capture on LPT1:\nsecond\n", "Capture on LPT1:"},
        {"no line end", "Capture on LPT1:", "Capture on LPT1:"},
        {"only a CR at the end", "Capture\r", "Capture"},
        {"a CR inside is kept", "A\rB\r\n", "A\rB"},
        {"empty first line", "\r\nCapture on LPT1:\r\n", ""},
        {"NUL ends the line", std::string("Cap\0ture on LPT1:\n", 18), "Cap"},
        {"long line cut", std::string(5000, 'p') + "\n", std::string(kMaxTextLength, 'p')},
    };
    for (const auto& c : cases) {
        writeFile(dir / "lvSLPrnMacro.ini", c.text);
        EXPECT_EQ(readFirstLine(dir / "lvSLPrnMacro.ini"), c.line) << c.label;
    }
    EXPECT_EQ(readFirstLine(dir / "missing.ini"), std::nullopt);
}

class MacroExchangeTest : public ::testing::Test {
protected:
    testing_support::TempDir dir;
    platform::Registry registry{platform::RegistryLocation::inFolder(dir / "registry")};
    platform::PlatformFolders folders = platform::PlatformFolders::under(dir.path());
    SettingsStore store{registry};
    MacroExchange exchange;

    void setLocalAppData(const std::string& folder) {
        registry.createKey(RegRoot::CurrentUser, platform::kShellFoldersKey, RegAccess::Write)
            ->setString(platform::kLocalAppDataValue, folder);
    }
    fs::path driveCIni() const { return folders.driveC() / "lvSLMacro.ini"; }
};

TEST_F(MacroExchangeTest, ClipboardFlagInTheRegistryIsConsumedByOneReading) {
    store.writeString(RegRoot::CurrentUser, "CurWordKodClipbrd", "TRUE");
    EXPECT_TRUE(takeClipboardFlag(store, folders));
    EXPECT_EQ(store.readString(RegRoot::CurrentUser, "CurWordKodClipbrd"), "FALSE");
    EXPECT_FALSE(takeClipboardFlag(store, folders));

    store.writeString(RegRoot::CurrentUser, "CurWordKodClipbrd", "true");
    EXPECT_FALSE(takeClipboardFlag(store, folders)) << "the comparison is case-sensitive";
    EXPECT_EQ(store.readString(RegRoot::CurrentUser, "CurWordKodClipbrd"), "FALSE");
}

TEST_F(MacroExchangeTest, RegistryValuesWinOverTheFile) {
    setLocalAppData((dir / "appdata").string());
    writeFile(dir / "appdata" / "lvSLMacro.ini", "FromFile.doc\nFile title\nTRUE\n");
    store.writeString(RegRoot::CurrentUser, "CurDocName", "FromRegistry.doc");
    store.writeString(RegRoot::CurrentUser, "CurWordWinName", "Registry title");
    ASSERT_TRUE(readDocumentName(store, folders, exchange));
    ASSERT_TRUE(readWordWindowTitle(store, folders, exchange));
    EXPECT_EQ(exchange.DocumentName, "FromRegistry.doc");
    EXPECT_EQ(exchange.WordWindowTitle, "Registry title");
}

TEST_F(MacroExchangeTest, FileInLocalAppDataServesEveryCall) {
    setLocalAppData((dir / "appdata").string());
    writeFile(dir / "appdata" / "lvSLMacro.ini", "Report.doc\r\nMicrosoft Word - Report.doc\r\nTRUE\r\n");
    writeFile(driveCIni(), "Other.doc\nOther\nFALSE\n");
    for (int call = 0; call < 2; ++call) {
        ASSERT_TRUE(readDocumentName(store, folders, exchange));
        EXPECT_EQ(exchange.DocumentName, "Report.doc");
        ASSERT_TRUE(readWordWindowTitle(store, folders, exchange));
        EXPECT_EQ(exchange.WordWindowTitle, "Microsoft Word - Report.doc");
        EXPECT_TRUE(takeClipboardFlag(store, folders))
            << "the file's flag is not consumed (call " << call << ")";
    }
}

TEST_F(MacroExchangeTest, ShortOrMissingLocalAppDataFallsBackToDriveC) {
    writeFile(driveCIni(), "C.doc\nC title\nTRUE\n");
    struct Case {
        const char* label;
        std::optional<std::string> localAppData;
    };
    writeFile(dir / "Q" / "lvSLMacro.ini", "Q.doc\nQ\nFALSE\n");
    const Case cases[] = {
        {"absent", std::nullopt},
        {"three characters", "C:\\"},
        {"one character", "/"},
        {"folder without the file", (dir / "empty").string()},
    };
    for (const auto& c : cases) {
        if (c.localAppData)
            setLocalAppData(*c.localAppData);
        EXPECT_EQ(macroIniPath(store, folders), driveCIni()) << c.label;
        exchange = {};
        ASSERT_TRUE(readDocumentName(store, folders, exchange)) << c.label;
        EXPECT_EQ(exchange.DocumentName, "C.doc") << c.label;
        EXPECT_TRUE(takeClipboardFlag(store, folders)) << c.label;
    }
}

// Both exchange files move to the local application data folder once its
// value is longer than a drive's root ("C:\\").
TEST_F(MacroExchangeTest, ExchangeFilesUseLocalAppDataFromFourCharacters) {
    struct Case {
        const char* label;
        std::optional<std::string> localAppData;
        bool inFolder;
    };
    const Case cases[] = {
        {"absent", std::nullopt, false},
        {"a drive's root", "D:\\", false},
        {"four characters", "D:\\A", true},
        {"a long folder", (dir / "appdata").string(), true},
    };
    for (const auto& c : cases) {
        if (c.localAppData)
            setLocalAppData(*c.localAppData);
        const fs::path local = c.localAppData ? folders.nativePath(*c.localAppData) : fs::path();
        if (c.localAppData)  // the macro file is taken from there only when it exists
            writeFile(local / "lvSLMacro.ini", "Local.doc\n");
        EXPECT_EQ(macroIniPath(store, folders), c.inFolder ? local / "lvSLMacro.ini" : driveCIni())
            << c.label;
        EXPECT_EQ(printerMacroFile(store, folders), c.inFolder ? local / "Scrivlet" / "lvSLPrnMacro.ini"
                                                               : folders.nativePath("c:\\lvSLPrnMacro.ini"))
            << c.label;
    }
}

TEST_F(MacroExchangeTest, NothingToReadLeavesThePreviousStrings) {
    exchange.DocumentName = "previous";
    exchange.WordWindowTitle = "previous title";
    EXPECT_FALSE(readDocumentName(store, folders, exchange));
    EXPECT_FALSE(readWordWindowTitle(store, folders, exchange));
    EXPECT_FALSE(takeClipboardFlag(store, folders));
    EXPECT_EQ(exchange.DocumentName, "previous");
    EXPECT_EQ(exchange.WordWindowTitle, "previous title");

    writeFile(driveCIni(), "Only.doc\n");  // a file without the title line
    EXPECT_FALSE(readWordWindowTitle(store, folders, exchange));
    EXPECT_EQ(exchange.WordWindowTitle, "previous title");
    EXPECT_TRUE(readDocumentName(store, folders, exchange));
    EXPECT_EQ(exchange.DocumentName, "Only.doc");
}

TEST_F(MacroExchangeTest, OverlongRegistryTextIsNotTaken) {
    exchange.DocumentName = "previous";
    store.writeString(RegRoot::CurrentUser, "CurDocName", std::string(300, 'd'));
    writeFile(driveCIni(), "Fallback.doc\n");
    ASSERT_TRUE(readDocumentName(store, folders, exchange));
    EXPECT_EQ(exchange.DocumentName, "Fallback.doc") << "a value past 260 bytes reads as absent";
}

}  // namespace
}  // namespace app
