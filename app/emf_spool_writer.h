#pragma once
// Writes EMF spool data as the spooler keeps it: a header (type 0x10000,
// its size, the document name), one page record (type 12) per enhanced
// metafile, and an end record (type 0).

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace app {

std::vector<std::byte> writeEmfSpool(std::u16string_view documentName,
                                     std::span<const std::vector<std::byte>> pages);

// 95/98/Me spool data: they name the temporary metafile file of each page
// ("~EMF" and eight characters, in the system temporary folder) in page order.
std::vector<std::byte> writeWin9xSpool(std::span<const std::string> temporaryFiles);

}  // namespace app
