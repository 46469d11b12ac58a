// A page saved twice with the same settings is the same file: each run with
// its own session, machine folders and renderer, the first drawing the
// strips on one thread and the second on three, through the format's
// encoding and its encoded preview as the program does it, for every format
// and several backgrounds.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/session.h"
#include "app/settings_store.h"
#include "metafile/emf_writer.h"
#include "output/formats.h"
#include "output/image_file.h"
#include "platform/folders.h"
#include "platform/registry/registry.h"
#include "render/page_renderer.h"
#include "tests/support/freed_memory.h"
#include "tests/support/recording_ui.h"
#include "tests/support/temp_dir.h"

namespace render {
namespace {

namespace fs = std::filesystem;
using app::FormatCode;
using metafile::PointL;

// One and a half by two inches: a wide diagonal across the strips, a filled
// ellipse and text, so that every strip holds something of the page.
metafile::Metafile page() {
    metafile::EmfWriter w({0, 0, 3810, 5080}, {1000, 1000}, {254, 254});
    metafile::Pen wide;
    wide.color = metafile::rgb(180, 40, 20);
    wide.width = 7;
    w.selectObject(w.createPen(wide));
    w.moveTo({3, 3});
    w.lineTo({147, 197});
    w.selectStockObject(metafile::StockObject::LTGRAY_BRUSH);
    w.ellipse({15, 30, 130, 170});
    w.setBkMode(metafile::gdi::TRANSPARENT);
    w.extTextOut({20, 90}, u"Same bytes");
    return w.toMetafile().value();
}

std::string readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

struct Saved {
    std::string file, preview;
};

// The pixels of encoded bytes, 8 bits a channel.
std::string decoded(const std::string& bytes) {
    Magick::Image image;
    image.read(Magick::Blob(bytes.data(), bytes.size()));
    Magick::Blob pixels;
    image.write(&pixels, "RGB", 8);
    return std::string(static_cast<const char*>(pixels.data()), pixels.length());
}

struct Background {
    const char* label;
    int style;  // 100 white, 4 hatch, 1 waves
    int width, angle;
    bool demo;
};

// One run of the program: its own folders, settings and renderer.
Saved saveOnce(const metafile::Metafile& emf, FormatCode code, const Background& b, int threads) {
    testing_support::leaveFreedMemory(static_cast<unsigned char>(0x11 * threads));
    testing_support::TempDir dir;
    platform::Registry registry{platform::RegistryLocation::inFolder(dir / "registry")};
    const platform::PlatformFolders folders = platform::PlatformFolders::under(dir / "home");
    app::SettingsStore store{registry};
    app::Session session;
    testing_support::RecordingUi ui;
    output::FormatService formats{session, store, folders, ui};
    session.CurrentFormat = {code == FormatCode::JPG, code == FormatCode::GIF, code == FormatCode::PNG,
                             code == FormatCode::BMP, code == FormatCode::TIF};
    session.RenderOptions.KodAntialias = 5;
    session.RenderOptions.lvBkGrHathStyle = b.style;
    session.RenderOptions.lvHatchWidth = b.width;
    session.RenderOptions.lvHatchAngle = b.angle;
    session.RenderOptions.lvIncludeDateTime = true;
    session.DemoMode = b.demo;
    PageRenderer renderer(session, ui);
    renderer.stripThreads = threads;
    renderer.dateStamp = [] { return std::string("9.12.2026 13:45"); };
    renderer.applyEncodingOptions = [&formats](Magick::Image& image, double dpi) {
        formats.applyEncodingOptions(image, dpi);
    };
    Magick::Image image = renderer.renderPage(120, &emf);
    EXPECT_GT(image.columns(), 0u);
    EXPECT_TRUE(ui.messages().empty()) << b.label;
    const fs::path file = dir / ("page" + std::string(output::extensionOf(session.CurrentFormat)));
    const auto written = output::writeImageFile(image, file);
    EXPECT_TRUE(written) << (written ? "" : written.error().message());
    return {readFile(file), readFile(formats.previewPath())};
}

TEST(FileBytes, TheSameSettingsGiveTheSameFileInEveryRun) {
    Magick::InitializeMagick(nullptr);
    const auto emf = page();
    const Background backgrounds[] = {
        {"white", 100, 0, 0, false},
        {"hatch width 0 at 30 degrees", 4, 0, 30, false},
        {"hatch width 3 at 75 degrees", 4, 3, 75, false},
        {"waves", 1, 1, 0, false},
        {"demonstration grid", 100, 0, 0, true},
    };
    const FormatCode codes[] = {FormatCode::JPG, FormatCode::GIF, FormatCode::PNG, FormatCode::BMP,
                                FormatCode::TIF};
    for (const FormatCode code : codes) {
        std::vector<std::string> pages;  // each background's pixels
        for (const Background& b : backgrounds) {
            SCOPED_TRACE(std::string(b.label) + ", format " + std::to_string(static_cast<int>(code)));
            const Saved first = saveOnce(emf, code, b, 1);
            const Saved second = saveOnce(emf, code, b, 3);
            ASSERT_GT(first.file.size(), 100u);
            ASSERT_FALSE(first.preview.empty());
            // The image library's PNG writer stamps the time of writing
            // (tIME and two date texts), so PNG is compared by its pixels.
            if (code == FormatCode::PNG) {
                EXPECT_TRUE(decoded(first.file) == decoded(second.file)) << "the saved pages differ";
                EXPECT_TRUE(decoded(first.preview) == decoded(second.preview)) << "the previews differ";
            } else {
                EXPECT_TRUE(first.file == second.file) << "the saved files differ";
                EXPECT_TRUE(first.preview == second.preview) << "the encoded previews differ";
            }
            pages.push_back(decoded(first.file));
        }
        // The backgrounds show: no two settings give the same page.
        for (std::size_t i = 0; i < pages.size(); ++i) {
            for (std::size_t j = i + 1; j < pages.size(); ++j)
                EXPECT_TRUE(pages[i] != pages[j]) << backgrounds[i].label << " / " << backgrounds[j].label;
        }
    }
}

}  // namespace
}  // namespace render
