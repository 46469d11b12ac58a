#include "metafile/font_fallback.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <memory>
#include <mutex>

namespace metafile {
namespace {

struct PatternDeleter {
    void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
using Pattern = std::unique_ptr<FcPattern, PatternDeleter>;

std::string familyOf(FcPattern* pattern) {
    FcChar8* family = nullptr;
    if (FcPatternGetString(pattern, FC_FAMILY, 0, &family) == FcResultMatch && family != nullptr) {
        return reinterpret_cast<const char*>(family);
    }
    return {};
}

std::string match(FcPattern* pattern) {
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    Pattern matched(FcFontMatch(nullptr, pattern, &result));
    return matched ? familyOf(matched.get()) : std::string();
}

std::mutex g_mutex;

}  // namespace

std::string resolvedFamily(const std::string& face) {
    std::lock_guard lock(g_mutex);
    static std::map<std::string, std::string> cache;
    if (auto it = cache.find(face); it != cache.end())
        return it->second;
    Pattern pattern(FcPatternCreate());
    const std::string wanted = substituteFamily(face);
    FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(wanted.c_str()));
    const std::string family = match(pattern.get());
    cache.emplace(face, family);
    return family;
}

namespace {

std::size_t g_fontMatches = 0;

// The installed fonts in order of preference for "sans-serif", sorted once:
// a character's fallback is the first whose charset holds it. (Sorting once
// per character cost a full font match for every distinct missing one.)
FcFontSet* preferredFonts() {
    static FcFontSet* const set = [] {
        Pattern pattern(FcPatternCreate());
        FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
        FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
        FcDefaultSubstitute(pattern.get());
        FcResult result = FcResultNoMatch;
        ++g_fontMatches;
        return FcFontSort(nullptr, pattern.get(), FcTrue, nullptr, &result);
    }();
    return set;
}

}  // namespace

std::string fallbackFamilyFor(std::uint32_t character) {
    std::lock_guard lock(g_mutex);
    static std::map<std::uint32_t, std::string> cache;
    if (auto it = cache.find(character); it != cache.end())
        return it->second;
    std::string family;
    if (FcFontSet* set = preferredFonts()) {
        for (int i = 0; i < set->nfont; ++i) {
            FcCharSet* cs = nullptr;
            if (FcPatternGetCharSet(set->fonts[i], FC_CHARSET, 0, &cs) == FcResultMatch &&
                FcCharSetHasChar(cs, character)) {
                family = familyOf(set->fonts[i]);
                break;
            }
        }
    }
    cache.emplace(character, family);
    return family;
}

std::string substituteFamily(std::string_view face) {
    struct Substitute {
        std::string_view face;
        std::string_view family;
    };
    static constexpr Substitute kTable[] = {
        {"", "Liberation Sans"},
        {"System", "Liberation Sans"},
        {"MS Sans Serif", "Liberation Sans"},
        {"MS Shell Dlg", "Liberation Sans"},
        {"MS Shell Dlg 2", "Liberation Sans"},
        {"Microsoft Sans Serif", "Liberation Sans"},
        {"Small Fonts", "Liberation Sans"},
        {"Arial Narrow", "Liberation Sans Narrow"},
        {"ArialNarrow", "Liberation Sans Narrow"},
        {"LiberationSansNarrow", "Liberation Sans Narrow"},
        {"MS Gothic", "IPAGothic"},
        {"\xEF\xBC\xAD\xEF\xBC\xB3 \xE3\x82\xB4\xE3\x82\xB7\xE3\x83\x83\xE3\x82\xAF", "IPAGothic"},
        {"MS PGothic", "IPAPGothic"},
        {"\xEF\xBC\xAD\xEF\xBC\xB3 \xEF\xBC\xB0\xE3\x82\xB4\xE3\x82\xB7\xE3\x83\x83\xE3\x82\xAF",
         "IPAPGothic"},
    };
    const auto same = [](std::string_view a, std::string_view b) {
        return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
                   return std::tolower(static_cast<unsigned char>(x)) ==
                          std::tolower(static_cast<unsigned char>(y));
               });
    };
    for (const auto& s : kTable) {
        if (same(face, s.face))
            return std::string(s.family);
    }
    return std::string(face);
}

std::size_t fallbackFontMatches() {
    std::lock_guard lock(g_mutex);
    return g_fontMatches;
}

}  // namespace metafile
