#pragma once
// cairo keeps its font objects in process-wide tables, and the version this
// system builds on does not keep them safe across threads: a font released
// on one thread while another draws with the same face can end the process
// on one of cairo's assertions. Every use of cairo's fonts (opening,
// measuring, drawing, and releasing what that made) holds this lock, so
// pages and strips drawn on several threads take turns for their text.

#include <mutex>

namespace metafile {

inline std::recursive_mutex& cairoFontLock() {
    static std::recursive_mutex lock;
    return lock;
}

}  // namespace metafile
