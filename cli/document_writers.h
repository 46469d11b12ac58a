#pragma once
// The converter's documents: one multipage PDF, one HTML gallery, one
// multipage TIF or one animated GIF over all pages of all inputs, in input
// order, through the main program's writers. Pages are numbered 0001, 0002,
// ... in that order.

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "cli/convert_options.h"

namespace cli {

// One page of the run: its metafile and how messages name it.
struct DocumentPage {
    std::filesystem::path source;
    std::string label;
};

struct DocumentSinks {
    std::function<void(const std::string&)> error;    // a failure, one line
    std::function<void(const std::string&)> written;  // a finished document, with its line end
};

// Writes every document the command line asks for; `scratch` is a private
// folder for page files and the writers' settings. False when a document
// or a page of it could not be written (each said through `sinks.error`).
bool writeDocuments(const CommandLine& line, const std::vector<DocumentPage>& pages,
                    const std::filesystem::path& scratch, const DocumentSinks& sinks);

}  // namespace cli
