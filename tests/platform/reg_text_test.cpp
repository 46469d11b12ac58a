#include "platform/registry/reg_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace platform {
namespace {

std::span<const std::byte> bytesOf(const std::string& text) {
    return {reinterpret_cast<const std::byte*>(text.data()), text.size()};
}

Expected<Hive, RegParseError> parse(const std::string& text, RegRoot root = RegRoot::CurrentUser) {
    return parseRegText(bytesOf(text), root);
}

std::vector<std::byte> bytes(std::initializer_list<int> list) {
    std::vector<std::byte> out;
    for (int b : list) out.push_back(static_cast<std::byte>(b));
    return out;
}

const RegValue& valueAt(const Hive& hive, std::string_view key, std::string_view name) {
    const auto* k = hive.findKey(key);
    EXPECT_NE(k, nullptr) << "key " << key;
    const auto* v = k->find(name);
    EXPECT_NE(v, nullptr) << "value " << name;
    return *v;
}

struct GoodCase {
    const char* label;
    std::string line;  // one value line under [HKEY_CURRENT_USER\K]
    RegType type;
    std::vector<std::byte> data;
};

TEST(RegText, ParsesEachValueForm) {
    const std::vector<GoodCase> cases = {
        {"string", R"("v"="abc")", RegType::Sz, bytes({'a', 'b', 'c', 0})},
        {"escaped string", R"("v"="C:\\Dir \"q\"")", RegType::Sz,
         bytes({'C', ':', '\\', 'D', 'i', 'r', ' ', '"', 'q', '"', 0})},
        {"empty string", R"("v"="")", RegType::Sz, bytes({0})},
        {"dword", R"("v"=dword:0000000a)", RegType::Dword, bytes({10, 0, 0, 0})},
        {"dword upper hex, short", R"("v"=dword:FF)", RegType::Dword, bytes({255, 0, 0, 0})},
        {"dword max", R"("v"=dword:ffffffff)", RegType::Dword, bytes({255, 255, 255, 255})},
        {"binary", R"("v"=hex:01,ab,FF)", RegType::Binary, bytes({1, 0xab, 0xff})},
        {"empty binary", R"("v"=hex:)", RegType::Binary, {}},
        {"expand string as hex(2)", R"("v"=hex(2):25,00)", RegType::ExpandSz, bytes({0x25, 0})},
        {"qword as hex(b)", R"("v"=hex(b):01,00,00,00,00,00,00,00)", RegType::Qword,
         bytes({1, 0, 0, 0, 0, 0, 0, 0})},
        {"spaces around =", R"("v" = dword:00000001)", RegType::Dword, bytes({1, 0, 0, 0})},
        {"utf-8 text", "\"v\"=\"Gr\xC3\xBC\xC3\x9F\"", RegType::Sz,
         bytes({'G', 'r', 0xC3, 0xBC, 0xC3, 0x9F, 0})},
    };
    for (const auto& c : cases) {
        auto hive = parse("REGEDIT4\n\n[HKEY_CURRENT_USER\\K]\n" + c.line + "\n");
        ASSERT_TRUE(hive) << c.label << ": " << hive.error().toString();
        const auto& value = valueAt(*hive, "K", "v");
        EXPECT_EQ(value.type, c.type) << c.label;
        EXPECT_EQ(value.data, c.data) << c.label;
    }
}

struct BadCase {
    const char* label;
    std::string text;
    std::size_t line;
};

TEST(RegText, RejectsMalformedFilesWithTheLine) {
    const std::string head = "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n";
    const std::vector<BadCase> cases = {
        {"empty file", "", 0},
        {"no header", "[HKEY_CURRENT_USER\\K]\n", 1},
        {"value before key", "REGEDIT4\n\"a\"=\"b\"\n", 2},
        {"wrong root", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n", 2},
        {"key not closed", "REGEDIT4\n[HKEY_CURRENT_USER\\K\n", 2},
        {"empty path component", "REGEDIT4\n[HKEY_CURRENT_USER\\A\\\\B]\n", 2},
        {"unclosed quote", head + "\"a\"=\"b\n", 3},
        {"bad escape", head + "\"a\"=\"\\n\"\n", 3},
        {"text after string", head + "\"a\"=\"b\" x\n", 3},
        {"dword too long", head + "\"a\"=dword:000000001\n", 3},
        {"dword not hex", head + "\"a\"=dword:0000000g\n", 3},
        {"dword empty", head + "\"a\"=dword:\n", 3},
        {"hex odd digit", head + "\"a\"=hex:1,02\n", 3},
        {"hex first digit not hex", head + "\"a\"=hex:g1\n", 3},
        {"hex second digit not hex", head + "\"a\"=hex:1g\n", 3},
        {"hex no comma", head + "\"a\"=hex:0102\n", 3},
        {"hex bad type", head + "\"a\"=hex(zz):01\n", 3},
        {"hex continues past end", head + "\"a\"=hex:01,\\\n", 3},
        {"no equals", head + "\"a\" dword:1\n", 3},
        {"name only", head + "\"a\"\n", 3},
        {"another sign for equals", head + "\"a\":\"b\"\n", 3},
        {"garbage line", head + "hello\n", 3},
        {"unknown data", head + "\"a\"=word:1\n", 3},
        {"NUL byte", std::string("REGEDIT4\n\0\n", 11), 0},
        {"invalid utf-8", "REGEDIT4\n\xFF\xFE\xFD\n", 0},
        {"utf-16",
         "\xFF\xFE"
         "R\0E\0",
         0},
    };
    for (const auto& c : cases) {
        auto hive = parse(c.text);
        ASSERT_FALSE(hive) << c.label << " was accepted";
        EXPECT_EQ(hive.error().line, c.line) << c.label << ": " << hive.error().toString();
        EXPECT_FALSE(hive.error().reason.empty()) << c.label;
    }
}

TEST(RegText, RefusesOversizedInputWithoutParsing) {
    std::string text = "REGEDIT4\n";
    text.resize(kMaxHiveFileBytes + 1, ';');
    auto hive = parse(text);
    ASSERT_FALSE(hive);
    EXPECT_NE(hive.error().reason.find("16 MiB"), std::string::npos);
}

TEST(RegText, AcceptsCommentsCrLfBomAndVersion5Header) {
    auto hive = parse(
        "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n; note\r\n"
        "[HKEY_CURRENT_USER\\Software\\Q]\r\n\"a\"=dword:00000002\r\n@=\"def\"\r\n");
    ASSERT_TRUE(hive) << hive.error().toString();
    EXPECT_EQ(valueAt(*hive, "software\\q", "A").data, bytes({2, 0, 0, 0}));
    EXPECT_EQ(valueAt(*hive, "Software\\Q", "").data, bytes({'d', 'e', 'f', 0}));
}

TEST(RegText, HexDataMayContinueOverLines) {
    auto hive = parse("REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"b\"=hex:01,02,\\\n  03,04\n\"c\"=dword:1\n");
    ASSERT_TRUE(hive) << hive.error().toString();
    EXPECT_EQ(valueAt(*hive, "K", "b").data, bytes({1, 2, 3, 4}));
    EXPECT_EQ(valueAt(*hive, "K", "c").data, bytes({1, 0, 0, 0}));
}

TEST(RegText, DeletionLinesRemoveValuesAndKeyTrees) {
    auto hive = parse(
        "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"x\"=\"1\"\n\"y\"=\"2\"\n\"x\"=-\n"
        "[HKEY_CURRENT_USER\\B\\C]\n\"z\"=\"3\"\n[-HKEY_CURRENT_USER\\B]\n\"ignored\"=\"4\"\n");
    ASSERT_TRUE(hive) << hive.error().toString();
    ASSERT_NE(hive->findKey("A"), nullptr);
    EXPECT_EQ(hive->findKey("A")->find("x"), nullptr);
    EXPECT_NE(hive->findKey("A")->find("y"), nullptr);
    EXPECT_EQ(hive->findKey("B"), nullptr);
    EXPECT_EQ(hive->findKey("B\\C"), nullptr);
}

TEST(RegText, SerialisedHiveParsesBackToTheSameValues) {
    Hive hive(RegRoot::LocalMachine);
    auto& key = hive.createKey("Software\\Quillo\\Scrivlet");
    key.set(RegValue::string("InstallPath", "C:\\Program Files\\Quillo \"Scrivlet\""));
    key.set(RegValue::dword("Count", 0xDEADBEEF));
    key.set(RegValue::string("Multi Line", "line1\nline2"));  // control characters force hex
    key.set(RegValue{"NoNul", RegType::Sz, bytes({'a', 'b'})});
    key.set(RegValue{"ShortDword", RegType::Dword, bytes({1, 2})});
    key.set(RegValue{"Blob", RegType::Binary, std::vector<std::byte>(100, std::byte{0x5A})});
    key.set(RegValue{"Latin1", RegType::Sz, bytes({'x', 0xE9, 0})});
    key.set(RegValue::string("", "default"));
    hive.createKey("Software\\Other");

    const std::string text = serializeRegText(hive);
    auto again = parseRegText(bytesOf(text), RegRoot::LocalMachine);
    ASSERT_TRUE(again) << again.error().toString() << "\n" << text;
    ASSERT_EQ(again->keys().size(), hive.keys().size());
    for (std::size_t k = 0; k < hive.keys().size(); ++k) {
        const auto& before = hive.keys()[k];
        const auto& after = again->keys()[k];
        EXPECT_EQ(after.path(), before.path());
        ASSERT_EQ(after.values().size(), before.values().size()) << before.path();
        for (std::size_t v = 0; v < before.values().size(); ++v) {
            EXPECT_EQ(after.values()[v].name, before.values()[v].name);
            EXPECT_EQ(after.values()[v].type, before.values()[v].type) << before.values()[v].name;
            EXPECT_EQ(after.values()[v].data, before.values()[v].data) << before.values()[v].name;
        }
    }
}

}  // namespace
}  // namespace platform
