#pragma once
// A finished page image under its final name, through the output boundary
// (encoded by the name's extension, written beside the name and renamed over
// it), and the message that stops a run when that fails.

#include <filesystem>
#include <optional>
#include <string>

#include "render/magick.h"

namespace output {

// Writes a copy of `image` (the caller's image keeps its state); the reason
// on failure, when an older file of that name is left as it was.
std::optional<std::string> writePageFile(const Magick::Image& image, const std::filesystem::path& file);

// The message that stops a run at a failed write: it names the file and the
// reason.
std::string writeFailureMessage(const std::string& file, const std::string& reason);

}  // namespace output
