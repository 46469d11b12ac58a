#pragma once
// Plays an enhanced metafile into a rectangle of a device context, the way
// GDI's playback does: the picture frame is stretched onto the rectangle,
// records change the DC's state or draw, and the DC is left as it was found.
// Records that are not understood are skipped and counted, never fatal.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "metafile/dc.h"
#include "metafile/metafile.h"

namespace metafile {

struct PlaybackReport {
    int recordsPlayed = 0;
    std::map<std::uint32_t, int> skipped;    // record type -> count: not supported
    std::map<std::uint32_t, int> malformed;  // record type -> count: too short or invalid
    std::vector<std::string> notes;          // the first few oddities, for the diagnostics
    std::string truncation;                  // why the record list ended early, if it did

    void note(std::string text);
};

PlaybackReport playMetafile(const Metafile& metafile, Dc& dc, const RectL& destination);

// The transform that maps the metafile's reference-device coordinates onto
// `destination`, as the playback sets it up.
Matrix playbackTransform(const EmfHeader& header, const RectL& destination);

}  // namespace metafile
