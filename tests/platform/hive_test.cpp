#include "platform/registry/hive.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(Hive, NamesCompareWithoutCaseAndKeepTheirFirstSpelling) {
    Hive hive(RegRoot::CurrentUser);
    auto& key = hive.createKey("Software\\Quillo");
    key.set(RegValue::dword("KodAntialias", 3));
    key.set(RegValue::dword("KODANTIALIAS", 5));
    ASSERT_EQ(key.values().size(), 1u);
    EXPECT_EQ(key.values()[0].name, "KodAntialias");
    EXPECT_EQ(key.find("kodantialias")->data[0], std::byte{5});
    EXPECT_EQ(&hive.createKey("SOFTWARE\\quillo"), hive.findKey("software\\QUILLO"));
}

TEST(Hive, ValuesKeepInsertionOrderAcrossReplaceAndErase) {
    Hive hive(RegRoot::CurrentUser);
    auto& key = hive.createKey("K");
    for (const char* name : {"c", "a", "b", "d"}) {
        key.set(RegValue::dword(name, 1));
    }
    key.set(RegValue::dword("a", 2));  // replaced in place
    EXPECT_TRUE(key.erase("B"));
    EXPECT_FALSE(key.erase("b"));
    std::vector<std::string> names;
    for (const auto& v : key.values()) names.push_back(v.name);
    EXPECT_EQ(names, (std::vector<std::string>{"c", "a", "d"}));
    EXPECT_EQ(key.find("d")->name, "d");  // the index follows the erase
}

TEST(Hive, CreateMakesAncestorsAndDeleteRemovesTheSubtreeOnly) {
    Hive hive(RegRoot::CurrentUser);
    hive.createKey("A\\B\\C");
    hive.createKey("A\\Bee");
    EXPECT_NE(hive.findKey("A"), nullptr);
    EXPECT_NE(hive.findKey("A\\B"), nullptr);
    EXPECT_EQ(hive.subKeyNames("A"), (std::vector<std::string>{"B", "Bee"}));
    EXPECT_TRUE(hive.deleteKeyTree("a\\b"));
    EXPECT_EQ(hive.findKey("A\\B\\C"), nullptr);
    EXPECT_NE(hive.findKey("A\\Bee"), nullptr) << "a sibling sharing the prefix survives";
    EXPECT_FALSE(hive.deleteKeyTree("A\\B"));
}

TEST(Hive, KeyPathsAreNormalised) {
    EXPECT_EQ(normaliseKeyPath("\\Software\\Q\\"), "Software\\Q");
    EXPECT_EQ(normaliseKeyPath(""), "");
    EXPECT_FALSE(normaliseKeyPath("A\\\\B"));
    EXPECT_FALSE(normaliseKeyPath("A\nB"));
    EXPECT_FALSE(normaliseKeyPath("A\xFF"));
    // Windows' limits: 255 characters a name, 512 levels.
    const std::string longest(255, 'n');
    EXPECT_EQ(normaliseKeyPath("A\\" + longest), "A\\" + longest);
    EXPECT_FALSE(normaliseKeyPath("A\\" + longest + "n"));
    EXPECT_FALSE(normaliseKeyPath(longest + "n\\A"));
    std::string wide;  // 255 two-byte characters
    for (int i = 0; i < 255; ++i) wide += "\xC3\xA9";
    EXPECT_EQ(normaliseKeyPath(wide), wide);
    EXPECT_FALSE(normaliseKeyPath(wide + "e"));
    std::string deep = "k";
    for (int i = 1; i < 512; ++i) deep += "\\k";
    EXPECT_EQ(normaliseKeyPath(deep), deep);
    EXPECT_FALSE(normaliseKeyPath(deep + "\\k"));
    EXPECT_FALSE(normaliseKeyPath("k\\" + deep));
}

}  // namespace
}  // namespace platform
