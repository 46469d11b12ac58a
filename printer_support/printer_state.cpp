#include "printer_support/printer_state.h"

#include <cstdlib>
#include <fstream>

namespace printer_support {

namespace {

std::int32_t number(const std::string& line) {
    char* end = nullptr;
    const long v = std::strtol(line.c_str(), &end, 10);
    return end == line.c_str() ? 0 : static_cast<std::int32_t>(v);
}

}  // namespace

std::optional<PrinterState> readStateFile(const std::filesystem::path& file, const PrinterState& current) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::nullopt;
    PrinterState state = current;
    std::string lines[6];
    for (int i = 0; i < 6; ++i) {
        std::string line;
        char c = 0;
        bool any = false;
        while (line.size() < 260 && in.get(c)) {
            any = true;
            if (c == '\n')
                break;
            line.push_back(c);
        }
        // Lines longer than the buffer lose their rest.
        while (line.size() >= 260 && in.get(c) && c != '\n') {
        }
        if (!any)
            break;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        switch (i) {
            case 0:
                state.paused = number(line);
                break;
            case 1:
                state.network = number(line);
                break;
            case 2:
                state.port = line;
                break;
            case 3:
                state.dataType = line;
                break;
            case 4:
                state.emf = number(line);
                break;
            case 5:
                state.rawOnly = number(line);
                break;
            default:
                break;
        }
    }
    return state;
}

bool writeStateFile(const std::filesystem::path& file, const PrinterState& s) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (!out)
        return false;
    out << s.paused << '\n'
        << s.network << '\n'
        << s.port << '\n'
        << s.dataType << '\n'
        << s.emf << '\n'
        << s.rawOnly << '\n';
    return static_cast<bool>(out);
}

}  // namespace printer_support
