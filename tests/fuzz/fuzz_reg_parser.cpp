// libFuzzer target: the hive text parser, with a round trip through the
// writer for every input that parses.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "platform/registry/reg_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::byte> bytes(reinterpret_cast<const std::byte*>(data), size);
    for (auto root : {platform::RegRoot::CurrentUser, platform::RegRoot::LocalMachine}) {
        auto hive = platform::parseRegText(bytes, root);
        if (!hive) {
            continue;
        }
        const std::string text = platform::serializeRegText(*hive);
        auto again =
            platform::parseRegText({reinterpret_cast<const std::byte*>(text.data()), text.size()}, root);
        // What the writer wrote must parse again with the same keys.
        if (!again || again->keys().size() != hive->keys().size()) {
            std::abort();
        }
    }
    return 0;
}
