// libFuzzer target: cutting pages out of a spool file, as an EMF spool file
// and as a 95/98/Me spool file that names temporary page files.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "app/page_acquisition.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::filesystem::path folder = [] {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "scrivlet-fuzz-spool-XXXXXX").string();
        return std::filesystem::path(::mkdtemp(pattern.data()) != nullptr ? pattern : "/tmp");
    }();
    const auto file = folder / "input.spl";
    if (std::FILE* f = std::fopen(file.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    std::error_code ec;
    for (const auto& result : {app::cutEmfPages(file, 1, folder / "pages"),
                               app::copyTemporaryPages(file, folder / "temp", 1, folder / "pages")}) {
        for (const auto& p : result.pages) std::filesystem::remove(p, ec);
    }
    return 0;
}
