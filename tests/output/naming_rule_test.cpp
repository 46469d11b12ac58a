#include "output/naming_rule.h"

#include <gtest/gtest.h>

namespace output {
namespace {

TEST(NamingRule, PageNumberComesFromThePageFileName) {
    const struct {
        const char* file;
        const char* number;
    } cases[] = {{"120003.emf", "0003"}, {"0001.emf", "0001"}, {"J77770042.emf", "0042"},
                 {"001.emf", "001"},     {".emf", ""},         {"", ""}};
    for (const auto& c : cases) EXPECT_EQ(pageNumberOf(c.file), c.number) << c.file;
}

TEST(NamingRule, BaseNamesOfDocumentsAndTheMailRoute) {
    EXPECT_EQ(proposedBaseName("Annual.Report.doc"), "Annual");
    EXPECT_EQ(proposedBaseName("Minutes"), "Minutes");
    EXPECT_EQ(proposedBaseName(""), "");
    EXPECT_EQ(sequenceNumber(0), "0001");
    EXPECT_EQ(sequenceNumber(11), "0012");
    const std::string seventy(70, 'a');
    EXPECT_EQ(mailBaseName(seventy), seventy) << "70 characters stay whole";
    EXPECT_EQ(mailBaseName(seventy + "b"), std::string(49, 'a')) << "71 are cut to 49";
}

TEST(NamingRule, OutputNamesAndTheLimit) {
    EXPECT_EQ(outputFileName("/out", "Report", "0002", ".jpg"), "/out/Report0002.jpg");
    EXPECT_EQ(outputFileName("/out", "", "0001", ".jpg"), "/out/0001.jpg");
    EXPECT_FALSE(tooLong(std::string(150, 'x')));
    EXPECT_TRUE(tooLong(std::string(151, 'x')));
}

TEST(NamingRule, ChosenPathLosesOnlyAKnownExtension) {
    const struct {
        const char* path;
        const char* folder;
        const char* title;
    } cases[] = {{"/out/Report.jpg", "/out", "Report"},
                 {"/out/Report.JPG", "/out", "Report"},
                 {"/out/Annual.Report", "/out", "Annual.Report"},
                 {"/out/Report", "/out", "Report"},
                 {"Report.png", "", "Report"}};
    for (const auto& c : cases) {
        const auto chosen = splitChosenPath(c.path, {".jpg", ".png"});
        EXPECT_EQ(chosen.folder, c.folder) << c.path;
        EXPECT_EQ(chosen.title, c.title) << c.path;
    }
}

}  // namespace
}  // namespace output
