#pragma once
// The output naming rule shared by every writer: the page number taken from
// the page file's name, the output file name of a page, the base name that a
// document name proposes and the length limit of a full output path.

#include <cstddef>
#include <string>
#include <string_view>

namespace output {

// A full output path longer than this is refused.
inline constexpr std::size_t kMaxOutputPath = 150;
inline constexpr const char* kTooLongMessage = "The name you entered is too long.\nEnter a shorter name.";
// On the e-mail route a base name longer than 70 characters is cut to 49.
inline constexpr std::size_t kMailBaseLimit = 70;
inline constexpr std::size_t kMailBaseCut = 49;

// The four characters before the four-character extension of a page file's
// name: "120003.emf" gives "0003", "0001.emf" "0001". A shorter name gives
// what stands before its last four characters.
std::string pageNumberOf(std::string_view pageFileName);

// The page number of the `index`-th page (0-based) in an ordered list that
// is not numbered by file names: "0001", "0002", ...
std::string sequenceNumber(int index);

// The document name up to its first "." (the whole name when it has none).
std::string proposedBaseName(std::string_view documentName);

// The base name as the e-mail route uses it: names longer than 70 characters
// are cut to their first 49.
std::string mailBaseName(std::string_view baseName);

// Folder, separator, base name, page number and extension (with its dot).
std::string outputFileName(std::string_view folder, std::string_view baseName, std::string_view pageNumber,
                           std::string_view extension);

inline bool tooLong(std::string_view path) {
    return path.size() > kMaxOutputPath;
}

// The folder and the file title of a path chosen in a save dialog. The title
// loses its extension only when it is one of `extensions` (compared without
// case), so "Annual.Report" stays whole while "Report.jpg" becomes "Report".
struct ChosenName {
    std::string folder;
    std::string title;
};
ChosenName splitChosenPath(std::string_view path, std::initializer_list<std::string_view> extensions);

}  // namespace output
