// The spool data the writer makes, byte for byte: the header with its
// UTF-16 document name padded to four bytes, one page record per page with
// its own padding counted in its size, the end record; and the 95/98/Me
// list of temporary page files.

#include "app/emf_spool_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace app {
namespace {

std::vector<std::byte> bytes(std::initializer_list<int> values) {
    std::vector<std::byte> out;
    for (int v : values) out.push_back(static_cast<std::byte>(v));
    return out;
}

std::vector<std::byte> join(std::initializer_list<std::vector<std::byte>> parts) {
    std::vector<std::byte> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

TEST(EmfSpoolWriter, HeaderPagesAndEndByteForByte) {
    const std::vector<std::byte> five = bytes({1, 2, 3, 4, 5}), eight = bytes({9, 9, 9, 9, 8, 8, 8, 8});
    struct Case {
        std::u16string name;
        std::vector<std::vector<std::byte>> pages;
        std::vector<std::byte> expected;
    };
    const Case cases[] = {
        // 16 + 2 bytes of name (its NUL alone), padded to 20.
        {u"",
         {},
         join({bytes({0, 0, 1, 0, 20, 0, 0, 0, 16, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}),
               bytes({0, 0, 0, 0, 0, 0, 0, 0})})},
        // "A" and its NUL: 20 bytes, no padding; a page of five bytes padded
        // to eight, counted in its record's size.
        {u"A",
         {five},
         join({bytes({0, 0, 1, 0, 20, 0, 0, 0, 16, 0, 0, 0, 0, 0, 0, 0, 'A', 0, 0, 0}),
               bytes({12, 0, 0, 0, 8, 0, 0, 0, 1, 2, 3, 4, 5, 0, 0, 0}), bytes({0, 0, 0, 0, 0, 0, 0, 0})})},
        // "Doc\u0142": 10 bytes of name, 26 padded to 28; pages of 8 and 5 bytes.
        {u"Doc\u0142",
         {eight, five},
         join({bytes({0, 0, 1,   0, 28,  0, 0,   0, 16,   0,    0, 0, 0, 0,
                      0, 0, 'D', 0, 'o', 0, 'c', 0, 0x42, 0x01, 0, 0, 0, 0}),
               bytes({12, 0, 0, 0, 8, 0, 0, 0, 9, 9, 9, 9, 8, 8, 8, 8}),
               bytes({12, 0, 0, 0, 8, 0, 0, 0, 1, 2, 3, 4, 5, 0, 0, 0}), bytes({0, 0, 0, 0, 0, 0, 0, 0})})},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(writeEmfSpool(c.name, c.pages), c.expected) << c.name.size() << " characters";
    }
}

TEST(EmfSpoolWriter, Windows9xDataNamesEachTemporaryFileNulEnded) {
    const std::vector<std::string> names = {"~EMF0001.TMP", "~EMFAB12.TMP"};
    std::string expected(1, '\0');
    expected += std::string("C:\\WINDOWS\\TEMP\\~EMF0001.TMP") + '\0';
    expected += std::string("C:\\WINDOWS\\TEMP\\~EMFAB12.TMP") + '\0';
    const auto data = writeWin9xSpool(names);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(data.data()), data.size()), expected);
    EXPECT_EQ(writeWin9xSpool({}), bytes({0})) << "the leading byte alone";
}

}  // namespace
}  // namespace app
