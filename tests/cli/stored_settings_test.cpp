// --settings reads the main program's stored settings from the registry the
// environment names, as the main program loads them at start.

#include <gtest/gtest.h>
#include <stdlib.h>

#include "app/settings_store.h"
#include "cli/convert_options.h"
#include "cli/page_converter.h"
#include "platform/registry/registry.h"
#include "tests/support/temp_dir.h"

namespace cli {
namespace {

using platform::RegRoot;

// Points SCRIVLET_REGISTRY at a folder for the life of the test.
class RegistryFolder {
public:
    explicit RegistryFolder(const std::filesystem::path& folder) {
        if (const char* old = std::getenv("SCRIVLET_REGISTRY"))
            m_old = old;
        ::setenv("SCRIVLET_REGISTRY", folder.c_str(), 1);
    }
    ~RegistryFolder() {
        if (m_old)
            ::setenv("SCRIVLET_REGISTRY", m_old->c_str(), 1);
        else
            ::unsetenv("SCRIVLET_REGISTRY");
    }

private:
    std::optional<std::string> m_old;
};

TEST(StoredSettings, AreTheMainProgramsValues) {
    testing_support::TempDir dir;
    RegistryFolder env(dir / "registry");
    {
        platform::Registry registry(platform::RegistryLocation::inFolder(dir / "registry"));
        app::SettingsStore store(registry);
        store.writeDword(RegRoot::CurrentUser, "CheckN", 2);
        store.writeDword(RegRoot::CurrentUser, "ResCur", 1505);
        store.writeDword(RegRoot::CurrentUser, "KodAntialias", 5);
        store.writeDword(RegRoot::CurrentUser, "ScaleCur", 50);
        store.writeDword(RegRoot::CurrentUser, "lvSharpen", 1);
        store.writeDword(RegRoot::CurrentUser, "JPG_Default", 0);
        store.writeDword(RegRoot::CurrentUser, "TIF_Default", 1);
        store.writeDword(RegRoot::CurrentUser, "TIF_Lzw", 0);
        store.writeDword(RegRoot::CurrentUser, "GIF_Colors", 32);
        store.writeString(RegRoot::CurrentUser, "PDF_Bitmp_Format", "JPG");
    }
    const auto stored = readStoredSettings();
    ASSERT_TRUE(stored) << stored.error();
    EXPECT_DOUBLE_EQ(stored->dpi, 150.5);
    EXPECT_EQ(stored->render.KodAntialias, 5);
    EXPECT_EQ(stored->render.ScaleCur, 50);
    EXPECT_TRUE(stored->render.lvSharpen);
    EXPECT_TRUE(stored->format.TIF_Default);
    EXPECT_FALSE(stored->format.JPG_Default);
    EXPECT_FALSE(stored->formatOptions.TIF_Lzw);
    EXPECT_EQ(stored->formatOptions.GIF_Colors, 32);
    EXPECT_EQ(stored->pdfInsideFormat, "JPG");

    const std::vector<std::string> args = {"--settings", "--antialias", "0", "a.emf"};
    const auto line = parseCommandLine(args, readStoredSettings);
    ASSERT_TRUE(line) << line.error();
    EXPECT_EQ(line->settings.render.KodAntialias, 0) << "the option after --settings wins";
    EXPECT_TRUE(line->settings.format.TIF_Default);
}

TEST(StoredSettings, AnEmptyRegistryGivesTheProgramDefaults) {
    testing_support::TempDir dir;
    RegistryFolder env(dir / "empty");
    const auto stored = readStoredSettings();
    ASSERT_TRUE(stored) << stored.error();
    EXPECT_DOUBLE_EQ(stored->dpi, 80) << "the main program's user resolution";
    EXPECT_EQ(stored->render.KodAntialias, 3);
    EXPECT_TRUE(stored->format.JPG_Default);
    EXPECT_EQ(stored->pdfInsideFormat, "BMP");
}

TEST(StoredSettings, TheInsideFormatReachesTheConvertersOwnStore) {
    testing_support::TempDir dir;
    ConvertSettings settings = defaultSettings();
    settings.pdfInsideFormat = "PNG";
    PageConverter converter(settings, dir / "store");
    EXPECT_EQ(converter.pdfInsideFormat(), "PNG");
    PageConverter plain(defaultSettings(), dir / "store2");
    EXPECT_EQ(plain.pdfInsideFormat(), "BMP");
}

}  // namespace
}  // namespace cli
