#include "platform/registry/reg_types.h"

namespace platform {

std::string_view describe(RegStatus status) {
    switch (status) {
        case RegStatus::Success:
            return "success";
        case RegStatus::NotFound:
            return "not found";
        case RegStatus::AccessDenied:
            return "access denied";
        case RegStatus::NoMoreItems:
            return "no more items";
        case RegStatus::InvalidName:
            return "invalid name";
        case RegStatus::KeyDeleted:
            return "key deleted";
        case RegStatus::Corrupt:
            return "registry file corrupt";
        case RegStatus::IoError:
            return "input/output error";
        case RegStatus::TooLarge:
            return "registry file full";
    }
    return "unknown";
}

long windowsErrorCode(RegStatus status) {
    switch (status) {
        case RegStatus::Success:
            return 0;
        case RegStatus::NotFound:
            return 2;  // ERROR_FILE_NOT_FOUND
        case RegStatus::AccessDenied:
            return 5;  // ERROR_ACCESS_DENIED
        case RegStatus::InvalidName:
            return 87;  // ERROR_INVALID_PARAMETER
        case RegStatus::NoMoreItems:
            return 259;  // ERROR_NO_MORE_ITEMS
        case RegStatus::Corrupt:
            return 1009;  // ERROR_BADDB
        case RegStatus::IoError:
            return 1016;  // ERROR_REGISTRY_IO_FAILED
        case RegStatus::KeyDeleted:
            return 1018;  // ERROR_KEY_DELETED
        case RegStatus::TooLarge:
            return 613;  // ERROR_REGISTRY_QUOTA_LIMIT
    }
    return 1;
}

RegValue RegValue::dword(std::string name, std::uint32_t value) {
    RegValue out{std::move(name), RegType::Dword, {}};
    for (int shift = 0; shift < 32; shift += 8) {
        out.data.push_back(static_cast<std::byte>((value >> shift) & 0xFFu));
    }
    return out;
}

RegValue RegValue::string(std::string name, std::string_view text, RegType type) {
    RegValue out{std::move(name), type, {}};
    out.data.reserve(text.size() + 1);
    for (char c : text) {
        out.data.push_back(static_cast<std::byte>(c));
    }
    out.data.push_back(std::byte{0});
    return out;
}

std::string_view rootName(RegRoot root) {
    return root == RegRoot::CurrentUser ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE";
}

}  // namespace platform
