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
    int drawingRecords = 0;
    std::map<std::uint32_t, int> skipped;    // record type -> count: not supported
    std::map<std::uint32_t, int> malformed;  // record type -> count: too short or invalid
    std::vector<std::string> notes;          // the first few oddities, for the diagnostics
    std::string truncation;                  // why the record list ended early, if it did
    std::string cut;                         // why playback stopped before the end, if it did
    std::map<std::string, int> fonts;        // faces asked for by text records -> runs
    int glyphIndexRuns = 0;                  // text given as the original font's glyph indices
    int missingGlyphs = 0;                   // characters the substitute font has no glyph for
    bool emfPlus = false;                    // EMF+ records found in comments
    bool emfPlusOnly = false;                // ... and nothing drawn by EMF records

    void note(std::string text);
    void useFont(const std::string& face) { ++fonts[face]; }
    // Where a later band or strip of the same page was cut, when nothing
    // before it was: each has its own work budget.
    void addCut(const std::string& where) {
        if (cut.empty() && !where.empty()) {
            cut = where;
            note(where);
        }
    }
};

// What was wrong with a page that still drew, in one line for the user: the
// record list cut short, the drawing cut at the work budget, the malformed
// records skipped. Empty for a sound page (unsupported records are not
// damage).
std::string damageSummary(const PlaybackReport& report);

// The DC's work budget starts afresh for the bitmap's size (see
// WorkBudget); a page that spends it is cut at that record, with `cut` and a
// note saying where and why.
PlaybackReport playMetafile(const Metafile& metafile, Dc& dc, const RectL& destination);

// The transform that maps the metafile's reference-device coordinates onto
// `destination`, as the playback sets it up.
Matrix playbackTransform(const EmfHeader& header, const RectL& destination);

}  // namespace metafile
