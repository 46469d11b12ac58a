// libFuzzer target: the metafile reader and the player, playing whatever
// reads into a small bitmap.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "metafile/dc.h"
#include "metafile/metafile.h"
#include "metafile/player.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::byte> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::byte>(data[i]);
    auto mf = metafile::Metafile::fromBytes(std::move(bytes));
    if (!mf)
        return 0;
    auto dib = metafile::DibSection::create(96, 64);
    dib->fill(0xFFFFFF);
    metafile::Dc dc(*dib);
    metafile::playMetafile(*mf, dc, {0, 0, 96, 64});
    return 0;
}
