#include "app/opened_files.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <system_error>

#include "app/spool_cutter.h"
#include "platform/text_util.h"

namespace app {
namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kHeaderRecord = 1;
constexpr std::uint32_t kEmfSignature = 0x464D4520;  // " EMF"

std::uint32_t littleEndian32(const std::array<unsigned char, 44>& bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 | static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

fs::path pageFile(const fs::path& folder, int number) {
    char name[32];
    std::snprintf(name, sizeof name, "%04d.emf", number);
    return folder / name;
}

bool isSpool(const fs::path& file) {
    return platform::equalsIgnoreCase(file.extension().string(), ".spl");
}

}  // namespace

bool startsAsEnhancedMetafile(const fs::path& file) {
    std::error_code ec;
    if (!fs::is_regular_file(file, ec))
        return false;
    std::ifstream in(file, std::ios::binary);
    std::array<unsigned char, 44> head{};
    if (!in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size())))
        return false;
    return littleEndian32(head, 0) == kHeaderRecord && littleEndian32(head, 40) == kEmfSignature;
}

OpenedFiles openFilesAsPages(const std::vector<fs::path>& files, const fs::path& workFolder, int maxPages) {
    OpenedFiles opened;
    std::error_code ec;
    fs::create_directories(workFolder, ec);
    if (ec) {
        opened.problems.push_back(workFolder.string() + ": " + ec.message());
        return opened;
    }
    const fs::path cutFolder = workFolder / "opened";
    for (const fs::path& file : files) {
        const int room = maxPages - static_cast<int>(opened.pages.size());
        if (room <= 0) {
            opened.problems.push_back(file.string() + ": left out, the document holds " +
                                      std::to_string(maxPages) + " pages at most");
            continue;
        }
        if (!fs::is_regular_file(file, ec)) {
            opened.problems.push_back(file.string() + ": " + (ec ? ec.message() : std::string("not a file")));
            continue;
        }
        if (startsAsEnhancedMetafile(file)) {
            const fs::path target = pageFile(workFolder, static_cast<int>(opened.pages.size()) + 1);
            if (!fs::copy_file(file, target, fs::copy_options::overwrite_existing, ec)) {
                opened.problems.push_back(file.string() + ": cannot copy it to " + target.string() + ": " +
                                          ec.message());
                fs::remove(target, ec);
                continue;
            }
            opened.pages.push_back(target);
            continue;
        }
        if (!isSpool(file)) {
            opened.problems.push_back(file.string() + ": not an enhanced metafile");
            continue;
        }
        // A spool file's pages are cut beside, then take their numbers.
        fs::remove_all(cutFolder, ec);
        const CutResult cut = cutEmfPages(file, 1, cutFolder, room);
        for (const fs::path& page : cut.pages) {
            const fs::path target = pageFile(workFolder, static_cast<int>(opened.pages.size()) + 1);
            fs::rename(page, target, ec);
            if (ec) {
                opened.problems.push_back(file.string() + ": cannot move a page to " + target.string() +
                                          ": " + ec.message());
                break;
            }
            opened.pages.push_back(target);
        }
        if (cut.pages.empty())
            opened.problems.push_back(file.string() + ": no enhanced-metafile pages" +
                                      (cut.problem.empty() ? std::string() : " (" + cut.problem + ")"));
        else if (!cut.problem.empty())
            opened.problems.push_back(file.string() + ": " + cut.problem);
        if (cut.rejectedPages > 0)
            opened.problems.push_back(file.string() + ": " + std::to_string(cut.rejectedPages) +
                                      " page record(s) are not enhanced metafiles and were left out");
        fs::remove_all(cutFolder, ec);
    }
    return opened;
}

}  // namespace app
