#pragma once
// Writing the row writers' bytes to a descriptor: every byte or an errno.

#include <sys/types.h>

#include <cstddef>

namespace output {

// 0 when all `length` bytes were written, else the errno.
int writeAll(int fd, const void* data, std::size_t length);
// The same at `offset`, the file position left alone.
int writeAllAt(int fd, const void* data, std::size_t length, off_t offset);

}  // namespace output

#include <string>

namespace output {

// An unnamed file in `folder` (or the current folder), gone when closed; -1
// with errno set when none can be made.
int scratchFile(const std::string& folder);
// 0 when all `length` bytes at `offset` were read, else the errno (EIO at
// the end of the file).
int readAllAt(int fd, void* data, std::size_t length, off_t offset);

}  // namespace output
