#pragma once
// The in-memory content of one registry hive: its keys in file order, each
// with its values in insertion order. Names compare without ASCII case.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/registry/reg_types.h"

namespace platform {

class RegistryKeyData {
public:
    explicit RegistryKeyData(std::string path) : m_path(std::move(path)) {}

    // Path below the hive's root, components separated by '\', case as created.
    const std::string& path() const { return m_path; }
    const std::vector<RegValue>& values() const { return m_values; }

    const RegValue* find(std::string_view name) const;
    // Replaces a value of the same name in place (its enumeration index stays)
    // or appends it.
    void set(RegValue value);
    bool erase(std::string_view name);

private:
    std::string m_path;
    std::vector<RegValue> m_values;
    std::unordered_map<std::string, std::size_t> m_index;  // lower-case name -> position
};

class Hive {
public:
    explicit Hive(RegRoot root) : m_root(root) {}

    RegRoot root() const { return m_root; }
    const std::vector<RegistryKeyData>& keys() const { return m_keys; }

    RegistryKeyData* findKey(std::string_view path);
    const RegistryKeyData* findKey(std::string_view path) const;
    // Returns the key, creating it and any missing ancestor first.
    RegistryKeyData& createKey(std::string_view path);
    // Deletes the key and every key below it; false when it did not exist.
    bool deleteKeyTree(std::string_view path);
    // Names of the direct subkeys of `path`, in file order.
    std::vector<std::string> subKeyNames(std::string_view path) const;

private:
    RegRoot m_root;
    std::vector<RegistryKeyData> m_keys;
    std::unordered_map<std::string, std::size_t> m_index;  // lower-case path -> position

    void reindex();
};

// Windows' limits on key names: one component at most 255 characters, at most
// 512 levels below the root. They also bound the cost of creating a key with
// all its parents.
inline constexpr std::size_t kMaxKeyNameLength = 255;
inline constexpr std::size_t kMaxKeyDepth = 512;

// Checks and normalises a key path: strips surrounding backslashes, refuses
// empty components, control characters and paths past the limits above. The
// empty path names the root.
std::optional<std::string> normaliseKeyPath(std::string_view path);

}  // namespace platform
