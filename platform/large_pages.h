#pragma once
// Memory written once in long runs (a strip's rows, a drawing band, a page's
// pixels): mapped in pages of 2 MiB where the system allows it, so that the
// kernel takes a few faults for it instead of one every 4 KiB. Only a hint:
// nothing changes where it is not taken.

#include <cstddef>
#include <vector>

namespace platform {

// Advises the whole 2 MiB pages inside [data, data + bytes).
void adviseLargePages(const void* data, std::size_t bytes);

// `v` resized to `count` elements; memory newly allocated for it is advised
// before its first touch.
template <class T>
void resizeLarge(std::vector<T>& v, std::size_t count) {
    if (count > v.capacity()) {
        v.reserve(count);
        adviseLargePages(v.data(), v.capacity() * sizeof(T));
    }
    v.resize(count);
}

}  // namespace platform
