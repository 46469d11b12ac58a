#pragma once
// fontconfig answers for text: which installed family a Windows face name
// resolves to, and which family can draw a character the chosen one lacks.

#include <cstdint>
#include <string>

namespace metafile {

// The family fontconfig picks for `face` ("Arial" gives "Liberation Sans").
std::string resolvedFamily(const std::string& face);
// A family that has a glyph for `character`, or empty when none has.
std::string fallbackFamilyFor(std::uint32_t character);

}  // namespace metafile
