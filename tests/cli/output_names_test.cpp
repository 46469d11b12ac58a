#include "cli/output_names.h"

#include <gtest/gtest.h>

namespace cli {
namespace {

TEST(OutputNames, SpoolExtensionInAnyCase) {
    EXPECT_TRUE(isSpoolFile("a/job.SPL"));
    EXPECT_TRUE(isSpoolFile("job.spl"));
    EXPECT_TRUE(isSpoolFile("job.Spl"));
    EXPECT_FALSE(isSpoolFile("job.emf"));
    EXPECT_FALSE(isSpoolFile("job.spl.emf"));
    EXPECT_FALSE(isSpoolFile("spl"));
}

TEST(OutputNames, StemsPageNumbersAndBaseNames) {
    struct Case {
        std::vector<InputPages> inputs;
        std::optional<std::string> base;
        std::vector<std::vector<std::string>> expected;
        const char* label;
    };
    const std::vector<Case> cases = {
        {{{"dir/page.emf", false, 1}}, std::nullopt, {{"page.jpg"}}, "a metafile keeps its stem"},
        {{{"dir/job.SPL", true, 3}},
         std::nullopt,
         {{"job0001.jpg", "job0002.jpg", "job0003.jpg"}},
         "a spool file's pages by the save rule"},
        {{{"a.emf", false, 1}, {"j.spl", true, 2}, {"b.emf", false, 1}},
         "Report",
         {{"Report0001.jpg"}, {"Report0002.jpg", "Report0003.jpg"}, {"Report0004.jpg"}},
         "a base name numbers every page in argument order"},
        {{{"j.spl", true, 2}, {"k.spl", true, 1}},
         "R",
         {{"R0001.jpg", "R0002.jpg"}, {"R0003.jpg"}},
         "across spool files"},
        {{{"bad.spl", true, 0}, {"x.emf", false, 1}}, "N", {{}, {"N0001.jpg"}}, "an input without pages"},
        {{{"big.spl", true, 10000}}, std::nullopt, {}, "five digits past 9999"},
    };
    for (const auto& c : cases) {
        const auto names = outputNames(c.inputs, c.base, ".jpg");
        if (c.expected.empty()) {
            ASSERT_EQ(names.size(), 1u);
            EXPECT_EQ(names[0][9998], "big9999.jpg") << c.label;
            EXPECT_EQ(names[0][9999], "big10000.jpg") << c.label;
            continue;
        }
        EXPECT_EQ(names, c.expected) << c.label;
    }
}

TEST(OutputNames, ClashesNameBothInputs) {
    const std::vector<InputPages> inputs = {
        {"a/page.emf", false, 1}, {"c.emf", false, 1}, {"b/page.emf", false, 1}};
    const auto names = outputNames(inputs, std::nullopt, ".png");
    const auto clash = findClash(inputs, names);
    ASSERT_TRUE(clash);
    EXPECT_EQ(clash->name, "page.png");
    EXPECT_EQ(clash->first, "a/page.emf");
    EXPECT_EQ(clash->second, "b/page.emf");
    EXPECT_FALSE(findClash(inputs, outputNames(inputs, "P", ".png"))) << "a base name numbers them apart";

    const std::vector<InputPages> spoolAndPage = {{"x.spl", true, 1}, {"x0001.emf", false, 1}};
    EXPECT_TRUE(findClash(spoolAndPage, outputNames(spoolAndPage, std::nullopt, ".png")));
    const std::vector<InputPages> distinct = {{"x.spl", true, 2}, {"y.emf", false, 1}};
    EXPECT_FALSE(findClash(distinct, outputNames(distinct, std::nullopt, ".png")));
}

}  // namespace
}  // namespace cli
