#include "platform/windows_version.h"

#include <charconv>
#include <optional>
#include <string_view>

#include "platform/registry/registry.h"
#include "platform/text_util.h"

namespace platform {
namespace {

std::optional<std::string> textValue(const RegKey& key, std::string_view name) {
    auto v = key.queryValue(name);
    if (!v || (v->type != RegType::Sz && v->type != RegType::ExpandSz))
        return std::nullopt;
    std::string out;
    for (auto b : v->data) {
        if (b == std::byte{0})
            break;
        out.push_back(static_cast<char>(b));
    }
    return out;
}

// Reads "a.b.c" into as many of `parts` as it holds; false when the text
// does not start with a number.
bool dottedNumbers(std::string_view text, std::uint32_t* parts, int count) {
    for (int i = 0; i < count; ++i) {
        std::uint32_t n = 0;
        const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
        if (ec != std::errc())
            return i > 0;
        parts[i] = n;
        text.remove_prefix(static_cast<std::size_t>(ptr - text.data()));
        if (text.empty() || text.front() != '.')
            return true;
        text.remove_prefix(1);
    }
    return true;
}

}  // namespace

WindowsVersion windowsVersion(const Registry& registry, WindowsPlatform platform) {
    WindowsVersion v;
    const bool nt = platform != WindowsPlatform::Win9x;
    if (platform == WindowsPlatform::Win9x)
        v = {4, 10, 2222, {}};
    else if (platform == WindowsPlatform::NT4)
        v = {4, 0, 1381, {}};
    else
        v = {5, 0, 2195, {}};
    auto key =
        registry.openKey(RegRoot::LocalMachine, nt ? kNtVersionKey : kWin9xVersionKey, RegAccess::Read);
    if (!key)
        return v;
    if (nt) {
        std::uint32_t parts[2] = {v.major, v.minor};
        if (const auto text = textValue(*key, "CurrentVersion"); text && dottedNumbers(*text, parts, 2))
            v.major = parts[0], v.minor = parts[1];
        std::uint32_t build[1] = {v.build};
        if (const auto text = textValue(*key, "CurrentBuildNumber"); text && dottedNumbers(*text, build, 1))
            v.build = build[0];
        v.servicePack = textValue(*key, "CSDVersion").value_or("");
    } else {
        std::uint32_t parts[3] = {v.major, v.minor, v.build};
        if (const auto text = textValue(*key, "VersionNumber"); text && dottedNumbers(*text, parts, 3))
            v.major = parts[0], v.minor = parts[1], v.build = parts[2];
        v.servicePack = textValue(*key, "SubVersionNumber").value_or("");
    }
    v.servicePack = truncateUtf8(v.servicePack, 127);
    return v;
}

}  // namespace platform
