#include "tools/common/registry_text.h"

#include <algorithm>

#include "platform/registry/registry.h"

namespace tools {

std::optional<std::string> readText(const platform::Registry& registry, platform::RegRoot root,
                                    std::string_view key, std::string_view name) {
    auto handle = registry.openKey(root, key, platform::RegAccess::Read);
    if (!handle) {
        return std::nullopt;
    }
    auto value = handle->queryValue(name);
    if (!value || (value->type != platform::RegType::Sz && value->type != platform::RegType::ExpandSz)) {
        return std::nullopt;
    }
    const auto end = std::find(value->data.begin(), value->data.end(), std::byte{0});
    std::string text;
    for (auto it = value->data.begin(); it != end; ++it) {
        text.push_back(static_cast<char>(*it));
    }
    return text;
}

bool writeText(platform::Registry& registry, platform::RegRoot root, std::string_view key,
               std::string_view name, std::string_view text) {
    auto handle = registry.openKey(root, key, platform::RegAccess::Write);
    return handle && handle->setString(name, text) == platform::RegStatus::Success;
}

}  // namespace tools
