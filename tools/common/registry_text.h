#pragma once
// Reading and writing string values the way the two tools do: the whole
// stored value (size first, then the buffer), taken up to its first NUL.

#include <optional>
#include <string>
#include <string_view>

#include "platform/registry/reg_types.h"

namespace platform {
class Registry;
}

namespace tools {

std::optional<std::string> readText(const platform::Registry& registry, platform::RegRoot root,
                                    std::string_view key, std::string_view name);
// Writes under an existing key opened for setting values.
bool writeText(platform::Registry& registry, platform::RegRoot root, std::string_view key,
               std::string_view name, std::string_view text);

}  // namespace tools
