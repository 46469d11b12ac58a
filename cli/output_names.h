#pragma once
// The names of the converter's output files: an enhanced metafile keeps its
// stem; a spool file's pages take the save rule (base name, the four-digit
// page number, the extension), the base name being the spool file's stem
// unless one is given; a given base name numbers every page of every input
// in argument order.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

// A spool file by its extension (.spl in any case).
bool isSpoolFile(const std::filesystem::path& input);

struct InputPages {
    std::filesystem::path input;
    bool spool = false;
    int pages = 0;
};

// The file names (without folder) of every page of every input, in order;
// `extension` with its dot.
std::vector<std::vector<std::string>> outputNames(const std::vector<InputPages>& inputs,
                                                  const std::optional<std::string>& baseName,
                                                  std::string_view extension);

// The first name given twice, with the two inputs that would write it;
// `names` as outputNames gives them for `inputs`.
struct NameClash {
    std::string name;
    std::filesystem::path first;
    std::filesystem::path second;
};
std::optional<NameClash> findClash(const std::vector<InputPages>& inputs,
                                   const std::vector<std::vector<std::string>>& names);

}  // namespace cli
