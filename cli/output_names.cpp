#include "cli/output_names.h"

#include <cstdio>
#include <map>

#include "platform/text_util.h"

namespace cli {

bool isSpoolFile(const std::filesystem::path& input) {
    return platform::equalsIgnoreCase(input.extension().string(), ".spl");
}

namespace {

std::string numbered(const std::string& base, int number, std::string_view extension) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%04d", number);
    return base + digits + std::string(extension);
}

}  // namespace

std::vector<std::vector<std::string>> outputNames(const std::vector<InputPages>& inputs,
                                                  const std::optional<std::string>& baseName,
                                                  std::string_view extension) {
    std::vector<std::vector<std::string>> names;
    names.reserve(inputs.size());
    int counter = 0;  // pages numbered across the inputs under a given base name
    for (const auto& in : inputs) {
        std::vector<std::string>& list = names.emplace_back();
        for (int page = 1; page <= in.pages; ++page) {
            if (baseName) {
                list.push_back(numbered(*baseName, ++counter, extension));
            } else if (in.spool) {
                list.push_back(numbered(in.input.stem().string(), page, extension));
            } else {
                list.push_back(in.input.stem().string() + std::string(extension));
            }
        }
    }
    return names;
}

std::optional<NameClash> findClash(const std::vector<InputPages>& inputs,
                                   const std::vector<std::vector<std::string>>& names) {
    std::map<std::string, std::size_t> seen;
    for (std::size_t i = 0; i < names.size(); ++i) {
        for (const auto& name : names[i]) {
            const auto [it, added] = seen.emplace(name, i);
            if (!added)
                return NameClash{name, inputs.at(it->second).input, inputs.at(i).input};
        }
    }
    return std::nullopt;
}

}  // namespace cli
