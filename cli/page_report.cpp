#include "cli/page_report.h"

#include "metafile/emf_records.h"
#include "metafile/font_fallback.h"

namespace cli {

std::string reportText(const std::string& name, const metafile::PlaybackReport& report) {
    std::string text = "  " + name + ": " + std::to_string(report.recordsPlayed) + " records played\n";
    auto records = [&text](const char* what, const std::map<std::uint32_t, int>& list) {
        for (const auto& [type, count] : list) {
            text += "    " + std::string(what) + " " + std::string(metafile::emf::recordName(type)) + " (" +
                    std::to_string(type) + "): " + std::to_string(count) + "\n";
        }
    };
    records("skipped", report.skipped);
    records("malformed", report.malformed);
    for (const auto& [face, runs] : report.fonts) {
        text += "    font \"" + face + "\" drawn with \"" + metafile::resolvedFamily(face) +
                "\": " + std::to_string(runs) + " text records\n";
    }
    if (report.glyphIndexRuns > 0) {
        text += "    glyph-index text drawn with the substitute font's glyphs: " +
                std::to_string(report.glyphIndexRuns) + " records\n";
    }
    if (report.missingGlyphs > 0)
        text += "    characters drawn from a fallback font: " + std::to_string(report.missingGlyphs) + "\n";
    if (report.emfPlusOnly) {
        text += "    EMF+ only: the page's drawing is in EMF+ records, which are not played\n";
    } else if (report.emfPlus) {
        text += "    EMF+ and EMF records: the EMF records were played\n";
    }
    if (!report.truncation.empty())
        text += "    record list cut short: " + report.truncation + "\n";
    for (const auto& note : report.notes) text += "    note: " + note + "\n";
    return text;
}

std::string damageLine(const std::string& name, const metafile::PlaybackReport& report) {
    const std::string damage = metafile::damageSummary(report);
    return damage.empty() ? damage
                          : name + ": damaged: " + damage + "; the page was drawn from what could be read";
}

}  // namespace cli
