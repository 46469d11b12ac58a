// libFuzzer target: the reader of the Word macro's exchange file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "app/macro_exchange.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto lines = app::parseMacroIni({reinterpret_cast<const std::byte*>(data), size});
    for (const auto* line : {&lines.documentName, &lines.windowTitle, &lines.clipboardFlag}) {
        if (*line && (*line)->size() > 259) {
            std::abort();
        }
    }
    return 0;
}
