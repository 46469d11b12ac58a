// Every value that loadSettings reads, one at a time: the stored number must
// land in its own setting, converted as the settings table says, and move
// nothing else.

#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "app/session.h"
#include "app/settings_store.h"
#include "platform/registry/registry.h"
#include "tests/support/temp_dir.h"

namespace app {
namespace {

using platform::RegAccess;
using platform::RegRoot;

// Every loaded setting of a session, by a name of its own.
std::map<std::string, double> snapshot(const Session& s) {
    const RenderSettings& r = s.RenderOptions;
    const FormatSettings& f = s.formatOptions;
    const FormatFlags& c = s.CurrentFormat;
    const GeneralOptions& o = s.options;
    return {
        {"lvKodPreset", o.lvKodPreset},
        {"lvIncludeDateTime", r.lvIncludeDateTime},
        {"lvSharpen", r.lvSharpen},
        {"lvCurBkGrColor", r.lvCurBkGrColor},
        {"lvHatchColor", r.lvHatchColor},
        {"lvHatchWidth", r.lvHatchWidth},
        {"lvHatchDepress", r.lvHatchDepress},
        {"lvHatchAngle", r.lvHatchAngle},
        {"lvHatchLnHor", r.lvHatchLnHor},
        {"lvHatchLnVert", r.lvHatchLnVert},
        {"lvBkGrHathStyle", r.lvBkGrHathStyle},
        {"lvKodMainWinMax", o.lvKodMainWinMax},
        {"KodIncludeHtml", o.KodIncludeHtml},
        {"userResolution", s.resolution.userResolution},
        {"dialog.userResolution", s.resolutionDialog.userResolution},
        {"CheckN", s.resolution.CheckN},
        {"dialog.CheckN", s.resolutionDialog.CheckN},
        {"ScaleCur", r.ScaleCur},
        {"dialog.ScaleCur", s.resolutionDialog.ScaleCur},
        {"KodAntialias", r.KodAntialias},
        {"JPG_Gray", f.JPG_Gray},
        {"JPG_Progress", f.JPG_Progress},
        {"JPG_Quality", f.JPG_Quality},
        {"GIF_Colors", f.GIF_Colors},
        {"GIF_IndexGray", f.GIF_IndexGray},
        {"GIF_Dither", f.GIF_Dither},
        {"GIF_Interlace", f.GIF_Interlace},
        {"GIF_Delay", f.GIF_Delay},
        {"PNG_TrueIndexGray", f.PNG_TrueIndexGray},
        {"PNG_Colors", f.PNG_Colors},
        {"PNG_Interlace", f.PNG_Interlace},
        {"PNG_Dither", f.PNG_Dither},
        {"TIF_TrueIndexGray", f.TIF_TrueIndexGray},
        {"TIF_Colors", f.TIF_Colors},
        {"TIF_Lzw", f.TIF_Lzw},
        {"TIF_Default", c.TIF_Default},
        {"BMP_Default", c.BMP_Default},
        {"PNG_Default", c.PNG_Default},
        {"GIF_Default", c.GIF_Default},
        {"JPG_Default", c.JPG_Default},
        {"SaveFile_Opt", o.SaveFile_Opt},
        {"StartFile_Opt", o.StartFile_Opt},
        {"KodEmailFormat", o.KodEmailFormat},
    };
}

struct LoadCase {
    const char* value;  // registry value name
    std::uint32_t stored;
    std::map<std::string, double> expected;  // the settings that change, and to what
};

void PrintTo(const LoadCase& c, std::ostream* os) {
    *os << c.value << " = " << c.stored;
}

// Numbers are chosen away from each default so that a value loaded into the
// wrong setting, or not at all, shows.
const std::vector<LoadCase>& loadCases() {
    static const std::vector<LoadCase> cases = {
        {"lvKodPreset", 3, {{"lvKodPreset", 3}}},
        {"lvIncludeDateTime", 1, {{"lvIncludeDateTime", 1}}},
        {"lvSharpen", 1, {{"lvSharpen", 1}}},
        {"lvCurBkGrColor", 0x00123456, {{"lvCurBkGrColor", 0x00123456}}},
        {"lvHatchColor", 0x00654321, {{"lvHatchColor", 0x00654321}}},
        {"lvHatchWidth", 11, {{"lvHatchWidth", 11}}},
        {"lvHatchDepress", 13, {{"lvHatchDepress", 13}}},
        {"lvHatchAngle", 37, {{"lvHatchAngle", 37}}},
        {"lvHatchLnHor", 0, {{"lvHatchLnHor", 0}}},
        {"lvHatchLnVert", 0, {{"lvHatchLnVert", 0}}},
        {"lvBkGrHathStyle", 4, {{"lvBkGrHathStyle", 4}}},
        {"lvKodMainWinMax", 9, {{"lvKodMainWinMax", 1}}},
        {"KodIncludeHtml", 0, {{"KodIncludeHtml", 0}}},
        {"ResCur", 1505, {{"userResolution", 1505 * 0.1}, {"dialog.userResolution", 1505 * 0.1}}},
        {"CheckN", 1, {{"CheckN", 1}, {"dialog.CheckN", 1}}},
        {"ScaleCur", 73, {{"ScaleCur", 73}, {"dialog.ScaleCur", 73}}},
        {"KodAntialias", 7, {{"KodAntialias", 7}}},
        {"JPG_Gray", 2, {{"JPG_Gray", 1}}},
        {"JPG_Progress", 0, {{"JPG_Progress", 0}}},
        {"JPG_Quality", 41, {{"JPG_Quality", 41}}},
        {"GIF_Colors", 17, {{"GIF_Colors", 17}}},
        {"GIF_IndexGray", 1, {{"GIF_IndexGray", 1}}},
        {"GIF_Dither", 3, {{"GIF_Dither", 1}}},
        {"GIF_Interlace", 0, {{"GIF_Interlace", 0}}},
        {"GIF_Delay", 250, {{"GIF_Delay", 250}}},
        {"PNG_TrueIndexGray", 2, {{"PNG_TrueIndexGray", 2}}},
        {"PNG_Colors", 19, {{"PNG_Colors", 19}}},
        {"PNG_Interlace", 0, {{"PNG_Interlace", 0}}},
        {"PNG_Dither", 1, {{"PNG_Dither", 1}}},
        {"TIF_TrueIndexGray", 3, {{"TIF_TrueIndexGray", 3}}},
        {"TIF_Colors", 23, {{"TIF_Colors", 23}}},
        {"TIF_Lzw", 0, {{"TIF_Lzw", 0}}},
        {"TIF_Default", 1, {{"TIF_Default", 1}}},
        {"BMP_Default", 1, {{"BMP_Default", 1}}},
        {"PNG_Default", 1, {{"PNG_Default", 1}}},
        {"GIF_Default", 1, {{"GIF_Default", 1}}},
        {"JPG_Default", 0, {{"JPG_Default", 0}}},
        {"SaveFile_Opt", 0, {{"SaveFile_Opt", 0}}},
        {"StartFile_Opt", 0, {{"StartFile_Opt", 0}}},
        {"KodEmailFormat", 5, {{"KodEmailFormat", 5}}},
    };
    return cases;
}

class SettingsLoadTable : public ::testing::TestWithParam<LoadCase> {};

TEST_P(SettingsLoadTable, StoredValueMovesOnlyItsOwnSetting) {
    const LoadCase& c = GetParam();
    testing_support::TempDir folder;
    platform::Registry registry(platform::RegistryLocation::inFolder(folder.path()));
    // Another value in the key, so the key exists and the read goes past step 1.
    auto key = registry.createKey(RegRoot::CurrentUser, kProductKey, RegAccess::Write);
    ASSERT_TRUE(key);
    ASSERT_EQ(key->setDword(c.value, c.stored), platform::RegStatus::Success);

    Session defaults;
    Session loaded;
    ASSERT_TRUE(SettingsStore(registry).loadSettings(loaded));

    std::map<std::string, double> want = snapshot(defaults);
    for (const auto& [field, number] : c.expected) {
        ASSERT_TRUE(want.count(field)) << "unknown field " << field;
        ASSERT_NE(want[field], number) << field << ": the case must differ from the default";
        want[field] = number;
    }
    const std::map<std::string, double> got = snapshot(loaded);
    for (const auto& [field, number] : want) {
        EXPECT_DOUBLE_EQ(got.at(field), number) << c.value << " stored as " << c.stored << " -> " << field;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryLoadedValue, SettingsLoadTable, ::testing::ValuesIn(loadCases()),
                         [](const ::testing::TestParamInfo<LoadCase>& caseInfo) {
                             return std::string(caseInfo.param.value);
                         });

}  // namespace
}  // namespace app
