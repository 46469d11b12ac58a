#pragma once
// The hive file format: the registry editor's text export (".reg"), version 4.
//
//   REGEDIT4
//
//   [HKEY_CURRENT_USER\Software\Quillo\Scrivlet]
//   "SavePath"="C:\\Pages"
//   "KodAntialias"=dword:00000003
//   "Blob"=hex:01,02,03
//   "Path"=hex(2):25,00
//   @="default value"
//
// "name"=- deletes a value and [-path] deletes a key tree, as in a merge file.
// The file must be UTF-8; the header "Windows Registry Editor Version 5.00"
// is accepted too.

#include <cstddef>
#include <span>
#include <string>

#include "platform/expected.h"
#include "platform/registry/hive.h"

namespace platform {

// Files above this size are refused without being parsed.
inline constexpr std::size_t kMaxHiveFileBytes = 16u * 1024u * 1024u;

struct RegParseError {
    std::size_t line = 0;  // 1-based; 0 when the whole file is at fault
    std::string reason;

    std::string toString() const;
};

Expected<Hive, RegParseError> parseRegText(std::span<const std::byte> bytes, RegRoot root);
std::string serializeRegText(const Hive& hive);

}  // namespace platform
