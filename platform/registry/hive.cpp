#include "platform/registry/hive.h"

#include <algorithm>

#include "platform/text_util.h"

namespace platform {

const RegValue* RegistryKeyData::find(std::string_view name) const {
    const auto it = m_index.find(asciiLowerCopy(name));
    return it == m_index.end() ? nullptr : &m_values[it->second];
}

void RegistryKeyData::set(RegValue value) {
    auto folded = asciiLowerCopy(value.name);
    const auto it = m_index.find(folded);
    if (it != m_index.end()) {
        // Windows keeps the name as first written when a value is replaced.
        value.name = m_values[it->second].name;
        m_values[it->second] = std::move(value);
        return;
    }
    m_index.emplace(std::move(folded), m_values.size());
    m_values.push_back(std::move(value));
}

bool RegistryKeyData::erase(std::string_view name) {
    const auto it = m_index.find(asciiLowerCopy(name));
    if (it == m_index.end()) {
        return false;
    }
    const std::size_t position = it->second;
    m_values.erase(m_values.begin() + static_cast<std::ptrdiff_t>(position));
    m_index.erase(it);
    for (auto& entry : m_index) {
        if (entry.second > position) {
            --entry.second;
        }
    }
    return true;
}

RegistryKeyData* Hive::findKey(std::string_view path) {
    const auto it = m_index.find(asciiLowerCopy(path));
    return it == m_index.end() ? nullptr : &m_keys[it->second];
}

const RegistryKeyData* Hive::findKey(std::string_view path) const {
    const auto it = m_index.find(asciiLowerCopy(path));
    return it == m_index.end() ? nullptr : &m_keys[it->second];
}

RegistryKeyData& Hive::createKey(std::string_view path) {
    if (auto* existing = findKey(path)) {
        return *existing;
    }
    if (!path.empty()) {
        const auto cut = path.rfind('\\');
        if (cut != std::string_view::npos) {
            createKey(path.substr(0, cut));
        }
    }
    m_index.emplace(asciiLowerCopy(path), m_keys.size());
    m_keys.emplace_back(std::string(path));
    return m_keys.back();
}

bool Hive::deleteKeyTree(std::string_view path) {
    if (findKey(path) == nullptr) {
        return false;
    }
    const std::string folded = asciiLowerCopy(path);
    const std::string prefix = folded + "\\";
    std::erase_if(m_keys, [&](const RegistryKeyData& key) {
        const std::string name = asciiLowerCopy(key.path());
        return name == folded || folded.empty() || name.starts_with(prefix);
    });
    reindex();
    return true;
}

std::vector<std::string> Hive::subKeyNames(std::string_view path) const {
    const std::string folded = asciiLowerCopy(path);
    const std::string prefix = folded.empty() ? std::string() : folded + "\\";
    std::vector<std::string> names;
    for (const auto& key : m_keys) {
        if (key.path().empty()) {
            continue;
        }
        const std::string name = asciiLowerCopy(key.path());
        if (!name.starts_with(prefix) || name.size() == prefix.size()) {
            continue;
        }
        const std::string_view rest = std::string_view(key.path()).substr(prefix.size());
        if (rest.find('\\') == std::string_view::npos) {
            names.emplace_back(rest);
        }
    }
    return names;
}

void Hive::reindex() {
    m_index.clear();
    for (std::size_t i = 0; i < m_keys.size(); ++i) {
        m_index.emplace(asciiLowerCopy(m_keys[i].path()), i);
    }
}

std::optional<std::string> normaliseKeyPath(std::string_view path) {
    while (!path.empty() && path.front() == '\\') {
        path.remove_prefix(1);
    }
    while (!path.empty() && path.back() == '\\') {
        path.remove_suffix(1);
    }
    if (path.find("\\\\") != std::string_view::npos) {
        return std::nullopt;
    }
    const bool hasControl = std::any_of(
        path.begin(), path.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
    if (hasControl || !isValidUtf8(path)) {
        return std::nullopt;
    }
    // Names are counted in characters: UTF-8 continuation bytes do not count.
    std::size_t depth = path.empty() ? 0 : 1;
    std::size_t nameLength = 0;
    for (const char c : path) {
        if (c == '\\') {
            ++depth;
            nameLength = 0;
        } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
            ++nameLength;
        }
        if (nameLength > kMaxKeyNameLength || depth > kMaxKeyDepth) {
            return std::nullopt;
        }
    }
    return std::string(path);
}

}  // namespace platform
