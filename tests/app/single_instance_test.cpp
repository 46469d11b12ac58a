// One instance a user: a new instance closes the earlier one and waits for
// it to end before it goes on; an earlier instance that does not end is
// waited for only as long as the bound.

#include "app/single_instance.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <thread>

#include "tests/support/temp_dir.h"

extern char** environ;

namespace app {
namespace {

using namespace std::chrono_literals;

class SingleInstanceTest : public ::testing::Test {
protected:
    testing_support::TempDir dir;
    std::filesystem::path file = dir / "Scrivlet.instance";
    pid_t holder = -1;

    void TearDown() override {
        if (holder > 0) {
            ::kill(holder, SIGKILL);
            ::waitpid(holder, nullptr, 0);
        }
    }

    bool lockedByOther() const {
        const int fd = ::open(file.c_str(), O_RDWR | O_CLOEXEC);
        if (fd < 0)
            return false;
        const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
        ::close(fd);
        return !free;
    }

    // An earlier instance: a process that holds the instance file's lock
    // (and dies of SIGTERM unless `ignoreTerm`), its id written in the file.
    void startEarlier(bool ignoreTerm) {
        const std::string script = std::string(ignoreTerm ? "trap '' TERM; " : "") + "exec flock -o '" +
                                   file.string() + "' sleep 30";
        std::string sh = "/bin/sh", c = "-c", body = script;
        char* argv[] = {sh.data(), c.data(), body.data(), nullptr};
        ASSERT_EQ(::posix_spawn(&holder, "/bin/sh", nullptr, nullptr, argv, environ), 0);
        for (int i = 0; i < 500 && !lockedByOther(); ++i) std::this_thread::sleep_for(10ms);
        ASSERT_TRUE(lockedByOther()) << "the earlier instance holds the file";
        std::ofstream(file) << holder << "\n";
    }
    bool alive(pid_t pid) const {
        int status = 0;
        return ::waitpid(pid, &status, WNOHANG) == 0;
    }
};

TEST_F(SingleInstanceTest, FirstInstanceHoldsTheFileWithItsId) {
    SingleInstance instance(file);
    const auto claim = instance.claim(1s);
    EXPECT_FALSE(claim.earlierFound);
    EXPECT_TRUE(claim.held);
    std::string text;
    std::ifstream(file) >> text;
    EXPECT_EQ(text, std::to_string(::getpid()));
    EXPECT_TRUE(lockedByOther()) << "another open of the file sees it locked";
}

TEST_F(SingleInstanceTest, EarlierInstanceIsClosedAndWaitedFor) {
    startEarlier(false);
    SingleInstance instance(file);
    const auto claim = instance.claim(10s);
    EXPECT_TRUE(claim.earlierFound);
    EXPECT_EQ(claim.earlierPid, holder);
    EXPECT_TRUE(claim.earlierEnded);
    EXPECT_TRUE(claim.held);
    // The claim returns only once the earlier instance has let go: it is
    // gone (or going) by now, never still holding the file.
    int status = 0;
    ASSERT_EQ(::waitpid(holder, &status, 0), holder);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << "asked to close with SIGTERM";
    holder = -1;
}

TEST_F(SingleInstanceTest, AnEarlierInstanceThatStaysIsWaitedForOnlyTheBound) {
    startEarlier(true);
    SingleInstance instance(file);
    const auto claim = instance.claim(200ms);
    EXPECT_TRUE(claim.earlierFound);
    EXPECT_FALSE(claim.earlierEnded);
    EXPECT_FALSE(claim.held);
    EXPECT_TRUE(alive(holder));
}

TEST_F(SingleInstanceTest, UnwritableFolderClaimsNothing) {
    SingleInstance instance(dir / "absent" / "Scrivlet.instance");
    const auto claim = instance.claim(100ms);
    EXPECT_FALSE(claim.earlierFound);
    EXPECT_FALSE(claim.held);
}

}  // namespace
}  // namespace app
