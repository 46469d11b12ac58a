#include "app/settings_store.h"

#include <algorithm>
#include <cstring>
#include <functional>

#include "app/session.h"
#include "platform/folders.h"
#include "platform/registry/registry.h"
#include "platform/text_util.h"

namespace app {
namespace {

using platform::RegAccess;
using platform::RegKey;
using platform::RegRoot;
using platform::RegType;
using platform::RegValue;

std::optional<std::uint32_t> dwordOf(const RegValue& value) {
    if (value.type != RegType::Dword || value.data.size() != 4) {
        return std::nullopt;
    }
    std::uint32_t number = 0;
    for (std::size_t i = 4; i-- > 0;) {
        number = (number << 8) | static_cast<std::uint32_t>(value.data[i]);
    }
    return number;
}

std::optional<std::uint32_t> queryDword(const RegKey& key, std::string_view name) {
    auto value = key.queryValue(name);
    return value ? dwordOf(*value) : std::nullopt;
}

// One entry of the load order: the value's name and where its number goes.
struct LoadEntry {
    std::string_view name;
    std::function<void(Session&, std::uint32_t)> apply;
};

std::int32_t asInt(std::uint32_t stored) {
    return static_cast<std::int32_t>(stored);
}

// Booleans: true for any non-zero value, except the two that need exactly 1.
auto flag(bool GeneralOptions::*field) {
    return [field](Session& s, std::uint32_t v) { s.options.*field = v != 0; };
}
auto renderFlag(bool RenderSettings::*field) {
    return [field](Session& s, std::uint32_t v) { s.RenderOptions.*field = v != 0; };
}
auto renderFlagExactlyOne(bool RenderSettings::*field) {
    return [field](Session& s, std::uint32_t v) { s.RenderOptions.*field = v == 1; };
}
auto renderInt(std::int32_t RenderSettings::*field) {
    return [field](Session& s, std::uint32_t v) { s.RenderOptions.*field = asInt(v); };
}
auto renderColour(std::uint32_t RenderSettings::*field) {
    return [field](Session& s, std::uint32_t v) { s.RenderOptions.*field = v; };
}
auto formatFlag(bool FormatSettings::*field) {
    return [field](Session& s, std::uint32_t v) { s.formatOptions.*field = v != 0; };
}
auto formatInt(std::int32_t FormatSettings::*field) {
    return [field](Session& s, std::uint32_t v) { s.formatOptions.*field = asInt(v); };
}
auto currentFormat(bool FormatFlags::*field) {
    return [field](Session& s, std::uint32_t v) { s.CurrentFormat.*field = v != 0; };
}

// The order in which loadSettings reads the values.
const std::vector<LoadEntry>& loadOrder() {
    static const std::vector<LoadEntry> entries = {
        {"lvKodPreset", [](Session& s, std::uint32_t v) { s.options.lvKodPreset = asInt(v); }},
        {"lvIncludeDateTime", renderFlagExactlyOne(&RenderSettings::lvIncludeDateTime)},
        {"lvSharpen", renderFlagExactlyOne(&RenderSettings::lvSharpen)},
        {"lvCurBkGrColor", renderColour(&RenderSettings::lvCurBkGrColor)},
        {"lvHatchColor", renderColour(&RenderSettings::lvHatchColor)},
        {"lvHatchWidth", renderInt(&RenderSettings::lvHatchWidth)},
        {"lvHatchDepress", renderInt(&RenderSettings::lvHatchDepress)},
        {"lvHatchAngle", renderInt(&RenderSettings::lvHatchAngle)},
        {"lvHatchLnHor", renderFlag(&RenderSettings::lvHatchLnHor)},
        {"lvHatchLnVert", renderFlag(&RenderSettings::lvHatchLnVert)},
        {"lvBkGrHathStyle", renderInt(&RenderSettings::lvBkGrHathStyle)},
        {"lvKodMainWinMax", flag(&GeneralOptions::lvKodMainWinMax)},
        {"KodIncludeHtml", flag(&GeneralOptions::KodIncludeHtml)},
        {"ResCur",
         [](Session& s, std::uint32_t v) {
             // Read as unsigned tenths of a dot per inch.
             s.resolution.userResolution = static_cast<double>(v) * 0.1;
             s.resolutionDialog.userResolution = s.resolution.userResolution;
         }},
        {"CheckN",
         [](Session& s, std::uint32_t v) {
             s.resolution.CheckN = asInt(v);
             s.resolutionDialog.CheckN = asInt(v);
         }},
        {"ScaleCur",
         [](Session& s, std::uint32_t v) {
             s.RenderOptions.ScaleCur = asInt(v);
             s.resolutionDialog.ScaleCur = asInt(v);
         }},
        {"KodAntialias", renderInt(&RenderSettings::KodAntialias)},
        {"JPG_Gray", formatFlag(&FormatSettings::JPG_Gray)},
        {"JPG_Progress", formatFlag(&FormatSettings::JPG_Progress)},
        {"JPG_Quality", formatInt(&FormatSettings::JPG_Quality)},
        {"GIF_Colors", formatInt(&FormatSettings::GIF_Colors)},
        {"GIF_IndexGray", formatInt(&FormatSettings::GIF_IndexGray)},
        {"GIF_Dither", formatFlag(&FormatSettings::GIF_Dither)},
        {"GIF_Interlace", formatFlag(&FormatSettings::GIF_Interlace)},
        {"GIF_Delay", formatInt(&FormatSettings::GIF_Delay)},
        {"PNG_TrueIndexGray", formatInt(&FormatSettings::PNG_TrueIndexGray)},
        {"PNG_Colors", formatInt(&FormatSettings::PNG_Colors)},
        {"PNG_Interlace", formatFlag(&FormatSettings::PNG_Interlace)},
        {"PNG_Dither", formatFlag(&FormatSettings::PNG_Dither)},
        {"TIF_TrueIndexGray", formatInt(&FormatSettings::TIF_TrueIndexGray)},
        {"TIF_Colors", formatInt(&FormatSettings::TIF_Colors)},
        {"TIF_Lzw", formatFlag(&FormatSettings::TIF_Lzw)},
        {"TIF_Default", currentFormat(&FormatFlags::TIF_Default)},
        {"BMP_Default", currentFormat(&FormatFlags::BMP_Default)},
        {"PNG_Default", currentFormat(&FormatFlags::PNG_Default)},
        {"GIF_Default", currentFormat(&FormatFlags::GIF_Default)},
        {"JPG_Default", currentFormat(&FormatFlags::JPG_Default)},
        {"SaveFile_Opt", flag(&GeneralOptions::SaveFile_Opt)},
        {"StartFile_Opt", flag(&GeneralOptions::StartFile_Opt)},
        {"KodEmailFormat", [](Session& s, std::uint32_t v) { s.options.KodEmailFormat = asInt(v); }},
    };
    return entries;
}

}  // namespace

std::optional<std::string> textOfValue(const RegValue& value) {
    if (value.type != RegType::Sz && value.type != RegType::ExpandSz) {
        return std::nullopt;
    }
    if (value.data.size() > kTextBufferBytes) {
        return std::nullopt;
    }
    const auto nul = std::find(value.data.begin(), value.data.end(), std::byte{0});
    if (nul == value.data.end()) {
        return std::nullopt;
    }
    std::string text;
    for (auto it = value.data.begin(); it != nul; ++it) {
        text.push_back(static_cast<char>(*it));
    }
    return text;
}

std::int32_t SettingsStore::readDword(RegRoot hive, std::string_view name) const {
    auto key = m_registry.openKey(hive, kProductKey, RegAccess::Read);
    if (!key) {
        return -1;
    }
    const auto number = queryDword(*key, name);
    return number ? static_cast<std::int32_t>(*number) : -1;
}

bool SettingsStore::writeDword(RegRoot hive, std::string_view name, std::uint32_t value) {
    auto key = m_registry.createKey(hive, kProductKey, RegAccess::Write);
    return key && key->setDword(name, value) == platform::RegStatus::Success;
}

std::optional<std::string> SettingsStore::readString(RegRoot hive, std::string_view name) const {
    auto key = m_registry.openKey(hive, kProductKey, RegAccess::Read);
    if (!key) {
        return std::nullopt;
    }
    auto value = key->queryValue(name);
    return value ? textOfValue(*value) : std::nullopt;
}

bool SettingsStore::writeString(RegRoot hive, std::string_view name, std::string_view text) {
    auto key = m_registry.createKey(hive, kProductKey, RegAccess::Write);
    return key && key->setString(name, text) == platform::RegStatus::Success;
}

bool SettingsStore::writeUserKeyString(std::string_view subkey, std::string_view name,
                                       std::string_view text) {
    auto key = m_registry.openKey(RegRoot::CurrentUser, subkey, RegAccess::Write);
    return key && key->setString(name, text) == platform::RegStatus::Success;
}

bool SettingsStore::loadSettings(Session& session) {
    auto key = m_registry.openKey(RegRoot::CurrentUser, kProductKey, RegAccess::Read);
    if (!key) {
        // A fresh profile: create the key; every option keeps its default.
        m_registry.createKey(RegRoot::CurrentUser, kProductKey, RegAccess::Read);
        return true;
    }
    // One snapshot of the key's values rather than one file read per name.
    auto snapshot = key->allValues();
    const std::vector<RegValue> values = snapshot ? std::move(*snapshot) : std::vector<RegValue>{};
    for (const auto& entry : loadOrder()) {
        const auto found = std::find_if(values.begin(), values.end(), [&](const RegValue& v) {
            return platform::equalsIgnoreCase(v.name, entry.name);
        });
        if (found == values.end()) {
            continue;
        }
        if (const auto number = dwordOf(*found)) {
            entry.apply(session, *number);
        }
    }
    return true;
}

std::optional<std::string> SettingsStore::localAppDataFolder() const {
    auto key = m_registry.openKey(RegRoot::CurrentUser, platform::kShellFoldersKey, RegAccess::Read);
    if (!key) {
        return std::nullopt;
    }
    auto value = key->queryValue(platform::kLocalAppDataValue);
    return value ? textOfValue(*value) : std::nullopt;
}

}  // namespace app
