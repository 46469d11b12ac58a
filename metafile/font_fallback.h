#pragma once
// fontconfig answers for text: which installed family a Windows face name
// resolves to, and which family can draw a character the chosen one lacks.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace metafile {

// The family to ask fontconfig for a Windows face: the metric-compatible
// twin where fontconfig has no alias for it (the narrow sans-serif face, the
// Japanese gothic faces), a sans face for the Windows system fonts, else the
// face itself. Face names compare without case, as GDI compares them.
std::string substituteFamily(std::string_view face);
// The family fontconfig picks for `face` ("Arial" gives "Liberation Sans").
std::string resolvedFamily(const std::string& face);
// A family that has a glyph for `character`, or empty when none has. The
// fonts are sorted by preference once for the process; each character then
// costs a walk over their charsets.
std::string fallbackFamilyFor(std::uint32_t character);
// How many font sorts the fallback search has made (at most one).
std::size_t fallbackFontMatches();

}  // namespace metafile
