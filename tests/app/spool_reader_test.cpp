#include "app/spool_reader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace app {
namespace {

using testing_support::TempDir;
using testing_support::writeFile;

// A file whose byte i is i % 251, so every position tells itself apart.
std::string numbered(std::size_t size) {
    std::string s(size, '\0');
    for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>(i % 251);
    return s;
}

std::vector<std::byte> take(SpoolReader& reader, std::size_t n) {
    std::vector<std::byte> out(n);
    out.resize(reader.read(out));
    return out;
}

bool startsAt(const std::vector<std::byte>& bytes, std::size_t offset) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != static_cast<std::byte>((offset + i) % 251))
            return false;
    }
    return true;
}

TEST(SpoolReader, ReadsAndSkipsAcrossTheBufferAndTheFile) {
    TempDir dir;
    constexpr std::size_t kSize = 3 * SpoolReader::kBufferSize + 100;
    writeFile(dir / "f.spl", numbered(kSize));
    SpoolReader reader;
    ASSERT_TRUE(reader.open(dir / "f.spl"));
    // Each step: skip, then read; where the read must start and how much it gets.
    struct Step {
        std::uint64_t skip;
        std::size_t read;
        std::size_t expectStart;
        std::size_t expectGot;
    };
    const Step steps[] = {
        {0, 10, 0, 10},                                                       // from the start
        {0, SpoolReader::kBufferSize, 10, SpoolReader::kBufferSize},          // across a refill
        {5, 1, SpoolReader::kBufferSize + 15, 1},                             // skip inside the buffer
        {SpoolReader::kBufferSize, 4, 2 * SpoolReader::kBufferSize + 16, 4},  // skip past the buffer
        {0, 10000, 2 * SpoolReader::kBufferSize + 20,
         kSize - 2 * SpoolReader::kBufferSize - 20},  // to the end
    };
    for (const auto& step : steps) {
        reader.skip(step.skip);
        EXPECT_EQ(reader.position(), step.expectStart);
        EXPECT_EQ(reader.remaining(), kSize - step.expectStart);
        const auto got = take(reader, step.read);
        EXPECT_EQ(got.size(), step.expectGot) << "at " << step.expectStart;
        EXPECT_TRUE(startsAt(got, step.expectStart)) << "at " << step.expectStart;
    }
    EXPECT_EQ(reader.remaining(), 0u);
    EXPECT_EQ(take(reader, 1).size(), 0u);
    EXPECT_TRUE(reader.endOfFile());

    reader.rewind();
    EXPECT_FALSE(reader.endOfFile());
    EXPECT_EQ(reader.position(), 0u);
    const auto again = take(reader, 300);
    EXPECT_EQ(again.size(), 300u);
    EXPECT_TRUE(startsAt(again, 0));

    // Opening another file starts afresh, whatever was read before.
    writeFile(dir / "g.spl", "other");
    ASSERT_TRUE(reader.open(dir / "g.spl"));
    const auto other = take(reader, 10);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(other.data()), other.size()), "other");
}

TEST(SpoolReader, SkippingPastTheEndStopsAtTheEnd) {
    TempDir dir;
    writeFile(dir / "f.spl", numbered(5000));
    SpoolReader reader;
    ASSERT_TRUE(reader.open(dir / "f.spl"));
    take(reader, 8);
    reader.skip(1'000'000);
    EXPECT_TRUE(reader.endOfFile());
    EXPECT_EQ(reader.position(), 5000u);
    EXPECT_EQ(reader.remaining(), 0u);
    EXPECT_EQ(take(reader, 8).size(), 0u);
    // Skipping exactly to the end is the end too.
    reader.rewind();
    reader.skip(5000);
    EXPECT_TRUE(reader.endOfFile());
    EXPECT_EQ(reader.remaining(), 0u);
    reader.rewind();
    reader.skip(4999);
    EXPECT_FALSE(reader.endOfFile());
    EXPECT_EQ(take(reader, 8).size(), 1u);
}

TEST(SpoolReader, OnlyRegularFilesOpen) {
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    std::filesystem::create_directories(dir / "folder");
    SpoolReader reader;
    EXPECT_EQ(take(reader, 4).size(), 0u) << "a reader with no file reads nothing";
    EXPECT_TRUE(reader.endOfFile());
    for (const char* name : {"fifo", "folder", "missing"}) {
        EXPECT_FALSE(reader.open(dir / name)) << name;
        EXPECT_FALSE(reader.isOpen()) << name;
    }
    writeFile(dir / "empty.spl", "");
    ASSERT_TRUE(reader.open(dir / "empty.spl"));
    EXPECT_TRUE(reader.isOpen());
    EXPECT_EQ(reader.remaining(), 0u);
    EXPECT_EQ(take(reader, 4).size(), 0u);
    EXPECT_TRUE(reader.endOfFile());
    reader.close();
    EXPECT_FALSE(reader.isOpen());
}

}  // namespace
}  // namespace app
