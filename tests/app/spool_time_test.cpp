// The spool file chosen by its time: the first file at or after the moment
// that the Word macro recorded.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>
#include <string>

#include "app/page_acquisition.h"
#include "app/session.h"
#include "app/settings_store.h"
#include "platform/folders.h"
#include "platform/registry/registry.h"
#include "tests/support/recording_ui.h"
#include "tests/support/temp_dir.h"

namespace app {
namespace {

namespace fs = std::filesystem;
using platform::RegRoot;

// Sets a file's last-write time to a local date and time.
void setLocalTime(const fs::path& file, int year, int month, int day, int hour, int minute, int second) {
    std::tm parts{};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    parts.tm_isdst = -1;
    const timespec times[2] = {{std::mktime(&parts), 0}, {std::mktime(&parts), 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
}

TEST(SpoolFileByTime, TheFirstFileAtOrAfterTheRecordedMomentIsChosen) {
    testing_support::TempDir dir;
    platform::Registry registry(platform::RegistryLocation::inFolder(dir / "registry"));
    const auto folders = platform::PlatformFolders::under(dir.path());
    SettingsStore store(registry);
    Session session;
    testing_support::RecordingUi ui;
    platform::Spooler spooler(registry, folders.windowsFolder().value(), platform::WindowsPlatform::Win2000);
    PageAcquisition acquisition(session, store, folders, spooler, ui);

    const fs::path spool = dir / "spool";
    testing_support::writeFile(spool / "00001.SPL", "older");
    testing_support::writeFile(spool / "00002.SPL", "at the moment");
    testing_support::writeFile(spool / "00003.shd", "not a spool file");
    setLocalTime(spool / "00001.SPL", 2026, 12, 8, 9, 5, 6);
    setLocalTime(spool / "00002.SPL", 2026, 12, 8, 9, 5, 7);
    setLocalTime(spool / "00003.shd", 2026, 12, 8, 9, 5, 9);
    struct Case {
        const char* date;
        const char* time;
        const char* chosen;  // file name, or "_"
    };
    const Case cases[] = {
        {"261208", "090507", "00002.SPL"},  // exactly the moment counts
        {"261208", "090506", "00001.SPL"},  // the first file in name order that qualifies
        {"261208", "090508", "_"},          // both are older
        {"261209", "000000", "_"},          // the next day
        {"261207", "235959", "00001.SPL"}, {"", "", "00001.SPL"},  // nothing recorded: every file qualifies
        {"x1", "090507", "00001.SPL"},                             // not a number: 0
    };
    for (const auto& c : cases) {
        store.writeString(RegRoot::CurrentUser, "CurSPLTimeInfo1", c.date);
        store.writeString(RegRoot::CurrentUser, "CurSPLTimeInfo2", c.time);
        const std::string found = acquisition.findSpoolFileByTime(spool);
        EXPECT_EQ(found == "_" ? found : fs::path(found).filename().string(), c.chosen)
            << c.date << " " << c.time;
    }
}

}  // namespace
}  // namespace app
