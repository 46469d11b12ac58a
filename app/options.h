#pragma once
// The program's in-memory options: one field per persisted setting, named as
// the registry value that mirrors it, with the default used when the value is
// absent. Colours are COLORREF values (0x00BBGGRR).

#include <cstdint>

namespace app {

// The rendering settings record (`RenderOptions`).
struct RenderSettings {
    std::int32_t KodAntialias = 3;  // 0 none; 2, 3, 5, 7, 10, 15, 20 = supersampling factor
    std::int32_t ScaleCur = 100;    // percent
    bool lvSharpen = false;
    bool lvIncludeDateTime = false;
    std::int32_t lvBkGrHathStyle = 100;
    std::uint32_t lvCurBkGrColor = 8454016;  // red 128, green 255, blue 128
    std::uint32_t lvHatchColor = 11025982;   // red 62, green 62, blue 168
    std::int32_t lvHatchWidth = 0;           // pixels; 0 is the thinnest pen
    std::int32_t lvHatchDepress = 8;         // pixels between hatch lines
    std::int32_t lvHatchAngle = 0;           // degrees
    bool lvHatchLnHor = true;
    bool lvHatchLnVert = true;
};

// Where the rendering resolution comes from. The scale lives in
// RenderSettings::ScaleCur.
struct ResolutionSettings {
    std::int32_t CheckN = 2;       // 0 screen, 1 printer, 2 user value
    double userResolution = 80.0;  // dots per inch, ResCur x 0.1
};

// The resolution dialog's own copy, loaded together with the working copy.
struct ResolutionDialogCopy {
    std::int32_t CheckN = 2;
    std::int32_t ScaleCur = 100;
    double userResolution = 80.0;
};

// `FormatCode`: the numbers of the five image formats.
enum class FormatCode : std::int32_t { JPG = 1, GIF = 2, PNG = 3, BMP = 4, TIF = 5 };

// `CurrentFormat`: one flag per format, of which the writers keep exactly one
// set. Tests of the flags run in the order JPG, GIF, PNG, TIF, then BMP.
struct FormatFlags {
    bool JPG_Default = true;
    bool GIF_Default = false;
    bool PNG_Default = false;
    bool BMP_Default = false;
    bool TIF_Default = false;
};

struct FormatSettings {
    bool JPG_Gray = false;
    bool JPG_Progress = true;
    std::int32_t JPG_Quality = 90;
    std::int32_t GIF_Colors = 64;
    std::int32_t GIF_IndexGray = 0;  // 0 indexed, 1 grey
    bool GIF_Dither = false;
    bool GIF_Interlace = true;
    std::int32_t GIF_Delay = 100;
    std::int32_t PNG_TrueIndexGray = 0;  // 0 true colour, 1 indexed, 2 grey
    std::int32_t PNG_Colors = 64;
    bool PNG_Interlace = true;
    bool PNG_Dither = false;
    std::int32_t TIF_TrueIndexGray = 0;  // 0 true colour, 1 indexed, 2 grey, 3 black and white
    std::int32_t TIF_Colors = 64;
    bool TIF_Lzw = true;
};

// Options that belong to no record above.
struct GeneralOptions {
    std::int32_t lvKodPreset = 0;  // 0 own settings, 1..4 the presets
    bool lvKodMainWinMax = false;
    bool KodIncludeHtml = true;
    bool SaveFile_Opt = true;   // "Invoke Image Options"
    bool StartFile_Opt = true;  // "Start file after creation"
    std::int32_t KodEmailFormat = 1;
};

}  // namespace app
