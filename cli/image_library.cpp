#include "cli/image_library.h"

#include "render/magick.h"

namespace cli {

void ImageLibrary::start() {
    std::call_once(m_once, [this] {
        Magick::InitializeMagick(nullptr);
        if (m_limit > 0) {
            m_earlier = Magick::ResourceLimits::thread();
            Magick::ResourceLimits::thread(m_limit);
        }
        m_started = true;
    });
}

bool ImageLibrary::started() const {
    return m_started;
}

ImageLibrary::~ImageLibrary() {
    if (m_started && m_limit > 0)
        Magick::ResourceLimits::thread(m_earlier);
}

}  // namespace cli
