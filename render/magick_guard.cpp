#include "render/magick_guard.h"

namespace render {

std::string magickReason(std::string_view what) {
    // "<client>: <reason> @ <severity>/<file>.c/<function>/<line>"
    if (const auto at = what.rfind(" @ "); at != std::string_view::npos)
        what = what.substr(0, at);
    if (const auto colon = what.find(": ");
        colon != std::string_view::npos && colon > 0 &&
        what.substr(0, colon).find_first_of(" `'") == std::string_view::npos)
        what = what.substr(colon + 2);
    return what.empty() ? std::string("the image library failed") : std::string(what);
}

}  // namespace render
