#include "app/start_program.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/support/temp_dir.h"

namespace app {
namespace {

namespace fs = std::filesystem;

// A program that starts is not waited for and says nothing; one that cannot
// start is named with the reason.
TEST(StartProgram, StartsTheProgramWithItsParameterOrSaysWhyNot) {
    testing_support::TempDir dir;
    std::FILE* errors = std::tmpfile();
    ASSERT_NE(errors, nullptr);
    const fs::path marker = dir / "started";
    EXPECT_TRUE(startProgram("/usr/bin/touch", marker.string(), errors));
    // The child runs on its own; give it time to leave its mark.
    for (int i = 0; i < 500 && !fs::exists(marker); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(fs::exists(marker));
    EXPECT_EQ(std::ftell(errors), 0) << "nothing said for a program that started";

    const fs::path missing = dir / "no-such-program";
    EXPECT_FALSE(startProgram(missing, "x", errors));
    std::rewind(errors);
    char text[512] = {};
    const std::size_t got = std::fread(text, 1, sizeof text - 1, errors);
    std::fclose(errors);
    const std::string said(text, got);
    EXPECT_NE(said.find("cannot start " + missing.string() + ": No such file or directory"),
              std::string::npos)
        << said;
}

}  // namespace
}  // namespace app
