// Tip of the Day without a window: the six texts, the cycle through them and
// what "Close" and "Next Tip" store.

#include "ui/tip_of_the_day.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "app/settings_store.h"
#include "platform/registry/registry.h"
#include "tests/support/temp_dir.h"

namespace ui {
namespace {

using platform::RegRoot;

std::uint64_t fnv1a(std::string_view text) {
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (unsigned char c : text) {
        h ^= c;
        h *= 0x100000001b3ull;
    }
    return h;
}

// Length, line breaks and a hash of each text, taken from the texts as the
// product documents them.
TEST(TipOfTheDay, SixTextsByteForByte) {
    const struct {
        std::size_t size;
        std::uint64_t hash;
        long breaks;
    } expected[] = {{416, 0x398870acddf67973ull, 10}, {353, 0x1c0d4c010e283bb9ull, 2},
                    {412, 0x8342779431d33b8dull, 4},  {143, 0xb23c9e9f143be9c9ull, 2},
                    {340, 0x64a8d7906df0f7bbull, 2},  {408, 0x77511a1d632d7bf9ull, 2}};
    for (std::size_t i = 0; i < 6; ++i) {
        const std::string_view t = tipTexts()[i];
        EXPECT_EQ(t.size(), expected[i].size) << i;
        EXPECT_EQ(std::count(t.begin(), t.end(), '\n'), expected[i].breaks) << i;
        EXPECT_EQ(t.substr(0, 3), "   ") << i;
        EXPECT_EQ(fnv1a(t), expected[i].hash) << i;
    }
    EXPECT_NE(tipTexts()[1].find("MS Word  into"), std::string_view::npos) << "double blanks are kept";
}

TEST(TipOfTheDay, CycleOfTheStoredIndex) {
    const std::tuple<int, int, int> cases[] = {
        // stored, shown, stored after advancing
        {-1, 0, 1}, {-7, 0, 1}, {0, 0, 1}, {1, 1, 2}, {4, 4, 5}, {5, 5, 0}, {6, 0, 0}, {1000, 0, 0}};
    for (const auto& [stored, shown, next] : cases) {
        EXPECT_EQ(shownTipIndex(stored), shown) << stored;
        EXPECT_EQ(advancedTipIndex(stored), next) << stored;
    }
}

TEST(TipOfTheDay, CloseAndNextTipStoreTheCycle) {
    testing_support::TempDir dir;
    platform::Registry registry{platform::RegistryLocation::inFolder(dir / "registry")};
    app::SettingsStore store{registry};
    TipCycle tips(store);

    // First start: tip 0; Close stores 1 and keeps the tips on.
    EXPECT_EQ(tips.currentIndex(), 0);
    EXPECT_EQ(tips.currentTip(), tipTexts()[0]);
    tips.close(true);
    EXPECT_EQ(store.readDword(RegRoot::CurrentUser, "lvNumTipOfTheDay"), 1);
    EXPECT_EQ(store.readDword(RegRoot::CurrentUser, "lvStartHelpCheck"), 0);
    EXPECT_TRUE(tipOfTheDayAtStart(false, store.readDword(RegRoot::CurrentUser, "lvStartHelpCheck")));
    EXPECT_EQ(tips.currentTip(), tipTexts()[1]) << "the next start shows tip 1";

    // Next Tip walks on; after tip 5 comes tip 0.
    for (int i = 2; i <= 5; ++i) {
        tips.advance();
        EXPECT_EQ(tips.currentIndex(), i);
    }
    tips.advance();
    EXPECT_EQ(tips.currentIndex(), 0);
    EXPECT_EQ(store.readDword(RegRoot::CurrentUser, "lvNumTipOfTheDay"), 0);

    // Cleared "Show tips at startup": 1, and no tips at the next start.
    tips.close(false);
    EXPECT_EQ(store.readDword(RegRoot::CurrentUser, "lvStartHelpCheck"), 1);
    EXPECT_FALSE(tipOfTheDayAtStart(false, 1));
    EXPECT_FALSE(tipOfTheDayAtStart(true, -1)) << "not after closing an earlier instance";
}

}  // namespace
}  // namespace ui
