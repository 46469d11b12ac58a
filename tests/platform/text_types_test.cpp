// Text rules of registry names, status codes and value encodings, the file
// clipboard and programs found on PATH.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/clipboard.h"
#include "platform/process.h"
#include "platform/registry/reg_types.h"
#include "platform/text_util.h"
#include "tests/support/temp_dir.h"

namespace platform {
namespace {

namespace fs = std::filesystem;
using testing_support::TempDir;

TEST(PlatformText, CaseFoldsAsciiOnly) {
    EXPECT_EQ(asciiLowerCopy("AZaz@[`{09 \xC3\x84"), "azaz@[`{09 \xC3\x84");
    struct Case {
        const char* a;
        const char* b;
        bool equal;
    };
    const Case cases[] = {
        {"Printers", "PRINTERS", true},
        {"Printers", "Printer", false},
        {"Printer", "Printers", false},
        {"A", "@", false},
        {"Z", "[", false},
        {"", "", true},
        {"\xC3\x84", "\xC3\xA4", false},
    };
    for (const auto& c : cases) EXPECT_EQ(equalsIgnoreCase(c.a, c.b), c.equal) << c.a << " / " << c.b;
}

TEST(PlatformText, TruncationNeverCutsASequence) {
    struct Case {
        std::string text;
        std::size_t limit;
        std::string expected;
    };
    const Case cases[] = {
        {"abcdef", 6, "abcdef"},
        {"abcdef", 7, "abcdef"},
        {"abcdef", 5, "abcde"},
        {"ab\xC3\xA4", 3, "ab"},          // the two-byte letter would be cut
        {"ab\xC3\xA4", 4, "ab\xC3\xA4"},  // it fits exactly
        {"a\xE2\x82\xAC"
         "b",
         3, "a"},  // the euro sign, three bytes
        {"a\xE2\x82\xAC"
         "b",
         4, "a\xE2\x82\xAC"},
        {"\xF0\x9F\x98\x80", 2, ""},
        {"abc", 0, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(truncateUtf8(c.text, c.limit), c.expected) << c.text << " " << c.limit;
}

TEST(PlatformText, Utf8IsCheckedForEveryForm) {
    struct Case {
        std::string bytes;
        bool valid;
    };
    const Case cases[] = {
        {"plain", true},
        {"\x7F", true},
        {"\xC2\x80", true},   // smallest two-byte form
        {"\xC1\xBF", false},  // overlong
        {"\xDF\xBF", true},
        {"\xE0\xA0\x80", true},       // smallest three-byte form
        {"\xE0\x9F\xBF", false},      // overlong
        {"\xED\x9F\xBF", true},       // just below the surrogates
        {"\xED\xA0\x80", false},      // first surrogate
        {"\xED\xBF\xBF", false},      // last surrogate
        {"\xEE\x80\x80", true},       // just above them
        {"\xF0\x90\x80\x80", true},   // smallest four-byte form
        {"\xF0\x8F\xBF\xBF", false},  // overlong
        {"\xF4\x8F\xBF\xBF", true},   // U+10FFFF
        {"\xF4\x90\x80\x80", false},  // past U+10FFFF
        {"\xF8\x88\x80\x80\x80", false},
        {"\x80", false},  // continuation without a lead
        {"\xC3", false},  // cut at the end
        {"\xE2\x82", false},
        {"\xC3"
         "A",
         false},  // lead without its continuation
        {"\xE2\x82\xAC\xC3\xA4z", true},
    };
    for (const auto& c : cases) {
        std::string hex;
        for (unsigned char b : c.bytes) hex += std::to_string(b) + " ";
        EXPECT_EQ(isValidUtf8(c.bytes), c.valid) << hex;
    }
}

TEST(RegTypes, EveryStatusHasItsTextAndWindowsCode) {
    struct Case {
        RegStatus status;
        const char* text;
        long code;
    };
    const Case cases[] = {
        {RegStatus::Success, "success", 0},
        {RegStatus::NotFound, "not found", 2},
        {RegStatus::AccessDenied, "access denied", 5},
        {RegStatus::NoMoreItems, "no more items", 259},
        {RegStatus::InvalidName, "invalid name", 87},
        {RegStatus::KeyDeleted, "key deleted", 1018},
        {RegStatus::Corrupt, "registry file corrupt", 1009},
        {RegStatus::IoError, "input/output error", 1016},
        {RegStatus::TooLarge, "registry file full", 613},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(describe(c.status), c.text);
        EXPECT_EQ(windowsErrorCode(c.status), c.code) << c.text;
    }
    EXPECT_EQ(describe(static_cast<RegStatus>(99)), "unknown");
    EXPECT_EQ(windowsErrorCode(static_cast<RegStatus>(99)), 1);
    EXPECT_EQ(rootName(RegRoot::CurrentUser), "HKEY_CURRENT_USER");
    EXPECT_EQ(rootName(RegRoot::LocalMachine), "HKEY_LOCAL_MACHINE");
}

TEST(RegTypes, ValuesHoldWindowsBytes) {
    const RegValue d = RegValue::dword("Count", 0x12345678u);
    EXPECT_EQ(d.name, "Count");
    EXPECT_EQ(d.type, RegType::Dword);
    const std::vector<std::byte> little{std::byte{0x78}, std::byte{0x56}, std::byte{0x34}, std::byte{0x12}};
    EXPECT_EQ(d.data, little);

    const RegValue s = RegValue::string("Path", "ab", RegType::ExpandSz);
    EXPECT_EQ(s.type, RegType::ExpandSz);
    const std::vector<std::byte> text{std::byte{'a'}, std::byte{'b'}, std::byte{0}};
    EXPECT_EQ(s.data, text);
    EXPECT_EQ(RegValue::string("Empty", "").data, std::vector<std::byte>{std::byte{0}});
    EXPECT_EQ(RegValue::string("Plain", "x").type, RegType::Sz);
}

TEST(FileClipboard, HoldsOneMetafileWhileOpen) {
    TempDir dir;
    FileClipboard clipboard(dir / "board");
    const std::vector<std::byte> emf{std::byte{1}, std::byte{0}, std::byte{0xFF}};
    EXPECT_FALSE(clipboard.setEnhancedMetafile(emf)) << "closed: nothing is written";
    EXPECT_FALSE(clipboard.enhancedMetafile());
    EXPECT_FALSE(clipboard.empty());
    ASSERT_TRUE(clipboard.open());
    EXPECT_TRUE(fs::is_directory(dir / "board"));
    EXPECT_FALSE(clipboard.enhancedMetafile()) << "nothing on it yet";
    ASSERT_TRUE(clipboard.setEnhancedMetafile(emf));
    EXPECT_EQ(clipboard.enhancedMetafile(), emf);
    clipboard.close();
    EXPECT_FALSE(clipboard.enhancedMetafile()) << "closed again";
    ASSERT_TRUE(clipboard.open());
    EXPECT_EQ(clipboard.enhancedMetafile(), emf) << "kept across close and open";
    EXPECT_TRUE(clipboard.empty());
    EXPECT_FALSE(clipboard.enhancedMetafile());
    EXPECT_FALSE(fs::exists(dir / "board" / "clipboard.emf"));

    testing_support::writeFile(dir / "file", "x");
    FileClipboard blocked(dir / "file");
    EXPECT_FALSE(blocked.open()) << "a file where the folder goes";
}

class ProgramsOnPath : public ::testing::Test {
protected:
    TempDir dir;
    std::string savedPath;
    bool hadPath = false;

    void SetUp() override {
        if (const char* p = std::getenv("PATH")) {
            savedPath = p;
            hadPath = true;
        }
    }
    void TearDown() override {
        if (hadPath)
            ::setenv("PATH", savedPath.c_str(), 1);
        else
            ::unsetenv("PATH");
    }
    fs::path script(const fs::path& file, const std::string& body, mode_t mode = 0755) {
        testing_support::writeFile(file, "#!/bin/sh\n" + body + "\n");
        ::chmod(file.c_str(), mode);
        return file;
    }
};

TEST_F(ProgramsOnPath, TheFirstExecutableFileOnPathIsFound) {
    script(dir / "a" / "tool", "exit 0", 0644);  // not executable: passed over
    fs::create_directories(dir / "b" / "tool");  // a folder: passed over
    const fs::path wanted = script(dir / "c" / "tool", "exit 0");
    script(dir / "d" / "tool", "exit 0");
    const std::string path = (dir / "a").string() + ":" + (dir / "b").string() + ":" + (dir / "c").string() +
                             ":" + (dir / "d").string();
    ::setenv("PATH", path.c_str(), 1);
    EXPECT_EQ(findOnPath("tool"), wanted);
    EXPECT_FALSE(findOnPath("missing"));
    EXPECT_FALSE(findOnPath(""));
    EXPECT_EQ(findOnPath(wanted.string()), wanted) << "a path is taken as it is";
    EXPECT_FALSE(findOnPath((dir / "a" / "tool").string()));

    // An empty entry of PATH stands for the current folder.
    ::setenv("PATH", (":" + (dir / "a").string()).c_str(), 1);
    const fs::path before = fs::current_path();
    fs::current_path(dir / "c");
    const auto found = findOnPath("tool");
    fs::current_path(before);
    EXPECT_EQ(found, fs::path(".") / "tool");
}

TEST_F(ProgramsOnPath, ExitStatusArgumentsAndSignalsAreReported) {
    const fs::path echo = script(dir / "echo-args", "printf '%s|' \"$@\" > \"$1\"\nexit 7");
    const fs::path out = dir / "args.txt";
    auto status = runProgram(echo, {out.string(), "two words", ""});
    ASSERT_TRUE(status) << status.error();
    EXPECT_EQ(*status, 7);
    EXPECT_EQ(testing_support::readFile(out), out.string() + "|two words||");

    const fs::path killed = script(dir / "killed", "kill -TERM $$");
    status = runProgram(killed, {});
    ASSERT_FALSE(status);
    EXPECT_EQ(status.error(), "ended by signal 15");

    status = runProgram(dir / "nothing-here", {});
    ASSERT_FALSE(status);
    EXPECT_EQ(status.error(), "No such file or directory");
}

}  // namespace
}  // namespace platform
