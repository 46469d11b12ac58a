#include <gtest/gtest.h>

#include "metafile/metafile.h"
#include "tests/metafile/emf_fixture.h"
#include "tests/support/temp_dir.h"

namespace metafile {
namespace {

using testing::EmfBytes;

TEST(MetafileReader, ReadsTheHeaderAndIndexesRecords) {
    auto mf = Metafile::fromBytes(EmfBytes(21000, 29700).record(emf::EMR_SETBKMODE, {1}).bytes());
    ASSERT_TRUE(mf) << mf.error().message;
    EXPECT_EQ(mf->header().rclFrame, (RectL{0, 0, 21000, 29700}));
    EXPECT_EQ(mf->header().szlDevice, (SizeL{1000, 1000}));
    EXPECT_EQ(mf->header().nHandles, 8);
    EXPECT_FALSE(mf->header().szlMicrometers) << "an 88-byte header has no extensions";
    ASSERT_EQ(mf->records().size(), 3u);
    EXPECT_EQ(mf->records()[1].type, emf::EMR_SETBKMODE);
    EXPECT_EQ(mf->records()[1].offset, 88u);
    EXPECT_EQ(mf->records()[2].type, emf::EMR_EOF);
    EXPECT_TRUE(mf->truncation().empty());
}

std::vector<std::byte> withWord(std::vector<std::byte> bytes, std::size_t at, std::uint32_t w) {
    for (int i = 0; i < 4; ++i)
        bytes[at + static_cast<std::size_t>(i)] = static_cast<std::byte>((w >> (8 * i)) & 0xFF);
    return bytes;
}

TEST(MetafileReader, RefusesWhatCannotBeAMetafile) {
    const auto good = EmfBytes().bytes();
    struct Case {
        const char* label;
        std::vector<std::byte> bytes;
    };
    const Case cases[] = {
        {"empty", {}},
        {"shorter than a header", std::vector<std::byte>(good.begin(), good.begin() + 60)},
        {"first record is not a header", withWord(good, 0, emf::EMR_EOF)},
        {"no signature", withWord(good, 40, 0x12345678)},
        {"header size below 88", withWord(good, 4, 80)},
        {"header size beyond the file", withWord(good, 4, 0x7FFFFFF0)},
    };
    for (const auto& c : cases) {
        auto mf = Metafile::fromBytes(c.bytes);
        ASSERT_FALSE(mf) << c.label;
        EXPECT_NE(mf.error().message.find("Not an enhanced metafile"), std::string::npos) << c.label;
    }
}

TEST(MetafileReader, CutsTheRecordListAtTheFirstDamagedRecord) {
    struct Case {
        const char* label;
        std::vector<std::byte> bytes;
        std::size_t records;
    };
    auto base = EmfBytes().record(emf::EMR_SETBKMODE, {1}).record(emf::EMR_SETROP2, {13});
    const auto good = base.bytes();
    const Case cases[] = {
        {"record claims 4 GiB", withWord(good, 88 + 12 + 4, 0xFFFFFFF0), 2},
        {"record smaller than its head", withWord(good, 88 + 12 + 4, 4), 2},
        {"file ends inside a record", std::vector<std::byte>(good.begin(), good.end() - 6), 3},
        {"file ends inside a record head",
         std::vector<std::byte>(good.begin(), good.begin() + 88 + 12 + 12 + 4), 3},
        {"header gives 2 GiB", withWord(good, 48, 0x80000000), 4},
        {"file ends between records", std::vector<std::byte>(good.begin(), good.end() - 20), 3},
    };
    for (const auto& c : cases) {
        auto mf = Metafile::fromBytes(c.bytes);
        ASSERT_TRUE(mf) << c.label << ": " << mf.error().message;
        EXPECT_EQ(mf->records().size(), c.records) << c.label;
        EXPECT_FALSE(mf->truncation().empty()) << c.label;
    }
    auto exact = Metafile::fromBytes(withWord(good, 48, static_cast<std::uint32_t>(good.size())));
    auto longer = Metafile::fromBytes(withWord(good, 48, static_cast<std::uint32_t>(good.size() + 1)));
    auto shorter = Metafile::fromBytes(withWord(good, 48, 88));
    ASSERT_TRUE(exact && longer && shorter);
    EXPECT_EQ(exact->truncation(), "");
    EXPECT_EQ(longer->truncation(), "the file holds " + std::to_string(good.size()) + " of the " +
                                        std::to_string(good.size() + 1) + " bytes its header gives");
    EXPECT_EQ(shorter->truncation(), "") << "bytes after the end record are no damage";
}

TEST(MetafileReader, CopiesShareBytesAndWriteBackIdentically) {
    const auto bytes = EmfBytes().record(emf::EMR_SETBKMODE, {2}).bytes();
    auto mf = Metafile::fromBytes(bytes);
    ASSERT_TRUE(mf);
    const Metafile copy = *mf;
    EXPECT_EQ(copy.bytes().data(), mf->bytes().data());
    testing_support::TempDir dir;
    ASSERT_FALSE(copy.writeToFile(dir / "page.emf"));
    auto again = Metafile::fromFile(dir / "page.emf");
    ASSERT_TRUE(again);
    EXPECT_TRUE(std::equal(again->bytes().begin(), again->bytes().end(), bytes.begin(), bytes.end()));
    EXPECT_FALSE(Metafile::fromFile(dir / "missing.emf"));
}

}  // namespace
}  // namespace metafile
