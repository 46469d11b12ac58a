#pragma once
// The settings store: small stateless operations on the product key
// Software\Quillo\Scrivlet. Each call opens the key, reads or writes one value
// and closes it again; nothing is held between calls.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/registry/reg_types.h"

namespace platform {
class Registry;
}

namespace app {

struct Session;

inline constexpr std::string_view kProductKey = "Software\\Quillo\\Scrivlet";
// Strings live in buffers of 260 bytes: at most 259 characters and a NUL.
inline constexpr std::size_t kMaxTextLength = 259;
inline constexpr std::size_t kTextBufferBytes = 260;

class SettingsStore {
public:
    explicit SettingsStore(platform::Registry& registry) : m_registry(registry) {}

    // The value, or -1 when the key cannot be opened, the value is absent or
    // is not a REG_DWORD (a stored -1 reads the same: callers treat it as absent).
    std::int32_t readDword(platform::RegRoot hive, std::string_view name) const;
    // Creates the key when missing; true on success.
    bool writeDword(platform::RegRoot hive, std::string_view name, std::uint32_t value);
    // The text of a REG_SZ or REG_EXPAND_SZ of at most 260 bytes, NUL included;
    // absent otherwise.
    std::optional<std::string> readString(platform::RegRoot hive, std::string_view name) const;
    // Creates the key when missing and writes `text` as REG_SZ with its NUL.
    bool writeString(platform::RegRoot hive, std::string_view name, std::string_view text);
    // Writes a REG_SZ under an existing key of the current user; the key is
    // not created.
    bool writeUserKeyString(std::string_view subkey, std::string_view name, std::string_view text);

    // Reads every option into `session` (see the value list in the source);
    // always succeeds.
    bool loadSettings(Session& session);

    // The current user's "Local AppData" shell folder, at most 259 characters.
    std::optional<std::string> localAppDataFolder() const;

    platform::Registry& registry() const { return m_registry; }

private:
    platform::Registry& m_registry;
};

// Applies the text rules of a 260-byte string read to one stored value.
std::optional<std::string> textOfValue(const platform::RegValue& value);

}  // namespace app
