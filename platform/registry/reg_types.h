#pragma once
// Types of the file-backed registry: roots, value types, access rights and
// the status codes that registry calls return.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

enum class RegRoot { CurrentUser, LocalMachine };

// Value types with the numbers that the Windows registry gives them.
enum class RegType : std::uint32_t {
    None = 0,
    Sz = 1,
    ExpandSz = 2,
    Binary = 3,
    Dword = 4,
    DwordBigEndian = 5,
    Link = 6,
    MultiSz = 7,
    Qword = 11,
};

// Rights asked for when a key is opened; a bit set, as KEY_READ / KEY_WRITE.
enum class RegAccess : unsigned { None = 0, Read = 1, Write = 2, All = 3 };

constexpr bool hasRight(RegAccess granted, RegAccess wanted) {
    return (static_cast<unsigned>(granted) & static_cast<unsigned>(wanted)) == static_cast<unsigned>(wanted);
}

enum class RegStatus {
    Success,
    NotFound,      // key or value missing
    AccessDenied,  // the hive does not grant the rights asked for
    NoMoreItems,   // enumeration index past the end
    InvalidName,   // empty path component, control characters
    KeyDeleted,    // the key of an open handle was deleted meanwhile
    Corrupt,       // the hive file cannot be parsed and could not be set aside
    IoError,       // reading or writing the hive file failed
    TooLarge,      // the write would grow the hive file past its size limit
};

std::string_view describe(RegStatus status);
// The Windows system error code of a status (0 for Success, 2 for NotFound,
// 5 for AccessDenied, ...), for reports that print the code.
long windowsErrorCode(RegStatus status);

// One value: its name as stored (case kept), its type and its raw bytes. A
// REG_SZ holds its text followed by a terminating NUL, as on Windows.
struct RegValue {
    std::string name;
    RegType type = RegType::None;
    std::vector<std::byte> data;

    static RegValue dword(std::string name, std::uint32_t value);
    static RegValue string(std::string name, std::string_view text, RegType type = RegType::Sz);
};

std::string_view rootName(RegRoot root);

}  // namespace platform
