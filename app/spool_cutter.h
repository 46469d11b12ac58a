#pragma once
// Cutting the pages of a print job out of its spool file into page files:
// on NT and later the pages are records of the EMF spool format; on 95/98/Me
// the spool file names the temporary files that hold them.
//
// Nothing from the file decides an allocation: a page is checked where it
// lies (its size against the page limit and against the bytes the file still
// holds, its header in a small buffer) and then copied to its page file in
// pieces, so memory stays small whatever a record claims. At most
// kMaxCutPages pages are cut from one file (the page list holds no more). A
// file that ends inside a record, or a cut that stops early, says why.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace app {

// The page list's capacity.
inline constexpr int kMaxCutPages = 2000;

struct CutResult {
    bool readToEnd = false;  // the file ended with its end record or at a record boundary
    std::vector<std::filesystem::path> pages;
    int rejectedPages = 0;  // page records that were not enhanced metafiles
    // Why the cut stopped before the end: damage (a record or header that runs
    // past the end of the file, an impossible page), the page limit, or a page
    // file that could not be written. Empty when the file was read to its end.
    std::string problem;
    // The cut stopped at the page limit (`problem` says so): no damage.
    bool pageLimit = false;
    // A page file could not be written (the work folder cannot be used):
    // the job's pages are not all in the folder.
    bool unwritten = false;
};

// Cuts the EMF page records (type 12) of an EMF spool file into page files
// of `job` in `workFolder`.
CutResult cutEmfPages(const std::filesystem::path& spoolFile, std::uint32_t job,
                      const std::filesystem::path& workFolder, int maxPages = kMaxCutPages);

// 95/98/Me: copies the temporary page files "~EMF" + eight characters of
// `tempFolder` that the spool file names, in the order it names them, to the
// page files of `job`. The spool file is read in pieces, never whole.
CutResult copyTemporaryPages(const std::filesystem::path& spoolFile, const std::filesystem::path& tempFolder,
                             std::uint32_t job, const std::filesystem::path& workFolder,
                             int maxPages = kMaxCutPages);

}  // namespace app
