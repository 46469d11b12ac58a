#pragma once
// The capture printer's saved state: six items, kept in the registry and in
// the text file lvSLPrn.ini (one line each, in this order).

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace printer_support {

inline constexpr std::int32_t kNothingSaved = 100;

struct PrinterState {
    std::int32_t paused = 0;   // 0 the library paused it, 1 it was paused, 100 nothing saved
    std::int32_t network = 0;  // 0 local, 1 a network printer whose port was changed, 100 nothing saved
    std::string port;          // the port before the change
    std::string dataType;      // the data type before the change
    std::int32_t emf = 0;      // 95/98/Me: 0 changed to EMF, 1 was EMF, 100 nothing saved
    std::int32_t rawOnly = 0;  // 1 the printer accepts only RAW data

    friend bool operator==(const PrinterState&, const PrinterState&) = default;
};

// Reads the six lines; nullopt when the file cannot be opened. Missing
// lines leave their item as it is; numbers that do not parse read as 0.
std::optional<PrinterState> readStateFile(const std::filesystem::path& file, const PrinterState& current);
bool writeStateFile(const std::filesystem::path& file, const PrinterState& state);

}  // namespace printer_support
