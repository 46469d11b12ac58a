#pragma once
// The three HTML files of the gallery, each one line with no final line
// break. The base name is escaped where it stands in text and in attribute
// values and percent-encoded where it is part of a link; a name of letters,
// digits, "-", "_", "." and "~" comes out exactly as given.

#include <string>
#include <string_view>

namespace output {

// The maker's web address in the author line.
inline constexpr const char* kMakerWebAddress = "http://www.quillo.example";

// Text and attribute values: &, <, >, " and ' as character references.
std::string escapeHtml(std::string_view text);
// A path segment of a link: every byte but letters, digits, "-", "_", "."
// and "~" as %XX.
std::string percentEncode(std::string_view text);

// The frameset file; `extension` with its dot.
std::string framesetHtml(std::string_view baseName, std::string_view extension);
std::string headerHtml(std::string_view baseName);
// bottoms.html up to its body (pieces 1 to 11), one page's link, the end.
std::string bottomsHead(std::string_view baseName);
std::string bottomsLink(std::string_view pageNumber, std::string_view extension);
inline constexpr const char* kBottomsEnd = "  </CENTER></BODY></HTML>";

}  // namespace output
