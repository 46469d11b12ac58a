#pragma once
// Opening the user's own files as the document's pages ("Scrivlet a.emf
// b.spl"): every enhanced metafile is copied into the work folder as the next
// page file (0001.emf, 0002.emf, ...), every EMF spool file is cut into its
// pages, in the order the files are given. The user's files are only read.
// None of the capture routes' steps run on this route (clipboard flag,
// capture printer, queued jobs, printer refresh), so opening a file can never
// discard a print job.

#include <filesystem>
#include <string>
#include <vector>

namespace app {

struct OpenedFiles {
    std::vector<std::filesystem::path> pages;  // page files in the work folder, in order
    std::vector<std::string> problems;         // one line per file (or part of one) left out
};

// Whether `file` starts as an enhanced metafile does: a header record (type 1)
// with the " EMF" signature. Reads only the first 44 bytes.
bool startsAsEnhancedMetafile(const std::filesystem::path& file);

// Puts the pages of `files` into `workFolder` (created when missing) as page
// files numbered from 1; at most `maxPages` pages in all.
OpenedFiles openFilesAsPages(const std::vector<std::filesystem::path>& files,
                             const std::filesystem::path& workFolder, int maxPages);

}  // namespace app
