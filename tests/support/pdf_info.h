#pragma once
// What poppler's pdfinfo reads from a PDF file, for tests of the PDF writers.

#include <cstdio>
#include <filesystem>
#include <regex>
#include <string>
#include <utility>
#include <vector>

namespace testing_support {

inline std::string commandOutput(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
        ::pclose(pipe);
    }
    return out;
}

inline bool havePdfInfo() {
    return !commandOutput("command -v pdfinfo").empty();
}

// The page sizes in points that pdfinfo reads from the file.
inline std::vector<std::pair<double, double>> pageSizes(const std::filesystem::path& pdf) {
    const std::string summary = commandOutput("pdfinfo '" + pdf.string() + "' 2>/dev/null");
    std::smatch pages;
    if (!std::regex_search(summary, pages, std::regex(R"(Pages: +(\d+))")))
        return {};
    const std::string info =
        commandOutput("pdfinfo -f 1 -l " + pages[1].str() + " '" + pdf.string() + "' 2>/dev/null");
    std::vector<std::pair<double, double>> sizes;
    const std::regex line(R"(Page +\d+ size: +([0-9.]+) x ([0-9.]+) pts)");
    for (auto it = std::sregex_iterator(info.begin(), info.end(), line); it != std::sregex_iterator(); ++it)
        sizes.emplace_back(std::stod((*it)[1]), std::stod((*it)[2]));
    return sizes;
}

}  // namespace testing_support
