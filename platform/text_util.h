#pragma once
// Text helpers shared by the platform layer: the case rules of registry names
// and bounded copies into the program's 260-character buffers.

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// Registry key and value names compare without regard to ASCII case; bytes
// outside ASCII compare exactly.
char asciiLower(char c);
std::string asciiLowerCopy(std::string_view text);
bool equalsIgnoreCase(std::string_view a, std::string_view b);

// The longest prefix of `text` that holds at most `maxChars` bytes and does not
// cut a UTF-8 sequence in two.
std::string truncateUtf8(std::string_view text, std::size_t maxChars);

// True when `bytes` is well-formed UTF-8 (no overlong forms, no surrogates).
bool isValidUtf8(std::string_view bytes);

}  // namespace platform
