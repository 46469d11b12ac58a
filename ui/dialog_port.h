#pragma once
// The program's own dialogs as the commands reach them: each runs modally
// over a model of the core and reports OK or Cancel; the models' commits stay
// with the commands. The GUI implements this on wxWidgets; tests drive the
// models through a fake.

#include <filesystem>
#include <string>

#include "app/options.h"

namespace ui {

class ResolutionDialogModel;
class HatchDialogModel;
class TipCycle;

class DialogPort {
public:
    virtual ~DialogPort() = default;

    // True on OK.
    virtual bool runResolutionDialog(ResolutionDialogModel& model) = 0;
    virtual bool runHatchDialog(HatchDialogModel& model) = 0;
    // The full sheet "Image Format and Quality" opened on the page of
    // `current`; true on OK with the values and the inside format edited.
    virtual bool runFullFormatSheet(app::FormatCode current, app::FormatSettings& values,
                                    std::string& insideFormat) = 0;
    virtual void runTipOfTheDay(TipCycle& tips) = 0;
    virtual void showSplash() = 0;
    // The help book at `topic` ("" for its start page); false when the
    // viewer cannot show it.
    virtual bool showHelp(const std::filesystem::path& book, const std::string& topic) = 0;
};

}  // namespace ui
