#pragma once
// renderPage: one page's metafile onto a raster of the chosen resolution, in
// horizontal strips, with supersampling (an N x N box average), the
// background and hatch, and the date stamp.

#include <functional>

#include "render/magick.h"

namespace metafile {
class Metafile;
}
namespace app {
struct Session;
class UserInterfacePort;
}  // namespace app

namespace render {

struct Bitmap;

struct StripPlan {
    int factor = 1;        // N
    int outputRows = 200;  // B: output rows a strip
    int stripHeight = 0;   // supersampled rows a strip
    int strips = 0;
};

// The strips for an image of `rows` output rows with supersampling factor N.
StripPlan planStrips(long long rows, int factor);

// The image size for a frame of (w, h) hundredths of a millimetre.
struct PageSize {
    long long columns = 250;
    long long rows = 200;
};

class PageRenderer {
public:
    PageRenderer(app::Session& session, app::UserInterfacePort& ui);

    // The step after the raster is complete (the format's encoding options);
    // none by default.
    std::function<void(Magick::Image& image, double dpi)> applyEncodingOptions;
    // The date and time of the stamp; the local date and time by default.
    std::function<std::string()> dateStamp;

    Magick::Image renderPage(double dpi, const metafile::Metafile* page);

private:
    app::Session& m_session;
    app::UserInterfacePort& m_ui;
};

// The image's pixels as a 32-bit top-down bitmap (blue, green, red, alpha
// bytes); empty when the image has no pixels.
Bitmap imageToBitmap(const Magick::Image& image);

// The user's short date and time, as the stamp shows them.
std::string localDateTime();

}  // namespace render
